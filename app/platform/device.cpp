#include "platform/device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/render_window.h"
#include "platform/surface.h"
#include "platform/texture.h"

namespace {

constexpr DWORD SupportedFvfBits = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | 0xF00;

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

UINT TexCoordCount(DWORD fvf) { return (fvf >> 8) & 0xF; }

UINT VertexSize(DWORD fvf) {
  return 12 + ((fvf & D3DFVF_NORMAL) ? 12 : 0) + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) +
         8 * TexCoordCount(fvf);
}

bool IsValidFvf(DWORD fvf) {
  return (fvf & ~SupportedFvfBits) == 0 && (fvf & D3DFVF_XYZ) != 0 && TexCoordCount(fvf) <= 8;
}

bool PrimitiveMode(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, UINT* vertices) {
  switch (type) {
    case D3DPT_POINTLIST:
      *mode = GL_POINTS;
      *vertices = primitives;
      return true;
    case D3DPT_LINELIST:
      *mode = GL_LINES;
      *vertices = 2 * primitives;
      return true;
    case D3DPT_LINESTRIP:
      *mode = GL_LINE_STRIP;
      *vertices = primitives + 1;
      return true;
    case D3DPT_TRIANGLELIST:
      *mode = GL_TRIANGLES;
      *vertices = 3 * primitives;
      return true;
    case D3DPT_TRIANGLESTRIP:
      *mode = GL_TRIANGLE_STRIP;
      *vertices = primitives + 2;
      return true;
    case D3DPT_TRIANGLEFAN:
      *mode = GL_TRIANGLE_FAN;
      *vertices = primitives + 2;
      return true;
  }
  return false;
}

// Depth is stored reversed (far is 0) so that a float buffer keeps its relative precision
// over the whole range; the comparisons turn around with it.
GLenum ReversedDepthFunc(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_GREATER;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_GEQUAL;
    case D3DCMP_GREATER:
      return GL_LESS;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_LEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum AddressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

GLenum DepthInternalFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D32F_LOCKABLE:
      return GL_DEPTH_COMPONENT32F;
    case D3DFMT_D24FS8:
      return GL_DEPTH32F_STENCIL8;
    case D3DFMT_D24S8:
      return GL_DEPTH24_STENCIL8;
    case D3DFMT_D24X8:
      return GL_DEPTH_COMPONENT24;
    case D3DFMT_D16:
      return GL_DEPTH_COMPONENT16;
    default:
      return 0;
  }
}

// The N-patch level: the whole number of segments per edge. Counts made of 0.1 steps fall
// just short of whole numbers (forty steps make 3.9999983), so a count within a thousandth
// below one counts as that number.
float TessellationLevel(float segments) { return std::floor(segments + 1e-3f); }

bool HasStencil(D3DFORMAT format) { return format == D3DFMT_D24S8 || format == D3DFMT_D24FS8; }

void ColourValue(D3DCOLOR colour, float out[4]) {
  out[0] = ((colour >> 16) & 0xFF) / 255.0f;
  out[1] = ((colour >> 8) & 0xFF) / 255.0f;
  out[2] = (colour & 0xFF) / 255.0f;
  out[3] = ((colour >> 24) & 0xFF) / 255.0f;
}

// Double-precision 4x4 helpers for the few products made per state change.
struct Matrix4d {
  double m[16];
};

Matrix4d ToDouble(const D3DMATRIX& a) {
  const float* f = a;
  Matrix4d d;
  for (int i = 0; i < 16; ++i) d.m[i] = f[i];
  return d;
}

Matrix4d Multiply(const Matrix4d& a, const Matrix4d& b) {
  Matrix4d r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[4 * i + k] * b.m[4 * k + j];
      r.m[4 * i + j] = sum;
    }
  return r;
}

void ToFloat(const Matrix4d& d, float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(d.m[i]);
}

// The inverse transpose of the upper 3x3, which carries normals; the matrix itself when it
// is singular.
void NormalMatrix(const Matrix4d& a, float out[9]) {
  const double* m = a.m;
  auto e = [&](int r, int c) { return m[4 * r + c]; };
  double cof[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
      cof[r][c] = e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1);
    }
  const double det = e(0, 0) * cof[0][0] + e(0, 1) * cof[0][1] + e(0, 2) * cof[0][2];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      out[3 * r + c] = std::fabs(det) > 1e-30 ? static_cast<float>(cof[r][c] / det)
                                              : static_cast<float>(e(r, c));
}

void TransformDirection(const Matrix4d& m, const D3DVECTOR& v, float out[3]) {
  for (int c = 0; c < 3; ++c)
    out[c] = static_cast<float>(v.x * m.m[c] + v.y * m.m[4 + c] + v.z * m.m[8 + c]);
}

void TransformPoint(const Matrix4d& m, const D3DVECTOR& v, float out[3]) {
  for (int c = 0; c < 3; ++c)
    out[c] = static_cast<float>(v.x * m.m[c] + v.y * m.m[4 + c] + v.z * m.m[8 + c] + m.m[12 + c]);
}

void Normalise(float v[3]) {
  const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length > 0)
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

}  // namespace

bool Device::IsDepthFormatSupported(D3DFORMAT format) { return DepthInternalFormat(format) != 0; }

