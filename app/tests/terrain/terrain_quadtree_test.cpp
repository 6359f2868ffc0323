#include "terrain/terrain_quadtree.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <utility>

#include "engine/input_devices.h"
#include "scene/app_camera.h"
#include "terrain/buffer_lock.h"
#include "terrain/quad_leaf.h"
#include "terrain/terrain.h"
#include "terrain_test_support.h"
#include "vantra/intersection_codes.h"

namespace vantra::terrain {

using vantra::Matrix;
using vantra::Vector;

namespace {

class TerrainQuadtreeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world = new TerrainWorld(513, 513, 65, [](int row, int column) { return 20 + row + column; });
    camera = new scene::AppCamera();
    camera->reset(nullptr, world->device.device());
    world->terrain->setCamera(camera);
  }
  static void TearDownTestSuite() {
    delete camera;
    delete world;
    camera = nullptr;
    world = nullptr;
  }
  static TerrainQuadtree& tree() { return world->tree(); }

  // Puts the camera at eye looking along forward, and rebuilds its frustum.
  static void Aim(const Vector& eye, Vector forward) {
    forward.normalize();
    Vector right = Vector(0.0f, 1.0f, 0.0f) ^ forward;
    if (right.isZero()) right = Vector(1.0f, 0.0f, 0.0f);
    right.normalize();
    const Vector up = forward ^ right;
    camera->cameraWorldMatrix() = Matrix(eye, right, up, forward);
    const engine::InputDevices idle;
    camera->steer(idle);
  }

  static TerrainWorld* world;
  static scene::AppCamera* camera;
};

TerrainWorld* TerrainQuadtreeTest::world = nullptr;
scene::AppCamera* TerrainQuadtreeTest::camera = nullptr;

TEST_F(TerrainQuadtreeTest, GridOf513IsThreeLevelsOf85Nodes) {
  EXPECT_EQ(tree().depth(), 3);
  ASSERT_EQ(tree().nodes().size(), 85u);
  EXPECT_EQ(tree().firstLeaf(), 21);
  EXPECT_EQ(tree().leafCount(), 64);
  for (int i = 0; i < 85; ++i) {
    const QuadNode* node = tree().nodes()[i];
    EXPECT_EQ(node->index(), i);
    EXPECT_EQ(node->isLeaf(), i >= 21) << "node " << i;
    for (int k = 0; k < static_cast<int>(node->children().size()); ++k) {
      EXPECT_EQ(node->children()[k]->index(), 4 * i + 1 + k);
      EXPECT_EQ(node->children()[k]->parent(), node);
    }
  }
  const QuadLeaf& first = *tree().leaf(0);
  EXPECT_EQ((std::vector<int>{first.x0(), first.x1(), first.z0(), first.z1()}),
            (std::vector<int>{0, 64, 0, 64}));
  EXPECT_EQ(first.patch()->columns(), 66);
  EXPECT_EQ(first.patch()->rows(), 66);
}

TEST_F(TerrainQuadtreeTest, ChildrenSplitInTheDocumentedOrder) {
  const QuadNode& root = *tree().root();
  ASSERT_EQ(root.children().size(), 4u);
  const int expected[4][4] = {
      {0, 256, 0, 256}, {256, 512, 0, 256}, {256, 512, 256, 512}, {0, 256, 256, 512}};
  for (int k = 0; k < 4; ++k) {
    const QuadNode& child = *root.children()[k];
    EXPECT_EQ((std::vector<int>{child.x0(), child.x1(), child.z0(), child.z1()}),
              (std::vector<int>(expected[k], expected[k] + 4)))
        << "child " << k;
  }
}

