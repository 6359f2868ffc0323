// Keyboard key codes: one byte per key of a PC keyboard, the index into the 256 key
// bytes of a keyboard poll. Names are the codes' names without their DIK_ prefix.
#pragma once

#include <cstdint>
#include <cstring>

constexpr std::uint8_t DIK_ESCAPE = 0x01;
constexpr std::uint8_t DIK_1 = 0x02;
constexpr std::uint8_t DIK_2 = 0x03;
constexpr std::uint8_t DIK_3 = 0x04;
constexpr std::uint8_t DIK_4 = 0x05;
constexpr std::uint8_t DIK_5 = 0x06;
constexpr std::uint8_t DIK_6 = 0x07;
constexpr std::uint8_t DIK_7 = 0x08;
constexpr std::uint8_t DIK_8 = 0x09;
constexpr std::uint8_t DIK_9 = 0x0A;
constexpr std::uint8_t DIK_0 = 0x0B;
constexpr std::uint8_t DIK_MINUS = 0x0C;
constexpr std::uint8_t DIK_EQUALS = 0x0D;
constexpr std::uint8_t DIK_BACK = 0x0E;
constexpr std::uint8_t DIK_TAB = 0x0F;
constexpr std::uint8_t DIK_Q = 0x10;
constexpr std::uint8_t DIK_W = 0x11;
constexpr std::uint8_t DIK_E = 0x12;
constexpr std::uint8_t DIK_R = 0x13;
constexpr std::uint8_t DIK_T = 0x14;
constexpr std::uint8_t DIK_Y = 0x15;
constexpr std::uint8_t DIK_U = 0x16;
constexpr std::uint8_t DIK_I = 0x17;
constexpr std::uint8_t DIK_O = 0x18;
constexpr std::uint8_t DIK_P = 0x19;
constexpr std::uint8_t DIK_LBRACKET = 0x1A;
constexpr std::uint8_t DIK_RBRACKET = 0x1B;
constexpr std::uint8_t DIK_RETURN = 0x1C;
constexpr std::uint8_t DIK_LCONTROL = 0x1D;
constexpr std::uint8_t DIK_A = 0x1E;
constexpr std::uint8_t DIK_S = 0x1F;
constexpr std::uint8_t DIK_D = 0x20;
constexpr std::uint8_t DIK_F = 0x21;
constexpr std::uint8_t DIK_G = 0x22;
constexpr std::uint8_t DIK_H = 0x23;
constexpr std::uint8_t DIK_J = 0x24;
constexpr std::uint8_t DIK_K = 0x25;
constexpr std::uint8_t DIK_L = 0x26;
constexpr std::uint8_t DIK_SEMICOLON = 0x27;
constexpr std::uint8_t DIK_APOSTROPHE = 0x28;
constexpr std::uint8_t DIK_GRAVE = 0x29;
constexpr std::uint8_t DIK_LSHIFT = 0x2A;
constexpr std::uint8_t DIK_BACKSLASH = 0x2B;
constexpr std::uint8_t DIK_Z = 0x2C;
constexpr std::uint8_t DIK_X = 0x2D;
constexpr std::uint8_t DIK_C = 0x2E;
constexpr std::uint8_t DIK_V = 0x2F;
constexpr std::uint8_t DIK_B = 0x30;
constexpr std::uint8_t DIK_N = 0x31;
constexpr std::uint8_t DIK_M = 0x32;
constexpr std::uint8_t DIK_COMMA = 0x33;
constexpr std::uint8_t DIK_PERIOD = 0x34;
constexpr std::uint8_t DIK_SLASH = 0x35;
constexpr std::uint8_t DIK_RSHIFT = 0x36;
constexpr std::uint8_t DIK_MULTIPLY = 0x37;
constexpr std::uint8_t DIK_LMENU = 0x38;
constexpr std::uint8_t DIK_SPACE = 0x39;
constexpr std::uint8_t DIK_CAPITAL = 0x3A;
constexpr std::uint8_t DIK_F1 = 0x3B;
constexpr std::uint8_t DIK_F2 = 0x3C;
constexpr std::uint8_t DIK_F3 = 0x3D;
constexpr std::uint8_t DIK_F4 = 0x3E;
constexpr std::uint8_t DIK_F5 = 0x3F;
constexpr std::uint8_t DIK_F6 = 0x40;
constexpr std::uint8_t DIK_F7 = 0x41;
constexpr std::uint8_t DIK_F8 = 0x42;
constexpr std::uint8_t DIK_F9 = 0x43;
constexpr std::uint8_t DIK_F10 = 0x44;
constexpr std::uint8_t DIK_NUMLOCK = 0x45;
constexpr std::uint8_t DIK_SCROLL = 0x46;
constexpr std::uint8_t DIK_NUMPAD7 = 0x47;
constexpr std::uint8_t DIK_NUMPAD8 = 0x48;
constexpr std::uint8_t DIK_NUMPAD9 = 0x49;
constexpr std::uint8_t DIK_SUBTRACT = 0x4A;
constexpr std::uint8_t DIK_NUMPAD4 = 0x4B;
constexpr std::uint8_t DIK_NUMPAD5 = 0x4C;
constexpr std::uint8_t DIK_NUMPAD6 = 0x4D;
constexpr std::uint8_t DIK_ADD = 0x4E;
constexpr std::uint8_t DIK_NUMPAD1 = 0x4F;
constexpr std::uint8_t DIK_NUMPAD2 = 0x50;
constexpr std::uint8_t DIK_NUMPAD3 = 0x51;
constexpr std::uint8_t DIK_NUMPAD0 = 0x52;
constexpr std::uint8_t DIK_DECIMAL = 0x53;
constexpr std::uint8_t DIK_OEM_102 = 0x56;
constexpr std::uint8_t DIK_F11 = 0x57;
constexpr std::uint8_t DIK_F12 = 0x58;
constexpr std::uint8_t DIK_F13 = 0x64;
constexpr std::uint8_t DIK_F14 = 0x65;
constexpr std::uint8_t DIK_F15 = 0x66;
constexpr std::uint8_t DIK_NUMPADEQUALS = 0x8D;
constexpr std::uint8_t DIK_NUMPADENTER = 0x9C;
constexpr std::uint8_t DIK_RCONTROL = 0x9D;
constexpr std::uint8_t DIK_NUMPADCOMMA = 0xB3;
constexpr std::uint8_t DIK_DIVIDE = 0xB5;
constexpr std::uint8_t DIK_SYSRQ = 0xB7;
constexpr std::uint8_t DIK_RMENU = 0xB8;
constexpr std::uint8_t DIK_PAUSE = 0xC5;
constexpr std::uint8_t DIK_HOME = 0xC7;
constexpr std::uint8_t DIK_UP = 0xC8;
constexpr std::uint8_t DIK_PRIOR = 0xC9;
constexpr std::uint8_t DIK_LEFT = 0xCB;
constexpr std::uint8_t DIK_RIGHT = 0xCD;
constexpr std::uint8_t DIK_END = 0xCF;
constexpr std::uint8_t DIK_DOWN = 0xD0;
constexpr std::uint8_t DIK_NEXT = 0xD1;
constexpr std::uint8_t DIK_INSERT = 0xD2;
constexpr std::uint8_t DIK_DELETE = 0xD3;
constexpr std::uint8_t DIK_LWIN = 0xDB;
constexpr std::uint8_t DIK_RWIN = 0xDC;
constexpr std::uint8_t DIK_APPS = 0xDD;
constexpr std::uint8_t DIK_BACKSPACE = DIK_BACK;
constexpr std::uint8_t DIK_NUMPADSTAR = DIK_MULTIPLY;
constexpr std::uint8_t DIK_LALT = DIK_LMENU;
constexpr std::uint8_t DIK_CAPSLOCK = DIK_CAPITAL;
constexpr std::uint8_t DIK_NUMPADMINUS = DIK_SUBTRACT;
constexpr std::uint8_t DIK_NUMPADPLUS = DIK_ADD;
constexpr std::uint8_t DIK_NUMPADPERIOD = DIK_DECIMAL;
constexpr std::uint8_t DIK_NUMPADSLASH = DIK_DIVIDE;
constexpr std::uint8_t DIK_RALT = DIK_RMENU;
constexpr std::uint8_t DIK_UPARROW = DIK_UP;
constexpr std::uint8_t DIK_PGUP = DIK_PRIOR;
constexpr std::uint8_t DIK_LEFTARROW = DIK_LEFT;
constexpr std::uint8_t DIK_RIGHTARROW = DIK_RIGHT;
constexpr std::uint8_t DIK_DOWNARROW = DIK_DOWN;
constexpr std::uint8_t DIK_PGDN = DIK_NEXT;