HRESULT Device::Create(RenderWindow* window, D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device) {
  if (device == nullptr) return D3DERR_INVALIDCALL;
  *device = nullptr;
  if (window == nullptr || parameters == nullptr) return D3DERR_INVALIDCALL;
  if (parameters->BackBufferFormat != D3DFMT_UNKNOWN &&
      parameters->BackBufferFormat != D3DFMT_X8R8G8B8 &&
      parameters->BackBufferFormat != D3DFMT_A8R8G8B8)
    return D3DERR_INVALIDCALL;
  if (parameters->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  const D3DFORMAT depthFormat =
      parameters->EnableAutoDepthStencil ? parameters->AutoDepthStencilFormat : D3DFMT_UNKNOWN;
  if (parameters->EnableAutoDepthStencil && !IsDepthFormatSupported(depthFormat))
    return D3DERR_NOTAVAILABLE;
  if (!window->makeCurrent()) return D3DERR_NOTAVAILABLE;
  // Reversed depth needs the 0..1 clip range.
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control"))
    return D3DERR_NOTAVAILABLE;

  RECT client{0, 0, 0, 0};
  window->clientRect(&client);
  if (parameters->BackBufferWidth == 0)
    parameters->BackBufferWidth = static_cast<UINT>(std::max<LONG>(client.right - client.left, 1));
  if (parameters->BackBufferHeight == 0)
    parameters->BackBufferHeight = static_cast<UINT>(std::max<LONG>(client.bottom - client.top, 1));
  if (parameters->BackBufferWidth > 16384 || parameters->BackBufferHeight > 16384)
    return D3DERR_INVALIDCALL;
  if (parameters->BackBufferFormat == D3DFMT_UNKNOWN)
    parameters->BackBufferFormat = D3DFMT_X8R8G8B8;
  if (parameters->BackBufferCount == 0) parameters->BackBufferCount = 1;

  Device* created = new Device(window, parameters->BackBufferWidth, parameters->BackBufferHeight,
                               depthFormat, parameters->SwapEffect);
  if (!created->_createTargets()) {
    created->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *device = created;
  return D3D_OK;
}

Device::Device(RenderWindow* window, UINT width, UINT height, D3DFORMAT depthFormat,
               D3DSWAPEFFECT swapEffect)
    : _window(window),
      _context(std::make_shared<ContextLink>()),
      _width(width),
      _height(height),
      _depthFormat(depthFormat),
      _swapEffect(swapEffect),
      _patchIndices(_context) {
  _setDefaults();
}

void Device::_setDefaults() {
  DWORD* rs = _renderStates;
  rs[D3DRS_ZENABLE] = _depthFormat != D3DFMT_UNKNOWN ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = 1;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_LIGHTING] = 1;
  rs[D3DRS_COLORVERTEX] = 1;
  rs[D3DRS_LOCALVIEWER] = 1;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (DWORD stage = 0; stage < 8; ++stage) {
    DWORD* ts = _stageStates[stage];
    ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = stage;
    DWORD* ss = _samplerStates[stage];
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
  }
  _world.makeIdentity();
  _view.makeIdentity();
  _projection.makeIdentity();
}

bool Device::_createTargets() {
  const GLsizei w = static_cast<GLsizei>(_width);
  const GLsizei h = static_cast<GLsizei>(_height);
  glGenRenderbuffers(1, &_backColour);
  glBindRenderbuffer(GL_RENDERBUFFER, _backColour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  glGenFramebuffers(1, &_backFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _backColour);
  if (_depthFormat != D3DFMT_UNKNOWN) {
    glGenRenderbuffers(1, &_backDepth);
    glBindRenderbuffer(GL_RENDERBUFFER, _backDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, DepthInternalFormat(_depthFormat), w, h);
    glFramebufferRenderbuffer(
        GL_FRAMEBUFFER,
        HasStencil(_depthFormat) ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
        GL_RENDERBUFFER, _backDepth);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  glClearColor(0, 0, 0, 1);
  glClearDepth(0.0);
  glClear(GL_COLOR_BUFFER_BIT | (_backDepth != 0 ? GL_DEPTH_BUFFER_BIT : 0));

  _resizeFront(static_cast<int>(_width), static_cast<int>(_height));
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);

  glGenVertexArrays(1, &_vertexArray);
  glBindVertexArray(_vertexArray);
  glGenBuffers(1, &_streamBuffer);

  const std::uint32_t white = 0xFFFFFFFF;
  glGenTextures(1, &_whiteTexture);
  glBindTexture(GL_TEXTURE_2D, _whiteTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

  glGenSamplers(ShaderCache::Stages, _samplers);
  for (DWORD s = 0; s < ShaderCache::Stages; ++s) {
    glBindSampler(s, _samplers[s]);
    _applySamplerState(s);
  }
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  glGetFloatv(GL_POINT_SIZE_RANGE, pointSizes);
  _maxPointSize = pointSizes[1];
  glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  _tessellation = epoxy_gl_version() >= 40;
  if (_tessellation) {
    GLint maxLevel = 0;
    glGetIntegerv(GL_MAX_TESS_GEN_LEVEL, &maxLevel);
    _maxTessellationLevel = static_cast<float>(maxLevel);
    glPatchParameteri(GL_PATCH_VERTICES, 3);
  }
  glFrontFace(GL_CW);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  return glGetError() == GL_NO_ERROR;
}

void Device::_resizeFront(int width, int height) {
  if (_frontFramebuffer == 0) {
    glGenFramebuffers(1, &_frontFramebuffer);
    glGenRenderbuffers(1, &_frontColour);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, _frontColour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, _frontFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _frontColour);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  _frontWidth = width;
  _frontHeight = height;
  _glStateDirty = true;
}

void Device::_flip() {
  std::swap(_backColour, _frontColour);
  glBindFramebuffer(GL_FRAMEBUFFER, _frontFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _frontColour);
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _backColour);
}

Device::~Device() {
  for (Texture*& texture : _textures)
    if (texture != nullptr) texture->Release();
  if (_stream != nullptr) _stream->Release();
  if (_indices != nullptr) _indices->Release();
  // Away from the render thread the context is not current: destroying it frees all.
  const bool current = _context->usable();
  _patchIndices.clear();
  _context->detach();
  _shaders.clear(current);
  if (!current) return;
  glDeleteSamplers(ShaderCache::Stages, _samplers);
  glDeleteTextures(1, &_whiteTexture);
  glDeleteBuffers(1, &_streamBuffer);
  glDeleteVertexArrays(1, &_vertexArray);
  glDeleteFramebuffers(1, &_backFramebuffer);
  glDeleteFramebuffers(1, &_frontFramebuffer);
  glDeleteRenderbuffers(1, &_backColour);
  glDeleteRenderbuffers(1, &_backDepth);
  glDeleteRenderbuffers(1, &_frontColour);
}

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                      DWORD Stencil) {
  if ((Count > 0 && pRects == nullptr) || (Flags & 7) == 0 || (Flags & ~7u) != 0)
    return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_ZBUFFER) != 0 && _backDepth == 0) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_STENCIL) != 0 && !HasStencil(_depthFormat)) return D3DERR_INVALIDCALL;
  if (Z < 0.0f || Z > 1.0f) return D3DERR_INVALIDCALL;
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  GLbitfield mask = 0;
  if (Flags & D3DCLEAR_TARGET) {
    float c[4];
    ColourValue(Color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(1.0 - Z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(Stencil));
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (Count == 0) {
    glDisable(GL_SCISSOR_TEST);
    glClear(mask);
  } else {
    glEnable(GL_SCISSOR_TEST);
    const LONG w = static_cast<LONG>(_width);
    const LONG h = static_cast<LONG>(_height);
    for (DWORD i = 0; i < Count; ++i) {
      const LONG x1 = std::clamp(pRects[i].x1, 0, w), x2 = std::clamp(pRects[i].x2, 0, w);
      const LONG y1 = std::clamp(pRects[i].y1, 0, h), y2 = std::clamp(pRects[i].y2, 0, h);
      if (x2 <= x1 || y2 <= y1) continue;
      // Rectangles count rows from the top; the framebuffer counts them from the bottom.
      glScissor(x1, h - y2, x2 - x1, y2 - y1);
      glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
  }
  _glStateDirty = true;
  return D3D_OK;
}

HRESULT Device::BeginScene() {
  if (_inScene) return D3DERR_INVALIDCALL;
  _inScene = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!_inScene) return D3DERR_INVALIDCALL;
  _inScene = false;
  glFlush();
  return D3D_OK;
}

HRESULT Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                        const void*) {
  if (hDestWindowOverride != nullptr && hDestWindowOverride != _window) return D3DERR_INVALIDCALL;
  RECT client{0, 0, 0, 0};
  _window->clientRect(&client);
  const int clientWidth = std::max<int>(client.right - client.left, 1);
  const int clientHeight = std::max<int>(client.bottom - client.top, 1);
  if (clientWidth != _frontWidth || clientHeight != _frontHeight)
    _resizeFront(clientWidth, clientHeight);

  // Flipping needs both colour buffers at one size; a stretch or a part of the image
  // needs the copy.
  const bool flip = (_swapEffect == D3DSWAPEFFECT_FLIP || _swapEffect == D3DSWAPEFFECT_DISCARD) &&
                    pSourceRect == nullptr && pDestRect == nullptr &&
                    clientWidth == static_cast<int>(_width) &&
                    clientHeight == static_cast<int>(_height);
  const long screen = _window->screenFramebuffer();
  if (!flip || screen >= 0) glDisable(GL_SCISSOR_TEST);
  if (flip) {
    _flip();
  } else {
    RECT source = pSourceRect != nullptr
                      ? *pSourceRect
                      : RECT{0, 0, static_cast<LONG>(_width), static_cast<LONG>(_height)};
    RECT dest = pDestRect != nullptr ? *pDestRect : RECT{0, 0, clientWidth, clientHeight};
    const LONG h = static_cast<LONG>(_height);
    // The back buffer is copied, stretched like a windowed swap chain, into the front buffer.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, _backFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, _frontFramebuffer);
    const bool sameSize = source.right - source.left == dest.right - dest.left &&
                          source.bottom - source.top == dest.bottom - dest.top;
    glBlitFramebuffer(source.left, h - source.bottom, source.right, h - source.top, dest.left,
                      clientHeight - dest.bottom, dest.right, clientHeight - dest.top,
                      GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
  }
  if (screen >= 0) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, _frontFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(screen));
    glBlitFramebuffer(0, 0, clientWidth, clientHeight, 0, 0, clientWidth, clientHeight,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  _window->swapBuffers();
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  // A window's swap belongs to its toolkit, which may leave any state behind; the headless
  // swap only counts.
  if (screen >= 0) forgetGlState();
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (pCaps == nullptr) return D3DERR_INVALIDCALL;
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  glGetFloatv(GL_POINT_SIZE_RANGE, pointSizes);
  GLint maxTextureSide = BitmapFile::MaxSide;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide);
  *pCaps = D3DCAPS9{};
  pCaps->DeviceType = D3DDEVTYPE_HAL;
  pCaps->AdapterOrdinal = D3DADAPTER_DEFAULT;
  pCaps->RasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_WBUFFER;
  pCaps->ZCmpCaps = 0xFF;
  pCaps->MaxTextureWidth = std::min<DWORD>(maxTextureSide, BitmapFile::MaxSide);
  pCaps->MaxTextureHeight = pCaps->MaxTextureWidth;
  pCaps->MaxTextureBlendStages = ShaderCache::Stages;
  pCaps->MaxSimultaneousTextures = ShaderCache::Stages;
  pCaps->MaxActiveLights = ShaderCache::MaxLights;
  pCaps->MaxPointSize = pointSizes[1];
  pCaps->MaxPrimitiveCount = 0xFFFFFF;
  pCaps->MaxVertexIndex = 0xFFFFFF;
  pCaps->MaxStreams = 1;
  if (_tessellation) {
    pCaps->DevCaps = D3DDEVCAPS_NPATCHES;
    pCaps->MaxNpatchTessellationLevel = _maxTessellationLevel;
  }
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  if (State >= 256) return D3DERR_INVALIDCALL;
  if (State == D3DRS_ZENABLE && Value > D3DZB_USEW) return D3DERR_INVALIDCALL;
  if (State == D3DRS_FILLMODE && (Value < D3DFILL_POINT || Value > D3DFILL_SOLID))
    return D3DERR_INVALIDCALL;
  if (State == D3DRS_CULLMODE && (Value < D3DCULL_NONE || Value > D3DCULL_CCW))
    return D3DERR_INVALIDCALL;
  if (_renderStates[State] == Value) return D3D_OK;
  _renderStates[State] = Value;
  _glStateDirty = true;
  _shaderKeyDirty = true;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if (State >= 256 || pValue == nullptr) return D3DERR_INVALIDCALL;
  *pValue = _renderStates[State];
  return D3D_OK;
}

