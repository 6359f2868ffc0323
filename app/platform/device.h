// The rendering device: render, stage and sampler state with the defaults of the original
// platform, transforms, material and lights, resource creation, drawing through the
// generated fixed-function programs, and presentation. It draws into a back buffer of its
// own (colour plus depth at the target's size at creation); Present keeps a front buffer
// at the target's current size for capture and shows it on the target. With a flip or
// discard swap effect and nothing to stretch, Present swaps the roles of the two colour
// buffers instead of copying, since those effects leave the back buffer undefined.
// With an N-patch segment count of at least 1 and a context with tessellation shaders,
// triangles with normals are drawn as curved point-normal patches.
#pragma once

#include <epoxy/gl.h>

#include <map>
#include <memory>

#include "platform/buffer.h"
#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/patch_index_cache.h"
#include "platform/ref_counted.h"
#include "platform/shader_cache.h"

class Texture;

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
  float GetNPatchMode() override { return _nPatchSegments; }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
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

  // Render thread, for drawing that bypasses the device state (the font): binds the back
  // buffer and its viewport and returns its size. The device sets its own OpenGL state
  // again before its next draw, so the caller's device state is untouched.
  void beginOverlay(int* width, int* height);
  // Render thread, after OpenGL calls made outside the device: the device issues all its
  // bindings and state again before its next draw instead of trusting what it last set.
  void forgetGlState();
  // What the device's resources consult before calling OpenGL.
  const std::shared_ptr<ContextLink>& contextLink() const { return _context; }

 private:
  struct LightSlot {
    D3DLIGHT9 light;
    bool enabled;
  };

  Device(RenderWindow* window, UINT width, UINT height, D3DFORMAT depthFormat,
         D3DSWAPEFFECT swapEffect);
  ~Device() override;
  bool _createTargets();
  void _resizeFront(int width, int height);
  void _flip();
  void _bindTextures();
  void _bindVertexLayout(GLuint vertexBuffer, UINT offset, UINT stride);
  void _setDefaults();
  void _applySamplerState(DWORD sampler);
  void _applyRenderState();
  ShaderCache::Key _shaderKey(DWORD fvf, bool patches) const;
  void _uploadUniforms(ShaderCache::Program& program);
  bool _drawsPatches(D3DPRIMITIVETYPE type) const;
  HRESULT _prepareDraw(GLuint vertexBuffer, UINT offset, UINT stride, bool patches);
  void _bindIndexBuffer(GLuint buffer);
  PatchIndexCache::Range _generatedList(D3DPRIMITIVETYPE type, UINT primitives, bool patches);
  void _drawArrayPatches(D3DPRIMITIVETYPE type, UINT primitives, GLint firstVertex,
                         const PatchIndexCache::Range& strips);
  bool _depthIsReversible() const;

  RenderWindow* const _window;
  const std::shared_ptr<ContextLink> _context;
  const UINT _width;
  const UINT _height;
  const D3DFORMAT _depthFormat;
  const D3DSWAPEFFECT _swapEffect;
  GLuint _backFramebuffer = 0;
  GLuint _backColour = 0;
  GLuint _backDepth = 0;
  GLuint _frontFramebuffer = 0;
  GLuint _frontColour = 0;
  int _frontWidth = 0;
  int _frontHeight = 0;
  GLuint _vertexArray = 0;
  GLuint _streamBuffer = 0;
  GLuint _whiteTexture = 0;
  GLuint _samplers[ShaderCache::Stages] = {0, 0};
  GLfloat _maxPointSize = 1.0f;
  bool _glStateDirty = true;
  unsigned long _uniformVersion = 1;
  // What the device last issued to OpenGL, so that draws with unchanged state issue only
  // the draw. Zero (or _bindingsKnown false) means unknown: issue again.
  ShaderCache::Program* _program = nullptr;
  bool _shaderKeyDirty = true;
  bool _programPatches = false;
  GLuint _currentProgram = 0;
  bool _bindingsKnown = false;
  unsigned long _deletionsSeen = 0;
  GLuint _boundTextures[ShaderCache::Stages] = {0, 0};
  GLuint _layoutBuffer = 0;
  UINT _layoutOffset = 0;
  UINT _layoutStride = 0;
  DWORD _layoutFvf = 0;
  GLuint _boundIndexBuffer = 0;

  DWORD _renderStates[256] = {};
  DWORD _stageStates[8][33] = {};
  DWORD _samplerStates[8][14] = {};
  D3DMATRIX _world;
  D3DMATRIX _view;
  D3DMATRIX _projection;
  D3DMATERIAL9 _material = {};
  std::map<DWORD, LightSlot> _lights;
  Texture* _textures[8] = {};
  VertexBuffer* _stream = nullptr;
  UINT _streamOffset = 0;
  UINT _streamStride = 0;
  IndexBuffer* _indices = nullptr;
  DWORD _fvf = 0;
  float _nPatchSegments = 0.0f;
  // Whether the context has tessellation shaders, and the highest level they take.
  bool _tessellation = false;
  float _maxTessellationLevel = 0.0f;
  bool _nPatchWarned = false;
  PatchIndexCache _patchIndices;
  bool _inScene = false;
  ShaderCache _shaders;
};
