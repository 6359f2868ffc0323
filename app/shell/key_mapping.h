// Turns the window system's key identities into DirectInput key codes (DIK_ values).
#pragma once

namespace vantra::shell {

// The DIK_ code of a Linux input key code (an X11 or Wayland keycode minus 8), or -1 when
// the key has none. Codes 1 to 88 of the main block and keypad equal the PC scan codes;
// the extended keys are mapped one by one.
int DikFromLinuxKeyCode(int code);

// The DIK_ code of a Qt key (Qt::Key value), for platforms without Linux key codes, or -1.
// keypad says whether the key came from the numeric keypad; shifted symbols of a US layout
// map to the key that produces them.
int DikFromQtKey(int key, bool keypad);

}  // namespace vantra::shell