// Without tessellation shaders the count is kept with no effect, as on a device without
// the N-patch capability.
HRESULT Device::SetNPatchMode(float nSegments) {
  if (!(nSegments >= 0.0f)) return D3DERR_INVALIDCALL;
  if (TessellationLevel(nSegments) >= 1.0f && !_tessellation && !_nPatchWarned) {
    std::fprintf(stderr,
                 "N-patches need OpenGL 4.0 tessellation shaders, which this context lacks: "
                 "triangles are drawn flat\n");
    _nPatchWarned = true;
  }
  _nPatchSegments = nSegments;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  if (pMatrix == nullptr) return D3DERR_INVALIDCALL;
  switch (State) {
    case D3DTS_WORLD:
      _world = *pMatrix;
      break;
    case D3DTS_VIEW:
      _view = *pMatrix;
      break;
    case D3DTS_PROJECTION:
      _projection = *pMatrix;
      // Whether w-buffering applies depends on the projection.
      _shaderKeyDirty = true;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  if (pMatrix == nullptr) return D3DERR_INVALIDCALL;
  switch (State) {
    case D3DTS_WORLD:
      *pMatrix = _world;
      return D3D_OK;
    case D3DTS_VIEW:
      *pMatrix = _view;
      return D3D_OK;
    case D3DTS_PROJECTION:
      *pMatrix = _projection;
      return D3D_OK;
    default:
      return D3DERR_INVALIDCALL;
  }
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial) {
  if (pMaterial == nullptr) return D3DERR_INVALIDCALL;
  _material = *pMaterial;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) {
  if (pMaterial == nullptr) return D3DERR_INVALIDCALL;
  *pMaterial = _material;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
  if (pLight == nullptr || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL)
    return D3DERR_INVALIDCALL;
  const D3DVECTOR& d = pLight->Direction;
  if (pLight->Type != D3DLIGHT_POINT && d.x == 0 && d.y == 0 && d.z == 0) return D3DERR_INVALIDCALL;
  auto found = _lights.find(Index);
  if (found == _lights.end())
    _lights.emplace(Index, LightSlot{*pLight, false});
  else
    found->second.light = *pLight;
  _shaderKeyDirty = true;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
  const auto found = _lights.find(Index);
  if (pLight == nullptr || found == _lights.end()) return D3DERR_INVALIDCALL;
  *pLight = found->second.light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
  auto found = _lights.find(Index);
  if (found == _lights.end()) {
    // A light enabled before it was set is a white directional light along +z.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
    light.Direction = D3DVECTOR{0, 0, 1};
    found = _lights.emplace(Index, LightSlot{light, false}).first;
  }
  if (Enable && !found->second.enabled) {
    const auto active = std::count_if(_lights.begin(), _lights.end(),
                                      [](const auto& slot) { return slot.second.enabled; });
    if (active >= ShaderCache::MaxLights) return D3DERR_INVALIDCALL;
  }
  found->second.enabled = Enable != 0;
  _shaderKeyDirty = true;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD Index, BOOL* pEnable) {
  const auto found = _lights.find(Index);
  if (pEnable == nullptr || found == _lights.end()) return D3DERR_INVALIDCALL;
  *pEnable = found->second.enabled ? 1 : 0;
  return D3D_OK;
}

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
  return Texture::Create(Width, Height, Levels, Usage, Format, Pool, _context, ppTexture);
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  if (Stage >= 8) return D3DERR_INVALIDCALL;
  Texture* texture = nullptr;
  if (pTexture != nullptr) {
    texture = dynamic_cast<Texture*>(pTexture);
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    texture->AddRef();
  }
  if (_textures[Stage] != nullptr) _textures[Stage]->Release();
  _textures[Stage] = texture;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  if (Stage >= 8 || ppTexture == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = _textures[Stage];
  if (_textures[Stage] != nullptr) _textures[Stage]->AddRef();
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  if (Stage >= 8 || Type > 32) return D3DERR_INVALIDCALL;
  const bool op = Type == D3DTSS_COLOROP || Type == D3DTSS_ALPHAOP;
  const bool argument = Type == D3DTSS_COLORARG1 || Type == D3DTSS_COLORARG2 ||
                        Type == D3DTSS_ALPHAARG1 || Type == D3DTSS_ALPHAARG2;
  // Operations and arguments beyond these have no shading code.
  if (op && (Value < D3DTOP_DISABLE || Value > D3DTOP_ADDSMOOTH)) return D3DERR_INVALIDCALL;
  if (argument && Value > D3DTA_SPECULAR) return D3DERR_INVALIDCALL;
  if (Type == D3DTSS_TEXCOORDINDEX && Value >= 8) return D3DERR_INVALIDCALL;
  _stageStates[Stage][Type] = Value;
  _shaderKeyDirty = true;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  if (Stage >= 8 || Type > 32 || pValue == nullptr) return D3DERR_INVALIDCALL;
  *pValue = _stageStates[Stage][Type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  if (Sampler >= 8 || Type > 13) return D3DERR_INVALIDCALL;
  _samplerStates[Sampler][Type] = Value;
  if (Sampler < ShaderCache::Stages) _applySamplerState(Sampler);
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  if (Sampler >= 8 || Type > 13 || pValue == nullptr) return D3DERR_INVALIDCALL;
  *pValue = _samplerStates[Sampler][Type];
  return D3D_OK;
}

void Device::_applySamplerState(DWORD sampler) {
  const DWORD* ss = _samplerStates[sampler];
  const GLuint name = _samplers[sampler];
  const bool linearMin = ss[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
  GLenum minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  if (ss[D3DSAMP_MIPFILTER] == D3DTEXF_POINT)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else if (ss[D3DSAMP_MIPFILTER] >= D3DTEXF_LINEAR)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
  glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER,
                      ss[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(name, GL_TEXTURE_WRAP_S,
                      static_cast<GLint>(AddressMode(ss[D3DSAMP_ADDRESSU])));
  glSamplerParameteri(name, GL_TEXTURE_WRAP_T,
                      static_cast<GLint>(AddressMode(ss[D3DSAMP_ADDRESSV])));
  float border[4];
  ColourValue(ss[D3DSAMP_BORDERCOLOR], border);
  glSamplerParameterfv(name, GL_TEXTURE_BORDER_COLOR, border);
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  if (ppVertexBuffer == nullptr) return D3DERR_INVALIDCALL;
  *ppVertexBuffer = nullptr;
  if (Length == 0 || pSharedHandle != nullptr || (FVF != 0 && !IsValidFvf(FVF)))
    return D3DERR_INVALIDCALL;
  *ppVertexBuffer = new VertexBuffer(Length, Usage, FVF, _context);
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  if (ppIndexBuffer == nullptr) return D3DERR_INVALIDCALL;
  *ppIndexBuffer = nullptr;
  if (Length == 0 || pSharedHandle != nullptr ||
      (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  *ppIndexBuffer = new IndexBuffer(Length, Usage, Format, _context);
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                UINT OffsetInBytes, UINT Stride) {
  if (StreamNumber != 0) return D3DERR_INVALIDCALL;
  VertexBuffer* buffer = nullptr;
  if (pStreamData != nullptr) {
    buffer = dynamic_cast<VertexBuffer*>(pStreamData);
    if (buffer == nullptr || OffsetInBytes >= buffer->length()) return D3DERR_INVALIDCALL;
    buffer->AddRef();
  }
  if (_stream != nullptr) _stream->Release();
  _stream = buffer;
  _streamOffset = OffsetInBytes;
  _streamStride = Stride;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  IndexBuffer* buffer = nullptr;
  if (pIndexData != nullptr) {
    buffer = dynamic_cast<IndexBuffer*>(pIndexData);
    if (buffer == nullptr) return D3DERR_INVALIDCALL;
    buffer->AddRef();
  }
  if (_indices != nullptr) _indices->Release();
  _indices = buffer;
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) {
  if (!IsValidFvf(FVF)) return D3DERR_INVALIDCALL;
  if (FVF != _fvf) _shaderKeyDirty = true;
  _fvf = FVF;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF) {
  if (pFVF == nullptr) return D3DERR_INVALIDCALL;
  *pFVF = _fvf;
  return D3D_OK;
}

void Device::_applyRenderState() {
  const DWORD* rs = _renderStates;
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  glBindVertexArray(_vertexArray);
  glViewport(0, 0, static_cast<GLsizei>(_width), static_cast<GLsizei>(_height));
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (rs[D3DRS_ZENABLE] != D3DZB_FALSE && _backDepth != 0) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(ReversedDepthFunc(rs[D3DRS_ZFUNC]));
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  // Clockwise on screen is front-facing.
  if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  }
  glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                                   : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                                             : GL_FILL);
  if (rs[D3DRS_ALPHABLENDENABLE]) {
    glEnable(GL_BLEND);
    glBlendFunc(BlendFactor(rs[D3DRS_SRCBLEND]), BlendFactor(rs[D3DRS_DESTBLEND]));
    glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
  } else {
    glDisable(GL_BLEND);
  }
  const float size = BitsFloat(rs[D3DRS_POINTSIZE]);
  glPointSize(std::isfinite(size) ? std::clamp(size, 1.0f, _maxPointSize) : 1.0f);
  _glStateDirty = false;
}

bool Device::_depthIsReversible() const {
  const float* p = _projection;
  return p[11] != 0.0f && p[15] == 0.0f && p[10] != 1.0f && p[10] != 0.0f;
}

ShaderCache::Key Device::_shaderKey(DWORD fvf, bool patches) const {
  ShaderCache::Key key;
  std::memset(&key, 0, sizeof key);
  const DWORD* rs = _renderStates;
  key.hasNormal = (fvf & D3DFVF_NORMAL) != 0;
  key.hasDiffuse = (fvf & D3DFVF_DIFFUSE) != 0;
  key.texCoordCount = static_cast<std::uint8_t>(TexCoordCount(fvf));
  key.lighting = rs[D3DRS_LIGHTING] != 0;
  if (key.lighting) {
    key.specular = rs[D3DRS_SPECULARENABLE] != 0;
    key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
    key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
    // A material colour taken from the vertex needs vertex colours to be on and present;
    // this vertex format carries only the diffuse one.
    auto source = [&](D3DRENDERSTATETYPE state) {
      return rs[D3DRS_COLORVERTEX] && key.hasDiffuse && rs[state] == D3DMCS_COLOR1
                 ? ShaderCache::FromDiffuse
                 : ShaderCache::FromMaterial;
    };
    key.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
    key.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
    key.specularSource = source(D3DRS_SPECULARMATERIALSOURCE);
    key.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
    for (const auto& slot : _lights)
      if (slot.second.enabled && key.lightCount < ShaderCache::MaxLights)
        key.lightTypes[key.lightCount++] = static_cast<std::uint8_t>(slot.second.light.Type);
  }
  for (int stage = 0; stage < ShaderCache::Stages; ++stage) {
    const DWORD* ts = _stageStates[stage];
    ShaderCache::StageKey& k = key.stages[stage];
    k.colorOp = static_cast<std::uint8_t>(ts[D3DTSS_COLOROP]);
    k.colorArg1 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG1]);
    k.colorArg2 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG2]);
    k.alphaOp = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAOP]);
    k.alphaArg1 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG1]);
    k.alphaArg2 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG2]);
    k.texCoord = static_cast<std::uint8_t>(ts[D3DTSS_TEXCOORDINDEX]);
  }
  if (rs[D3DRS_ALPHATESTENABLE])
    key.alphaFunc = static_cast<std::uint8_t>(std::clamp<DWORD>(rs[D3DRS_ALPHAFUNC], 1, 8));
  key.wBuffer = rs[D3DRS_ZENABLE] == D3DZB_USEW && _backDepth != 0 && _depthIsReversible();
  key.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  key.nPatch = patches;
  return key;
}

