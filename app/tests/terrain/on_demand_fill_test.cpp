// Leaves of grids larger than the built-in one are summarised while the tree is built and get
// their vertex buffers only when first drawn on their own. The summaries and the buffers must
// hold exactly the values the terrain defines, one vertex at a time; the pictures must be
// those of a tree whose every leaf has its buffer, without gaps; and a leaf that is never
// drawn on its own must never get a buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "engine/input_devices.h"
#include "scene/app_camera.h"
#include "terrain/coarse_leaf_batch.h"
#include "terrain/quad_leaf.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "terrain/terrain_patch.h"
#include "terrain/terrain_quadtree.h"
#include "terrain/terrain_vertex.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

using vantra::Matrix;
using vantra::Vector;

namespace {

// Seeded roughness over hills that grow across the map, so that leaves need many levels.
int Hills(int row, int column) {
  const unsigned hash =
      (static_cast<unsigned>(row) * 73856093u) ^ (static_cast<unsigned>(column) * 19349663u);
  const double hills = column * 0.5 * std::sin(row * 0.21) * std::cos(column * 0.17);
  return std::clamp(120 + static_cast<int>(hills) + static_cast<int>(hash % 9u) - 4, 0, 255);
}

// A patch's vertices as the terrain defines them, one at a time: each height sampled alone,
// u and v accumulated along the rows and down the columns, the position built and moved as a
// vector, the normal from the positions of the next vertices, four colour channels truncated.
std::vector<TerrainVertex> ReferenceVertices(const Terrain& terrain, int x0, int x1, int z0,
                                             int z1) {
  const int columns = x1 - x0 + 1, rows = z1 - z0 + 1;
  const int width = terrain.width(), depth = terrain.depth();
  const Vector& scale = terrain.scale();
  Vector offset(((x0 + x1) * 0.5f - (width - 1) * 0.5f) * scale.x, 0.0f,
                ((depth - 1) * 0.5f - (z0 + z1) * 0.5f) * scale.z);
  offset += terrain.position();
  const Vector centring(-(columns - 1) * scale.x * 0.5f, 0.0f, -(rows - 1) * scale.z * 0.5f);
  const float uStart = static_cast<float>(x0) / static_cast<float>(width - 1);
  const float du = (static_cast<float>(x1) / static_cast<float>(width - 1) - uStart) /
                   static_cast<float>(x1 - x0);
  const float vStart = static_cast<float>(z0) / static_cast<float>(depth - 1);
  const float dv = (static_cast<float>(z1) / static_cast<float>(depth - 1) - vStart) /
                   static_cast<float>(z1 - z0);
  std::vector<TerrainVertex> vertices(columns * rows);
  float v = vStart;
  for (int i = 0; i < rows; ++i) {
    float u = uStart;
    for (int j = 0; j < columns; ++j) {
      TerrainVertex& vertex = vertices[j + i * columns];
      const float h = terrain.heightMap()->sample(u, v);
      vertex.position = Vector(j * scale.x, h * scale.y, (rows - 1 - i) * scale.z);
      vertex.position += centring;
      vertex.position += offset;
      const float t = 1.0f - h;
      const float high[4] = {0.9f, 0.9f, 0.9f, 1.0f};
      const float low[4] = {0.54509807f, 0.25098041f, 0.062222224f, 1.0f};
      D3DCOLOR channel[4];
      for (int k = 0; k < 4; ++k)
        channel[k] =
            static_cast<D3DCOLOR>(static_cast<int>((low[k] + (high[k] - low[k]) * t) * 255.0f));
      vertex.diffuse = channel[3] << 24 | (channel[0] & 0xFF) << 16 | (channel[1] & 0xFF) << 8 |
                       (channel[2] & 0xFF);
      vertex.tu0 = u;
      vertex.tv0 = v;
      vertex.tu1 = 32.0f * u;
      vertex.tv1 = 32.0f * v;
      u += du;
    }
    v += dv;
  }
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) {
      const int di = i == rows - 1 ? -1 : 1, dj = j == columns - 1 ? -1 : 1;
      const Vector& p = vertices[j + i * columns].position;
      const Vector a = vertices[j + dj + i * columns].position - p;
      const Vector b = vertices[j + (i + di) * columns].position - p;
      Vector n = (di < 0) != (dj < 0) ? b ^ a : a ^ b;
      n.normalize();
      vertices[j + i * columns].normal = n;
    }
  return vertices;
}

