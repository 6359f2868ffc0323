#include "x11_session.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace vantra::shell {

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string RunCommand(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return {};
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  return pclose(pipe) == 0 ? output : std::string();
}

unsigned long FindWindow(const std::string& title, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    const std::string ids =
        RunCommand("xdotool search --onlyvisible --name " + Quote("^" + title + "$"));
    if (!ids.empty()) return std::strtoul(ids.c_str(), nullptr, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return 0;
}

bool WindowViewable(unsigned long window) {
  return RunCommand("xwininfo -id " + std::to_string(window)).find("IsViewable") !=
         std::string::npos;
}

bool WindowSize(unsigned long window, int* width, int* height) {
  const std::string info = RunCommand("xwininfo -id " + std::to_string(window));
  const size_t w = info.find("Width:");
  const size_t h = info.find("Height:");
  if (w == std::string::npos || h == std::string::npos) return false;
  *width = std::atoi(info.c_str() + w + 6);
  *height = std::atoi(info.c_str() + h + 7);
  return true;
}

Picture GrabWindow(unsigned long window) {
  Picture picture;
  char path[] = "/tmp/vantra-grab-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return picture;
  close(fd);
  const std::string ppm = std::string(path) + ".ppm";
  if (std::system(("import -window " + std::to_string(window) + " -depth 8 " + ppm + " 2>/dev/null")
                      .c_str()) == 0) {
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> picture.width >> picture.height >> maxValue;
    in.get();
    if (magic == "P6" && maxValue == 255 && picture.width > 0 && picture.height > 0) {
      picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
      in.read(reinterpret_cast<char*>(picture.rgb.data()), picture.rgb.size());
      if (!in) picture = Picture();
    } else {
      picture = Picture();
    }
  }
  std::remove(ppm.c_str());
  std::remove(path);
  return picture;
}

bool FocusWindow(unsigned long window) {
  const std::string id = std::to_string(window);
  RunCommand("xdotool windowfocus --sync " + id);
  return RunCommand("xdotool getwindowfocus") == id + "\n";
}

void PressKeys(const std::string& keys, std::chrono::milliseconds held) {
  RunCommand("xdotool keydown " + Quote(keys));
  std::this_thread::sleep_for(held);
  RunCommand("xdotool keyup " + Quote(keys));
}

bool RequestClose(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return sent != 0;
}

}  // namespace vantra::shell
