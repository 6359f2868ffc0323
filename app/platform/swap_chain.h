// The device's render targets: a back buffer of its own (colour plus depth at the size
// given at creation) that draws land in, and a front buffer at the target's current size
// that Present fills and shows, and that screen capture reads. With a flip or discard swap
// effect and nothing to stretch, Present swaps the roles of the two colour buffers instead
// of copying, since those effects leave the back buffer undefined.
#pragma once

#include "platform/d3d9.h"
#include "platform/gl_name.h"

namespace vantra::platform {

class GlStateCache;
class RenderWindow;
class Surface;

class SwapChain {
 public:
  SwapChain(UINT width, UINT height, D3DFORMAT depthFormat, D3DSWAPEFFECT swapEffect,
            GlStateCache& glState);
  SwapChain(const SwapChain&) = delete;
  SwapChain& operator=(const SwapChain&) = delete;

  // Render thread: makes and clears both targets and leaves the back one bound. False
  // when the back target cannot be made complete.
  bool create();
  // Gives the OpenGL names up without deleting them, for a destruction away from the
  // render thread.
  void abandon();

  // Binds the back target and its viewport, for drawing.
  void bindBack() const;
  // Clears the whole back target (no rectangles) or the parts of the rectangles in it,
  // which count rows from the top.
  void clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
             DWORD stencil);
  // Fills the front buffer from the back one, shows it on the window and binds the back
  // target again.
  void present(RenderWindow& window, const RECT* sourceRect, const RECT* destRect);
  // Copies the front buffer into an A8R8G8B8 surface at least as large, top row first,
  // with opaque alpha.
  HRESULT readFront(Surface* surface) const;

  UINT width() const { return _width; }
  UINT height() const { return _height; }
  int frontWidth() const { return _frontWidth; }
  int frontHeight() const { return _frontHeight; }

 private:
  void _resizeFront(int width, int height);
  void _flip();

  const UINT _width;
  const UINT _height;
  const D3DFORMAT _depthFormat;
  const D3DSWAPEFFECT _swapEffect;
  GlStateCache& _glState;
  GlFramebuffer _backFramebuffer;
  GlRenderbuffer _backColour;
  GlRenderbuffer _backDepth;
  GlFramebuffer _frontFramebuffer;
  GlRenderbuffer _frontColour;
  int _frontWidth = 0;
  int _frontHeight = 0;
};

}  // namespace vantra::platform
