#include "platform/scripted_input_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/dinput_keys.h"

namespace vantra::platform {

namespace {

constexpr std::uint8_t kDown = 0x80;

// A whole token as a decimal (base 10) or prefixed hexadecimal (base 0) integer.
bool ParseInteger(const std::string& token, int base, long* value) {
  if (token.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(token.c_str(), &end, base);
  if (errno != 0 || *end != '\0') return false;
  *value = parsed;
  return true;
}

// Motion summed over a frame's lines saturates instead of wrapping round.
std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// How much of a token an error message shows.
constexpr std::size_t kShownTokenBytes = 64;

// A token as an error message shows it, in double quotes: control characters written as
// \xNN so that they cannot drive the terminal, and a long token cut, saying by how much.
std::string Quoted(const std::string& token) {
  std::string shown = "\"";
  const std::size_t kept = std::min(token.size(), kShownTokenBytes);
  for (std::size_t i = 0; i < kept; ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  shown += "\"";
  if (kept < token.size()) shown += " (" + std::to_string(token.size() - kept) + " more bytes cut)";
  return shown;
}

bool ParseUpDown(const std::string& token, bool* down) {
  if (token == "down") {
    *down = true;
    return true;
  }
  if (token == "up") {
    *down = false;
    return true;
  }
  return false;
}

}  // namespace

ScriptedInputSource::ScriptedInputSource() = default;

bool ScriptedInputSource::ParseLine(const std::string& text, Event* event, bool* empty,
                                    std::string* why) {
  std::istringstream words(text.substr(0, text.find('#')));
  std::vector<std::string> tokens;
  for (std::string token; words >> token;) tokens.push_back(token);
  *empty = tokens.empty();
  if (tokens.empty()) return true;

  long frame = 0;
  if (!ParseInteger(tokens[0], 10, &frame) || frame < 0) {
    *why = "expected a frame number (0 or more), found " + Quoted(tokens[0]);
    return false;
  }
  *event = Event{frame, Kind::kQuit, 0, false, 0, 0};
  const std::string verb = tokens.size() > 1 ? tokens[1] : std::string();
  if (verb == "quit" && tokens.size() == 2) return true;
  if (verb == "key" && tokens.size() == 4) {
    event->kind = Kind::kKey;
    std::string name = tokens[2];
    long code = -1;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
      if (!ParseInteger(name, 16, &code) || code < 0 || code > 255) {
        *why = "key code " + Quoted(name) + " is not between 0x00 and 0xFF";
        return false;
      }
    } else {
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      code = KeyCodeFromName(name.c_str());
      if (code < 0) {
        *why = "unknown key name " + Quoted(tokens[2]);
        return false;
      }
    }
    event->code = static_cast<int>(code);
    if (!ParseUpDown(tokens[3], &event->down)) {
      *why = "expected down or up, found " + Quoted(tokens[3]);
      return false;
    }
    return true;
  }
  if (verb == "mouse" && tokens.size() == 4) {
    event->kind = Kind::kMouse;
    long dx = 0;
    long dy = 0;
    if (!ParseInteger(tokens[2], 10, &dx) || !ParseInteger(tokens[3], 10, &dy) || dx < INT_MIN ||
        dx > INT_MAX || dy < INT_MIN || dy > INT_MAX) {
      *why = "expected two whole numbers of mouse motion";
      return false;
    }
    event->dx = static_cast<std::int32_t>(dx);
    event->dy = static_cast<std::int32_t>(dy);
    return true;
  }
  if (verb == "button" && tokens.size() == 4) {
    event->kind = Kind::kButton;
    long index = -1;
    if (!ParseInteger(tokens[2], 10, &index) || index < 0 || index > 3) {
      *why = "button " + Quoted(tokens[2]) + " is not between 0 and 3";
      return false;
    }
    event->code = static_cast<int>(index);
    if (!ParseUpDown(tokens[3], &event->down)) {
      *why = "expected down or up, found " + Quoted(tokens[3]);
      return false;
    }
    return true;
  }
  *why =
      "expected \"F key NAME down|up\", \"F mouse DX DY\", \"F button N down|up\" or "
      "\"F quit\"";
  return false;
}

bool ScriptedInputSource::parse(const std::string& text, std::string* error) {
  _events.clear();
  _next = 0;
  std::vector<Event> events;
  std::istringstream lines(text);
  int lineNumber = 0;
  for (std::string line; std::getline(lines, line);) {
    ++lineNumber;
    Event event{};
    bool empty = false;
    std::string why;
    if (!ParseLine(line, &event, &empty, &why)) {
      *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    if (empty) continue;
    if (!events.empty() && event.frame < events.back().frame) {
      *error = "line " + std::to_string(lineNumber) + ": frame " + std::to_string(event.frame) +
               " comes after frame " + std::to_string(events.back().frame);
      return false;
    }
    events.push_back(event);
  }
  _events.swap(events);
  return true;
}

bool ScriptedInputSource::load(const std::string& path, std::string* error) {
  // A pipe is a fine source (--script /dev/stdin); a directory is a mistake, not an empty
  // script.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    const int failure = fd < 0 ? errno : EISDIR;
    if (fd >= 0) close(fd);
    *error = "cannot read " + Quoted(path) + ": " + std::strerror(failure);
    return false;
  }
  // One byte past the limit tells a script too large, or an endless stream, from one that fits.
  std::string text(kMaxScriptBytes + 1, '\0');
  std::size_t size = 0;
  while (size < text.size()) {
    const ssize_t n = read(fd, &text[size], text.size() - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  close(fd);
  text.resize(size);
  if (text.size() > kMaxScriptBytes) {
    *error = Quoted(path) + " is larger than " + std::to_string(kMaxScriptBytes >> 20) + " MiB";
    return false;
  }
  return parse(text, error);
}

void ScriptedInputSource::setQuitCallback(std::function<void()> callback) {
  _onQuit = std::move(callback);
}

void ScriptedInputSource::readKeyboard(std::uint8_t keys[256]) {
  ++_frame;
  _dx = 0;
  _dy = 0;
  bool quit = false;
  for (; _next < _events.size() && _events[_next].frame == _frame; ++_next) {
    const Event& event = _events[_next];
    switch (event.kind) {
      case Kind::kKey:
        _keys[event.code] = event.down ? kDown : 0;
        break;
      case Kind::kMouse:
        _dx += event.dx;
        _dy += event.dy;
        break;
      case Kind::kButton:
        _buttons[event.code] = event.down ? kDown : 0;
        break;
      case Kind::kQuit:
        quit = true;
        break;
    }
  }
  std::memcpy(keys, _keys, sizeof(_keys));
  if (quit && !_quitRequested.exchange(true) && _onQuit) _onQuit();
}

void ScriptedInputSource::readMouse(DIMOUSESTATE* state) {
  state->lX = ClampToInt32(_dx);
  state->lY = ClampToInt32(_dy);
  state->lZ = 0;
  std::memcpy(state->rgbButtons, _buttons, sizeof(_buttons));
  _dx = 0;
  _dy = 0;
}

}  // namespace vantra::platform
