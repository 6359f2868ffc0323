#include "terrain/edge_fan_set.h"

#include <gtest/gtest.h>

#include <vector>

#include "terrain/quad_leaf.h"
#include "terrain/terrain_patch.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

class EdgeFanSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world = new TerrainWorld(513, 513, 65, [](int row, int column) { return 20 + row + column; });
  }
  static void TearDownTestSuite() {
    delete world;
    world = nullptr;
  }
  static TerrainPatch* patch() { return world->leafAt(0, 0)->patch(); }
  static IDirect3DDevice9* device() { return world->device.device(); }

  static TerrainWorld* world;
};

TerrainWorld* EdgeFanSetTest::world = nullptr;

// The fans as lists of edge positions p (the vertex's row on a column edge, its column on a
// row edge).
std::vector<std::vector<int>> Fans(const EdgeFanSet& set, const TerrainPatch& patch) {
  int total = 0;
  for (const int size : set.fanSizes()) total += size;
  const std::vector<std::uint16_t> indices = ReadIndices(set.indexBuffer(), 0, total);
  std::vector<std::vector<int>> fans;
  std::size_t next = 0;
  for (const int size : set.fanSizes()) {
    std::vector<int> fan;
    for (int i = 0; i < size; ++i) {
      const int index = indices[next++];
      const int row = index / patch.columns();
      const int column = index % patch.columns();
      if (set.kind() == EdgeFanSet::kColumnEdge) {
        EXPECT_EQ(column, patch.columns() - 2) << "off the last drawn column";
        fan.push_back(row);
      } else {
        EXPECT_EQ(row, patch.rows() - 2) << "off the last drawn row";
        fan.push_back(column);
      }
    }
    fans.push_back(fan);
  }
  return fans;
}

TEST_F(EdgeFanSetTest, OneCoarseSegmentGivesOneFanOverEveryFineVertex) {
  for (const EdgeFanSet::Kind kind : {EdgeFanSet::kColumnEdge, EdgeFanSet::kRowEdge}) {
    EdgeFanSet set(kind, patch(), device());
    set.build(64, 1);
    std::vector<int> expected{0};
    for (int p = 0; p <= 64; ++p) expected.push_back(p);
    expected.push_back(64);
    EXPECT_EQ(Fans(set, *patch()), std::vector<std::vector<int>>{expected}) << "kind " << kind;
  }
}

TEST_F(EdgeFanSetTest, StepsTwoAndOneGiveThirtyTwoFans) {
  EdgeFanSet set(EdgeFanSet::kColumnEdge, patch(), device());
  set.build(2, 1);
  const std::vector<std::vector<int>> fans = Fans(set, *patch());
  ASSERT_EQ(fans.size(), 32u);
  EXPECT_EQ(fans[0], (std::vector<int>{0, 0, 1, 2, 2})) << "the first fan repeats its head";
  for (int k = 1; k < 32; ++k)
    EXPECT_EQ(fans[k], (std::vector<int>{2 * k, 2 * k + 1, 2 * k + 2, 2 * k + 2})) << "fan " << k;
}

TEST_F(EdgeFanSetTest, StepOrderDoesNotMatter) {
  for (const EdgeFanSet::Kind kind : {EdgeFanSet::kColumnEdge, EdgeFanSet::kRowEdge}) {
    EdgeFanSet a(kind, patch(), device());
    EdgeFanSet b(kind, patch(), device());
    a.build(1, 4);
    b.build(4, 1);
    EXPECT_EQ(a.fanSizes(), b.fanSizes());
    EXPECT_EQ(Fans(a, *patch()), Fans(b, *patch()));
    EXPECT_TRUE(a.builtFor(4, 1));
    EXPECT_FALSE(a.builtFor(2, 1));
  }
}

// For every pair of levels: the fans run from the first to the last edge vertex, each fan
// starting where the last ended, through every fine vertex, and fit the buffer.
TEST_F(EdgeFanSetTest, FansCoverTheEdgeForEveryPairOfLevels) {
  EdgeFanSet set(EdgeFanSet::kRowEdge, patch(), device());
  for (int coarseLevel = 1; coarseLevel <= 6; ++coarseLevel) {
    for (int fineLevel = 0; fineLevel < coarseLevel; ++fineLevel) {
      const int coarse = 1 << coarseLevel;
      const int fine = 1 << fineLevel;
      set.build(fine, coarse);
      const std::vector<std::vector<int>> fans = Fans(set, *patch());
      ASSERT_EQ(static_cast<int>(fans.size()), 64 / coarse) << coarse << "/" << fine;
      int total = 0;
      std::vector<int> fineSeen;
      for (std::size_t k = 0; k < fans.size(); ++k) {
        const std::vector<int>& fan = fans[k];
        total += static_cast<int>(fan.size());
        EXPECT_EQ(fan.front(), static_cast<int>(k) * coarse);
        EXPECT_EQ(fan.back(), static_cast<int>(k + 1) * coarse);
        fineSeen.insert(fineSeen.end(), fan.begin() + 1, fan.end() - 1);
      }
      EXPECT_EQ(total, 64 / fine + 128 / coarse + 1) << coarse << "/" << fine;
      EXPECT_LE(total * 2, set.bufferBytes());
      std::vector<int> expectedFine;
      for (int p = 0; p <= 64; p += fine) expectedFine.push_back(p);
      EXPECT_EQ(fineSeen, expectedFine) << coarse << "/" << fine;
    }
  }
}

}  // namespace

}  // namespace vantra::terrain
