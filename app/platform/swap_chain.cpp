#include "platform/swap_chain.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/device_state.h"
#include "platform/gl_state_cache.h"
#include "platform/gl_translation.h"
#include "platform/render_window.h"
#include "platform/surface.h"

namespace vantra::platform {

SwapChain::SwapChain(UINT width, UINT height, D3DFORMAT depthFormat, D3DSWAPEFFECT swapEffect,
                     GlStateCache& glState)
    : _width(width),
      _height(height),
      _depthFormat(depthFormat),
      _swapEffect(swapEffect),
      _glState(glState) {}

bool SwapChain::create() {
  const GLsizei w = static_cast<GLsizei>(_width);
  const GLsizei h = static_cast<GLsizei>(_height);
  _backColour = GlRenderbuffer::Generate();
  _glState.bindRenderbuffer(_backColour.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  _backFramebuffer = GlFramebuffer::Generate();
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            _backColour.get());
  if (_depthFormat != D3DFMT_UNKNOWN) {
    _backDepth = GlRenderbuffer::Generate();
    _glState.bindRenderbuffer(_backDepth.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GlTranslation::DepthInternalFormat(_depthFormat), w, h);
    glFramebufferRenderbuffer(
        GL_FRAMEBUFFER,
        DeviceState::HasStencil(_depthFormat) ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
        GL_RENDERBUFFER, _backDepth.get());
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  glClearColor(0, 0, 0, 1);
  glClearDepth(0.0);
  glClear(GL_COLOR_BUFFER_BIT | (_backDepth ? GL_DEPTH_BUFFER_BIT : 0));

  _resizeFront(static_cast<int>(_width), static_cast<int>(_height));
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  return true;
}

void SwapChain::abandon() {
  _backFramebuffer.release();
  _backColour.release();
  _backDepth.release();
  _frontFramebuffer.release();
  _frontColour.release();
}

void SwapChain::bindBack() const {
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  glViewport(0, 0, static_cast<GLsizei>(_width), static_cast<GLsizei>(_height));
}

void SwapChain::clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
                      DWORD stencil) {
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    GlTranslation::Colour(colour, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    // Depth is stored reversed: far is 0.
    glClearDepth(1.0 - z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil));
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (count == 0) {
    glDisable(GL_SCISSOR_TEST);
    glClear(mask);
  } else {
    glEnable(GL_SCISSOR_TEST);
    const LONG w = static_cast<LONG>(_width);
    const LONG h = static_cast<LONG>(_height);
    for (DWORD i = 0; i < count; ++i) {
      const LONG x1 = std::clamp(rects[i].x1, 0, w), x2 = std::clamp(rects[i].x2, 0, w);
      const LONG y1 = std::clamp(rects[i].y1, 0, h), y2 = std::clamp(rects[i].y2, 0, h);
      if (x2 <= x1 || y2 <= y1) continue;
      // Rectangles count rows from the top; the framebuffer counts them from the bottom.
      glScissor(x1, h - y2, x2 - x1, y2 - y1);
      glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
  }
  _glState.forgetFixedState();
}

void SwapChain::present(RenderWindow& window, const RECT* sourceRect, const RECT* destRect) {
  RECT client{0, 0, 0, 0};
  window.clientRect(&client);
  const int clientWidth = std::max<int>(client.right - client.left, 1);
  const int clientHeight = std::max<int>(client.bottom - client.top, 1);
  if (clientWidth != _frontWidth || clientHeight != _frontHeight)
    _resizeFront(clientWidth, clientHeight);

  // Flipping needs both colour buffers at one size; a stretch or a part of the image
  // needs the copy.
  const bool flip = (_swapEffect == D3DSWAPEFFECT_FLIP || _swapEffect == D3DSWAPEFFECT_DISCARD) &&
                    sourceRect == nullptr && destRect == nullptr &&
                    clientWidth == static_cast<int>(_width) &&
                    clientHeight == static_cast<int>(_height);
  const long screen = window.screenFramebuffer();
  if (!flip || screen >= 0) glDisable(GL_SCISSOR_TEST);
  if (flip) {
    _flip();
  } else {
    RECT source = sourceRect != nullptr
                      ? *sourceRect
                      : RECT{0, 0, static_cast<LONG>(_width), static_cast<LONG>(_height)};
    RECT dest = destRect != nullptr ? *destRect : RECT{0, 0, clientWidth, clientHeight};
    const LONG h = static_cast<LONG>(_height);
    // The back buffer is copied, stretched like a windowed swap chain, into the front buffer.
    _glState.bindFramebuffer(GL_READ_FRAMEBUFFER, _backFramebuffer.get());
    _glState.bindFramebuffer(GL_DRAW_FRAMEBUFFER, _frontFramebuffer.get());
    const bool sameSize = source.right - source.left == dest.right - dest.left &&
                          source.bottom - source.top == dest.bottom - dest.top;
    glBlitFramebuffer(source.left, h - source.bottom, source.right, h - source.top, dest.left,
                      clientHeight - dest.bottom, dest.right, clientHeight - dest.top,
                      GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
  }
  if (screen >= 0) {
    _glState.bindFramebuffer(GL_READ_FRAMEBUFFER, _frontFramebuffer.get());
    _glState.bindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(screen));
    glBlitFramebuffer(0, 0, clientWidth, clientHeight, 0, 0, clientWidth, clientHeight,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  window.swapBuffers();
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  // A window's swap belongs to its toolkit, which may leave any state behind; the headless
  // swap only counts.
  if (screen >= 0) _glState.reset();
}

HRESULT SwapChain::readFront(Surface* surface) const {
  if (surface == nullptr || surface->format() != D3DFMT_A8R8G8B8 ||
      surface->width() < static_cast<UINT>(_frontWidth) ||
      surface->height() < static_cast<UINT>(_frontHeight))
    return D3DERR_INVALIDCALL;
  std::vector<BYTE> rows(static_cast<std::size_t>(_frontWidth) * _frontHeight * 4);
  _glState.bindFramebuffer(GL_READ_FRAMEBUFFER, _frontFramebuffer.get());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, _frontWidth, _frontHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  _glState.bindFramebuffer(GL_READ_FRAMEBUFFER, _backFramebuffer.get());
  // The framebuffer's first row is the bottom one; the surface's is the top one.
  BYTE* pixels = surface->pixels();
  std::fill(pixels, pixels + static_cast<std::size_t>(surface->pitch()) * surface->height(), 0);
  const std::size_t rowBytes = static_cast<std::size_t>(_frontWidth) * 4;
  for (int row = 0; row < _frontHeight; ++row) {
    BYTE* target = pixels + static_cast<std::size_t>(row) * surface->pitch();
    std::memcpy(target, &rows[(_frontHeight - 1 - row) * rowBytes], rowBytes);
    for (int x = 0; x < _frontWidth; ++x) target[4 * x + 3] = 0xFF;
  }
  return D3D_OK;
}

void SwapChain::_resizeFront(int width, int height) {
  if (!_frontFramebuffer) {
    _frontFramebuffer = GlFramebuffer::Generate();
    _frontColour = GlRenderbuffer::Generate();
  }
  _glState.bindRenderbuffer(_frontColour.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _frontFramebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            _frontColour.get());
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  _frontWidth = width;
  _frontHeight = height;
  _glState.forgetFixedState();
}

void SwapChain::_flip() {
  std::swap(_backColour, _frontColour);
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _frontFramebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            _frontColour.get());
  _glState.bindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            _backColour.get());
}

}  // namespace vantra::platform