void Device::_uploadUniforms(ShaderCache::Program& program) {
  const Matrix4d view = ToDouble(_view);
  const Matrix4d worldView = Multiply(ToDouble(_world), view);
  float values[16];
  ToFloat(worldView, values);
  glUniformMatrix4fv(program.worldView, 1, GL_FALSE, values);
  // Reversed depth: the projected z becomes w - z, made in double so that distant depths
  // keep their precision.
  Matrix4d projection = ToDouble(_projection);
  for (int row = 0; row < 4; ++row)
    projection.m[4 * row + 2] = projection.m[4 * row + 3] - projection.m[4 * row + 2];
  ToFloat(projection, values);
  glUniformMatrix4fv(program.projection, 1, GL_FALSE, values);

  if (program.depthRange >= 0 && _depthIsReversible()) {
    const float* p = _projection;
    const double nearZ = -static_cast<double>(p[14]) / p[10];
    const double farZ = static_cast<double>(p[14]) / (1.0 - p[10]);
    glUniform2f(program.depthRange, static_cast<float>(nearZ),
                static_cast<float>(1.0 / (farZ - nearZ)));
  }
  float colour[4];
  ColourValue(_renderStates[D3DRS_TEXTUREFACTOR], colour);
  glUniform4fv(program.textureFactor, 1, colour);
  glUniform1f(program.alphaRef, static_cast<float>(_renderStates[D3DRS_ALPHAREF] & 0xFF));
  // Discrete edges: each splits into the whole number of segments.
  if (program.tessLevel >= 0)
    glUniform1f(program.tessLevel,
                std::min(TessellationLevel(_nPatchSegments), _maxTessellationLevel));
  if (program.normalMatrix < 0) return;

  float normal[9];
  NormalMatrix(worldView, normal);
  glUniformMatrix3fv(program.normalMatrix, 1, GL_FALSE, normal);
  glUniform4fv(program.materialDiffuse, 1, &_material.Diffuse.r);
  glUniform4fv(program.materialAmbient, 1, &_material.Ambient.r);
  glUniform4fv(program.materialSpecular, 1, &_material.Specular.r);
  glUniform4fv(program.materialEmissive, 1, &_material.Emissive.r);
  glUniform1f(program.materialPower, _material.Power);
  ColourValue(_renderStates[D3DRS_AMBIENT], colour);
  glUniform3fv(program.globalAmbient, 1, colour);

  float diffuse[ShaderCache::MaxLights][3], specular[ShaderCache::MaxLights][3],
      ambient[ShaderCache::MaxLights][3], direction[ShaderCache::MaxLights][3],
      position[ShaderCache::MaxLights][3], attenuation[ShaderCache::MaxLights][3],
      spot[ShaderCache::MaxLights][3], range[ShaderCache::MaxLights];
  int count = 0;
  for (const auto& slot : _lights) {
    if (!slot.second.enabled || count == ShaderCache::MaxLights) continue;
    const D3DLIGHT9& l = slot.second.light;
    std::memcpy(diffuse[count], &l.Diffuse.r, sizeof diffuse[count]);
    std::memcpy(specular[count], &l.Specular.r, sizeof specular[count]);
    std::memcpy(ambient[count], &l.Ambient.r, sizeof ambient[count]);
    // Directions point from the light; the shader wants the way towards it, in view space.
    TransformDirection(view, D3DVECTOR{-l.Direction.x, -l.Direction.y, -l.Direction.z},
                       direction[count]);
    Normalise(direction[count]);
    TransformPoint(view, l.Position, position[count]);
    attenuation[count][0] = l.Attenuation0;
    attenuation[count][1] = l.Attenuation1;
    attenuation[count][2] = l.Attenuation2;
    spot[count][0] = std::cos(l.Theta * 0.5f);
    spot[count][1] = std::cos(l.Phi * 0.5f);
    spot[count][2] = l.Falloff;
    range[count] = l.Range;
    ++count;
  }
  if (count == 0) return;
  glUniform3fv(program.lightDiffuse, count, diffuse[0]);
  glUniform3fv(program.lightSpecular, count, specular[0]);
  glUniform3fv(program.lightAmbient, count, ambient[0]);
  glUniform3fv(program.lightDirection, count, direction[0]);
  glUniform3fv(program.lightPosition, count, position[0]);
  glUniform3fv(program.lightAttenuation, count, attenuation[0]);
  glUniform3fv(program.lightSpot, count, spot[0]);
  glUniform1fv(program.lightRange, count, range);
}

