// Levels of detail picked by their projected geometric error: the per-level errors against
// the strips the device really draws, the choice of level over random poses, and pictures
// without gaps between leaves whose levels differ by any number of steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
#include <vector>

#include "engine/input_devices.h"
#include "scene/app_camera.h"
#include "terrain/buffer_lock.h"
#include "terrain/coarse_leaf_batch.h"
#include "terrain/quad_leaf.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"
#include "terrain/terrain_vertex.h"
#include "terrain_test_support.h"

namespace vantra::terrain {

using vantra::Matrix;
using vantra::Vector;

namespace {

// Flat ground in the first half of the columns, then hills and a seeded roughness that
// grow across the second half, so that leaves seen from the same distance need very
// different levels.
int Bumpy(int row, int column) {
  const unsigned hash =
      (static_cast<unsigned>(row) * 73856093u) ^ (static_cast<unsigned>(column) * 19349663u);
  const int rise = std::max(column - 64, 0);
  const double hills = rise * 0.4 * std::sin(row * 0.31) * std::cos(column * 0.23);
  const int roughness = rise / 3;
  return static_cast<int>(120.0 + hills) + static_cast<int>(hash % (2u * roughness + 1u)) -
         roughness;
}

// Puts the camera at eye looking along forward, rebuilds its frustum and sets the device's
// projection and view from it.
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

// The largest vertical distance between the full-detail vertices and the triangles that one
// level's strip really draws, found by testing every vertex against every triangle.
float DrawnError(const QuadLeaf& leaf, int level) {
  const TerrainPatch& patch = *leaf.patch();
  BufferLock lock(patch.vertexBuffer(), patch.bufferBytes(), 0);
  const auto* vertices = static_cast<const TerrainVertex*>(lock.data());
  const LevelRange& range = leaf.lodSet()->levels()[level];
  const std::vector<std::uint16_t> strip =
      ReadIndices(leaf.lodSet()->indexBuffer(), range.start, range.count);
  const int columns = patch.columns();
  float worst = 0.0f;
  for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
    const int t[3] = {strip[k], strip[k + 1], strip[k + 2]};
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
    double x[3], z[3], h[3];
    for (int i = 0; i < 3; ++i) {
      x[i] = t[i] % columns;
      z[i] = t[i] / columns;
      h[i] = vertices[t[i]].position.y;
    }
    const double area = (x[1] - x[0]) * (z[2] - z[0]) - (x[2] - x[0]) * (z[1] - z[0]);
    if (area == 0.0) continue;
    const int c0 = static_cast<int>(*std::min_element(x, x + 3));
    const int c1 = static_cast<int>(*std::max_element(x, x + 3));
    const int r0 = static_cast<int>(*std::min_element(z, z + 3));
    const int r1 = static_cast<int>(*std::max_element(z, z + 3));
    for (int r = r0; r <= r1; ++r)
      for (int c = c0; c <= c1; ++c) {
        const double b1 = ((c - x[0]) * (z[2] - z[0]) - (x[2] - x[0]) * (r - z[0])) / area;
        const double b2 = ((x[1] - x[0]) * (r - z[0]) - (c - x[0]) * (z[1] - z[0])) / area;
        const double b0 = 1.0 - b1 - b2;
        if (b0 < -1e-9 || b1 < -1e-9 || b2 < -1e-9) continue;
        const double surface = b0 * h[0] + b1 * h[1] + b2 * h[2];
        const double full = vertices[r * columns + c].position.y;
        worst = std::max(worst, static_cast<float>(std::fabs(surface - full)));
      }
  }
  return worst;
}

TEST(TerrainLevelErrors, AreTheLargestDistancesToTheDrawnStrips) {
  TerrainWorld world(65, 65, 65, [](int row, int column) { return Bumpy(row, column + 64); });
  const QuadLeaf& leaf = *world.tree().leaf(0);
  const std::vector<float>& errors = leaf.patch()->levelErrors();
  ASSERT_EQ(static_cast<int>(errors.size()), leaf.lodSet()->maxLevel() + 1);
  EXPECT_EQ(errors[0], 0.0f) << "full detail is exact";
  float expected = 0.0f;
  for (int level = 1; level < static_cast<int>(errors.size()); ++level) {
    // A coarser level never claims less than a finer one, so that levels can be searched.
    expected = std::max(expected, DrawnError(leaf, level));
    EXPECT_NEAR(errors[level], expected, expected * 1e-4f + 0.01f) << "level " << level;
  }
  EXPECT_GT(errors.back(), 1000.0f) << "the hills must make coarse levels err";

  TerrainWorld flat(65, 65, 16, [](int, int) { return 77; });
  for (const float error : flat.tree().leaf(0)->patch()->levelErrors()) EXPECT_EQ(error, 0.0f);
}

class PixelErrorRuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world = new TerrainWorld(257, 257, 129, Bumpy, 200);
    camera = new scene::AppCamera();
    camera->reset(nullptr, world->device.device());
    camera->setActive(true);
    world->terrain->setCamera(camera);
  }
  static void TearDownTestSuite() {
    delete camera;
    delete world;
    camera = nullptr;
    world = nullptr;
  }

  static TerrainQuadtree& tree() { return world->tree(); }

  // Pixels per world unit at unit distance: half the viewport height over tan(fov / 2).
  static float PixelsPerUnit() {
    D3DMATRIX projection;
    world->device.device()->GetTransform(D3DTS_PROJECTION, &projection);
    return world->device.height() * projection(1, 1) * 0.5f;
  }

  static float NearestDistance(const QuadLeaf& leaf, const Vector& eye) {
    const vantra::BoundingBox& box = leaf.box();
    const Vector nearest(std::clamp(eye.x, box.minPoint().x, box.maxPoint().x),
                         std::clamp(eye.y, box.minPoint().y, box.maxPoint().y),
                         std::clamp(eye.z, box.minPoint().z, box.maxPoint().z));
    return std::sqrt((eye - nearest).magnitudeSquare());
  }

  static TerrainWorld* world;
  static scene::AppCamera* camera;
};

