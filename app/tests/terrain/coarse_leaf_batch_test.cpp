// The coarse leaves' batch keeps its index list from frame to frame and writes it again only
// when what is added changes; a list kept too long draws leaves at old levels, leaves that
// left the view or fans that are drawn elsewhere.
#include "terrain/coarse_leaf_batch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "render_target.h"
#include "terrain/buffer_lock.h"

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
        if (!frame.empty()) frame[random() % frame.size()].rowNeighbourLevel = anyLevel();
        break;
      case 6:
        frame.clear();
        for (int leaf = 0; leaf < kLeaves; ++leaf)
          if (random() % 3 != 0) frame.push_back({leaf, anyLevel(), anyLevel(), anyLevel()});
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