void Device::_bindTextures() {
  for (int stage = 0; stage < ShaderCache::Stages; ++stage) {
    Texture* texture = _textures[stage];
    const GLuint name = texture != nullptr ? texture->glTexture() : _whiteTexture;
    if (name != 0 && name == _boundTextures[stage]) continue;
    glActiveTexture(GL_TEXTURE0 + stage);
    glBindTexture(GL_TEXTURE_2D, name);
    _boundTextures[stage] = name;
  }
}

// The attribute pointers live in the device's vertex array, which nothing else binds to,
// so they stay valid until the stream, its offset, stride or format change.
void Device::_bindVertexLayout(GLuint vertexBuffer, UINT offset, UINT stride) {
  if (vertexBuffer != 0 && vertexBuffer == _layoutBuffer && offset == _layoutOffset &&
      stride == _layoutStride && _fvf == _layoutFvf)
    return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  auto attribute = [&](GLuint location, GLint size, GLenum type, GLboolean normalised, UINT at) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, size, type, normalised, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset + at)));
  };
  UINT at = 0;
  attribute(0, 3, GL_FLOAT, GL_FALSE, at);
  at += 12;
  if (_fvf & D3DFVF_NORMAL) {
    attribute(1, 3, GL_FLOAT, GL_FALSE, at);
    at += 12;
  } else {
    glDisableVertexAttribArray(1);
  }
  if (_fvf & D3DFVF_DIFFUSE) {
    // 0xAARRGGBB words are B, G, R, A in memory.
    attribute(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, at);
    at += 4;
  } else {
    glDisableVertexAttribArray(2);
  }
  const UINT sets = TexCoordCount(_fvf);
  for (UINT set = 0; set < 8; ++set) {
    if (set < sets) {
      attribute(3 + set, 2, GL_FLOAT, GL_FALSE, at);
      at += 8;
    } else {
      glDisableVertexAttribArray(3 + set);
    }
  }
  _layoutBuffer = vertexBuffer;
  _layoutOffset = offset;
  _layoutStride = stride;
  _layoutFvf = _fvf;
}