TerrainWorld* PixelErrorRuleTest::world = nullptr;
scene::AppCamera* PixelErrorRuleTest::camera = nullptr;

TEST_F(PixelErrorRuleTest, PicksTheCoarsestLevelWithinTheTolerance) {
  tree().setLodRule(TerrainQuadtree::LodRule::kPixelError);
  std::mt19937 random(11);
  std::uniform_real_distribution<float> position(-120000.0f, 120000.0f);
  std::uniform_real_distribution<float> height(2000.0f, 400000.0f);
  std::uniform_real_distribution<float> direction(-1.0f, 1.0f);
  int coarse = 0;
  for (const float tolerance : {0.0f, 1.0f, 4.0f}) {
    tree().setPixelTolerance(tolerance);
    for (int pose = 0; pose < 30; ++pose) {
      const Vector eye(position(random), height(random), position(random));
      Aim(*camera, eye, Vector(direction(random), -1.0f, direction(random)));
      tree().update();
      const float k = PixelsPerUnit();
      for (int i = 0; i < tree().queueCount(); ++i) {
        const QuadLeaf& leaf = *tree().renderQueue()[i];
        const int level = leaf.lodSet()->level();
        const std::vector<float>& errors = leaf.patch()->levelErrors();
        const float distance = NearestDistance(leaf, eye);
        if (tolerance == 0.0f || distance == 0.0f) {
          EXPECT_EQ(level, 0) << "a tolerance of 0 or an eye inside the box: full detail";
          continue;
        }
        EXPECT_LE(errors[level] * k / distance, tolerance * 1.0001f) << "pose " << pose;
        if (level < leaf.lodSet()->maxLevel()) {
          EXPECT_GT(errors[level + 1] * k / distance, tolerance * 0.9999f)
              << "pose " << pose << ": level " << level + 1 << " would do";
        }
        coarse += level > 0;
      }
      tree().flush();
      EXPECT_LE(tree().lastDrawn().maxProjectedError, std::max(tolerance, 0.0f) * 1.0001f);
    }
  }
  EXPECT_GT(coarse, 100) << "the poses should see coarse leaves";

  // An eye inside a leaf's box draws that leaf at full detail, however small its errors.
  QuadLeaf& leaf = *tree().leaf(5);
  const Vector inside = (leaf.box().minPoint() + leaf.box().maxPoint()) / 2.0f;
  Aim(*camera, inside, Vector(0.3f, -1.0f, 0.2f));
  leaf.selectLevel();
  EXPECT_EQ(leaf.lodSet()->level(), 0);
  tree().setLodRule(TerrainQuadtree::LodRule::kDistance);
}

