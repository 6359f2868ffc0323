// The coarse leaves' batch draws each leaf's fans from the same vertices as the leaf's own
// fan sets, and keeps its index list from frame to frame, writing it again only when what is
// added changes; a list kept too long draws leaves at old levels, leaves that left the view
// or fans that are drawn elsewhere.
#include "terrain/coarse_leaf_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "render_target.h"
#include "terrain/buffer_lock.h"
#include "terrain/quad_leaf.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_quadtree.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

constexpr int kLeaves = 16;
constexpr int kCells = 64;

// One leaf's part of a frame: its level, and the level of each neighbour whose fans go
// into the batch (the same level for none).
struct LeafInFrame {
  int leaf;
  int level;
  int columnNeighbourLevel;
  int rowNeighbourLevel;
};

struct Drawn {
  std::vector<std::uint32_t> indices;
  int draws;
};

Drawn DrawFrame(CoarseLeafBatch& batch, const std::vector<LeafInFrame>& frame, bool perLevel) {
  for (const LeafInFrame& entry : frame) batch.addLeaf(entry.leaf, entry.level);
  for (const LeafInFrame& entry : frame) {
    if (entry.columnNeighbourLevel != entry.level)
      batch.addFans(entry.leaf, entry.level, entry.columnNeighbourLevel, EdgeFanSet::kColumnEdge);
    if (entry.rowNeighbourLevel != entry.level)
      batch.addFans(entry.leaf, entry.level, entry.rowNeighbourLevel, EdgeFanSet::kRowEdge);
  }
  Drawn drawn{{}, 0};
  drawn.draws = batch.draw(perLevel ? std::function<void(int)>([](int) {}) : nullptr);
  const UINT count = batch.indexCount();
  if (drawn.draws > 0) {
    BufferLock lock(batch.indexBuffer(), count * 4, D3DLOCK_READONLY);
    const auto* indices = static_cast<const std::uint32_t*>(lock.data());
    drawn.indices.assign(indices, indices + count);
  }
  return drawn;
}

// Every fan set a leaf held by the batch can have, toward a neighbour at any level along
// either edge, drawn from the batch: the same triangles of the same vertices, bit for bit, as
// the leaf's fan set takes from the leaf's own buffer.
TEST(CoarseLeafBatch, FansTowardAnyLevelTakeTheLeafsOwnEdgeVertices) {
  const TerrainWorld world(129, 129, 129, [](int row, int column) {
    return 100 + static_cast<int>(40.0 * std::sin(row * 0.37) * std::cos(column * 0.29));
  });
  IDirect3DDevice9* device = world.device.device();
  const QuadLeaf& leaf = *world.tree().leaf(3);
  const TerrainPatch& patch = *leaf.patch();
  const int last = patch.columns() - 2;
  const std::vector<TerrainVertex> own = ReadVertices(patch);
  // The leaf's vertices in the batch as a build on demand writes them, where the leaf is the
  // second of two.
  TerrainPatch summarised(leaf.x0(), leaf.x1() + 1, leaf.z0(), leaf.z1() + 1, world.terrain.get(),
                          device, TerrainPatch::BufferTime::kOnDemand);
  std::vector<TerrainVertex> written(CoarseLeafBatch::VerticesPerLeaf(last));
  summarised.summarise(CoarseLeafBatch::kGridSide, written.data());
  CoarseLeafBatch batch(device, 2, last);
  std::memcpy(batch.gridOf(1), written.data(), written.size() * sizeof written[0]);
  batch.finishBuild();

  const int levels = batch.firstLevel() + CoarseLeafBatch::kLevels;
  std::vector<int> positions, sizes, triangles;
  int sets = 0;
  for (int level = batch.firstLevel(); level < levels; ++level)
    for (int neighbour = 0; neighbour < levels; ++neighbour)
      for (const EdgeFanSet::Kind edge : {EdgeFanSet::kColumnEdge, EdgeFanSet::kRowEdge}) {
        if (neighbour == level) continue;
        EdgeFanSet::WalkFans(last + 1, 1 << level, 1 << neighbour, positions, sizes);
        triangles.clear();
        EdgeFanSet::AppendTriangleList(positions, sizes, triangles);
        batch.addFans(1, level, neighbour, edge);
        ASSERT_EQ(batch.draw(nullptr), 1);
        ASSERT_EQ(batch.indexCount(), triangles.size());
        BufferLock lock(batch.indexBuffer(), batch.indexCount() * 4, D3DLOCK_READONLY);
        const auto* indices = static_cast<const std::uint32_t*>(lock.data());
        for (std::size_t k = 0; k < triangles.size(); ++k) {
          const int p = triangles[k];
          const TerrainVertex& expected =
              own[edge == EdgeFanSet::kColumnEdge ? patch.index(p, last) : patch.index(last, p)];
          const std::uint32_t index = indices[k] - CoarseLeafBatch::VerticesPerLeaf(last);
          ASSERT_LT(index, written.size());
          ASSERT_EQ(std::memcmp(&written[index], &expected, sizeof expected), 0)
              << "level " << level << " against " << neighbour << ", edge " << edge << ", " << k;
        }
        ++sets;
      }
  EXPECT_EQ(sets, 2 * CoarseLeafBatch::kLevels * (levels - 1));
}

