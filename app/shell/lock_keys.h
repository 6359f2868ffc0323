// The state of the keyboard's lock keys, as the status bar's indicators show it.
#pragma once

namespace vantra::shell {

struct LockKeys {
  bool caps = false;
  bool num = false;
  bool scroll = false;
};

// Reads the X server's keyboard indicators; all off on other window systems.
LockKeys ReadLockKeys();

}  // namespace vantra::shell
