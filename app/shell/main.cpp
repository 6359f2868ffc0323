// VantraTest: the desktop program, or the same engine headless for tests and machines
// without a display.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/desktop_app.h"
#include "shell/headless_runner.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: VantraTest [--headless [--frames N] [--size WxH] [--script FILE]\n"
      "                  [--data-dir DIR]] | --help\n"
      "       VantraTest --timedemo [--timedemo-csv FILE] [--size WxH] [--data-dir DIR]\n"
      "\n"
      "Without --headless the program opens its main window and the \"3D App\" renderer\n"
      "window. With no display (neither DISPLAY nor WAYLAND_DISPLAY set) it runs headless.\n"
      "\n"
      "Headless, the engine renders off screen and prints the last frame's six statistics\n"
      "lines to standard output; message boxes and progress go to standard error.\n"
      "  --frames N      stop after N frames (default 600)\n"
      "  --size WxH      render target size in pixels (default 800x600)\n"
      "  --script FILE   play keyboard and mouse input from FILE\n"
      "  --data-dir DIR  change into DIR first: the bitmaps are read and the screen capture\n"
      "                  written there (a bitmap missing there comes from the installed copy)\n"
      "  --timedemo      fly the built-in timed flight (the same frames on every run)\n"
      "                  and print frame-time statistics to standard output\n"
      "  --timedemo-csv FILE  also write one line per frame to FILE: frame, frame ms,\n"
      "                  update ms, render ms, present ms, triangles drawn\n"
      "  --help          show this text\n"
      "\n"
      "Script: one event per line, '#' starts a comment, frames count from 0 and must not\n"
      "decrease; a frame's events are what that frame's input poll sees.\n"
      "  F key NAME down|up   NAME is a key-code name without DIK_ (F12, SPACE, ADD, W...)\n"
      "                       or a code such as 0x58\n"
      "  F mouse DX DY        relative mouse motion reported in frame F\n"
      "  F button N down|up   mouse button N, 0 to 3\n"
      "  F quit               stop after frame F, as closing the window does\n"
      "A malformed line, an unknown key or frames out of order stop the run before the\n"
      "first frame.\n"
      "\n"
      "Exit status: 0 after a normal stop, 1 when the engine failed (for instance its\n"
      "initialisation) or a scene object could not start (the timed flight then flies\n"
      "nothing), 2 for bad arguments, an unusable script or data directory, 130 or 143\n"
      "after SIGINT or SIGTERM (the run ends after the current frame, writing nothing).\n",
      out);
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit then fails with EFBIG, and the writer keeps the old
  // file and removes its temporary, instead of the process being killed mid-write.
  signal(SIGXFSZ, SIG_IGN);
  bool headless = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
    // The timed flight is a headless run, display or not.
    if (std::strcmp(argv[i], "--headless") == 0 || std::strncmp(argv[i], "--timedemo", 10) == 0)
      headless = true;
  }
  if (!headless && !HasDisplay()) {
    std::fputs("VantraTest: no display (DISPLAY and WAYLAND_DISPLAY are unset); running headless\n",
               stderr);
    headless = true;
  }
  if (!headless) return RunDesktop(argc, argv);

  HeadlessOptions options;
  std::string error;
  if (!HeadlessRunner::ParseArguments(argc, argv, &options, &error)) {
    std::fprintf(stderr, "VantraTest: %s (see --help)\n", error.c_str());
    return 2;
  }
  return HeadlessRunner(options).run();
}
