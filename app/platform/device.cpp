#include "platform/device.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/buffer.h"
#include "platform/com_ref.h"
#include "platform/fixed_function_uniforms.h"
#include "platform/gl_translation.h"
#include "platform/render_window.h"
#include "platform/surface.h"
#include "platform/texture.h"

namespace vantra::platform {

namespace {

// The widest and highest back buffer the device makes.
constexpr UINT kMaxBackBufferSide = 16384;

}  // namespace

bool Device::IsDepthFormatSupported(D3DFORMAT format) {
  return GlTranslation::DepthInternalFormat(format) != 0;
}

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
  if (parameters->BackBufferWidth > kMaxBackBufferSide ||
      parameters->BackBufferHeight > kMaxBackBufferSide)
    return D3DERR_INVALIDCALL;
  if (parameters->BackBufferFormat == D3DFMT_UNKNOWN)
    parameters->BackBufferFormat = D3DFMT_X8R8G8B8;
  if (parameters->BackBufferCount == 0) parameters->BackBufferCount = 1;

  auto created = ComRef<Device>::Adopt(new Device(window, parameters->BackBufferWidth,
                                                  parameters->BackBufferHeight, depthFormat,
                                                  parameters->SwapEffect));
  if (!created->_createTargets()) return D3DERR_OUTOFVIDEOMEMORY;
  *device = created.detach();
  return D3D_OK;
}

Device::Device(RenderWindow* window, UINT width, UINT height, D3DFORMAT depthFormat,
               D3DSWAPEFFECT swapEffect)
    : _window(window),
      _context(std::make_shared<ContextLink>()),
      _state(depthFormat),
      _glState(_context->bindings()),
      _swapChain(width, height, depthFormat, swapEffect, _glState),
      _patchIndices(_context),
      _programs(_glState) {}

bool Device::_createTargets() {
  if (!_swapChain.create()) return false;
  _vertexArray = GlVertexArray::Generate();
  _glState.bindVertexArray(_vertexArray.get());
  _streamBuffer = GlBuffer::Generate();

  const std::uint32_t white = 0xFFFFFFFF;
  _whiteTexture = GlTexture::Generate();
  _glState.bindTextureToChange(_whiteTexture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

  for (DWORD s = 0; s < ShaderKey::kStages; ++s) {
    _samplers[s] = GlSampler::Generate();
    _glState.bindSampler(static_cast<int>(s), _samplers[s].get());
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

Device::~Device() {
  _state.unbindResources();
  const bool current = _context->usable();
  _patchIndices.clear();
  _context->detach();
  _programs.clear(current);
  // On the render thread the owners delete their objects on the way out. Away from it the
  // context is not current, and destroying the context frees them.
  if (current) return;
  for (GlSampler& sampler : _samplers) sampler.release();
  _whiteTexture.release();
  _streamBuffer.release();
  _vertexArray.release();
  _swapChain.abandon();
}

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                      DWORD Stencil) {
  const HRESULT checked = _state.checkClear(Count, pRects, Flags, Z);
  if (FAILED(checked)) return checked;
  _swapChain.clear(Count, pRects, Flags, Color, Z, Stencil);
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
  _swapChain.present(*_window, pSourceRect, pDestRect);
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (pCaps == nullptr) return D3DERR_INVALIDCALL;
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  glGetFloatv(GL_POINT_SIZE_RANGE, pointSizes);
  GLint maxTextureSide = BitmapFile::kMaxSide;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide);
  *pCaps = D3DCAPS9{};
  pCaps->DeviceType = D3DDEVTYPE_HAL;
  pCaps->AdapterOrdinal = D3DADAPTER_DEFAULT;
  pCaps->RasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_WBUFFER;
  pCaps->ZCmpCaps = 0xFF;
  pCaps->MaxTextureWidth = std::min<DWORD>(maxTextureSide, BitmapFile::kMaxSide);
  pCaps->MaxTextureHeight = pCaps->MaxTextureWidth;
  pCaps->MaxTextureBlendStages = ShaderKey::kStages;
  pCaps->MaxSimultaneousTextures = ShaderKey::kStages;
  pCaps->MaxActiveLights = ShaderKey::kMaxLights;
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
  return _state.setRenderState(State, Value);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  return _state.getRenderState(State, pValue);
}

// Without tessellation shaders the count is kept with no effect, as on a device without
// the N-patch capability.
HRESULT Device::SetNPatchMode(float nSegments) {
  const HRESULT set = _state.setNPatchMode(nSegments);
  if (FAILED(set)) return set;
  if (DeviceState::TessellationLevel(nSegments) >= 1.0f && !_tessellation && !_nPatchWarned) {
    std::fprintf(stderr,
                 "N-patches need OpenGL 4.0 tessellation shaders, which this context lacks: "
                 "triangles are drawn flat\n");
    _nPatchWarned = true;
  }
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  return _state.setTransform(State, pMatrix);
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  return _state.getTransform(State, pMatrix);
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport) {
  if (pViewport == nullptr) return D3DERR_INVALIDCALL;
  *pViewport = D3DVIEWPORT9{0, 0, _swapChain.width(), _swapChain.height(), 0.0f, 1.0f};
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial) { return _state.setMaterial(pMaterial); }

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) { return _state.getMaterial(pMaterial); }

HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
  return _state.setLight(Index, pLight);
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) { return _state.getLight(Index, pLight); }

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) { return _state.lightEnable(Index, Enable); }

HRESULT Device::GetLightEnable(DWORD Index, BOOL* pEnable) {
  return _state.getLightEnable(Index, pEnable);
}

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
  return Texture::Create(Width, Height, Levels, Usage, Format, Pool, _context, ppTexture);
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  return _state.setTexture(Stage, pTexture);
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  return _state.getTexture(Stage, ppTexture);
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  return _state.setTextureStageState(Stage, Type, Value);
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  return _state.getTextureStageState(Stage, Type, pValue);
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  const HRESULT set = _state.setSamplerState(Sampler, Type, Value);
  if (SUCCEEDED(set) && Sampler < ShaderKey::kStages) _applySamplerState(Sampler);
  return set;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  return _state.getSamplerState(Sampler, Type, pValue);
}

void Device::_applySamplerState(DWORD sampler) {
  const DWORD* ss = _state.samplerStates(sampler);
  const GLuint name = _samplers[sampler].get();
  glSamplerParameteri(
      name, GL_TEXTURE_MIN_FILTER,
      static_cast<GLint>(GlTranslation::MinFilter(ss[D3DSAMP_MINFILTER], ss[D3DSAMP_MIPFILTER])));
  glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER,
                      static_cast<GLint>(GlTranslation::MagFilter(ss[D3DSAMP_MAGFILTER])));
  glSamplerParameteri(name, GL_TEXTURE_WRAP_S,
                      static_cast<GLint>(GlTranslation::AddressMode(ss[D3DSAMP_ADDRESSU])));
  glSamplerParameteri(name, GL_TEXTURE_WRAP_T,
                      static_cast<GLint>(GlTranslation::AddressMode(ss[D3DSAMP_ADDRESSV])));
  float border[4];
  GlTranslation::Colour(ss[D3DSAMP_BORDERCOLOR], border);
  glSamplerParameterfv(name, GL_TEXTURE_BORDER_COLOR, border);
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  if (ppVertexBuffer == nullptr) return D3DERR_INVALIDCALL;
  *ppVertexBuffer = nullptr;
  if (Length == 0 || pSharedHandle != nullptr || (FVF != 0 && !DeviceState::IsValidFvf(FVF)))
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
  return _state.setStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride);
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  return _state.setIndices(pIndexData);
}

HRESULT Device::SetFVF(DWORD FVF) { return _state.setFvf(FVF); }

HRESULT Device::GetFVF(DWORD* pFVF) { return _state.getFvf(pFVF); }