bool Device::_drawsPatches(D3DPRIMITIVETYPE type) const {
  const bool triangles =
      type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN;
  return triangles && _tessellation && TessellationLevel(_nPatchSegments) >= 1.0f &&
         (_fvf & D3DFVF_NORMAL) != 0;
}

HRESULT Device::_prepareDraw(GLuint vertexBuffer, UINT offset, UINT stride, bool patches) {
  if (_context->deletions() != _deletionsSeen) {
    // A cached name may now belong to another object, or be unbound.
    _deletionsSeen = _context->deletions();
    forgetGlState();
  }
  if (_glStateDirty) _applyRenderState();
  if (_shaderKeyDirty || _program == nullptr || patches != _programPatches) {
    _program = _shaders.program(_shaderKey(_fvf, patches));
    if (_program == nullptr) return E_FAIL;
    _shaderKeyDirty = false;
    _programPatches = patches;
  }
  ShaderCache::Program& program = *_program;
  if (program.name != _currentProgram) {
    glUseProgram(program.name);
    _currentProgram = program.name;
  }
  if (program.uniformVersion != _uniformVersion) {
    _uploadUniforms(program);
    program.uniformVersion = _uniformVersion;
  }
  _bindTextures();
  _bindVertexLayout(vertexBuffer, offset, stride);
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                              UINT PrimitiveCount) {
  GLenum mode;
  UINT vertices;
  if (!PrimitiveMode(PrimitiveType, PrimitiveCount, &mode, &vertices) || _stream == nullptr ||
      _fvf == 0)
    return D3DERR_INVALIDCALL;
  if (PrimitiveCount == 0) return D3D_OK;
  const UINT stride = _streamStride != 0 ? _streamStride : VertexSize(_fvf);
  const std::uint64_t end = _streamOffset +
                            static_cast<std::uint64_t>(stride) * (StartVertex + vertices - 1) +
                            VertexSize(_fvf);
  if (stride < VertexSize(_fvf) || end > _stream->length()) return D3DERR_INVALIDCALL;
  const bool patches = _drawsPatches(PrimitiveType);
  const PatchIndexCache::Range strips = _generatedList(PrimitiveType, PrimitiveCount, patches);
  const HRESULT prepared = _prepareDraw(_stream->glBuffer(), _streamOffset, stride, patches);
  if (FAILED(prepared)) return prepared;
  if (patches)
    _drawArrayPatches(PrimitiveType, PrimitiveCount, static_cast<GLint>(StartVertex), strips);
  else
    glDrawArrays(mode, static_cast<GLint>(StartVertex), static_cast<GLsizei>(vertices));
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT,
                                     UINT, UINT StartIndex, UINT PrimitiveCount) {
  GLenum mode;
  UINT count;
  if (!PrimitiveMode(PrimitiveType, PrimitiveCount, &mode, &count) || _stream == nullptr ||
      _indices == nullptr || _fvf == 0)
    return D3DERR_INVALIDCALL;
  if (PrimitiveCount == 0) return D3D_OK;
  const UINT stride = _streamStride != 0 ? _streamStride : VertexSize(_fvf);
  const UINT indexSize = _indices->format() == D3DFMT_INDEX32 ? 4 : 2;
  if (stride < VertexSize(_fvf) ||
      (static_cast<std::uint64_t>(StartIndex) + count) * indexSize > _indices->length())
    return D3DERR_INVALIDCALL;
  const bool patches = _drawsPatches(PrimitiveType);
  if (patches && PrimitiveType != D3DPT_TRIANGLELIST) {
    // The conversion reads the buffer's host copy; a read-only lock leaves it clean.
    void* indices = nullptr;
    if (FAILED(
            _indices->Lock(StartIndex * indexSize, count * indexSize, &indices, D3DLOCK_READONLY)))
      return D3DERR_INVALIDCALL;
    const PatchIndexCache::Range list = _patchIndices.convert(_indices, StartIndex, PrimitiveType,
                                                              PrimitiveCount, indices, indexSize);
    _indices->Unlock();
    const HRESULT prepared = _prepareDraw(_stream->glBuffer(), _streamOffset, stride, true);
    if (FAILED(prepared)) return prepared;
    if (list.count == 0) return D3D_OK;
    _bindIndexBuffer(list.buffer);
    glDrawElementsBaseVertex(GL_PATCHES, list.count, GL_UNSIGNED_INT, nullptr, BaseVertexIndex);
    return D3D_OK;
  }
  const HRESULT prepared = _prepareDraw(_stream->glBuffer(), _streamOffset, stride, patches);
  if (FAILED(prepared)) return prepared;
  _bindIndexBuffer(_indices->glBuffer());
  glDrawElementsBaseVertex(
      patches ? GL_PATCHES : mode, static_cast<GLsizei>(count),
      indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
      reinterpret_cast<const void*>(static_cast<std::uintptr_t>(StartIndex) * indexSize),
      BaseVertexIndex);
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  GLenum mode;
  UINT vertices;
  if (!PrimitiveMode(PrimitiveType, PrimitiveCount, &mode, &vertices) ||
      pVertexStreamZeroData == nullptr || _fvf == 0 || VertexStreamZeroStride < VertexSize(_fvf))
    return D3DERR_INVALIDCALL;
  // Drawing from memory leaves stream 0 unset afterwards.
  SetStreamSource(0, nullptr, 0, 0);
  if (PrimitiveCount == 0) return D3D_OK;
  const std::uint64_t bytes = static_cast<std::uint64_t>(VertexStreamZeroStride) * vertices;
  if (bytes > 0x7FFFFFFF) return D3DERR_INVALIDCALL;
  glBindBuffer(GL_ARRAY_BUFFER, _streamBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), pVertexStreamZeroData,
               GL_STREAM_DRAW);
  const bool patches = _drawsPatches(PrimitiveType);
  const PatchIndexCache::Range strips = _generatedList(PrimitiveType, PrimitiveCount, patches);
  const HRESULT prepared = _prepareDraw(_streamBuffer, 0, VertexStreamZeroStride, patches);
  if (FAILED(prepared)) return prepared;
  if (patches)
    _drawArrayPatches(PrimitiveType, PrimitiveCount, 0, strips);
  else
    glDrawArrays(mode, 0, static_cast<GLsizei>(vertices));
  return D3D_OK;
}