TEST_F(TerrainQuadtreeTest, LeavesFindTheirNeighboursBeyondTheLastColumnAndRow) {
  const QuadLeaf& first = *tree().leaf(0);
  ASSERT_NE(first.columnNeighbour(), nullptr);
  ASSERT_NE(first.rowNeighbour(), nullptr);
  EXPECT_EQ(first.columnNeighbour(), world->leafAt(64, 0));
  EXPECT_EQ(first.rowNeighbour(), world->leafAt(0, 64));
  for (int i = 0; i < tree().leafCount(); ++i) {
    const QuadLeaf& leaf = *tree().leaf(i);
    if (leaf.x1() == 512)
      EXPECT_EQ(leaf.columnNeighbour(), nullptr) << "no leaf beyond the last column";
    else
      EXPECT_EQ(leaf.columnNeighbour(), world->leafAt(leaf.x1(), leaf.z0()));
    if (leaf.z1() == 512)
      EXPECT_EQ(leaf.rowNeighbour(), nullptr) << "no leaf beyond the last row";
    else
      EXPECT_EQ(leaf.rowNeighbour(), world->leafAt(leaf.x0(), leaf.z1()));
  }
}

TEST_F(TerrainQuadtreeTest, LocateNeedsAPointStrictlyInside) {
  struct Case {
    int x, z, leafX0, leafZ0;
    const char* why;
  };
  const Case cases[] = {
      {32, 32, 0, 0, "inside the first leaf"},
      {500, 10, 448, 0, "inside the last leaf of the first row"},
      {64, 32, -1, -1, "on a shared column: no leaf holds it strictly"},
      {600, 32, -1, -1, "beyond the grid"},
  };
  for (const Case& c : cases) {
    QuadLeaf* found = tree().root()->locate(c.x, c.z);
    EXPECT_EQ(found, c.leafX0 < 0 ? nullptr : world->leafAt(c.leafX0, c.leafZ0)) << c.why;
  }
  // From a leaf the search climbs to the parents that hold the point.
  EXPECT_EQ(tree().leaf(0)->locate(480, 480), world->leafAt(448, 448));
}

TEST_F(TerrainQuadtreeTest, NodeBoxesEncloseTheirChildren) {
  for (const QuadNode* node : tree().nodes()) {
    if (node->isLeaf()) continue;
    Vector low = node->children()[0]->box().minPoint();
    Vector high = node->children()[0]->box().maxPoint();
    for (const auto& child : node->children()) {
      const Vector& a = child->box().minPoint();
      const Vector& b = child->box().maxPoint();
      low = Vector(std::fmin(low.x, a.x), std::fmin(low.y, a.y), std::fmin(low.z, a.z));
      high = Vector(std::fmax(high.x, b.x), std::fmax(high.y, b.y), std::fmax(high.z, b.z));
    }
    EXPECT_EQ(node->box().minPoint(), low) << "node " << node->index();
    EXPECT_EQ(node->box().maxPoint(), high) << "node " << node->index();
  }
  // A leaf's box includes its patch's extra column and row.
  const QuadLeaf& first = *tree().leaf(0);
  EXPECT_FLOAT_EQ(first.box().minPoint().x, -204800.0f);
  EXPECT_FLOAT_EQ(first.box().maxPoint().x, -204800.0f + 65 * 800.0f);
  EXPECT_FLOAT_EQ(first.box().maxPoint().z, 204800.0f);
  EXPECT_FLOAT_EQ(first.box().minPoint().z, 204800.0f - 65 * 800.0f);
  EXPECT_EQ(first.centre(), (first.box().minPoint() + first.box().maxPoint()) / 2.0f);
}

TEST_F(TerrainQuadtreeTest, LevelGrowsWithTheSquaredDistance) {
  QuadLeaf& leaf = *tree().leaf(5);
  const float s = 513 * 800.0f / 7.0f;
  struct Case {
    float distance;
    int level;
    const char* why;
  };
  const Case cases[] = {
      {0.0f, 0, "at the camera"},
      {s * std::sqrt(20.0f) * 0.999f, 0, "just before level 1"},
      {s * std::sqrt(20.0f) * 1.001f, 1, "just after level 1"},
      {s * std::sqrt(60.0f) * 1.001f, 3, "just after level 3"},
      {s * std::sqrt(120.0f) * 0.999f, 5, "just before level 6"},
      {s * std::sqrt(120.0f) * 1.001f, 6, "beyond s sqrt(120)"},
      {s * 40.0f, 6, "far beyond: clamped to the coarsest level"},
  };
  for (const Case& c : cases) {
    Aim(leaf.centre() + Vector(0.0f, c.distance, 0.0f), Vector(0.0f, -1.0f, 0.0f));
    leaf.selectLevel();
    EXPECT_EQ(leaf.lodSet()->level(), c.level) << c.why;
    EXPECT_NEAR(leaf.distanceSquared(), c.distance * c.distance, c.distance * c.distance * 1e-5f);
  }
  leaf.selectLevel();
  EXPECT_FALSE(leaf.changed()) << "the same level again";
  Aim(leaf.centre(), Vector(0.0f, -1.0f, 0.0f));
  leaf.selectLevel();
  EXPECT_TRUE(leaf.changed()) << "from 6 back to 0";
}