TEST(CoarseLeafBatch, AListKeptFromFrameToFrameMatchesOneWrittenAfresh) {
  platform::RenderTarget target;
  IDirect3DDevice9* device = target.device();
  CoarseLeafBatch kept(device, kLeaves, kCells);
  kept.finishBuild();
  const int first = kept.firstLevel();
  std::mt19937 random(2026);
  const auto anyLevel = [&] {
    return first + static_cast<int>(random() % CoarseLeafBatch::kLevels);
  };
  // A neighbour may be at any level, full detail included.
  const auto anyNeighbourLevel = [&] {
    return static_cast<int>(random() % (first + CoarseLeafBatch::kLevels));
  };

  std::vector<LeafInFrame> frame;
  int reused = 0;
  for (int step = 0; step < 300; ++step) {
    // Mostly small changes, as from one frame to the next: the same leaves again, one leaf
    // at another level, leaving or entering the view, fans coming or going; now and then a
    // new view or nothing in the batch.
    switch (random() % 8) {
      case 0:
      case 1:
        ++reused;
        break;
      case 2:
        if (!frame.empty()) frame[random() % frame.size()].level = anyLevel();
        break;
      case 3:
        if (!frame.empty()) frame.erase(frame.begin() + random() % frame.size());
        break;
      case 4:
        frame.push_back({static_cast<int>(random() % kLeaves), anyLevel(), 0, 0});
        frame.back().columnNeighbourLevel = frame.back().level;
        frame.back().rowNeighbourLevel = frame.back().level;
        break;
      case 5:
        if (!frame.empty()) frame[random() % frame.size()].rowNeighbourLevel = anyNeighbourLevel();
        break;
      case 6:
        frame.clear();
        for (int leaf = 0; leaf < kLeaves; ++leaf)
          if (random() % 3 != 0)
            frame.push_back({leaf, anyLevel(), anyNeighbourLevel(), anyNeighbourLevel()});
        break;
      default:
        if (random() % 4 == 0) frame.clear();
        break;
    }
    // The tint draws level by level from the same list.
    const bool perLevel = random() % 5 == 0;
    const Drawn fromKept = DrawFrame(kept, frame, perLevel);
    CoarseLeafBatch fresh(device, kLeaves, kCells);
    fresh.finishBuild();
    const Drawn fromFresh = DrawFrame(fresh, frame, perLevel);
    ASSERT_EQ(fromKept.draws, fromFresh.draws) << "step " << step;
    ASSERT_EQ(fromKept.indices, fromFresh.indices) << "step " << step;
  }
  EXPECT_GT(reused, 50) << "the sequence should repeat frames";
}

}  // namespace

}  // namespace vantra::terrain