void Device::_bindIndexBuffer(GLuint buffer) {
  if (buffer != 0 && buffer == _boundIndexBuffer) return;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  _boundIndexBuffer = buffer;
}

// Strips and fans drawn without indices reach the tessellator through generated lists,
// made before the draw's state is set since making one may delete older lists.
PatchIndexCache::Range Device::_generatedList(D3DPRIMITIVETYPE type, UINT primitives,
                                              bool patches) {
  if (!patches || type == D3DPT_TRIANGLELIST) return {};
  return _patchIndices.convert(nullptr, 0, type, primitives, nullptr, 4);
}

// Lists go to the tessellator as they are; strips and fans through their converted lists.
void Device::_drawArrayPatches(D3DPRIMITIVETYPE type, UINT primitives, GLint firstVertex,
                               const PatchIndexCache::Range& strips) {
  if (type == D3DPT_TRIANGLELIST) {
    glDrawArrays(GL_PATCHES, firstVertex, static_cast<GLsizei>(3 * primitives));
    return;
  }
  _bindIndexBuffer(strips.buffer);
  glDrawElementsBaseVertex(GL_PATCHES, strips.count, GL_UNSIGNED_INT, nullptr, firstVertex);
}

HRESULT Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (iSwapChain != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
  *pMode = D3DDISPLAYMODE{static_cast<UINT>(_frontWidth), static_cast<UINT>(_frontHeight), 60,
                          D3DFMT_X8R8G8B8};
  return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
  return Surface::Create(Width, Height, Format, Pool, ppSurface);
}

HRESULT Device::GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) {
  Surface* surface = dynamic_cast<Surface*>(pDestSurface);
  if (iSwapChain != 0 || surface == nullptr || surface->format() != D3DFMT_A8R8G8B8 ||
      surface->width() < static_cast<UINT>(_frontWidth) ||
      surface->height() < static_cast<UINT>(_frontHeight))
    return D3DERR_INVALIDCALL;
  std::vector<BYTE> rows(static_cast<std::size_t>(_frontWidth) * _frontHeight * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, _frontFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, _frontWidth, _frontHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, _backFramebuffer);
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

void Device::beginOverlay(int* width, int* height) {
  glBindFramebuffer(GL_FRAMEBUFFER, _backFramebuffer);
  glViewport(0, 0, static_cast<GLsizei>(_width), static_cast<GLsizei>(_height));
  forgetGlState();
  *width = static_cast<int>(_width);
  *height = static_cast<int>(_height);
}

void Device::forgetGlState() {
  _glStateDirty = true;
  _currentProgram = 0;
  for (GLuint& name : _boundTextures) name = 0;
  _layoutBuffer = 0;
  _boundIndexBuffer = 0;
}
