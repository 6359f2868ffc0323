#include "platform/device_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/buffer.h"
#include "platform/texture.h"

namespace vantra::platform {

namespace {

constexpr DWORD kTexCoordCountShift = 8;
constexpr DWORD kTexCoordCountMask = 0xF;
constexpr DWORD kSupportedFvfBits =
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | (kTexCoordCountMask << kTexCoordCountShift);
constexpr DWORD kAllClearFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

DeviceState::DeviceState(D3DFORMAT depthFormat) : _depthFormat(depthFormat) { _setDefaults(); }

DeviceState::~DeviceState() { unbindResources(); }

void DeviceState::_setDefaults() {
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
  for (DWORD stage = 0; stage < kTextureStageCount; ++stage) {
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

HRESULT DeviceState::setRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  if (state == D3DRS_ZENABLE && value > D3DZB_USEW) return D3DERR_INVALIDCALL;
  if (state == D3DRS_FILLMODE && (value < D3DFILL_POINT || value > D3DFILL_SOLID))
    return D3DERR_INVALIDCALL;
  if (state == D3DRS_CULLMODE && (value < D3DCULL_NONE || value > D3DCULL_CCW))
    return D3DERR_INVALIDCALL;
  if (_renderStates[state] == value) return D3D_OK;
  _renderStates[state] = value;
  ++_fixedStateVersion;
  ++_shaderKeyVersion;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::getRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
  if (state >= kRenderStateCount || value == nullptr) return D3DERR_INVALIDCALL;
  *value = _renderStates[state];
  return D3D_OK;
}

HRESULT DeviceState::setNPatchMode(float segments) {
  if (!(segments >= 0.0f)) return D3DERR_INVALIDCALL;
  _nPatchSegments = segments;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  switch (state) {
    case D3DTS_WORLD:
      _world = *matrix;
      break;
    case D3DTS_VIEW:
      _view = *matrix;
      break;
    case D3DTS_PROJECTION:
      _projection = *matrix;
      // Whether w-buffering applies depends on the projection.
      ++_shaderKeyVersion;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  switch (state) {
    case D3DTS_WORLD:
      *matrix = _world;
      return D3D_OK;
    case D3DTS_VIEW:
      *matrix = _view;
      return D3D_OK;
    case D3DTS_PROJECTION:
      *matrix = _projection;
      return D3D_OK;
    default:
      return D3DERR_INVALIDCALL;
  }
}

HRESULT DeviceState::setMaterial(const D3DMATERIAL9* material) {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  _material = *material;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::getMaterial(D3DMATERIAL9* material) const {
  if (material == nullptr) return D3DERR_INVALIDCALL;
  *material = _material;
  return D3D_OK;
}

HRESULT DeviceState::setLight(DWORD index, const D3DLIGHT9* light) {
  if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
    return D3DERR_INVALIDCALL;
  const D3DVECTOR& d = light->Direction;
  if (light->Type != D3DLIGHT_POINT && d.x == 0 && d.y == 0 && d.z == 0) return D3DERR_INVALIDCALL;
  auto found = _lights.find(index);
  if (found == _lights.end())
    _lights.emplace(index, LightSlot{*light, false});
  else
    found->second.light = *light;
  ++_shaderKeyVersion;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::getLight(DWORD index, D3DLIGHT9* light) const {
  const auto found = _lights.find(index);
  if (light == nullptr || found == _lights.end()) return D3DERR_INVALIDCALL;
  *light = found->second.light;
  return D3D_OK;
}

HRESULT DeviceState::lightEnable(DWORD index, BOOL enable) {
  auto found = _lights.find(index);
  if (found == _lights.end()) {
    // A light enabled before it was set is a white directional light along +z.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
    light.Direction = D3DVECTOR{0, 0, 1};
    found = _lights.emplace(index, LightSlot{light, false}).first;
  }
  if (enable && !found->second.enabled) {
    const auto active = std::count_if(_lights.begin(), _lights.end(),
                                      [](const auto& slot) { return slot.second.enabled; });
    if (active >= kMaxActiveLights) return D3DERR_INVALIDCALL;
  }
  found->second.enabled = enable != 0;
  ++_shaderKeyVersion;
  ++_uniformVersion;
  return D3D_OK;
}

HRESULT DeviceState::getLightEnable(DWORD index, BOOL* enable) const {
  const auto found = _lights.find(index);
  if (enable == nullptr || found == _lights.end()) return D3DERR_INVALIDCALL;
  *enable = found->second.enabled ? 1 : 0;
  return D3D_OK;
}

HRESULT DeviceState::setTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
  Texture* ours = dynamic_cast<Texture*>(texture);
  if (texture != nullptr && ours == nullptr) return D3DERR_INVALIDCALL;
  _textures[stage].retain(ours);
  return D3D_OK;
}

HRESULT DeviceState::getTexture(DWORD stage, IDirect3DBaseTexture9** texture) const {
  if (stage >= kTextureStageCount || texture == nullptr) return D3DERR_INVALIDCALL;
  // The caller receives a reference of its own: a copy, handed on.
  *texture = ComRef<Texture>(_textures[stage]).detach();
  return D3D_OK;
}

HRESULT DeviceState::setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kTextureStageCount || type >= kStageStateCount) return D3DERR_INVALIDCALL;
  const bool op = type == D3DTSS_COLOROP || type == D3DTSS_ALPHAOP;
  const bool argument = type == D3DTSS_COLORARG1 || type == D3DTSS_COLORARG2 ||
                        type == D3DTSS_ALPHAARG1 || type == D3DTSS_ALPHAARG2;
  // Operations and arguments beyond these have no shading code.
  if (op && (value < D3DTOP_DISABLE || value > D3DTOP_ADDSMOOTH)) return D3DERR_INVALIDCALL;
  if (argument && value > D3DTA_SPECULAR) return D3DERR_INVALIDCALL;
  if (type == D3DTSS_TEXCOORDINDEX && value >= kTexCoordSetCount) return D3DERR_INVALIDCALL;
  _stageStates[stage][type] = value;
  ++_shaderKeyVersion;
  return D3D_OK;
}

HRESULT DeviceState::getTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                          DWORD* value) const {
  if (stage >= kTextureStageCount || type >= kStageStateCount || value == nullptr)
    return D3DERR_INVALIDCALL;
  *value = _stageStates[stage][type];
  return D3D_OK;
}

HRESULT DeviceState::setSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kTextureStageCount || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
  _samplerStates[sampler][type] = value;
  return D3D_OK;
}

HRESULT DeviceState::getSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) const {
  if (sampler >= kTextureStageCount || type >= kSamplerStateCount || value == nullptr)
    return D3DERR_INVALIDCALL;
  *value = _samplerStates[sampler][type];
  return D3D_OK;
}

