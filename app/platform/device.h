// The rendering device: a facade over its state block (every state and its checks), its
// swap chain (back and front targets, presentation, capture), the GLSL generator and
// program cache that turn state into fixed-function programs, and the OpenGL state cache
// that keeps draws with unchanged state from issuing it again. It creates the resources
// and draws. With an N-patch segment count of at least 1 and a context with tessellation
// shaders, triangles with normals are drawn as curved point-normal patches.
#pragma once

#include <epoxy/gl.h>

#include <memory>

#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/device_state.h"
#include "platform/gl_name.h"
#include "platform/gl_state_cache.h"
#include "platform/patch_index_cache.h"
#include "platform/program_cache.h"
#include "platform/ref_counted.h"
#include "platform/swap_chain.h"

namespace vantra::platform {

class Device : public RefCounted<IDirect3DDevice9> {
 public:
  // Render thread: makes the window's context current and builds the targets.
  static HRESULT Create(RenderWindow* window, D3DPRESENT_PARAMETERS* parameters,
                        IDirect3DDevice9** device);
  static bool IsDepthFormatSupported(D3DFORMAT format);

  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                DWORD Stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const void* pDirtyRegion) override;

  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT SetNPatchMode(float nSegments) override;
  float GetNPatchMode() override { return _state.nPatchSegments(); }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  // The whole back buffer: the device draws nowhere else.
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
  HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
  HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
  HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
  HRESULT LightEnable(DWORD Index, BOOL Enable) override;
  HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;

  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                        D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                        HANDLE* pSharedHandle) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;

  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer9** ppVertexBuffer,
                             HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                          UINT OffsetInBytes, UINT Stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT SetFVF(DWORD FVF) override;
  HRESULT GetFVF(DWORD* pFVF) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                        UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                               UINT MinVertexIndex, UINT NumVertices, UINT StartIndex,
                               UINT PrimitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                          const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

  HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DSurface9** ppSurface,
                                      HANDLE* pSharedHandle) override;
  HRESULT GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) override;

  // Render thread: the back target that drawing outside the device (the font) draws over.
  const SwapChain& swapChain() const { return _swapChain; }
  // What the device's resources consult before calling OpenGL.
  const std::shared_ptr<ContextLink>& contextLink() const { return _context; }

 private:
  Device(RenderWindow* window, UINT width, UINT height, D3DFORMAT depthFormat,
         D3DSWAPEFFECT swapEffect);
  ~Device() override;
  bool _createTargets();
  void _applySamplerState(DWORD sampler);
  void _applyFixedState();
  void _bindTextures();
  HRESULT _prepareDraw(GLuint vertexBuffer, UINT offset, UINT stride, bool patches);
  HRESULT _drawArrays(D3DPRIMITIVETYPE type, UINT primitives, GLint firstVertex, UINT vertices,
                      GLuint buffer, UINT offset, UINT stride);

  RenderWindow* const _window;
  const std::shared_ptr<ContextLink> _context;
  DeviceState _state;
  GlStateCache& _glState;
  SwapChain _swapChain;
  GlVertexArray _vertexArray;
  GlBuffer _streamBuffer;
  GlTexture _whiteTexture;
  GlSampler _samplers[ShaderKey::kStages];
  GLfloat _maxPointSize = 1.0f;
  // The program for the state block's key as of a version, and whether it tessellates.
  ProgramCache::Program* _program = nullptr;
  unsigned long _programKeyVersion = 0;
  bool _programPatches = false;
  // Whether the context has tessellation shaders, and the highest level they take.
  bool _tessellation = false;
  float _maxTessellationLevel = 0.0f;
  bool _nPatchWarned = false;
  PatchIndexCache _patchIndices;
  bool _inScene = false;
  ProgramCache _programs;
};

}  // namespace vantra::platform
