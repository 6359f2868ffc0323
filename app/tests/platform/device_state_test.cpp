// The device's state block on its own: limits, checks, defaults, change versions, lights,
// the references it holds and the program key. No OpenGL context is made here.
#include "platform/device_state.h"

// The state block works without a context: its header must not bring OpenGL in.
#ifdef EPOXY_GL_H
#error "device_state.h includes OpenGL"
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "platform/buffer.h"
#include "platform/com_ref.h"
#include "platform/texture.h"

namespace vantra::platform {

namespace {

D3DLIGHT9 Directional(float x, float y, float z) {
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = D3DVECTOR{x, y, z};
  return light;
}

// A left-handed perspective projection from 1 to 800000 units.
D3DMATRIX Perspective() {
  D3DMATRIX m;
  m.makeIdentity();
  float* p = m;
  const float nearZ = 1.0f, farZ = 800000.0f;
  p[15] = 0.0f;
  p[10] = farZ / (farZ - nearZ);
  p[11] = 1.0f;
  p[14] = -nearZ * farZ / (farZ - nearZ);
  return m;
}

}  // namespace

TEST(DeviceState, RangeChecksStopAtTheNamedLimits) {
  DeviceState state(D3DFMT_D24S8);
  const DWORD lastStage = DeviceState::kTextureStageCount - 1;
  const auto lastStageState =
      static_cast<D3DTEXTURESTAGESTATETYPE>(DeviceState::kStageStateCount - 1);
  const auto lastSamplerState =
      static_cast<D3DSAMPLERSTATETYPE>(DeviceState::kSamplerStateCount - 1);
  struct Case {
    std::function<HRESULT()> call;
    HRESULT expected;
    const char* why;
  };
  const Case cases[] = {
      {[&] {
         return state.setRenderState(
             static_cast<D3DRENDERSTATETYPE>(DeviceState::kRenderStateCount - 1), 1);
       },
       D3D_OK, "the last render state"},
      {[&] {
         return state.setRenderState(
             static_cast<D3DRENDERSTATETYPE>(DeviceState::kRenderStateCount), 1);
       },
       D3DERR_INVALIDCALL, "one past the render states"},
      {[&] { return state.setRenderState(D3DRS_ZENABLE, D3DZB_USEW); }, D3D_OK, "w-buffering"},
      {[&] { return state.setRenderState(D3DRS_ZENABLE, D3DZB_USEW + 1); }, D3DERR_INVALIDCALL,
       "no depth mode beyond w-buffering"},
      {[&] { return state.setRenderState(D3DRS_FILLMODE, D3DFILL_POINT - 1); }, D3DERR_INVALIDCALL,
       "fill modes start at points"},
      {[&] { return state.setRenderState(D3DRS_FILLMODE, D3DFILL_SOLID + 1); }, D3DERR_INVALIDCALL,
       "fill modes end at solid"},
      {[&] { return state.setRenderState(D3DRS_CULLMODE, D3DCULL_NONE - 1); }, D3DERR_INVALIDCALL,
       "cull modes start at none"},
      {[&] { return state.setRenderState(D3DRS_CULLMODE, D3DCULL_CCW + 1); }, D3DERR_INVALIDCALL,
       "cull modes end at counter-clockwise"},
      {[&] { return state.setTextureStageState(lastStage, lastStageState, 0); }, D3D_OK,
       "the last stage state of the last stage"},
      {[&] { return state.setTextureStageState(lastStage + 1, D3DTSS_COLOROP, D3DTOP_DISABLE); },
       D3DERR_INVALIDCALL, "one past the stages"},
      {[&] {
         return state.setTextureStageState(
             0, static_cast<D3DTEXTURESTAGESTATETYPE>(DeviceState::kStageStateCount), 0);
       },
       D3DERR_INVALIDCALL, "one past the stage states"},
      {[&] { return state.setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE - 1); },
       D3DERR_INVALIDCALL, "operations start at disable"},
      {[&] { return state.setTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_ADDSMOOTH + 1); },
       D3DERR_INVALIDCALL, "no shading code beyond add-smooth"},
      {[&] { return state.setTextureStageState(1, D3DTSS_COLORARG2, D3DTA_SPECULAR + 1); },
       D3DERR_INVALIDCALL, "no shading code beyond the specular argument"},
      {[&] {
         return state.setTextureStageState(1, D3DTSS_TEXCOORDINDEX,
                                           DeviceState::kTexCoordSetCount - 1);
       },
       D3D_OK, "the last coordinate set"},
      {[&] {
         return state.setTextureStageState(1, D3DTSS_TEXCOORDINDEX, DeviceState::kTexCoordSetCount);
       },
       D3DERR_INVALIDCALL, "one past the coordinate sets"},
      {[&] { return state.setSamplerState(lastStage, lastSamplerState, 7); }, D3D_OK,
       "the last sampler state of the last sampler"},
      {[&] { return state.setSamplerState(lastStage + 1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR); },
       D3DERR_INVALIDCALL, "one past the samplers"},
      {[&] {
         return state.setSamplerState(
             0, static_cast<D3DSAMPLERSTATETYPE>(DeviceState::kSamplerStateCount), 0);
       },
       D3DERR_INVALIDCALL, "one past the sampler states"},
      {[&] { return state.setTexture(lastStage + 1, nullptr); }, D3DERR_INVALIDCALL,
       "one past the texture stages"},
      {[&] { return state.setNPatchMode(-0.5f); }, D3DERR_INVALIDCALL, "a negative segment count"},
      {[&] { return state.setFvf(D3DFVF_NORMAL); }, D3DERR_INVALIDCALL,
       "a format without position"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.why;

  // Refused values leave the state as it was.
  DWORD value = 0;
  ASSERT_EQ(state.getRenderState(D3DRS_CULLMODE, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
  ASSERT_EQ(state.getTextureStageState(0, D3DTSS_COLOROP, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(state.getRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
}

TEST(DeviceState, DefaultsDependOnTheDepthBuffer) {
  for (const D3DFORMAT depth : {D3DFMT_UNKNOWN, D3DFMT_D16}) {
    const DeviceState state(depth);
    DWORD zEnable = 99, stage1 = 99, coordinates = 99, address = 99;
    state.getRenderState(D3DRS_ZENABLE, &zEnable);
    state.getTextureStageState(1, D3DTSS_COLOROP, &stage1);
    state.getTextureStageState(1, D3DTSS_TEXCOORDINDEX, &coordinates);
    state.getSamplerState(DeviceState::kTextureStageCount - 1, D3DSAMP_ADDRESSV, &address);
    EXPECT_EQ(zEnable, depth == D3DFMT_UNKNOWN ? D3DZB_FALSE : D3DZB_TRUE);
    EXPECT_EQ(stage1, static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(coordinates, 1u) << "each stage reads its own coordinate set";
    EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(state.pointSize(), 1.0f);
  }
}

TEST(DeviceState, EachChangeBumpsOnlyTheVersionsItAffects) {
  DeviceState state(D3DFMT_D24X8);
  const D3DMATRIX identity = [] {
    D3DMATRIX m;
    m.makeIdentity();
    return m;
  }();
  struct Case {
    std::function<void()> change;
    bool uniforms, shaderKey, fixedState;
    const char* why;
  };
  const Case cases[] = {
      {[&] { state.setRenderState(D3DRS_CULLMODE, D3DCULL_CCW); }, false, false, false,
       "setting a render state to its value changes nothing"},
      {[&] { state.setRenderState(D3DRS_CULLMODE, D3DCULL_NONE); }, true, true, true,
       "a new render state value"},
      {[&] { state.setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X); }, false, true,
       false, "stage states only pick the program"},
      {[&] { state.setTransform(D3DTS_WORLD, &identity); }, true, false, false,
       "the world matrix is a uniform"},
      {[&] { state.setTransform(D3DTS_PROJECTION, &identity); }, true, true, false,
       "the projection decides w-buffering too"},
      {[&] { state.setFvf(D3DFVF_XYZ); }, false, true, false, "a new vertex format"},
      {[&] { state.setFvf(D3DFVF_XYZ); }, false, false, false, "the same vertex format"},
      {[&] { state.setNPatchMode(2.0f); }, true, false, false, "the tessellation level"},
      {[&] { state.setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR); }, false, false, false,
       "sampler objects carry sampler states"},
      {[&] { state.lightEnable(3, 1); }, true, true, false, "a light switched on"},
  };
  for (const Case& c : cases) {
    const unsigned long uniforms = state.uniformVersion(), key = state.shaderKeyVersion(),
                        fixed = state.fixedStateVersion();
    c.change();
    EXPECT_EQ(state.uniformVersion() != uniforms, c.uniforms) << c.why;
    EXPECT_EQ(state.shaderKeyVersion() != key, c.shaderKey) << c.why;
    EXPECT_EQ(state.fixedStateVersion() != fixed, c.fixedState) << c.why;
  }
}

TEST(DeviceState, LightsUpToTheActiveLimit) {
  DeviceState state(D3DFMT_UNKNOWN);
  EXPECT_EQ(state.setLight(0, nullptr), D3DERR_INVALIDCALL);
  const D3DLIGHT9 nowhere = Directional(0, 0, 0);
  EXPECT_EQ(state.setLight(0, &nowhere), D3DERR_INVALIDCALL)
      << "a directional light needs a direction";
  D3DLIGHT9 point{};
  point.Type = D3DLIGHT_POINT;
  EXPECT_EQ(state.setLight(0, &point), D3D_OK) << "a point light needs none";
  BOOL enabled = 1;
  ASSERT_EQ(state.getLightEnable(0, &enabled), D3D_OK);
  EXPECT_FALSE(enabled) << "setting a light does not switch it on";

  // Switching on a light that was never set makes a white directional one along +z.
  ASSERT_EQ(state.lightEnable(7, 1), D3D_OK);
  D3DLIGHT9 made{};
  ASSERT_EQ(state.getLight(7, &made), D3D_OK);
  EXPECT_EQ(made.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(made.Direction.z, 1.0f);
  EXPECT_EQ(made.Diffuse.r, 1.0f);

  for (DWORD index = 100; index < 100 + DeviceState::kMaxActiveLights - 1; ++index)
    ASSERT_EQ(state.lightEnable(index, 1), D3D_OK) << index;
  EXPECT_EQ(state.lightEnable(0, 1), D3DERR_INVALIDCALL) << "one light too many";
  EXPECT_EQ(state.lightEnable(7, 1), D3D_OK) << "a light already on stays on";
  EXPECT_EQ(state.lightEnable(7, 0), D3D_OK);
  EXPECT_EQ(state.lightEnable(0, 1), D3D_OK) << "room again after one went off";
  EXPECT_EQ(state.getLight(55, &made), D3DERR_INVALIDCALL) << "a light never set or enabled";
}

TEST(DeviceState, HoldsOneReferenceToEachBoundResource) {
  auto context = std::make_shared<ContextLink>();
  ComRef<IDirect3DTexture9> texture;
  ASSERT_EQ(Texture::Create(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, context, texture.out()),
            D3D_OK);
  auto vertices = ComRef<VertexBuffer>::Adopt(new VertexBuffer(96, 0, D3DFVF_XYZ, context));
  auto indices = ComRef<IndexBuffer>::Adopt(new IndexBuffer(12, 0, D3DFMT_INDEX16, context));
  {
    DeviceState state(D3DFMT_UNKNOWN);
    ASSERT_EQ(state.setTexture(0, texture.get()), D3D_OK);
    ASSERT_EQ(state.setTexture(1, texture.get()), D3D_OK);
    EXPECT_EQ(texture.references(), 3u) << "the caller's and two stages'";
    ComRef<IDirect3DBaseTexture9> bound;
    ASSERT_EQ(state.getTexture(1, bound.out()), D3D_OK);
    EXPECT_EQ(bound.reset(), 3u) << "the getter hands out a reference of its own";
    ASSERT_EQ(state.setTexture(1, nullptr), D3D_OK);
    EXPECT_EQ(state.setStreamSource(0, vertices.get(), 96, 12), D3DERR_INVALIDCALL)
        << "an offset at the buffer's end";
    EXPECT_EQ(state.setStreamSource(1, vertices.get(), 0, 12), D3DERR_INVALIDCALL) << "one stream";
    ASSERT_EQ(state.setStreamSource(0, vertices.get(), 12, 12), D3D_OK);
    ASSERT_EQ(state.setStreamSource(0, vertices.get(), 0, 0), D3D_OK) << "binding again";
    ASSERT_EQ(state.setIndices(indices.get()), D3D_OK);
    EXPECT_EQ(vertices.references(), 2u);
    EXPECT_EQ(indices.references(), 2u);
    EXPECT_EQ(state.streamStride(), 12u) << "a zero stride means the vertex size";
  }
  EXPECT_EQ(texture.reset(), 0u) << "the state released its stage on the way out";
  EXPECT_EQ(vertices.reset(), 0u);
  EXPECT_EQ(indices.reset(), 0u);
}

TEST(DeviceState, DrawChecksKeepReadsInsideTheBuffers) {
  auto context = std::make_shared<ContextLink>();
  const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;  // 32 bytes
  auto vertices = ComRef<VertexBuffer>::Adopt(new VertexBuffer(10 * 32, 0, fvf, context));
  auto indices = ComRef<IndexBuffer>::Adopt(new IndexBuffer(12 * 2, 0, D3DFMT_INDEX16, context));
  DeviceState state(D3DFMT_UNKNOWN);
  UINT count = 0;
  EXPECT_EQ(state.checkDraw(D3DPT_TRIANGLELIST, 0, 1, &count), D3DERR_INVALIDCALL)
      << "no stream and no format";
  state.setFvf(fvf);
  state.setStreamSource(0, vertices.get(), 0, 0);
  state.setIndices(indices.get());
  struct Case {
    D3DPRIMITIVETYPE type;
    UINT start, primitives;
    HRESULT expected;
    UINT count;
  };
  const Case draws[] = {
      {D3DPT_POINTLIST, 0, 10, D3D_OK, 10},
      {D3DPT_POINTLIST, 1, 10, D3DERR_INVALIDCALL, 10},
      {D3DPT_LINESTRIP, 0, 9, D3D_OK, 10},
      {D3DPT_LINELIST, 0, 5, D3D_OK, 10},
      {D3DPT_TRIANGLELIST, 0, 3, D3D_OK, 9},
      {D3DPT_TRIANGLELIST, 1, 3, D3D_OK, 9},
      {D3DPT_TRIANGLELIST, 2, 3, D3DERR_INVALIDCALL, 9},
      {D3DPT_TRIANGLESTRIP, 0, 8, D3D_OK, 10},
      {D3DPT_TRIANGLEFAN, 0, 9, D3DERR_INVALIDCALL, 11},
      {static_cast<D3DPRIMITIVETYPE>(7), 0, 1, D3DERR_INVALIDCALL, 0},
  };
  for (const Case& c : draws) {
    count = 0;
    EXPECT_EQ(state.checkDraw(c.type, c.start, c.primitives, &count), c.expected)
        << c.type << " from " << c.start << " x" << c.primitives;
    if (c.expected == D3D_OK) {
      EXPECT_EQ(count, c.count) << c.type;
    }
  }
  EXPECT_EQ(state.checkIndexedDraw(D3DPT_TRIANGLELIST, 3, 3, &count), D3D_OK);
  EXPECT_EQ(state.checkIndexedDraw(D3DPT_TRIANGLELIST, 4, 3, &count), D3DERR_INVALIDCALL)
      << "one index past the buffer";
  state.setStreamSource(0, vertices.get(), 0, 16);
  EXPECT_EQ(state.checkDraw(D3DPT_POINTLIST, 0, 1, &count), D3DERR_INVALIDCALL)
      << "a stride shorter than the vertex";
  const float memory[32 * 3] = {};
  EXPECT_EQ(state.checkDrawFromMemory(D3DPT_TRIANGLELIST, 1, memory, 32, &count), D3D_OK);
  EXPECT_EQ(state.checkDrawFromMemory(D3DPT_TRIANGLELIST, 1, memory, 28, &count),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(state.checkDrawFromMemory(D3DPT_TRIANGLELIST, 1, nullptr, 32, &count),
            D3DERR_INVALIDCALL);
}

TEST(DeviceState, ClearChecksFollowTheDepthFormat) {
  const D3DRECT rect{0, 0, 4, 4};
  struct Case {
    D3DFORMAT depth;
    DWORD count;
    const D3DRECT* rects;
    DWORD flags;
    float z;
    HRESULT expected;
  };
  const Case cases[] = {
      {D3DFMT_UNKNOWN, 0, nullptr, D3DCLEAR_TARGET, 1.0f, D3D_OK},
      {D3DFMT_UNKNOWN, 0, nullptr, D3DCLEAR_ZBUFFER, 1.0f, D3DERR_INVALIDCALL},
      {D3DFMT_D24X8, 0, nullptr, D3DCLEAR_ZBUFFER, 1.0f, D3D_OK},
      {D3DFMT_D24X8, 0, nullptr, D3DCLEAR_STENCIL, 1.0f, D3DERR_INVALIDCALL},
      {D3DFMT_D24S8, 1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0.0f, D3D_OK},
      {D3DFMT_D24S8, 1, nullptr, D3DCLEAR_TARGET, 1.0f, D3DERR_INVALIDCALL},
      {D3DFMT_D24S8, 0, nullptr, 0, 1.0f, D3DERR_INVALIDCALL},
      {D3DFMT_D24S8, 0, nullptr, D3DCLEAR_TARGET | 0x8, 1.0f, D3DERR_INVALIDCALL},
      {D3DFMT_D24S8, 0, nullptr, D3DCLEAR_ZBUFFER, 1.5f, D3DERR_INVALIDCALL},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeviceState(c.depth).checkClear(c.count, c.rects, c.flags, c.z), c.expected)
        << "depth " << c.depth << " flags " << c.flags << " z " << c.z;
}

TEST(DeviceState, ProgramKeyFollowsTheStateThatShapesTheShader) {
  DeviceState state(D3DFMT_D32F_LOCKABLE);
  state.setFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2);
  const ShaderKey unlit = state.shaderKey(false);
  EXPECT_EQ(unlit.texCoordCount, 2);
  EXPECT_EQ(unlit.stages[1].texCoord, 1);
  EXPECT_EQ(unlit.diffuseSource, ShaderKey::FromMaterial) << "no vertex colour to take";

  state.setFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
  const D3DLIGHT9 light = Directional(0, -1, 0);
  state.setLight(4, &light);
  state.lightEnable(4, 1);
  ShaderKey key = state.shaderKey(false);
  EXPECT_EQ(key.diffuseSource, ShaderKey::FromDiffuse);
  EXPECT_EQ(key.lightCount, 1);
  EXPECT_EQ(key.lightTypes[0], D3DLIGHT_DIRECTIONAL);
  state.setRenderState(D3DRS_COLORVERTEX, 0);
  EXPECT_EQ(state.shaderKey(false).diffuseSource, ShaderKey::FromMaterial);
  state.setRenderState(D3DRS_LIGHTING, 0);
  EXPECT_EQ(state.shaderKey(false).lightCount, 0) << "lights count only when lighting is on";

  state.setRenderState(D3DRS_ZENABLE, D3DZB_USEW);
  EXPECT_FALSE(state.shaderKey(false).wBuffer) << "an identity projection has no depth range";
  const D3DMATRIX perspective = Perspective();
  state.setTransform(D3DTS_PROJECTION, &perspective);
  EXPECT_TRUE(state.shaderKey(false).wBuffer);
  EXPECT_FALSE(DeviceState(D3DFMT_UNKNOWN).shaderKey(false).wBuffer);

  state.setRenderState(D3DRS_ALPHATESTENABLE, 1);
  state.setRenderState(D3DRS_ALPHAFUNC, 200);
  EXPECT_EQ(state.shaderKey(false).alphaFunc, D3DCMP_ALWAYS) << "comparisons clamp to ALWAYS";
  EXPECT_EQ(state.shaderKey(true).nPatch, 1);
}

TEST(DeviceState, PatchesNeedTrianglesNormalsAndAWholeSegment) {
  DeviceState state(D3DFMT_UNKNOWN);
  state.setFvf(D3DFVF_XYZ | D3DFVF_NORMAL);
  float segments = 0.0f;
  for (int step = 0; step < 40; ++step) segments += 0.1f;
  ASSERT_LT(segments, 4.0f) << "forty 0.1 steps fall short of 4";
  EXPECT_EQ(DeviceState::TessellationLevel(segments), 4.0f);
  EXPECT_EQ(DeviceState::TessellationLevel(0.99f), 0.0f);

  state.setNPatchMode(0.5f);
  EXPECT_FALSE(state.drawsPatches(D3DPT_TRIANGLELIST, true)) << "less than one segment";
  state.setNPatchMode(segments);
  EXPECT_TRUE(state.drawsPatches(D3DPT_TRIANGLESTRIP, true));
  EXPECT_TRUE(state.drawsPatches(D3DPT_TRIANGLEFAN, true));
  EXPECT_FALSE(state.drawsPatches(D3DPT_LINELIST, true));
  EXPECT_FALSE(state.drawsPatches(D3DPT_TRIANGLELIST, false)) << "no tessellation shaders";
  state.setFvf(D3DFVF_XYZ);
  EXPECT_FALSE(state.drawsPatches(D3DPT_TRIANGLELIST, true)) << "no normals to curve by";
}

TEST(DeviceState, VertexFormatsAndTheirSizes) {
  struct Case {
    DWORD fvf;
    bool valid;
    UINT size;
  };
  const Case cases[] = {
      {D3DFVF_XYZ, true, 12},
      {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2, true, 44},
      {D3DFVF_XYZ | (8u << 8), true, 12 + 8 * 8},
      {D3DFVF_XYZ | (9u << 8), false, 0},
      {D3DFVF_XYZ | 0x1000, false, 0},
      {D3DFVF_DIFFUSE, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceState::IsValidFvf(c.fvf), c.valid) << std::hex << c.fvf;
    if (c.valid) {
      EXPECT_EQ(DeviceState::VertexSize(c.fvf), c.size) << std::hex << c.fvf;
    }
  }
}

}  // namespace vantra::platform
