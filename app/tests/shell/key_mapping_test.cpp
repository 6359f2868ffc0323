#include "shell/key_mapping.h"

#include <gtest/gtest.h>

#include <Qt>
#include <set>

#include "platform/dinput_keys.h"

namespace vantra::shell {

// Linux input codes as the kernel numbers them (linux/input-event-codes.h).
TEST(KeyMapping, LinuxCodesGiveThePcKeyCodes) {
  struct Case {
    int linux;
    int dik;
    const char* key;
  };
  const Case cases[] = {
      {1, DIK_ESCAPE, "escape, first of the main block"},
      {17, DIK_W, "W toggles wireframe"},
      {42, DIK_LSHIFT, "left shift steers the mouse"},
      {57, DIK_SPACE, "space resets the view"},
      {63, DIK_F5, "F5 switches the camera"},
      {88, DIK_F12, "F12 captures the screen"},
      {86, DIK_OEM_102, "the key beside left shift on 102-key boards"},
      {55, DIK_MULTIPLY, "keypad star"},
      {83, DIK_DECIMAL, "keypad point, last of the keypad block"},
      {96, DIK_NUMPADENTER, "keypad enter is extended"},
      {97, DIK_RCONTROL, "right control is extended"},
      {98, DIK_DIVIDE, "keypad slash is extended"},
      {100, DIK_RMENU, "right alt"},
      {103, DIK_UP, "up arrow"},
      {109, DIK_NEXT, "page down"},
      {127, DIK_APPS, "menu key"},
      {0, -1, "reserved code"},
      {84, -1, "unassigned code inside the main range"},
      {85, -1, "a key of Japanese keyboards"},
      {240, -1, "unknown key"},
  };
  for (const Case& c : cases) EXPECT_EQ(DikFromLinuxKeyCode(c.linux), c.dik) << c.key;
}

// Every key the program can name is reachable, and no two Linux keys collide.
TEST(KeyMapping, EveryPcKeyHasExactlyOneLinuxCode) {
  std::set<int> seen;
  for (int code = 0; code < 256; ++code) {
    const int dik = DikFromLinuxKeyCode(code);
    if (dik < 0) continue;
    EXPECT_TRUE(seen.insert(dik).second) << "two Linux codes give DIK code " << dik;
  }
  for (const KeyName& key : kKeyNames)
    EXPECT_TRUE(seen.count(key.code)) << key.name << " cannot be typed";
}

TEST(KeyMapping, QtKeysGiveThePcKeyCodes) {
  struct Case {
    int key;
    bool keypad;
    int dik;
    const char* why;
  };
  const Case cases[] = {
      {Qt::Key_W, false, DIK_W, "letters by their place on the keyboard"},
      {Qt::Key_F12, false, DIK_F12, "F11 and F12 are apart from F1 to F10"},
      {Qt::Key_0, false, DIK_0, "0 follows 9 on the keyboard"},
      {Qt::Key_Exclam, false, DIK_1, "shifted 1"},
      {Qt::Key_ParenRight, false, DIK_0, "shifted 0"},
      {Qt::Key_Asterisk, false, DIK_8, "shifted 8 on the main block"},
      {Qt::Key_Asterisk, true, DIK_MULTIPLY, "keypad star"},
      {Qt::Key_Plus, false, DIK_EQUALS, "shifted equals"},
      {Qt::Key_Plus, true, DIK_ADD, "keypad plus"},
      {Qt::Key_Slash, true, DIK_DIVIDE, "keypad slash"},
      {Qt::Key_Insert, true, DIK_NUMPAD0, "keypad 0 with Num Lock off"},
      {Qt::Key_Delete, true, DIK_DECIMAL, "keypad point with Num Lock off"},
      {Qt::Key_Enter, false, DIK_NUMPADENTER, "enter is the keypad's"},
      {Qt::Key_Return, false, DIK_RETURN, "return is the main block's"},
      {Qt::Key_PageDown, false, DIK_NEXT, "page down"},
      {Qt::Key_Shift, false, DIK_LSHIFT, "either shift reads as the left one"},
      {Qt::Key_Control, false, DIK_LCONTROL, "either control reads as the left one"},
      {Qt::Key_VolumeUp, false, -1, "media keys have no code"},
  };
  for (const Case& c : cases) EXPECT_EQ(DikFromQtKey(c.key, c.keypad), c.dik) << c.why;
}

}  // namespace vantra::shell
