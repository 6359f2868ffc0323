// The window (or headless target) a device renders into and reads input from. The desktop
// shell and the headless runner each provide one.
#pragma once

#include "platform/d3d9.h"

namespace vantra::platform {

class InputSource;

class RenderWindow {
 public:
  virtual ~RenderWindow() = default;

  // Render thread only. The first call creates an OpenGL 3.3 core context that belongs to
  // the calling thread for its whole life; every call makes it current. False on failure.
  virtual bool makeCurrent() = 0;
  // Render thread only: releases the context from the calling thread.
  virtual void doneCurrent() = 0;
  // Render thread only: the framebuffer object that shows on screen (0 for a window's
  // default framebuffer), or -1 when the target has no screen (headless).
  virtual long screenFramebuffer() const = 0;
  // Render thread only: shows what was drawn into the screen framebuffer.
  virtual void swapBuffers() = 0;

  // Any thread: the client area in pixels, left and top 0.
  virtual void clientRect(RECT* rect) const = 0;

  // Any thread: the keyboard and mouse source of this window.
  virtual InputSource& inputSource() = 0;
};

}  // namespace vantra::platform
