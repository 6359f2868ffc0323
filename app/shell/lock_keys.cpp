#include "shell/lock_keys.h"

#include <QGuiApplication>

// Xlib's headers define macros (None, Bool, KeyPress, ...) that clash with Qt's names, so
// they come after every Qt header.
#include <X11/XKBlib.h>

namespace vantra::shell {

namespace {

bool IndicatorOn(Display* display, const char* name) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == 0) return false;
  Bool on = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
  return on;
}

}  // namespace

LockKeys ReadLockKeys() {
  LockKeys keys;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return keys;
  keys.caps = IndicatorOn(display, "Caps Lock");
  keys.num = IndicatorOn(display, "Num Lock");
  keys.scroll = IndicatorOn(display, "Scroll Lock");
  return keys;
}

}  // namespace vantra::shell
