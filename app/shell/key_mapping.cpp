#include "shell/key_mapping.h"

#include <Qt>

#include "platform/dinput_keys.h"

namespace vantra::shell {

namespace {

struct KeyPair {
  int from;
  std::uint8_t dik;
};

template <int N>
int Find(const KeyPair (&pairs)[N], int from) {
  for (const KeyPair& pair : pairs)
    if (pair.from == from) return pair.dik;
  return -1;
}

// Linux input codes of the keys outside the scan-code-compatible range.
constexpr KeyPair kExtendedLinuxKeys[] = {
    {96, DIK_NUMPADENTER}, {97, DIK_RCONTROL},     {98, DIK_DIVIDE},  {99, DIK_SYSRQ},
    {100, DIK_RMENU},      {102, DIK_HOME},        {103, DIK_UP},     {104, DIK_PRIOR},
    {105, DIK_LEFT},       {106, DIK_RIGHT},       {107, DIK_END},    {108, DIK_DOWN},
    {109, DIK_NEXT},       {110, DIK_INSERT},      {111, DIK_DELETE}, {117, DIK_NUMPADEQUALS},
    {119, DIK_PAUSE},      {121, DIK_NUMPADCOMMA}, {125, DIK_LWIN},   {126, DIK_RWIN},
    {127, DIK_APPS},       {183, DIK_F13},         {184, DIK_F14},    {185, DIK_F15},
};

constexpr KeyPair kQtKeys[] = {
    {Qt::Key_Escape, DIK_ESCAPE},
    {Qt::Key_Minus, DIK_MINUS},
    {Qt::Key_Underscore, DIK_MINUS},
    {Qt::Key_Equal, DIK_EQUALS},
    {Qt::Key_Plus, DIK_EQUALS},
    {Qt::Key_Backspace, DIK_BACK},
    {Qt::Key_Tab, DIK_TAB},
    {Qt::Key_Backtab, DIK_TAB},
    {Qt::Key_BracketLeft, DIK_LBRACKET},
    {Qt::Key_BraceLeft, DIK_LBRACKET},
    {Qt::Key_BracketRight, DIK_RBRACKET},
    {Qt::Key_BraceRight, DIK_RBRACKET},
    {Qt::Key_Return, DIK_RETURN},
    {Qt::Key_Control, DIK_LCONTROL},
    {Qt::Key_Semicolon, DIK_SEMICOLON},
    {Qt::Key_Colon, DIK_SEMICOLON},
    {Qt::Key_Apostrophe, DIK_APOSTROPHE},
    {Qt::Key_QuoteDbl, DIK_APOSTROPHE},
    {Qt::Key_QuoteLeft, DIK_GRAVE},
    {Qt::Key_AsciiTilde, DIK_GRAVE},
    {Qt::Key_Shift, DIK_LSHIFT},
    {Qt::Key_Backslash, DIK_BACKSLASH},
    {Qt::Key_Bar, DIK_BACKSLASH},
    {Qt::Key_Comma, DIK_COMMA},
    {Qt::Key_Less, DIK_COMMA},
    {Qt::Key_Period, DIK_PERIOD},
    {Qt::Key_Greater, DIK_PERIOD},
    {Qt::Key_Slash, DIK_SLASH},
    {Qt::Key_Question, DIK_SLASH},
    {Qt::Key_Alt, DIK_LMENU},
    {Qt::Key_Space, DIK_SPACE},
    {Qt::Key_CapsLock, DIK_CAPITAL},
    {Qt::Key_NumLock, DIK_NUMLOCK},
    {Qt::Key_ScrollLock, DIK_SCROLL},
    {Qt::Key_Exclam, DIK_1},
    {Qt::Key_At, DIK_2},
    {Qt::Key_NumberSign, DIK_3},
    {Qt::Key_Dollar, DIK_4},
    {Qt::Key_Percent, DIK_5},
    {Qt::Key_AsciiCircum, DIK_6},
    {Qt::Key_Ampersand, DIK_7},
    {Qt::Key_Asterisk, DIK_8},
    {Qt::Key_ParenLeft, DIK_9},
    {Qt::Key_ParenRight, DIK_0},
    {Qt::Key_Print, DIK_SYSRQ},
    {Qt::Key_SysReq, DIK_SYSRQ},
    {Qt::Key_AltGr, DIK_RMENU},
    {Qt::Key_Pause, DIK_PAUSE},
    {Qt::Key_Home, DIK_HOME},
    {Qt::Key_Up, DIK_UP},
    {Qt::Key_PageUp, DIK_PRIOR},
    {Qt::Key_Left, DIK_LEFT},
    {Qt::Key_Right, DIK_RIGHT},
    {Qt::Key_End, DIK_END},
    {Qt::Key_Down, DIK_DOWN},
    {Qt::Key_PageDown, DIK_NEXT},
    {Qt::Key_Insert, DIK_INSERT},
    {Qt::Key_Delete, DIK_DELETE},
    {Qt::Key_Meta, DIK_LWIN},
    {Qt::Key_Super_L, DIK_LWIN},
    {Qt::Key_Super_R, DIK_RWIN},
    {Qt::Key_Menu, DIK_APPS},
};

constexpr KeyPair kQtKeypadKeys[] = {
    {Qt::Key_0, DIK_NUMPAD0},
    {Qt::Key_1, DIK_NUMPAD1},
    {Qt::Key_2, DIK_NUMPAD2},
    {Qt::Key_3, DIK_NUMPAD3},
    {Qt::Key_4, DIK_NUMPAD4},
    {Qt::Key_5, DIK_NUMPAD5},
    {Qt::Key_6, DIK_NUMPAD6},
    {Qt::Key_7, DIK_NUMPAD7},
    {Qt::Key_8, DIK_NUMPAD8},
    {Qt::Key_9, DIK_NUMPAD9},
    {Qt::Key_Asterisk, DIK_MULTIPLY},
    {Qt::Key_Minus, DIK_SUBTRACT},
    {Qt::Key_Plus, DIK_ADD},
    {Qt::Key_Period, DIK_DECIMAL},
    {Qt::Key_Comma, DIK_NUMPADCOMMA},
    {Qt::Key_Enter, DIK_NUMPADENTER},
    {Qt::Key_Slash, DIK_DIVIDE},
    {Qt::Key_Equal, DIK_NUMPADEQUALS},
    // With Num Lock off the keypad digits arrive as navigation keys.
    {Qt::Key_Insert, DIK_NUMPAD0},
    {Qt::Key_End, DIK_NUMPAD1},
    {Qt::Key_Down, DIK_NUMPAD2},
    {Qt::Key_PageDown, DIK_NUMPAD3},
    {Qt::Key_Left, DIK_NUMPAD4},
    {Qt::Key_Clear, DIK_NUMPAD5},
    {Qt::Key_Right, DIK_NUMPAD6},
    {Qt::Key_Home, DIK_NUMPAD7},
    {Qt::Key_Up, DIK_NUMPAD8},
    {Qt::Key_PageUp, DIK_NUMPAD9},
    {Qt::Key_Delete, DIK_DECIMAL},
};

// Letters in keyboard order, so that a letter's code is looked up rather than computed.
constexpr std::uint8_t kLetterCodes[26] = {
    DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I, DIK_J, DIK_K, DIK_L, DIK_M,
    DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R, DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z,
};

constexpr std::uint8_t kFunctionKeyCodes[15] = {
    DIK_F1, DIK_F2,  DIK_F3,  DIK_F4,  DIK_F5,  DIK_F6,  DIK_F7,  DIK_F8,
    DIK_F9, DIK_F10, DIK_F11, DIK_F12, DIK_F13, DIK_F14, DIK_F15,
};

}  // namespace

int DikFromLinuxKeyCode(int code) {
  // Codes 84, 85 and 89 to 95 are keys of other keyboards, with no DIK_ code of their own.
  if ((code >= 1 && code <= 83) || (code >= 86 && code <= 88)) return code;
  return Find(kExtendedLinuxKeys, code);
}

int DikFromQtKey(int key, bool keypad) {
  if (keypad) {
    const int dik = Find(kQtKeypadKeys, key);
    if (dik >= 0) return dik;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return kLetterCodes[key - Qt::Key_A];
  if (key >= Qt::Key_F1 && key <= Qt::Key_F15) return kFunctionKeyCodes[key - Qt::Key_F1];
  if (key == Qt::Key_0) return DIK_0;
  if (key >= Qt::Key_1 && key <= Qt::Key_9) return DIK_1 + (key - Qt::Key_1);
  if (key == Qt::Key_Enter) return DIK_NUMPADENTER;
  return Find(kQtKeys, key);
}

}  // namespace vantra::shell