// Hierarchical culling must queue exactly the leaves whose own boxes are not outside the
// frustum, each once, whatever the pose; flush draws them and sorts them near to far.
TEST_F(TerrainQuadtreeTest, QueuesExactlyTheVisibleLeaves) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> position(-400000.0f, 400000.0f);
  std::uniform_real_distribution<float> height(1000.0f, 300000.0f);
  std::uniform_real_distribution<float> direction(-1.0f, 1.0f);
  int sawSome = 0;
  for (int pose = 0; pose < 40; ++pose) {
    Aim(Vector(position(random), height(random), position(random)),
        Vector(direction(random), -0.2f - std::fabs(direction(random)), direction(random)));
    tree().update();
    std::set<const QuadLeaf*> queued(tree().renderQueue(),
                                     tree().renderQueue() + tree().queueCount());
    EXPECT_EQ(static_cast<int>(queued.size()), tree().queueCount()) << "a leaf queued twice";
    std::set<const QuadLeaf*> visible;
    for (int i = 0; i < tree().leafCount(); ++i)
      if (camera->boxVisibility(tree().leaf(i)->box()) != vantra::IntersectionCodes::OUTSIDE)
        visible.insert(tree().leaf(i));
    EXPECT_EQ(queued, visible) << "pose " << pose;
    if (!visible.empty()) ++sawSome;

    const int count = tree().queueCount();
    std::array<int, 16> levels{};
    for (const QuadLeaf* leaf : queued) ++levels[leaf->lodSet()->level()];
    tree().flush();
    EXPECT_EQ(tree().queueCount(), 0);
    // What the flush reports: every queued leaf's strip, and the fans (built by now) on the
    // sides whose neighbour is at another level.
    long triangles = 0;
    for (const QuadLeaf* leaf : queued) {
      triangles += leaf->lodSet()->primitiveCount();
      for (const auto& [fans, neighbour] : {std::pair{leaf->columnFans(), leaf->columnNeighbour()},
                                            std::pair{leaf->rowFans(), leaf->rowNeighbour()}})
        if (neighbour != nullptr && neighbour->lodSet()->level() != leaf->lodSet()->level())
          triangles += fans->primitiveCount();
    }
    EXPECT_EQ(tree().lastDrawn().triangles, triangles) << "pose " << pose;
    EXPECT_EQ(tree().lastDrawn().leavesPerLevel, levels) << "pose " << pose;
    for (int i = 1; i < count; ++i)
      EXPECT_LE(tree().renderQueue()[i - 1]->distanceSquared(),
                tree().renderQueue()[i]->distanceSquared());
  }
  EXPECT_GT(sawSome, 10) << "the poses should mostly see the terrain";
}

TEST_F(TerrainQuadtreeTest, CameraLookingAwayQueuesNothing) {
  Aim(Vector(0.0f, 50000.0f, 0.0f), Vector(0.0f, 1.0f, 0.0f));
  tree().update();
  EXPECT_EQ(tree().queueCount(), 0);
  tree().flush();
  EXPECT_EQ(tree().lastDrawn().triangles, 0);
}

