#include "terrain/terrain_patch.h"

#include <gtest/gtest.h>

#include <random>

#include "terrain/quad_leaf.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"
#include "terrain/terrain_vertex.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

using vantra::Vector;

namespace {

TEST(TerrainPatchColour, ScalesEachChannelAndTruncates) {
  struct Case {
    float height;
    D3DCOLOR colour;
    const char* why;
  };
  const Case cases[] = {
      {0.0f, 0xFFE5E5E5, "light grey at the lowest point"},
      {0.5f, 0xFFB8927A, "(184, 146, 122): truncated, not rounded"},
      {1.0f, 0xFF8B400F, "brown at the highest point"},
  };
  for (const Case& c : cases) EXPECT_EQ(TerrainPatch::heightColour(c.height), c.colour) << c.why;
}

class TerrainPatchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world = new TerrainWorld(513, 513, 65, [](int row, int column) { return 20 + row + column; });
  }
  static void TearDownTestSuite() {
    delete world;
    world = nullptr;
  }
  static TerrainWorld* world;
};

TerrainWorld* TerrainPatchTest::world = nullptr;

// Grid point (gx, gz) lies at x = (gx - 256) 800, z = (256 - gz) 800 with its sampled height,
// whichever leaf holds it; texture coordinates run once over the terrain, detail 32 times.
TEST_F(TerrainPatchTest, GridPointsLandWhereTheGridSays) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> grid(0, 512);
  std::vector<std::pair<int, int>> points = {{0, 0}, {512, 512}, {512, 0}, {0, 512}, {256, 256}};
  for (int i = 0; i < 60; ++i) points.emplace_back(grid(random), grid(random));
  const SampledTexture& heightMap = *world->terrain->heightMap();
  for (const auto& [gx, gz] : points) {
    const int x0 = std::min(gx / 64, 7) * 64;
    const int z0 = std::min(gz / 64, 7) * 64;
    const QuadLeaf& leaf = *world->leafAt(x0, z0);
    const std::vector<TerrainVertex> vertices = ReadVertices(*leaf.patch());
    const TerrainVertex& v = vertices[leaf.patch()->index(gz - z0, gx - x0)];
    const float u = gx / 512.0f;
    const float w = gz / 512.0f;
    EXPECT_FLOAT_EQ(v.position.x, (gx - 256) * 800.0f) << gx << "," << gz;
    EXPECT_FLOAT_EQ(v.position.z, (256 - gz) * 800.0f) << gx << "," << gz;
    EXPECT_NEAR(v.position.y, heightMap.sample(u, w) * 24240.0f, 1.0f) << gx << "," << gz;
    EXPECT_NEAR(v.tu0, u, 1e-5f);
    EXPECT_NEAR(v.tv0, w, 1e-5f);
    EXPECT_NEAR(v.tu1, 32.0f * u, 32e-5f);
    EXPECT_NEAR(v.tv1, 32.0f * w, 32e-5f);
  }
  const std::vector<TerrainVertex> corner = ReadVertices(*world->leafAt(0, 0)->patch());
  EXPECT_FLOAT_EQ(corner[0].position.x, -204800.0f);
  EXPECT_FLOAT_EQ(corner[0].position.z, 204800.0f);
}

TEST_F(TerrainPatchTest, NormalsAreUnitAndPointUpEverywhere) {
  for (int i = 0; i < world->tree().leafCount(); ++i) {
    const TerrainPatch& patch = *world->tree().leaf(i)->patch();
    for (const TerrainVertex& v : ReadVertices(patch)) {
      ASSERT_GT(v.normal.y, 0.0f) << "leaf " << i << ": the last row and column flip the winding";
      ASSERT_NEAR(v.normal.magnitudeSquare(), 1.0f, 1e-5f);
    }
  }
}

TEST(TerrainPatchFlat, FlatMapHasUpNormalsAndOneColour) {
  TerrainWorld world(65, 65, 16, [](int, int) { return 100; });
  const TerrainPatch& patch = *world.tree().leaf(0)->patch();
  const D3DCOLOR colour = TerrainPatch::heightColour(100.0f / 255.0f);
  for (const TerrainVertex& v : ReadVertices(patch)) {
    ASSERT_EQ(v.normal, Vector(0.0f, 1.0f, 0.0f));
    ASSERT_EQ(v.diffuse, colour);
    ASSERT_NEAR(v.position.y, 100.0f / 255.0f * 24240.0f, 0.01f);
  }
}

// On a steady slope along the columns every normal leans the same way, the last row and
// column included, whose normals look back instead of forward.
TEST(TerrainPatchSlope, SlopeGivesOneNormalAcrossThePatch) {
  // The height map's rows follow the terrain's columns, so this rises toward +x.
  TerrainWorld world(65, 65, 130, [](int row, int) { return row; });
  const TerrainPatch& patch = *world.tree().leaf(0)->patch();
  const std::vector<TerrainVertex> vertices = ReadVertices(patch);
  // Height per grid column; the last two columns read the clamped last texel row instead.
  const float rise = 24240.0f * 130.0f / (64.0f * 255.0f);
  Vector expected(-rise, 800.0f, 0.0f);
  expected.normalize();
  for (int row = 0; row < patch.rows(); ++row)
    for (int column = 0; column < 63; ++column)
      EXPECT_NEAR((vertices[patch.index(row, column)].normal - expected).magnitudeSquare(), 0.0f,
                  1e-4f)
          << row << "," << column;
}

TEST(TerrainPatchPlacement, FollowsTheTerrainPosition) {
  TerrainWorld world(65, 65, 8, [](int, int) { return 0; });
  const TerrainPatch& patch = *world.tree().leaf(0)->patch();
  const std::vector<TerrainVertex> vertices = ReadVertices(patch);
  EXPECT_EQ(patch.vertexCount(), 66 * 66);
  EXPECT_EQ(patch.bufferBytes(), 66 * 66 * 44);
  EXPECT_FLOAT_EQ(vertices[patch.index(0, 0)].position.x, -32 * 800.0f);
  EXPECT_FLOAT_EQ(vertices[patch.index(0, 0)].position.z, 32 * 800.0f);
  EXPECT_FLOAT_EQ(vertices[patch.index(65, 65)].position.x, 33 * 800.0f);
  EXPECT_FLOAT_EQ(vertices[patch.index(65, 65)].position.z, -33 * 800.0f);
}

}  // namespace

}  // namespace vantra::terrain
