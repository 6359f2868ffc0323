// The device's state block: render, stage and sampler states with their defaults, the
// transforms, material and lights, the bound textures, stream and indices, the vertex
// format and the N-patch segment count, with every check the device makes before it takes
// a value or draws. It makes no OpenGL call, so its rules hold and can be tested without a
// context. Version counters tell the device which changes to carry to OpenGL: the shader
// uniforms, the program's key and the fixed-function state.
#pragma once

#include <map>

#include "platform/buffer_kinds.h"
#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "platform/shader_key.h"

namespace vantra::platform {

class Texture;

class DeviceState {
 public:
  // Render states are numbered below this.
  static constexpr DWORD kRenderStateCount = 256;
  // Texture stages and samplers a caller may address; the shading uses the first
  // ShaderKey::kStages of them.
  static constexpr DWORD kTextureStageCount = 8;
  // Stage and sampler state types are numbered below these (the last are 32 and 13); a
  // caller may set any of them, though only some have an effect here.
  static constexpr DWORD kStageStateCount = 33;
  static constexpr DWORD kSamplerStateCount = 14;
  // Texture coordinate sets in a vertex format, and the sets a stage may read.
  static constexpr UINT kTexCoordSetCount = ShaderKey::kMaxTexCoords;
  static constexpr int kMaxActiveLights = ShaderKey::kMaxLights;

  struct LightSlot {
    D3DLIGHT9 light;
    bool enabled;
  };

  // `depthFormat` is D3DFMT_UNKNOWN when the back buffer has no depth buffer.
  explicit DeviceState(D3DFORMAT depthFormat);
  ~DeviceState();
  DeviceState(const DeviceState&) = delete;
  DeviceState& operator=(const DeviceState&) = delete;

  HRESULT setRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT getRenderState(D3DRENDERSTATETYPE state, DWORD* value) const;
  HRESULT setNPatchMode(float segments);
  HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
  HRESULT getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
  HRESULT setMaterial(const D3DMATERIAL9* material);
  HRESULT getMaterial(D3DMATERIAL9* material) const;
  HRESULT setLight(DWORD index, const D3DLIGHT9* light);
  HRESULT getLight(DWORD index, D3DLIGHT9* light) const;
  HRESULT lightEnable(DWORD index, BOOL enable);
  HRESULT getLightEnable(DWORD index, BOOL* enable) const;
  HRESULT setTexture(DWORD stage, IDirect3DBaseTexture9* texture);
  HRESULT getTexture(DWORD stage, IDirect3DBaseTexture9** texture) const;
  HRESULT setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT getTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const;
  HRESULT setSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  HRESULT getSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) const;
  HRESULT setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);
  HRESULT setIndices(IDirect3DIndexBuffer9* buffer);
  HRESULT setFvf(DWORD fvf);
  HRESULT getFvf(DWORD* fvf) const;
  // Releases the bound textures, stream and indices, in that order.
  void unbindResources();

  // The checks of each draw before it reaches OpenGL; `vertices` receives the number of
  // vertices (or indices) the primitives take.
  HRESULT checkDraw(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitives, UINT* vertices) const;
  HRESULT checkIndexedDraw(D3DPRIMITIVETYPE type, UINT startIndex, UINT primitives,
                           UINT* indices) const;
  HRESULT checkDrawFromMemory(D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride,
                              UINT* vertices) const;
  HRESULT checkClear(DWORD count, const D3DRECT* rects, DWORD flags, float z) const;

  // Whether a draw of this type goes to the tessellator as N-patches.
  bool drawsPatches(D3DPRIMITIVETYPE type, bool tessellation) const;
  // Whether the projection is a perspective one whose near and far planes can be found.
  bool depthIsReversible() const;
  // Everything of the state that the generated program depends on.
  ShaderKey shaderKey(bool patches) const;

  DWORD renderState(D3DRENDERSTATETYPE state) const { return _renderStates[state]; }
  const DWORD* samplerStates(DWORD sampler) const { return _samplerStates[sampler]; }
  const D3DMATRIX& world() const { return _world; }
  const D3DMATRIX& view() const { return _view; }
  const D3DMATRIX& projection() const { return _projection; }
  const D3DMATERIAL9& material() const { return _material; }
  const std::map<DWORD, LightSlot>& lights() const { return _lights; }
  Texture* texture(DWORD stage) const { return _textures[stage].get(); }
  VertexBuffer* stream() const { return _stream.get(); }
  UINT streamOffset() const { return _streamOffset; }
  // The stream's stride, or the vertex size when it was set as 0.
  UINT streamStride() const;
  IndexBuffer* indices() const { return _indices.get(); }
  // Bytes per index of the bound index buffer (there must be one).
  UINT indexSize() const;
  DWORD fvf() const { return _fvf; }
  bool hasDepth() const { return _depthFormat != D3DFMT_UNKNOWN; }
  // The point size render state, which holds a float's bits.
  float pointSize() const;
  float nPatchSegments() const { return _nPatchSegments; }

  // Bumped by every change the program's uniforms carry.
  unsigned long uniformVersion() const { return _uniformVersion; }
  // Bumped by every change that may pick another program.
  unsigned long shaderKeyVersion() const { return _shaderKeyVersion; }
  // Bumped by every render state change (depth, cull, fill, blend and point size).
  unsigned long fixedStateVersion() const { return _fixedStateVersion; }

  static UINT TexCoordCount(DWORD fvf);
  static UINT VertexSize(DWORD fvf);
  static bool IsValidFvf(DWORD fvf);
  static bool HasStencil(D3DFORMAT format);
  // The N-patch level: the whole number of segments per edge.
  static float TessellationLevel(float segments);
  // False for a primitive type the device does not know.
  static bool VertexCount(D3DPRIMITIVETYPE type, UINT primitives, UINT* vertices);

 private:
  void _setDefaults();

  const D3DFORMAT _depthFormat;
  DWORD _renderStates[kRenderStateCount] = {};
  DWORD _stageStates[kTextureStageCount][kStageStateCount] = {};
  DWORD _samplerStates[kTextureStageCount][kSamplerStateCount] = {};
  D3DMATRIX _world;
  D3DMATRIX _view;
  D3DMATRIX _projection;
  D3DMATERIAL9 _material = {};
  std::map<DWORD, LightSlot> _lights;
  ComRef<Texture> _textures[kTextureStageCount];
  ComRef<VertexBuffer> _stream;
  UINT _streamOffset = 0;
  UINT _streamStride = 0;
  ComRef<IndexBuffer> _indices;
  DWORD _fvf = 0;
  float _nPatchSegments = 0.0f;
  unsigned long _uniformVersion = 1;
  unsigned long _shaderKeyVersion = 1;
  unsigned long _fixedStateVersion = 1;
};

}  // namespace vantra::platform