// Fans must match the two levels they join even when neither leaf changed at the last
// selection, for example after the neighbour changed while this leaf was out of view.
TEST_F(TerrainQuadtreeTest, FansFollowTheLevelsTheyJoin) {
  QuadLeaf& leaf = *tree().leaf(0);
  QuadLeaf& neighbour = *leaf.columnNeighbour();
  Aim(leaf.centre(), Vector(0.0f, -1.0f, 0.0f));
  leaf.selectLevel();
  neighbour.selectLevel();
  leaf.selectLevel();
  neighbour.selectLevel();
  ASSERT_FALSE(leaf.changed());
  ASSERT_FALSE(neighbour.changed());
  ASSERT_EQ(leaf.lodSet()->level(), 0);
  neighbour.lodSet()->setLevel(2);
  leaf.drawEdgeFans(*leaf.columnFans(), &neighbour);
  EXPECT_TRUE(leaf.columnFans()->builtFor(1, 4));
  neighbour.lodSet()->setLevel(3);
  leaf.drawEdgeFans(*leaf.columnFans(), &neighbour);
  EXPECT_TRUE(leaf.columnFans()->builtFor(1, 8));
  neighbour.lodSet()->setLevel(0);
}

TEST(TerrainQuadtreeSmall, SmallGridIsOneLeafOverEverything) {
  TerrainWorld world(65, 65, 8, [](int, int) { return 90; });
  const TerrainQuadtree& tree = world.tree();
  EXPECT_EQ(tree.depth(), 0);
  ASSERT_EQ(tree.nodes().size(), 1u);
  EXPECT_EQ(tree.firstLeaf(), 0);
  ASSERT_EQ(tree.leafCount(), 1);
  const QuadLeaf& leaf = *tree.leaf(0);
  EXPECT_EQ(leaf.patch()->columns(), 66);
  EXPECT_EQ(leaf.lodSet()->maxLevel(), 6);
  EXPECT_EQ(leaf.columnNeighbour(), nullptr);
  EXPECT_EQ(leaf.rowNeighbour(), nullptr);
}

TEST(TerrainQuadtreeSmall, DepthFollowsTheSmallerSide) {
  struct Case {
    int width, depth, expected;
  };
  const Case cases[] = {{130, 300, 1}, {300, 130, 1}, {131, 131, 1}, {66, 66, 1}, {40, 90, 0}};
  // Most of these grids are refused by the terrain, whose fans cannot close their seams; the
  // quadtree itself splits any grid.
  TerrainWorld host(65, 65, 8, [](int, int) { return 90; });
  for (const Case& c : cases) {
    const TerrainQuadtree tree(host.device.device(), host.terrain.get(), nullptr, 0, c.width - 1, 0,
                               c.depth - 1);
    EXPECT_EQ(tree.depth(), c.expected) << c.width << " x " << c.depth;
    EXPECT_EQ(tree.leafCount(), 1 << (2 * c.expected));
  }
}

}  // namespace

// The leaves are filled on several threads in batches; each must come out exactly as a patch
// built alone on this thread over the same extents: vertices, box and level errors.
TEST(TerrainQuadtreeBuild, LeavesFilledOnAllCoresMatchPatchesBuiltAlone) {
  const TerrainWorld world(513, 513, 129, [](int row, int column) {
    return static_cast<int>((row * 7919u + column * 104729u + row * column * 31u) % 256u);
  });
  const TerrainQuadtree& tree = world.tree();
  ASSERT_EQ(tree.leafCount(), 64);
  IDirect3DDevice9* device = world.device.device();
  for (int i = 0; i < tree.leafCount(); ++i) {
    const QuadLeaf& leaf = *tree.leaf(i);
    TerrainPatch alone(leaf.x0(), leaf.x1() + 1, leaf.z0(), leaf.z1() + 1, world.terrain.get(),
                       device);
    alone.fillVertices();
    alone.closeBuffer();
    const TerrainPatch& built = *leaf.patch();
    ASSERT_EQ(built.bufferBytes(), alone.bufferBytes());
    BufferLock a(built.vertexBuffer(), built.bufferBytes(), D3DLOCK_READONLY);
    BufferLock b(alone.vertexBuffer(), alone.bufferBytes(), D3DLOCK_READONLY);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), built.bufferBytes()), 0) << "leaf " << i;
    EXPECT_EQ(built.levelErrors(), alone.levelErrors()) << "leaf " << i;
    EXPECT_EQ(built.bounds().minPoint(), alone.bounds().minPoint()) << "leaf " << i;
    EXPECT_EQ(built.bounds().maxPoint(), alone.bounds().maxPoint()) << "leaf " << i;
  }
}

}  // namespace vantra::terrain