// Each level's largest distance between a full-detail height and the triangle of that
// level's cell that holds it, one vertex and one branch at a time.
std::vector<float> ReferenceLevelErrors(const std::vector<TerrainVertex>& vertices, int columns,
                                        int rows) {
  const int lastColumn = columns - 2, lastRow = rows - 2;
  auto height = [&](int row, int column) { return vertices[column + row * columns].position.y; };
  std::vector<float> errors{0.0f};
  for (int cells = lastColumn / 2, level = 1; cells > 0; cells /= 2, ++level) {
    const int s = 1 << level;
    auto z = [&](int k) { return k == cells ? lastRow : std::min(k * s, lastRow); };
    float worst = errors.back();
    for (int band = 0; band < cells; ++band) {
      const int xa = std::min(band * s, lastColumn);
      const int xb = band == cells - 1 ? lastColumn : (band + 1) * s;
      for (int k = 0; k < cells; ++k) {
        const int za = z(k), zb = z(k + 1);
        if (xb <= xa || zb <= za) continue;
        const float a = height(za, xa), b = height(za, xb), c = height(zb, xa), d = height(zb, xb);
        const float du = 1.0f / static_cast<float>(xb - xa);
        const float dw = 1.0f / static_cast<float>(zb - za);
        for (int i = za; i <= zb; ++i)
          for (int j = xa; j <= xb; ++j) {
            const float u = static_cast<float>(j - xa) * du;
            const float w = static_cast<float>(i - za) * dw;
            float coarse;
            if (u + w <= 1.0f)
              coarse = a + u * (b - a) + w * (c - a);
            else
              coarse = d + (1.0f - u) * (c - d) + (1.0f - w) * (b - d);
            worst = std::max(worst, std::fabs(coarse - height(i, j)));
          }
      }
    }
    errors.push_back(worst);
  }
  return errors;
}

