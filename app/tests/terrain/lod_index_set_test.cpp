#include "terrain/lod_index_set.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "terrain/quad_leaf.h"
#include "terrain/terrain.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

class LodIndexSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world = new TerrainWorld(513, 513, 65, [](int row, int column) { return 20 + row + column; });
  }
  static void TearDownTestSuite() {
    delete world;
    world = nullptr;
  }
  // The leaf at grid (0, 0): 64 cells square, its patch 66 x 66 vertices.
  static QuadLeaf& cornerLeaf() { return *world->leafAt(0, 0); }

  static TerrainWorld* world;
};

TerrainWorld* LodIndexSetTest::world = nullptr;

std::vector<std::uint16_t> LevelIndices(const LodIndexSet& set, int level) {
  const LevelRange& range = set.levels()[level];
  return ReadIndices(set.indexBuffer(), range.start, range.count);
}

TEST_F(LodIndexSetTest, CoarsestLevelsMatchTheDocumentedStrips) {
  const LodIndexSet& set = *cornerLeaf().lodSet();
  EXPECT_EQ(LevelIndices(set, 6), (std::vector<std::uint16_t>{0, 64, 4224, 4288}));
  EXPECT_EQ(LevelIndices(set, 5),
            (std::vector<std::uint16_t>{0, 32, 2112, 2144, 4224, 4256, 4256, 4256, 4288, 4256, 4288,
                                        4256, 2176, 2144, 64, 32}));
}

TEST_F(LodIndexSetTest, LevelsAreLaidOutBackToBack) {
  const LodIndexSet& set = *cornerLeaf().lodSet();
  // nc bands of 2 (nv) indices and nc - 1 joints of 4 for nc = 64, 32, ... 1.
  const int expected[] = {8572, 2236, 604, 172, 52, 16, 4};
  ASSERT_EQ(set.maxLevel(), 6);
  ASSERT_EQ(set.levels().size(), 7u);
  int start = 0;
  for (int level = 0; level <= 6; ++level) {
    EXPECT_EQ(set.levels()[level].count, expected[level]) << "level " << level;
    EXPECT_EQ(set.levels()[level].start, start) << "level " << level;
    start += expected[level];
  }
}

// Every level must tile the drawn 64 x 64 cells exactly, with one winding throughout, using
// only vertices of its own lattice: a wrong joint or band direction breaks one of these.
TEST_F(LodIndexSetTest, EveryLevelTilesThePatchWithOneWinding) {
  const LodIndexSet& set = *cornerLeaf().lodSet();
  const int columns = cornerLeaf().patch()->columns();
  for (int level = 0; level <= set.maxLevel(); ++level) {
    const int step = 1 << level;
    const std::vector<std::uint16_t> strip = LevelIndices(set, level);
    long area2 = 0;
    int triangles = 0;
    int windingSign = 0;
    for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
      // A strip flips the order of every other triangle to keep one winding.
      const int a = strip[k % 2 == 0 ? k : k + 1];
      const int b = strip[k % 2 == 0 ? k + 1 : k];
      const int c = strip[k + 2];
      const long ax = a % columns, az = a / columns;
      const long bx = b % columns, bz = b / columns;
      const long cx = c % columns, cz = c / columns;
      const long cross = (bx - ax) * (cz - az) - (bz - az) * (cx - ax);
      if (cross == 0) continue;
      const int sign = cross > 0 ? 1 : -1;
      if (windingSign == 0) windingSign = sign;
      EXPECT_EQ(sign, windingSign) << "level " << level << " triangle " << k;
      area2 += std::labs(cross);
      ++triangles;
    }
    EXPECT_EQ(area2, 2L * 64 * 64) << "level " << level;
    EXPECT_EQ(triangles, 2 * (64 / step) * (64 / step)) << "level " << level;
    for (const std::uint16_t index : strip) {
      const int column = index % columns;
      const int row = index / columns;
      ASSERT_TRUE(column <= 64 && row <= 64) << "level " << level << " leaves the drawn grid";
      EXPECT_TRUE(column % step == 0 && row % step == 0) << "level " << level << " index " << index;
    }
  }
}

TEST_F(LodIndexSetTest, OneCellColumnIsOneBandWithoutJoints) {
  const LodIndexSet set(0, 1, 0, 64, cornerLeaf().patch(), world->device.device());
  ASSERT_EQ(set.levels().size(), 1u);
  EXPECT_EQ(set.maxLevel(), 0);
  const std::vector<std::uint16_t> strip = LevelIndices(set, 0);
  ASSERT_EQ(strip.size(), 130u);
  for (int k = 0; k <= 64; ++k) {
    EXPECT_EQ(strip[2 * k], 66 * k);
    EXPECT_EQ(strip[2 * k + 1], 66 * k + 1);
  }
}

TEST_F(LodIndexSetTest, StartsAtLevelZeroAndKeepsTheLevelSet) {
  LodIndexSet set(0, 64, 0, 64, cornerLeaf().patch(), world->device.device());
  EXPECT_EQ(set.level(), 0);
  set.setLevel(5);
  EXPECT_EQ(set.level(), 5);
}

// A leaf of more than 65536 vertices cannot be indexed with 16 bits: the build must fail
// instead of wrapping vertex numbers around.
TEST(LodIndexSetLimits, RejectsPatchesBeyondSixteenBitIndices) {
  ScratchDirectory directory;
  platform::RenderTarget device{64, 64};
  WriteTerrainMaps(8, [](int, int) { return 50; });
  Terrain terrain(65, 1100, 800.0f, 24240.0f, 800.0f);
  try {
    terrain.reset(nullptr, device.device());
    FAIL() << "a 66 x 1101 vertex leaf was accepted";
  } catch (std::int32_t code) {
    EXPECT_EQ(code, E_INVALIDARG);
  }
}

}  // namespace

}  // namespace vantra::terrain