// A leaf's fans follow its neighbours' levels, also those of neighbours out of view: the
// same pose must draw the same triangles whichever poses came before it.
TEST_F(PixelErrorRuleTest, ThePathFlownDoesNotChangeWhatAPoseDraws) {
  tree().setLodRule(TerrainQuadtree::LodRule::kPixelError);
  tree().setPixelTolerance(1.0f);
  // Eyes low over the terrain looking across it, so that leaves fall out of view.
  const Vector low = tree().root()->box().minPoint(), high = tree().root()->box().maxPoint();
  std::mt19937 random(23);
  std::uniform_real_distribution<float> across(low.x, high.x), along(low.z, high.z);
  std::uniform_real_distribution<float> height(high.y + 200.0f, high.y + 5000.0f);
  std::uniform_real_distribution<float> direction(-1.0f, 1.0f);
  const auto randomPose = [&] {
    return std::pair(Vector(across(random), height(random), along(random)),
                     Vector(direction(random), -0.2f, direction(random)));
  };
  int partial = 0;
  const auto draw = [&partial](const std::pair<Vector, Vector>& pose) {
    Aim(*camera, pose.first, pose.second);
    tree().update();
    partial += tree().queueCount() > 0 && tree().queueCount() < 16;
    tree().flush();
    return tree().lastDrawn();
  };
  for (int trial = 0; trial < 20; ++trial) {
    const auto pose = randomPose();
    draw(randomPose());
    const TerrainQuadtree::DrawCounts first = draw(pose);
    draw(randomPose());
    const TerrainQuadtree::DrawCounts second = draw(pose);
    EXPECT_EQ(first.triangles, second.triangles) << "trial " << trial;
    EXPECT_EQ(first.draws, second.draws) << "trial " << trial;
  }
  EXPECT_GT(partial, 20) << "the poses should leave leaves out of view";
  tree().setLodRule(TerrainQuadtree::LodRule::kDistance);
}

// Clear-colour pixels between terrain pixels in the same column. Looking down from above,
// every column crosses the terrain in one unbroken run.
int CountGapPixels(const std::vector<std::uint32_t>& picture, int size, std::uint32_t clear) {
  int gaps = 0;
  for (int x = 0; x < size; ++x) {
    int top = -1, bottom = -1;
    for (int y = 0; y < size; ++y)
      if (picture[y * size + x] != clear) {
        if (top < 0) top = y;
        bottom = y;
      }
    for (int y = top; top >= 0 && y <= bottom; ++y) gaps += picture[y * size + x] == clear;
  }
  return gaps;
}

// Renders a world from seeded poses high above looking down under the pixel-error rule and
// returns the gap pixels of all pictures together.
int GapsUnderThePixelRule(TerrainWorld& world, int* levelSpread) {
  scene::AppCamera camera;
  camera.reset(nullptr, world.device.device());
  camera.setActive(true);
  world.terrain->setCamera(&camera);
  world.terrain->setPixelErrorTolerance(1.0f);
  IDirect3DDevice9* device = world.device.device();
  // As the engine draws: the fans stand upright and are seen from either side.
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  std::mt19937 random(5);
  // Views that stay inside the terrain's edges, where the picture would end anyway.
  std::uniform_real_distribution<float> offset(-30000.0f, 30000.0f);
  std::uniform_real_distribution<float> height(20000.0f, 60000.0f);
  std::uniform_real_distribution<float> tilt(-0.3f, 0.3f);
  constexpr std::uint32_t kClear = 0xFF00FF;
  int gaps = 0;
  *levelSpread = 0;
  for (int pose = 0; pose < 20; ++pose) {
    world.terrain->setPixelErrorTolerance(pose % 2 == 0 ? 1.0f : 4.0f);
    Aim(camera, Vector(offset(random), height(random), offset(random)),
        Vector(tilt(random), -1.0f, tilt(random)));
    world.tree().update();
    int lowest = 99, highest = 0;
    for (int i = 0; i < world.tree().queueCount(); ++i) {
      const int level = world.tree().renderQueue()[i]->lodSet()->level();
      lowest = std::min(lowest, level);
      highest = std::max(highest, level);
    }
    *levelSpread = std::max(*levelSpread, highest - lowest);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000 | kClear, 1.0f, 0);
    device->BeginScene();
    world.terrain->render();
    device->EndScene();
    gaps += CountGapPixels(world.device.presentAndCapture(), world.device.width(), kClear);
  }
  return gaps;
}

