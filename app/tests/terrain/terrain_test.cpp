#include "terrain/terrain.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "terrain/quad_leaf.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain_quadtree.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

class TerrainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTerrainMaps(16, [](int, int) { return 60; });
    terrain.reset(nullptr, device.device());
  }

  ScratchDirectory directory;
  platform::RenderTarget device{64, 64};
  Terrain terrain{129, 129, 800.0f, 24240.0f, 800.0f};
};

TEST_F(TerrainTest, ResetSetsUpBothTextureStages) {
  struct Case {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE state;
    DWORD value;
  };
  const Case stages[] = {
      {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
      {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {1, D3DTSS_COLOROP, D3DTOP_MODULATE2X},
      {1, D3DTSS_COLORARG1, D3DTA_CURRENT}, {1, D3DTSS_COLORARG2, D3DTA_TEXTURE},
  };
  for (const Case& c : stages) {
    DWORD value = 0;
    device.device()->GetTextureStageState(c.stage, c.state, &value);
    EXPECT_EQ(value, c.value) << "stage " << c.stage << " state " << c.state;
  }
  struct Sampler {
    DWORD sampler;
    D3DSAMPLERSTATETYPE state;
    DWORD value;
  };
  const Sampler samplers[] = {
      {1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},    {1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
      {1, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR}, {1, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR},
      {0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},    {0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
  };
  for (const Sampler& c : samplers) {
    DWORD value = 0;
    device.device()->GetSamplerState(c.sampler, c.state, &value);
    EXPECT_EQ(value, c.value) << "sampler " << c.sampler << " state " << c.state;
  }
  const std::pair<DWORD, SampledTexture*> bound[] = {{0, terrain.colourMap()},
                                                     {1, terrain.detailMap()}};
  for (const auto& [stage, texture] : bound) {
    platform::ComRef<IDirect3DBaseTexture9> current;
    device.device()->GetTexture(stage, current.out());
    EXPECT_EQ(current.get(), texture->texture()) << "stage " << stage;
  }
}

// The textures before the failing one are reloaded, the failing one is left empty and the
// quadtree built from the old height map stays.
TEST_F(TerrainTest, MissingDetailMapStopsResetAfterTheFirstTwoTextures) {
  TerrainQuadtree* tree = terrain.quadtree();
  const float oldTop = tree->root()->box().maxPoint().y;
  WriteGreyBitmap("heightMap.bmp", 8, 8, [](int, int) { return 200; });
  WriteGreyBitmap("textureMap.bmp", 4, 4, [](int, int) { return 30; });
  ASSERT_EQ(std::remove("detailMap.bmp"), 0);
  try {
    terrain.reset(nullptr, device.device());
    FAIL() << "reset succeeded without a detail map";
  } catch (std::int32_t code) {
    EXPECT_LT(code, 0);
  }
  ASSERT_NE(terrain.heightMap(), nullptr);
  EXPECT_EQ(terrain.heightMap()->width(), 8u) << "height map reloaded";
  ASSERT_NE(terrain.colourMap(), nullptr);
  EXPECT_EQ(terrain.colourMap()->width(), 4u) << "colour map reloaded";
  EXPECT_EQ(terrain.detailMap(), nullptr);
  EXPECT_EQ(terrain.quadtree(), tree);
  EXPECT_FLOAT_EQ(tree->root()->box().maxPoint().y, oldTop) << "not rebuilt";
}

// Every resource of the first reset is released by the second: holding an extra reference
// on each, that reference is the last one afterwards.
TEST_F(TerrainTest, SecondResetReplacesEveryResource) {
  const ULONG references = device.deviceReferences();
  platform::ComRef<IUnknown> old[] = {
      platform::ComRef<IUnknown>::Retain(terrain.heightMap()->texture()),
      platform::ComRef<IUnknown>::Retain(terrain.colourMap()->texture()),
      platform::ComRef<IUnknown>::Retain(terrain.detailMap()->texture()),
      platform::ComRef<IUnknown>::Retain(terrain.quadtree()->leaf(0)->patch()->vertexBuffer()),
      platform::ComRef<IUnknown>::Retain(terrain.quadtree()->leaf(3)->lodSet()->indexBuffer()),
      platform::ComRef<IUnknown>::Retain(terrain.quadtree()->leaf(3)->rowFans()->indexBuffer())};
  terrain.reset(nullptr, device.device());
  for (platform::ComRef<IUnknown>& resource : old) EXPECT_EQ(resource.reset(), 0u);
  EXPECT_EQ(device.deviceReferences(), references);
  EXPECT_NE(terrain.heightMap(), nullptr);
  EXPECT_EQ(terrain.quadtree()->leafCount(), 4);
}

TEST_F(TerrainTest, ReleasesTheDeviceWhenDestroyed) {
  const ULONG references = device.deviceReferences();
  auto other = std::make_unique<Terrain>(65, 65, 1.0f, 1.0f, 1.0f);
  other->reset(nullptr, device.device());
  EXPECT_GT(device.deviceReferences(), references);
  other.reset();
  EXPECT_EQ(device.deviceReferences(), references);
}

TEST(TerrainIdentity, ReportsItsClassId) {
  const Terrain terrain(2, 2, 1.0f, 1.0f, 1.0f);
  EXPECT_TRUE(IsEqualGUID(*terrain.classId(), kTerrainClassId));
  EXPECT_EQ(terrain.quadtree(), nullptr);
}

}  // namespace

}  // namespace vantra::terrain
