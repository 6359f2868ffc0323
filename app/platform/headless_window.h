// A render target without a screen: an OpenGL 3.3 core context on EGL (Mesa's surfaceless
// platform, or a tiny pbuffer where that is missing) with a fixed client size. Presenting
// only counts frames, so tests, benchmarks and display-less runs use the same device path.
#pragma once

#include <atomic>
#include <functional>

#include "platform/render_window.h"

namespace vantra::platform {

class HeadlessWindow : public RenderWindow {
 public:
  HeadlessWindow(int width, int height, InputSource& input);
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  bool makeCurrent() override;
  void doneCurrent() override;
  long screenFramebuffer() const override { return -1; }
  void swapBuffers() override;
  void clientRect(RECT* rect) const override;
  InputSource& inputSource() override { return _input; }

  // Called on the render thread after every present with the number of frames presented
  // so far. Set it before the render thread starts.
  void setPresentCallback(std::function<void(long presentedFrames)> callback);
  long presentedFrames() const { return _presentedFrames.load(); }

 private:
  bool _createContext();

  const int _width;
  const int _height;
  InputSource& _input;
  // EGL handles kept as void* so that users of this header need no EGL headers.
  void* _display = nullptr;
  void* _context = nullptr;
  void* _surface = nullptr;
  bool _failed = false;
  std::atomic<long> _presentedFrames{0};
  std::function<void(long)> _presentCallback;
};

}  // namespace vantra::platform
