// What the engine asks of the program around it: the desktop shell or the headless runner.
#pragma once

#include <cstdio>
#include <string>

// Message box types and answers, with the values of the interface the program was written for.
constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

namespace vantra::platform {
class RenderWindow;
}

namespace vantra::engine {

// Durations of one presented frame, in milliseconds.
struct FrameTimes {
  float frame;  // from the frame's start to the end of its presentation
  float update;
  float render;
  float present;
};

class Host {
 public:
  virtual ~Host() = default;

  // GUI thread: creates and shows the renderer window with this title. The host owns the
  // window and keeps it until the engine has been deleted.
  virtual platform::RenderWindow* createRendererWindow(const std::string& title) = 0;

  // Any thread: shows a modal message box with no owner window and waits for the answer.
  // Headless hosts print "caption: text" to standard error and answer IDOK.
  virtual int messageBox(const std::string& text, const std::string& caption, unsigned type) = 0;

  // Any thread: progress of a long load (the terrain's build: leaves done out of total).
  virtual void reportProgress(int done, int total) = 0;

  // Any thread: a passing notice, such as a screen capture that could not be saved. It goes
  // to standard error; the desktop also shows it in its status bar.
  virtual void reportStatus(const std::string& text) {
    std::fprintf(stderr, "VantraTest: %s\n", text.c_str());
  }

  // Render thread: the scene object named name failed its reset and has left the scene
  // (after the message box that says so); the frames go on without it.
  virtual void objectRemoved(const std::string& /*name*/) {}

  // Render thread: the durations of the frame just presented. Hosts that keep no record of
  // single frames leave this as it is.
  virtual void framePresented(const FrameTimes&) {}
};

}  // namespace vantra::engine