TEST(PixelErrorRuleRendering, LeavesOfAnyLevelsMeetWithoutGaps) {
  int spread = 0;
  {
    TerrainWorld world(257, 257, 129, Bumpy, 200);
    EXPECT_EQ(GapsUnderThePixelRule(world, &spread), 0);
    EXPECT_GE(spread, 2) << "neighbours should differ by more than one level";
  }
  // Without the fans the same views must show gaps, or the count proves nothing.
  setenv("VANTRA_NO_EDGE_FANS", "1", 1);
  TerrainWorld open(257, 257, 129, Bumpy, 200);
  unsetenv("VANTRA_NO_EDGE_FANS");
  EXPECT_GT(GapsUnderThePixelRule(open, &spread), 0);
}

// Leaves at the batch's coarsest levels, and their fans toward neighbours at any level, go to
// the device together in one draw, which must paint exactly what their own strips and fan
// sets paint.
TEST(PixelErrorRuleRendering, CoarseLeavesDrawnTogetherPaintTheSamePixels) {
  // Hills whose height grows from one side to the other, so that the leaves spread over
  // many levels.
  TerrainWorld world(
      257, 257, 129,
      [](int row, int column) {
        return 120 + static_cast<int>(column / 16 * std::sin(row * 0.3) * std::cos(column * 0.2));
      },
      200);
  scene::AppCamera camera;
  camera.reset(nullptr, world.device.device());
  camera.setActive(true);
  world.terrain->setCamera(&camera);
  world.terrain->setPixelErrorTolerance(0.15f);
  IDirect3DDevice9* device = world.device.device();
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Aim(camera, Vector(-20000.0f, 250000.0f, 10000.0f), Vector(0.1f, -1.0f, 0.05f));
  std::vector<std::uint32_t> pictures[2];
  int draws[2] = {};
  int together = 0, towardFiner = 0;
  const int batched = CoarseLeafBatch::FirstLevel(64);
  for (const bool merged : {false, true}) {
    world.tree().setMergesCoarsestLeaves(merged);
    world.tree().update();
    ASSERT_GT(world.tree().queueCount(), 4);
    // Each leaf at a level the batch holds, and each of its fan sets toward a neighbour at
    // another level, is one draw less.
    together = 0;
    towardFiner = 0;
    for (int i = 0; i < world.tree().queueCount(); ++i) {
      const QuadLeaf& leaf = *world.tree().renderQueue()[i];
      const int level = leaf.lodSet()->level();
      if (level < batched) continue;
      ++together;
      for (const QuadLeaf* neighbour : {leaf.columnNeighbour(), leaf.rowNeighbour()}) {
        together += neighbour != nullptr && neighbour->lodSet()->level() != level;
        towardFiner += neighbour != nullptr && neighbour->lodSet()->level() < batched;
      }
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 1.0f, 0);
    device->BeginScene();
    world.terrain->render();
    device->EndScene();
    pictures[merged] = world.device.presentAndCapture();
    draws[merged] = world.tree().lastDrawn().draws;
  }
  const auto& levels = world.tree().lastDrawn().leavesPerLevel;
  ASSERT_GE(std::count_if(levels.begin() + batched, levels.end(), [](int n) { return n > 0; }), 2)
      << "leaves together at more than one level";
  ASSERT_GT(std::accumulate(levels.begin(), levels.begin() + batched, 0), 0)
      << "and a leaf with a draw of its own";
  ASSERT_GT(towardFiner, 0) << "and fans from the batch toward such a leaf";
  EXPECT_EQ(draws[true], draws[false] - together + 1);
  EXPECT_EQ(pictures[true], pictures[false]);
}

}  // namespace

}  // namespace vantra::terrain
