// Keyboard and mouse state played back from a script, one frame per keyboard poll.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/input_source.h"

namespace vantra::platform {

// A script holds one event per line; '#' starts a comment. Frames count from 0 and a
// frame's events are what that frame's poll sees:
//   F key NAME down|up     NAME is a key-code name without "DIK_" (F12, SPACE...) or a
//                          code such as 0x58; the key stays as set until changed
//   F mouse DX DY          the relative motion that frame's poll reports
//   F button N down|up     N from 0 to 3
//   F quit                 asks the program to stop, as closing its window does
// Frames must not decrease from one line to the next. Each readKeyboard call starts the
// next frame; readMouse then reports that frame's motion.
class ScriptedInputSource : public InputSource {
 public:
  ScriptedInputSource();

  // Replaces the script by the one in text. On a malformed line, an unknown key name or a
  // frame out of order, leaves the script empty, writes a message naming the line into
  // *error and returns false.
  bool parse(const std::string& text, std::string* error);
  // A script file holds at most this many bytes.
  static constexpr std::size_t kMaxScriptBytes = 16 * 1024 * 1024;
  // parse() on the contents of the file at path; larger files and endless streams are
  // refused.
  bool load(const std::string& path, std::string* error);

  // Called on the polling thread when a frame's events include quit.
  void setQuitCallback(std::function<void()> callback);
  // Any thread: a quit event has been played.
  bool quitRequested() const { return _quitRequested.load(); }

  void readKeyboard(std::uint8_t keys[256]) override;
  void readMouse(DIMOUSESTATE* state) override;

 private:
  enum class Kind { kKey, kMouse, kButton, kQuit };
  struct Event {
    long frame;
    Kind kind;
    int code;  // key code or button index
    bool down;
    std::int32_t dx;
    std::int32_t dy;
  };

  static bool ParseLine(const std::string& line, Event* event, bool* empty, std::string* why);

  std::vector<Event> _events;
  std::size_t _next = 0;
  long _frame = -1;
  std::uint8_t _keys[256] = {};
  std::uint8_t _buttons[4] = {};
  // 64 bits: a frame's motion is summed over all its mouse lines.
  std::int64_t _dx = 0;
  std::int64_t _dy = 0;
  std::function<void()> _onQuit;
  std::atomic<bool> _quitRequested{false};
};

}  // namespace vantra::platform
