// The seams between leaves, read back from the real index buffers: for every leaf, level and
// neighbour level, the edge fans' coarse vertices must be exactly the coarser strip's
// vertices on the shared edge and their fine vertices the finer strip's, and leaves at equal
// levels (drawn without fans) must share their edge vertices. The terrain accepts exactly the
// grids where this holds.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

#include "terrain/edge_fan_set.h"
#include "terrain/lod_index_set.h"
#include "terrain/quad_leaf.h"
#include "terrain/terrain.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_quadtree.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

using EdgeSet = std::set<int>;

// Reads strips and fans of one quadtree and maps their vertices to grid positions along the
// seams they touch.
class SeamReader {
 public:
  // Grid positions along the seam of the vertices that leaf's strip at level puts on one of
  // its lines: a column (columnEdge) or a row, at patch-relative index line.
  EdgeSet stripEdge(const QuadLeaf& leaf, int level, bool columnEdge, int line) {
    const std::vector<std::uint16_t>& strip = _strip(leaf, level);
    EdgeSet edge;
    for (const std::uint16_t vertex : strip) {
      const auto [row, column] = _rowColumn(leaf, vertex);
      if ((columnEdge ? column : row) == line)
        edge.insert(columnEdge ? leaf.z0() + row : leaf.x0() + column);
    }
    return edge;
  }

  // Builds the leaf's fans for two levels and splits their vertices into the fans' heads and
  // ends (coarse) and the vertices in between (fine). False when a vertex lies off the seam.
  bool fanEdges(const QuadLeaf& leaf, bool columnEdge, int level, int neighbourLevel,
                EdgeSet* coarse, EdgeSet* fine) {
    EdgeFanSet& fans = columnEdge ? *leaf.columnFans() : *leaf.rowFans();
    fans.build(1 << level, 1 << neighbourLevel);
    int total = 0;
    for (const int size : fans.fanSizes()) total += size;
    const std::vector<std::uint16_t> indices = ReadIndices(fans.indexBuffer(), 0, total);
    const TerrainPatch& patch = *leaf.patch();
    const int line = columnEdge ? patch.columns() - 2 : patch.rows() - 2;
    std::size_t start = 0;
    for (const int size : fans.fanSizes()) {
      for (int k = 0; k < size; ++k) {
        const auto [row, column] = _rowColumn(leaf, indices[start + k]);
        if ((columnEdge ? column : row) != line) return false;
        const int position = columnEdge ? leaf.z0() + row : leaf.x0() + column;
        (k == 0 || k == size - 1 ? coarse : fine)->insert(position);
      }
      start += size;
    }
    return true;
  }

 private:
  const std::vector<std::uint16_t>& _strip(const QuadLeaf& leaf, int level) {
    auto key = std::make_pair(&leaf, level);
    auto found = _strips.find(key);
    if (found != _strips.end()) return found->second;
    const LevelRange& range = leaf.lodSet()->levels()[level];
    return _strips[key] = ReadIndices(leaf.lodSet()->indexBuffer(), range.start, range.count);
  }

  static std::pair<int, int> _rowColumn(const QuadLeaf& leaf, int vertex) {
    const int columns = leaf.patch()->columns();
    return {vertex / columns, vertex % columns};
  }

  std::map<std::pair<const QuadLeaf*, int>, std::vector<std::uint16_t>> _strips;
};

// Counts the (leaf, seam, level, neighbour level) cases whose fans and strips disagree, or
// whose equal levels leave different vertices on the two sides of the seam.
int CountSeamFaults(const TerrainQuadtree& tree) {
  SeamReader reader;
  int faults = 0;
  for (int i = 0; i < tree.leafCount(); ++i) {
    const QuadLeaf& leaf = *tree.leaf(i);
    for (const bool columnEdge : {true, false}) {
      const QuadLeaf* neighbour = columnEdge ? leaf.columnNeighbour() : leaf.rowNeighbour();
      if (neighbour == nullptr) continue;
      const TerrainPatch& patch = *leaf.patch();
      const int line = columnEdge ? patch.columns() - 2 : patch.rows() - 2;
      for (int level = 0; level <= leaf.lodSet()->maxLevel(); ++level) {
        const EdgeSet own = reader.stripEdge(leaf, level, columnEdge, line);
        for (int other = 0; other <= neighbour->lodSet()->maxLevel(); ++other) {
          const EdgeSet theirs = reader.stripEdge(*neighbour, other, columnEdge, 0);
          if (level == other) {
            faults += own != theirs;
            continue;
          }
          EdgeSet coarse, fine;
          const bool onSeam = reader.fanEdges(leaf, columnEdge, level, other, &coarse, &fine);
          const bool ownIsCoarse = level > other;
          faults += !onSeam || coarse != (ownIsCoarse ? own : theirs) ||
                    fine != (ownIsCoarse ? theirs : own);
        }
      }
    }
  }
  return faults;
}

bool TerrainAccepts(int width, int depth) {
  try {
    Terrain terrain(width, depth, 800.0f, 24240.0f, 800.0f);
    return true;
  } catch (std::int32_t code) {
    EXPECT_EQ(code, E_INVALIDARG) << width << " x " << depth;
    return false;
  }
}

// Every grid, accepted or not, is built as a quadtree over a small accepted terrain: the
// seams depend on the grid's extents only, not on the heights or the terrain's own size.
TEST(TerrainSeams, TerrainAcceptsExactlyTheGridsWhoseFansMatchTheStrips) {
  TerrainWorld host(65, 65, 8, [](int row, int column) { return 40 + 3 * row + 5 * column; });
  struct Case {
    int width, depth;
    bool accepted;
  };
  const Case cases[] = {
      {65, 65, true},    {66, 66, false},   {97, 97, false},     {129, 129, true},
      {130, 130, false}, {193, 193, false}, {257, 257, true},    {300, 300, false},
      {513, 513, true},  {600, 600, false}, {1000, 1000, false}, {1025, 1025, true},
      {513, 257, false}, {257, 513, false}, {129, 513, false},   {1025, 513, false},
      {600, 513, false}, {130, 300, false}, {65, 300, true},     {40, 300, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.depth));
    EXPECT_EQ(TerrainAccepts(c.width, c.depth), c.accepted) << c.width << " x " << c.depth;
    const TerrainQuadtree tree(host.device.device(), host.terrain.get(), nullptr, 0, c.width - 1, 0,
                               c.depth - 1);
    const int faults = CountSeamFaults(tree);
    if (c.accepted)
      EXPECT_EQ(faults, 0) << c.width << " x " << c.depth;
    else
      EXPECT_GT(faults, 0) << c.width << " x " << c.depth << " is rejected without a fault";
  }
}

TEST(TerrainSeams, RejectsGridsWithoutCells) {
  for (const auto& [width, depth] : {std::pair{1, 1}, {1, 65}, {65, 1}, {0, 0}, {-513, 513}})
    EXPECT_FALSE(TerrainAccepts(width, depth)) << width << " x " << depth;
}

}  // namespace

}  // namespace vantra::terrain