void Device::_applyFixedState() {
  _swapChain.bindBack();
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (_state.renderState(D3DRS_ZENABLE) != D3DZB_FALSE && _state.hasDepth()) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GlTranslation::ReversedDepthFunc(_state.renderState(D3DRS_ZFUNC)));
    glDepthMask(_state.renderState(D3DRS_ZWRITEENABLE) ? GL_TRUE : GL_FALSE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  // Clockwise on screen is front-facing.
  const DWORD cull = _state.renderState(D3DRS_CULLMODE);
  if (cull == D3DCULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  }
  glPolygonMode(GL_FRONT_AND_BACK, GlTranslation::PolygonMode(_state.renderState(D3DRS_FILLMODE)));
  if (_state.renderState(D3DRS_ALPHABLENDENABLE)) {
    glEnable(GL_BLEND);
    glBlendFunc(GlTranslation::BlendFactor(_state.renderState(D3DRS_SRCBLEND)),
                GlTranslation::BlendFactor(_state.renderState(D3DRS_DESTBLEND)));
    glBlendEquation(GlTranslation::BlendEquation(_state.renderState(D3DRS_BLENDOP)));
  } else {
    glDisable(GL_BLEND);
  }
  const float size = _state.pointSize();
  glPointSize(std::isfinite(size) ? std::clamp(size, 1.0f, _maxPointSize) : 1.0f);
  _glState.setFixedStateVersion(_state.fixedStateVersion());
}

void Device::_bindTextures() {
  // All names first: a texture's upload binds it on a unit of its own choosing.
  GLuint names[ShaderKey::kStages];
  for (int stage = 0; stage < ShaderKey::kStages; ++stage) {
    Texture* texture = _state.texture(stage);
    names[stage] = texture != nullptr ? texture->glTexture() : _whiteTexture.get();
  }
  for (int stage = 0; stage < ShaderKey::kStages; ++stage)
    _glState.bindTexture(stage, names[stage]);
}

HRESULT Device::_prepareDraw(GLuint vertexBuffer, UINT offset, UINT stride, bool patches) {
  if (_glState.fixedStateVersion() != _state.fixedStateVersion()) _applyFixedState();
  _glState.bindVertexArray(_vertexArray.get());
  if (_program == nullptr || _programKeyVersion != _state.shaderKeyVersion() ||
      patches != _programPatches) {
    _program = _programs.program(_state.shaderKey(patches));
    if (_program == nullptr) return E_FAIL;
    _programKeyVersion = _state.shaderKeyVersion();
    _programPatches = patches;
  }
  ProgramCache::Program& program = *_program;
  _glState.useProgram(program.name.get());
  if (program.uniformVersion != _state.uniformVersion()) {
    FixedFunctionUniforms::Upload(program, _state, _maxTessellationLevel);
    program.uniformVersion = _state.uniformVersion();
  }
  _bindTextures();
  _glState.bindVertexLayout(vertexBuffer, offset, stride, _state.fvf());
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                              UINT PrimitiveCount) {
  UINT vertices;
  const HRESULT checked = _state.checkDraw(PrimitiveType, StartVertex, PrimitiveCount, &vertices);
  if (FAILED(checked) || PrimitiveCount == 0) return checked;
  VertexBuffer* stream = _state.stream();
  return _drawArrays(PrimitiveType, PrimitiveCount, static_cast<GLint>(StartVertex), vertices,
                     stream->glBuffer(), _state.streamOffset(), _state.streamStride());
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT,
                                     UINT, UINT StartIndex, UINT PrimitiveCount) {
  UINT count;
  const HRESULT checked =
      _state.checkIndexedDraw(PrimitiveType, StartIndex, PrimitiveCount, &count);
  if (FAILED(checked) || PrimitiveCount == 0) return checked;
  VertexBuffer* stream = _state.stream();
  IndexBuffer* indexBuffer = _state.indices();
  const UINT indexSize = _state.indexSize();
  const UINT stride = _state.streamStride();
  const bool patches = _state.drawsPatches(PrimitiveType, _tessellation);
  if (patches && PrimitiveType != D3DPT_TRIANGLELIST) {
    // The conversion reads the buffer's host copy; a read-only lock leaves it clean.
    void* indices = nullptr;
    if (FAILED(indexBuffer->Lock(StartIndex * indexSize, count * indexSize, &indices,
                                 D3DLOCK_READONLY)))
      return D3DERR_INVALIDCALL;
    const PatchIndexCache::Range list = _patchIndices.convert(
        indexBuffer, StartIndex, PrimitiveType, PrimitiveCount, indices, indexSize);
    indexBuffer->Unlock();
    const HRESULT prepared = _prepareDraw(stream->glBuffer(), _state.streamOffset(), stride, true);
    if (FAILED(prepared)) return prepared;
    if (list.count == 0) return D3D_OK;
    _glState.bindIndexBuffer(list.buffer);
    glDrawElementsBaseVertex(GL_PATCHES, list.count, GL_UNSIGNED_INT, nullptr, BaseVertexIndex);
    return D3D_OK;
  }
  const HRESULT prepared = _prepareDraw(stream->glBuffer(), _state.streamOffset(), stride, patches);
  if (FAILED(prepared)) return prepared;
  _glState.bindIndexBuffer(indexBuffer->glBuffer());
  GLenum mode;
  GlTranslation::PrimitiveMode(PrimitiveType, &mode);
  glDrawElementsBaseVertex(
      patches ? GL_PATCHES : mode, static_cast<GLsizei>(count),
      indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
      reinterpret_cast<const void*>(static_cast<std::uintptr_t>(StartIndex) * indexSize),
      BaseVertexIndex);
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  UINT vertices;
  const HRESULT checked = _state.checkDrawFromMemory(
      PrimitiveType, PrimitiveCount, pVertexStreamZeroData, VertexStreamZeroStride, &vertices);
  if (FAILED(checked)) return checked;
  // Drawing from memory leaves stream 0 unset afterwards.
  SetStreamSource(0, nullptr, 0, 0);
  if (PrimitiveCount == 0) return D3D_OK;
  const std::uint64_t bytes = static_cast<std::uint64_t>(VertexStreamZeroStride) * vertices;
  if (bytes > 0x7FFFFFFF) return D3DERR_INVALIDCALL;
  _glState.bindBuffer(GL_ARRAY_BUFFER, _streamBuffer.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), pVertexStreamZeroData,
               GL_STREAM_DRAW);
  return _drawArrays(PrimitiveType, PrimitiveCount, 0, vertices, _streamBuffer.get(), 0,
                     VertexStreamZeroStride);
}