HRESULT DeviceState::setStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                     UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  VertexBuffer* ours = dynamic_cast<VertexBuffer*>(buffer);
  if (buffer != nullptr && (ours == nullptr || offset >= ours->length())) return D3DERR_INVALIDCALL;
  _stream.retain(ours);
  _streamOffset = offset;
  _streamStride = stride;
  return D3D_OK;
}

HRESULT DeviceState::setIndices(IDirect3DIndexBuffer9* buffer) {
  IndexBuffer* ours = dynamic_cast<IndexBuffer*>(buffer);
  if (buffer != nullptr && ours == nullptr) return D3DERR_INVALIDCALL;
  _indices.retain(ours);
  return D3D_OK;
}

HRESULT DeviceState::setFvf(DWORD fvf) {
  if (!IsValidFvf(fvf)) return D3DERR_INVALIDCALL;
  if (fvf != _fvf) ++_shaderKeyVersion;
  _fvf = fvf;
  return D3D_OK;
}

HRESULT DeviceState::getFvf(DWORD* fvf) const {
  if (fvf == nullptr) return D3DERR_INVALIDCALL;
  *fvf = _fvf;
  return D3D_OK;
}

void DeviceState::unbindResources() {
  for (ComRef<Texture>& texture : _textures) texture.reset();
  _stream.reset();
  _indices.reset();
}

UINT DeviceState::streamStride() const {
  return _streamStride != 0 ? _streamStride : VertexSize(_fvf);
}

float DeviceState::pointSize() const {
  float size;
  std::memcpy(&size, &_renderStates[D3DRS_POINTSIZE], sizeof size);
  return size;
}

UINT DeviceState::indexSize() const { return _indices->format() == D3DFMT_INDEX32 ? 4 : 2; }

HRESULT DeviceState::checkDraw(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitives,
                               UINT* vertices) const {
  if (!VertexCount(type, primitives, vertices) || !_stream || _fvf == 0) return D3DERR_INVALIDCALL;
  if (primitives == 0) return D3D_OK;
  const UINT stride = streamStride();
  const std::uint64_t end = _streamOffset +
                            static_cast<std::uint64_t>(stride) * (startVertex + *vertices - 1) +
                            VertexSize(_fvf);
  if (stride < VertexSize(_fvf) || end > _stream->length()) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT DeviceState::checkIndexedDraw(D3DPRIMITIVETYPE type, UINT startIndex, UINT primitives,
                                      UINT* indices) const {
  if (!VertexCount(type, primitives, indices) || !_stream || !_indices || _fvf == 0)
    return D3DERR_INVALIDCALL;
  if (primitives == 0) return D3D_OK;
  if (streamStride() < VertexSize(_fvf) ||
      (static_cast<std::uint64_t>(startIndex) + *indices) * indexSize() > _indices->length())
    return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT DeviceState::checkDrawFromMemory(D3DPRIMITIVETYPE type, UINT primitives, const void* data,
                                         UINT stride, UINT* vertices) const {
  if (!VertexCount(type, primitives, vertices) || data == nullptr || _fvf == 0 ||
      stride < VertexSize(_fvf))
    return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT DeviceState::checkClear(DWORD count, const D3DRECT* rects, DWORD flags, float z) const {
  if ((count > 0 && rects == nullptr) || (flags & kAllClearFlags) == 0 ||
      (flags & ~kAllClearFlags) != 0)
    return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_ZBUFFER) != 0 && !hasDepth()) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) != 0 && !HasStencil(_depthFormat)) return D3DERR_INVALIDCALL;
  if (z < 0.0f || z > 1.0f) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