struct KeyName {
  const char* name;
  std::uint8_t code;
};

// Every code's name, aliases last.
constexpr KeyName kKeyNames[] = {
    {"ESCAPE", DIK_ESCAPE},
    {"1", DIK_1},
    {"2", DIK_2},
    {"3", DIK_3},
    {"4", DIK_4},
    {"5", DIK_5},
    {"6", DIK_6},
    {"7", DIK_7},
    {"8", DIK_8},
    {"9", DIK_9},
    {"0", DIK_0},
    {"MINUS", DIK_MINUS},
    {"EQUALS", DIK_EQUALS},
    {"BACK", DIK_BACK},
    {"TAB", DIK_TAB},
    {"Q", DIK_Q},
    {"W", DIK_W},
    {"E", DIK_E},
    {"R", DIK_R},
    {"T", DIK_T},
    {"Y", DIK_Y},
    {"U", DIK_U},
    {"I", DIK_I},
    {"O", DIK_O},
    {"P", DIK_P},
    {"LBRACKET", DIK_LBRACKET},
    {"RBRACKET", DIK_RBRACKET},
    {"RETURN", DIK_RETURN},
    {"LCONTROL", DIK_LCONTROL},
    {"A", DIK_A},
    {"S", DIK_S},
    {"D", DIK_D},
    {"F", DIK_F},
    {"G", DIK_G},
    {"H", DIK_H},
    {"J", DIK_J},
    {"K", DIK_K},
    {"L", DIK_L},
    {"SEMICOLON", DIK_SEMICOLON},
    {"APOSTROPHE", DIK_APOSTROPHE},
    {"GRAVE", DIK_GRAVE},
    {"LSHIFT", DIK_LSHIFT},
    {"BACKSLASH", DIK_BACKSLASH},
    {"Z", DIK_Z},
    {"X", DIK_X},
    {"C", DIK_C},
    {"V", DIK_V},
    {"B", DIK_B},
    {"N", DIK_N},
    {"M", DIK_M},
    {"COMMA", DIK_COMMA},
    {"PERIOD", DIK_PERIOD},
    {"SLASH", DIK_SLASH},
    {"RSHIFT", DIK_RSHIFT},
    {"MULTIPLY", DIK_MULTIPLY},
    {"LMENU", DIK_LMENU},
    {"SPACE", DIK_SPACE},
    {"CAPITAL", DIK_CAPITAL},
    {"F1", DIK_F1},
    {"F2", DIK_F2},
    {"F3", DIK_F3},
    {"F4", DIK_F4},
    {"F5", DIK_F5},
    {"F6", DIK_F6},
    {"F7", DIK_F7},
    {"F8", DIK_F8},
    {"F9", DIK_F9},
    {"F10", DIK_F10},
    {"NUMLOCK", DIK_NUMLOCK},
    {"SCROLL", DIK_SCROLL},
    {"NUMPAD7", DIK_NUMPAD7},
    {"NUMPAD8", DIK_NUMPAD8},
    {"NUMPAD9", DIK_NUMPAD9},
    {"SUBTRACT", DIK_SUBTRACT},
    {"NUMPAD4", DIK_NUMPAD4},
    {"NUMPAD5", DIK_NUMPAD5},
    {"NUMPAD6", DIK_NUMPAD6},
    {"ADD", DIK_ADD},
    {"NUMPAD1", DIK_NUMPAD1},
    {"NUMPAD2", DIK_NUMPAD2},
    {"NUMPAD3", DIK_NUMPAD3},
    {"NUMPAD0", DIK_NUMPAD0},
    {"DECIMAL", DIK_DECIMAL},
    {"OEM_102", DIK_OEM_102},
    {"F11", DIK_F11},
    {"F12", DIK_F12},
    {"F13", DIK_F13},
    {"F14", DIK_F14},
    {"F15", DIK_F15},
    {"NUMPADEQUALS", DIK_NUMPADEQUALS},
    {"NUMPADENTER", DIK_NUMPADENTER},
    {"RCONTROL", DIK_RCONTROL},
    {"NUMPADCOMMA", DIK_NUMPADCOMMA},
    {"DIVIDE", DIK_DIVIDE},
    {"SYSRQ", DIK_SYSRQ},
    {"RMENU", DIK_RMENU},
    {"PAUSE", DIK_PAUSE},
    {"HOME", DIK_HOME},
    {"UP", DIK_UP},
    {"PRIOR", DIK_PRIOR},
    {"LEFT", DIK_LEFT},
    {"RIGHT", DIK_RIGHT},
    {"END", DIK_END},
    {"DOWN", DIK_DOWN},
    {"NEXT", DIK_NEXT},
    {"INSERT", DIK_INSERT},
    {"DELETE", DIK_DELETE},
    {"LWIN", DIK_LWIN},
    {"RWIN", DIK_RWIN},
    {"APPS", DIK_APPS},
    {"BACKSPACE", DIK_BACKSPACE},
    {"NUMPADSTAR", DIK_NUMPADSTAR},
    {"LALT", DIK_LALT},
    {"CAPSLOCK", DIK_CAPSLOCK},
    {"NUMPADMINUS", DIK_NUMPADMINUS},
    {"NUMPADPLUS", DIK_NUMPADPLUS},
    {"NUMPADPERIOD", DIK_NUMPADPERIOD},
    {"NUMPADSLASH", DIK_NUMPADSLASH},
    {"RALT", DIK_RALT},
    {"UPARROW", DIK_UPARROW},
    {"PGUP", DIK_PGUP},
    {"LEFTARROW", DIK_LEFTARROW},
    {"RIGHTARROW", DIK_RIGHTARROW},
    {"DOWNARROW", DIK_DOWNARROW},
    {"PGDN", DIK_PGDN},
};

// The code named name (without DIK_), or -1 when there is none.
inline int KeyCodeFromName(const char* name) {
  for (const KeyName& key : kKeyNames)
    if (std::strcmp(key.name, name) == 0) return key.code;
  return -1;
}