// Vertices without indices. Lists go to the tessellator as they are; strips and fans
// through generated lists, made before the draw's state is set since making one may delete
// older lists.
HRESULT Device::_drawArrays(D3DPRIMITIVETYPE type, UINT primitives, GLint firstVertex,
                            UINT vertices, GLuint buffer, UINT offset, UINT stride) {
  const bool patches = _state.drawsPatches(type, _tessellation);
  PatchIndexCache::Range strips;
  if (patches && type != D3DPT_TRIANGLELIST)
    strips = _patchIndices.convert(nullptr, 0, type, primitives, nullptr, 4);
  const HRESULT prepared = _prepareDraw(buffer, offset, stride, patches);
  if (FAILED(prepared)) return prepared;
  if (!patches) {
    GLenum mode;
    GlTranslation::PrimitiveMode(type, &mode);
    glDrawArrays(mode, firstVertex, static_cast<GLsizei>(vertices));
  } else if (type == D3DPT_TRIANGLELIST) {
    glDrawArrays(GL_PATCHES, firstVertex, static_cast<GLsizei>(vertices));
  } else {
    _glState.bindIndexBuffer(strips.buffer);
    glDrawElementsBaseVertex(GL_PATCHES, strips.count, GL_UNSIGNED_INT, nullptr, firstVertex);
  }
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (iSwapChain != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
  *pMode = D3DDISPLAYMODE{static_cast<UINT>(_swapChain.frontWidth()),
                          static_cast<UINT>(_swapChain.frontHeight()), 60, D3DFMT_X8R8G8B8};
  return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
  return Surface::Create(Width, Height, Format, Pool, ppSurface);
}

HRESULT Device::GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) {
  if (iSwapChain != 0) return D3DERR_INVALIDCALL;
  return _swapChain.readFront(dynamic_cast<Surface*>(pDestSurface));
}

}  // namespace vantra::platform