bool DeviceState::drawsPatches(D3DPRIMITIVETYPE type, bool tessellation) const {
  const bool triangles =
      type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN;
  return triangles && tessellation && TessellationLevel(_nPatchSegments) >= 1.0f &&
         (_fvf & D3DFVF_NORMAL) != 0;
}

bool DeviceState::depthIsReversible() const {
  const float* p = _projection;
  return p[11] != 0.0f && p[15] == 0.0f && p[10] != 1.0f && p[10] != 0.0f;
}

ShaderKey DeviceState::shaderKey(bool patches) const {
  ShaderKey key;
  std::memset(&key, 0, sizeof key);
  const DWORD* rs = _renderStates;
  key.hasNormal = (_fvf & D3DFVF_NORMAL) != 0;
  key.hasDiffuse = (_fvf & D3DFVF_DIFFUSE) != 0;
  key.texCoordCount = static_cast<std::uint8_t>(TexCoordCount(_fvf));
  key.lighting = rs[D3DRS_LIGHTING] != 0;
  if (key.lighting) {
    key.specular = rs[D3DRS_SPECULARENABLE] != 0;
    key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
    key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
    // A material colour taken from the vertex needs vertex colours to be on and present;
    // this vertex format carries only the diffuse one.
    auto source = [&](D3DRENDERSTATETYPE state) {
      return rs[D3DRS_COLORVERTEX] && key.hasDiffuse && rs[state] == D3DMCS_COLOR1
                 ? ShaderKey::FromDiffuse
                 : ShaderKey::FromMaterial;
    };
    key.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
    key.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
    key.specularSource = source(D3DRS_SPECULARMATERIALSOURCE);
    key.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
    for (const auto& slot : _lights)
      if (slot.second.enabled && key.lightCount < kMaxActiveLights)
        key.lightTypes[key.lightCount++] = static_cast<std::uint8_t>(slot.second.light.Type);
  }
  for (int stage = 0; stage < ShaderKey::kStages; ++stage) {
    const DWORD* ts = _stageStates[stage];
    ShaderKey::Stage& k = key.stages[stage];
    k.colorOp = static_cast<std::uint8_t>(ts[D3DTSS_COLOROP]);
    k.colorArg1 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG1]);
    k.colorArg2 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG2]);
    k.alphaOp = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAOP]);
    k.alphaArg1 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG1]);
    k.alphaArg2 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG2]);
    k.texCoord = static_cast<std::uint8_t>(ts[D3DTSS_TEXCOORDINDEX]);
  }
  if (rs[D3DRS_ALPHATESTENABLE])
    key.alphaFunc = static_cast<std::uint8_t>(
        std::clamp<DWORD>(rs[D3DRS_ALPHAFUNC], D3DCMP_NEVER, D3DCMP_ALWAYS));
  key.wBuffer = rs[D3DRS_ZENABLE] == D3DZB_USEW && hasDepth() && depthIsReversible();
  key.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  key.nPatch = patches;
  return key;
}

UINT DeviceState::TexCoordCount(DWORD fvf) {
  return (fvf >> kTexCoordCountShift) & kTexCoordCountMask;
}

UINT DeviceState::VertexSize(DWORD fvf) {
  constexpr UINT kPosition = 12, kNormal = 12, kColour = 4, kTexCoord = 8;
  return kPosition + ((fvf & D3DFVF_NORMAL) ? kNormal : 0) +
         ((fvf & D3DFVF_DIFFUSE) ? kColour : 0) + kTexCoord * TexCoordCount(fvf);
}

bool DeviceState::IsValidFvf(DWORD fvf) {
  return (fvf & ~kSupportedFvfBits) == 0 && (fvf & D3DFVF_XYZ) != 0 &&
         TexCoordCount(fvf) <= kTexCoordSetCount;
}

bool DeviceState::HasStencil(D3DFORMAT format) {
  return format == D3DFMT_D24S8 || format == D3DFMT_D24FS8;
}

// Counts made of 0.1 steps fall just short of whole numbers (forty steps make 3.9999983),
// so a count within a thousandth below one counts as that number.
float DeviceState::TessellationLevel(float segments) { return std::floor(segments + 1e-3f); }

bool DeviceState::VertexCount(D3DPRIMITIVETYPE type, UINT primitives, UINT* vertices) {
  switch (type) {
    case D3DPT_POINTLIST:
      *vertices = primitives;
      return true;
    case D3DPT_LINELIST:
      *vertices = 2 * primitives;
      return true;
    case D3DPT_LINESTRIP:
      *vertices = primitives + 1;
      return true;
    case D3DPT_TRIANGLELIST:
      *vertices = 3 * primitives;
      return true;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      *vertices = primitives + 2;
      return true;
  }
  return false;
}

}  // namespace vantra::platform
