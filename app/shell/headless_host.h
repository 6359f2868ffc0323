// What the engine asks of a program without a display: an off-screen renderer window,
// message boxes and progress on standard error.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "engine/host.h"

namespace vantra::platform {
class HeadlessWindow;
class InputSource;
}  // namespace vantra::platform

namespace vantra::shell {

class HeadlessHost : public engine::Host {
 public:
  // The window renders at width x height, reads input from input and calls onPresented on
  // the render thread after each presented frame.
  HeadlessHost(int width, int height, platform::InputSource& input,
               std::function<void(long presentedFrames)> onPresented);
  ~HeadlessHost() override;

  platform::RenderWindow* createRendererWindow(const std::string& title) override;
  // Prints "caption: text" to standard error and answers IDOK.
  int messageBox(const std::string& text, const std::string& caption, unsigned type) override;
  // On a terminal, redraws one line on standard error whenever the percentage done changes
  // and ends it when the build is done; otherwise prints one line as a build starts and one
  // as it ends.
  void reportProgress(int done, int total) override;
  // Passes the name on to the callback set with setObjectRemovedCallback.
  void objectRemoved(const std::string& name) override;

  // Render thread: called with the name of each scene object whose reset failed.
  void setObjectRemovedCallback(std::function<void(const std::string& name)> callback);

 private:
  const int _width;
  const int _height;
  platform::InputSource& _input;
  std::function<void(long)> _onPresented;
  std::function<void(const std::string&)> _onObjectRemoved;
  std::unique_ptr<platform::HeadlessWindow> _window;
  const bool _terminal;
  std::atomic<int> _lastPercent{-1};
  std::atomic<bool> _building{false};
};

}  // namespace vantra::shell