bool SameBits(const TerrainVertex& a, const TerrainVertex& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Filled at once or summarised first and filled later, a patch holds the terrain's values to
// the bit: vertices, box, level errors, and the coarse grid drawn in place of its vertices.
TEST(TerrainPatchValues, SummaryAndFillGiveTheDefinedValuesToTheBit) {
  const TerrainWorld world(257, 257, 129, Hills);
  IDirect3DDevice9* device = world.device.device();
  constexpr int kSide = CoarseLeafBatch::kGridSide;
  for (int i = 0; i < world.tree().leafCount(); ++i) {
    const QuadLeaf& leaf = *world.tree().leaf(i);
    const TerrainPatch& built = *leaf.patch();
    const int columns = built.columns(), rows = built.rows();
    const std::vector<TerrainVertex> expected =
        ReferenceVertices(*world.terrain, leaf.x0(), leaf.x1() + 1, leaf.z0(), leaf.z1() + 1);
    const std::vector<TerrainVertex> filled = ReadVertices(built);
    ASSERT_EQ(filled.size(), expected.size());
    for (std::size_t k = 0; k < filled.size(); ++k)
      ASSERT_TRUE(SameBits(filled[k], expected[k])) << "leaf " << i << ", vertex " << k;
    EXPECT_EQ(built.levelErrors(), ReferenceLevelErrors(expected, columns, rows)) << "leaf " << i;
    Vector low = expected[0].position, high = low;
    for (const TerrainVertex& vertex : expected) {
      const Vector& p = vertex.position;
      low = Vector(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
      high = Vector(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
    }
    EXPECT_EQ(std::memcmp(&built.bounds().minPoint(), &low, sizeof low), 0) << "leaf " << i;
    EXPECT_EQ(std::memcmp(&built.bounds().maxPoint(), &high, sizeof high), 0) << "leaf " << i;

    TerrainPatch later(leaf.x0(), leaf.x1() + 1, leaf.z0(), leaf.z1() + 1, world.terrain.get(),
                       device, TerrainPatch::BufferTime::kOnDemand);
    EXPECT_EQ(later.vertexBuffer(), nullptr);
    const int last = columns - 2;
    std::vector<TerrainVertex> grid(CoarseLeafBatch::VerticesPerLeaf(last));
    later.summarise(kSide, grid.data());
    EXPECT_EQ(later.levelErrors(), built.levelErrors()) << "leaf " << i;
    EXPECT_EQ(std::memcmp(&later.bounds(), &built.bounds(), sizeof later.bounds()), 0);
    const int step = last / (kSide - 1);
    for (int r = 0; r < kSide; ++r)
      for (int c = 0; c < kSide; ++c)
        ASSERT_TRUE(SameBits(grid[r * kSide + c], expected[c * step + r * step * columns]))
            << "leaf " << i << ", coarse vertex " << r << "," << c;
    // Then the last drawn column and the last drawn row, every vertex.
    const TerrainVertex* edges = grid.data() + kSide * kSide;
    for (int p = 0; p <= last; ++p) {
      ASSERT_TRUE(SameBits(edges[p], expected[p * columns + last])) << "leaf " << i << ", " << p;
      ASSERT_TRUE(SameBits(edges[last + 1 + p], expected[last * columns + p]))
          << "leaf " << i << ", " << p;
    }
    later.createBuffer();
    later.fillVertices();
    later.closeBuffer();
    const std::vector<TerrainVertex> filledLater = ReadVertices(later);
    EXPECT_EQ(std::memcmp(filledLater.data(), filled.data(), filled.size() * sizeof filled[0]), 0)
        << "leaf " << i;
  }
}

// Puts the camera at eye looking along forward and sets the device's view and projection.
void Aim(scene::AppCamera& camera, const Vector& eye, Vector forward) {
  forward.normalize();
  Vector right = Vector(0.0f, 1.0f, 0.0f) ^ forward;
  if (right.isZero()) right = Vector(1.0f, 0.0f, 0.0f);
  right.normalize();
  camera.cameraWorldMatrix() = Matrix(eye, right, forward ^ right, forward);
  const engine::InputDevices idle;
  camera.steer(idle);
  camera.setProjection();
  camera.render();
}

// A 1025 grid (256 leaves) 100 units apart, flown over under the pixel-error rule.
struct LargeWorld {
  explicit LargeWorld(int targetSize = 200) : device(targetSize, targetSize) {
    WriteTerrainMaps(257, Hills);
    terrain = std::make_unique<Terrain>(1025, 1025, 100.0f, 3000.0f, 100.0f);
    terrain->reset(nullptr, device.device());
    camera.reset(nullptr, device.device());
    camera.setActive(true);
    terrain->setCamera(&camera);
    terrain->setPixelErrorTolerance(1.0f);
    // As the engine draws: the fans stand upright and are seen from either side.
    device.device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }

  TerrainQuadtree& tree() { return *terrain->quadtree(); }

  // Aims the camera and queues what it sees.
  void aim(const Vector& eye, const Vector& forward) {
    Aim(camera, eye, forward);
    tree().update();
  }
  // Draws the queue and returns the picture.
  std::vector<std::uint32_t> render() {
    IDirect3DDevice9* d = device.device();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FF, 1.0f, 0);
    d->BeginScene();
    terrain->render();
    d->EndScene();
    return device.presentAndCapture();
  }
  std::vector<std::uint32_t> draw(const Vector& eye, const Vector& forward) {
    aim(eye, forward);
    return render();
  }

  ScratchDirectory directory;
  platform::RenderTarget device;
  std::unique_ptr<Terrain> terrain;
  scene::AppCamera camera;
};

// Low over the hills looking along them, then higher and steeper: near leaves at full detail,
// far ones at the batch's levels, and every step between.
struct Pose {
  Vector eye, forward;
  float tolerance;
};
const Pose kPoses[] = {
    {{40000.0f, 1500.0f, -30000.0f}, {-0.6f, -0.15f, 0.7f}, 1.0f},
    {{-15000.0f, 4000.0f, 35000.0f}, {0.5f, -0.2f, -0.6f}, 1.0f},
    {{0.0f, 60000.0f, 0.0f}, {0.2f, -1.0f, 0.3f}, 4.0f},
    {{35000.0f, 10000.0f, 35000.0f}, {-0.5f, -0.3f, -0.5f}, 0.5f},
};
// High above the centre looking down: every leaf in view.
const Vector kHighAbove(0.0f, 300000.0f, 0.0f);
const Vector kDown(0.0f, -1.0f, 0.001f);

// The breadth-first numbers of the leaves that have their vertex buffers.
std::set<int> LeavesWithBuffers(const TerrainQuadtree& tree) {
  std::set<int> leaves;
  for (int i = 0; i < tree.leafCount(); ++i)
    if (tree.leaf(i)->patch()->vertexBuffer() != nullptr) leaves.insert(tree.leaf(i)->index());
  return leaves;
}

// The finest level the batch draws for these worlds' leaves of 64 cells.
const int kFirstBatchedLevel = CoarseLeafBatch::FirstLevel(64);

// Whether a queued leaf draws from its own buffer: its strip finer than the batch's levels.
// The batch draws the fans of the others.
bool DrawsOnItsOwn(const QuadLeaf& leaf) { return leaf.lodSet()->level() < kFirstBatchedLevel; }

TEST(TerrainOnDemandFill, LeavesGetBuffersOnlyWhenDrawnOnTheirOwn) {
  LargeWorld large;
  TerrainQuadtree& tree = large.tree();
  ASSERT_EQ(tree.leafCount(), 256);
  EXPECT_TRUE(LeavesWithBuffers(tree).empty()) << "the build only summarises";
  std::set<int> expected;
  for (const Pose& pose : kPoses) {
    large.terrain->setPixelErrorTolerance(pose.tolerance);
    large.aim(pose.eye, pose.forward);
    for (int i = 0; i < tree.queueCount(); ++i)
      if (DrawsOnItsOwn(*tree.renderQueue()[i])) expected.insert(tree.renderQueue()[i]->index());
    large.render();
    EXPECT_EQ(LeavesWithBuffers(tree), expected) << "buffers are kept once made";
  }
  EXPECT_GT(expected.size(), 4u) << "near leaves are drawn at full detail";
  EXPECT_LT(expected.size(), 128u) << "far leaves keep only their coarse grids";

  // Every leaf at its coarsest level, seen whole from far above: the batch draws them all.
  large.terrain->setPixelErrorTolerance(1000.0f);
  large.aim(kHighAbove, kDown);
  ASSERT_EQ(tree.queueCount(), 256);
  large.render();
  EXPECT_EQ(tree.lastDrawn().leavesPerLevel[6], 256);
  EXPECT_EQ(LeavesWithBuffers(tree), expected);
  // With the batch switched off every leaf is drawn on its own and gets its buffer.
  tree.setMergesCoarsestLeaves(false);
  large.draw(kHighAbove, kDown);
  EXPECT_EQ(LeavesWithBuffers(tree).size(), 256u);
}

// The same frames drawn while the leaves are filled on demand and again once every leaf has
// its buffer: the same pictures and the same triangles, with the batch and without, and the
// batch's pictures the same as the strips'.
TEST(TerrainOnDemandFill, PicturesMatchThoseWithEveryBufferFilled) {
  LargeWorld large;
  struct Frame {
    std::vector<std::uint32_t> picture;
    TerrainQuadtree::DrawCounts drawn;
  };
  const auto fly = [&large] {
    std::vector<Frame> frames;
    for (const bool merged : {true, false}) {
      large.tree().setMergesCoarsestLeaves(merged);
      for (const Pose& pose : kPoses) {
        large.terrain->setPixelErrorTolerance(pose.tolerance);
        std::vector<std::uint32_t> picture = large.draw(pose.eye, pose.forward);
        frames.push_back({std::move(picture), large.tree().lastDrawn()});
      }
    }
    return frames;
  };
  const std::vector<Frame> onDemand = fly();
  ASSERT_LT(LeavesWithBuffers(large.tree()).size(), 256u);
  // The leaves the batch drew paint what their strips paint once they are filled.
  const std::size_t poses = std::size(kPoses);
  for (std::size_t k = 0; k < poses; ++k)
    EXPECT_EQ(onDemand[k].picture, onDemand[poses + k].picture) << "pose " << k;
  // Every leaf on its own at full detail: all get their buffers.
  large.tree().setMergesCoarsestLeaves(false);
  large.terrain->setPixelErrorTolerance(0.0f);
  large.draw(kHighAbove, kDown);
  ASSERT_EQ(LeavesWithBuffers(large.tree()).size(), 256u);
  const std::vector<Frame> filled = fly();
  for (std::size_t k = 0; k < filled.size(); ++k) {
    EXPECT_EQ(onDemand[k].drawn.triangles, filled[k].drawn.triangles) << "frame " << k;
    EXPECT_EQ(onDemand[k].drawn.leavesPerLevel, filled[k].drawn.leavesPerLevel) << "frame " << k;
    const auto& a = onDemand[k].picture;
    const auto& b = filled[k].picture;
    const long differing =
        std::inner_product(a.begin(), a.end(), b.begin(), 0L, std::plus<>(), std::not_equal_to<>());
    EXPECT_EQ(differing, 0) << "frame " << k;
  }
}

// Clear-colour pixels between terrain pixels in the same column of a picture looking down.
int CountGapPixels(const std::vector<std::uint32_t>& picture, int size) {
  constexpr std::uint32_t kClear = 0xFF00FF;
  int gaps = 0;
  for (int x = 0; x < size; ++x) {
    int top = -1, bottom = -1;
    for (int y = 0; y < size; ++y)
      if ((picture[y * size + x] & 0xFFFFFF) != kClear) {
        if (top < 0) top = y;
        bottom = y;
      }
    for (int y = top; top >= 0 && y <= bottom; ++y)
      gaps += (picture[y * size + x] & 0xFFFFFF) == kClear;
  }
  return gaps;
}

// Seeded views from high above under the pixel-error rule, leaves filled as they come;
// counts the views that mix leaves drawn on their own with leaves the batch draws.
int GapsLookingDown(LargeWorld& large, int* mixedViews) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> offset(-30000.0f, 30000.0f);
  std::uniform_real_distribution<float> height(20000.0f, 60000.0f);
  std::uniform_real_distribution<float> tilt(-0.5f, 0.5f);
  int gaps = 0;
  *mixedViews = 0;
  for (int pose = 0; pose < 16; ++pose) {
    large.terrain->setPixelErrorTolerance(pose % 2 == 0 ? 0.5f : 2.0f);
    const std::vector<std::uint32_t> picture =
        large.draw(Vector(offset(random), height(random), offset(random)),
                   Vector(tilt(random), -1.0f, tilt(random)));
    const auto& levels = large.tree().lastDrawn().leavesPerLevel;
    const auto batched = levels.begin() + kFirstBatchedLevel;
    const bool own = std::accumulate(levels.begin(), batched, 0) > 0;
    *mixedViews += own && std::accumulate(batched, levels.end(), 0) > 0;
    gaps += CountGapPixels(picture, large.device.width());
  }
  return gaps;
}

TEST(TerrainOnDemandFill, LeavesOfAnyLevelsMeetWithoutGaps) {
  int mixed = 0;
  {
    LargeWorld large;
    EXPECT_EQ(GapsLookingDown(large, &mixed), 0);
    EXPECT_GE(mixed, 2) << "views should mix filled leaves with the batch's";
  }
  // Without the fans the same views must show gaps, or the count proves nothing.
  setenv("VANTRA_NO_EDGE_FANS", "1", 1);
  LargeWorld open;
  unsetenv("VANTRA_NO_EDGE_FANS");
  EXPECT_GT(GapsLookingDown(open, &mixed), 0);
}

}  // namespace

}  // namespace vantra::terrain
