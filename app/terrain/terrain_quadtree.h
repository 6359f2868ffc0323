// The terrain's vertex grid divided into a complete quadtree of leaves, each with its patch,
// levels of detail and edge fans. Every frame the tree is culled against the camera, each
// visible leaf picks a level and is queued; the render pass draws the queue, sorts it near
// to far, draws the edge fans and empties it. A leaf picks its level by one of two rules:
// from its squared distance against a constant relative to the terrain's size, or as the
// coarsest level whose geometric error, projected to the screen, stays within a tolerance
// in pixels.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/d3d9.h"
#include "terrain/terrain_vertex.h"
#include "vantra/bounding_box.h"
#include "vantra/vector.h"

namespace vantra::engine {
class Camera;
class EngineServices;
}  // namespace vantra::engine

namespace vantra::terrain {

class CoarseLeafBatch;
class LodIndexSet;
class QuadLeaf;
class QuadNode;
class Terrain;

class TerrainQuadtree {
 public:
  // What one flush drew: the triangles of the strips and fans drawn (degenerate ones
  // included), the leaves drawn at each level of detail and the largest geometric
  // error of a drawn leaf projected to the screen, in pixels.
  struct DrawCounts {
    long triangles = 0;
    std::array<int, 16> leavesPerLevel{};
    float maxProjectedError = 0.0f;
    // Draw calls made: strips, fan sets and the one draw of the leaves at the coarsest
    // levels (one per level while tinted).
    int draws = 0;
  };

  enum class LodRule {
    // Level from the squared distance to the leaf's centre against a constant relative to
    // the terrain's size.
    kDistance,
    // The coarsest level whose error, projected at the leaf box's point nearest the eye, is
    // at most the pixel tolerance.
    kPixelError,
  };

  // Grids of up to this many leaves (the built-in one) fill every leaf's vertices while the
  // tree is built; larger ones only when a leaf is first drawn on its own.
  static constexpr int kLeavesFilledAtOnce = 64;

  // The tolerance the pixel-error rule starts with when none was chosen.
  static constexpr float kDefaultPixelTolerance = 2.0f;

  // Builds the whole tree over grid columns x0..x1 and rows z0..z1 with every leaf's
  // resources, reporting leaves built through the engine's host. The engine may be null
  // (nothing is reported, the S key is not read). Throws the device's result code
  // (std::int32_t) on failure.
  TerrainQuadtree(IDirect3DDevice9* device, Terrain* terrain, engine::EngineServices* engine,
                  int x0, int x1, int z0, int z1);
  ~TerrainQuadtree();

  // Whether a grid of width x depth vertices is drawn without cracks. A grid whose smaller
  // side has at most 65 vertices is one leaf and has no seams. Any larger grid splits into
  // leaves that must be square with a power-of-two cell count, so that the strips' edge
  // vertices at every level are the multiples of the step that the edge fans join: the grid
  // must be square with 2^k + 1 vertices a side (129, 257, 513, 1025, ...). Elsewhere the
  // strips clamp their last row of steps to the leaf's edge while the fans stop at the last
  // multiple of the step, and a coarse step beyond a short side gets no fan at all.
  static bool DrawsWithoutCracks(int width, int depth);

  TerrainQuadtree(const TerrainQuadtree&) = delete;
  TerrainQuadtree& operator=(const TerrainQuadtree&) = delete;

  void setCamera(engine::Camera* camera) { _camera = camera; }

  void setLodRule(LodRule rule) { _lodRule = rule; }
  LodRule lodRule() const { return _lodRule; }
  // Pixels of projected error the pixel-error rule allows; 0 or less draws full detail.
  void setPixelTolerance(float pixels) { _pixelTolerance = pixels; }
  float pixelTolerance() const { return _pixelTolerance; }
  // Whether each leaf is tinted by its level of detail (C toggles it).
  bool tintsLevels() const { return _tintLevels; }
  // Whether the leaves at their five coarsest levels, and their fans toward neighbours at
  // any level, are drawn together in one draw (on by default for a grid of more than one
  // leaf; the same triangles from the same vertices either way).
  void setMergesCoarsestLeaves(bool merge) { _mergeCoarsest = merge; }

  // Once per frame before render: culls and queues the visible leaves (nothing without a
  // camera); S held toggles the fan highlight, a press of E switches between the two level
  // rules and a press of C the tint by level.
  void update();
  // Once per frame: draws the queued leaves and their edge fans, then empties the queue.
  void flush();

  engine::Camera* camera() const { return _camera; }
  Terrain* terrain() const { return _terrain; }
  QuadNode* root() const { return _root.get(); }
  int depth() const { return _depth; }
  bool highlightFans() const { return _highlightFans; }
  const std::vector<QuadNode*>& nodes() const { return _nodes; }
  int firstLeaf() const { return _firstLeaf; }
  int leafCount() const { return static_cast<int>(_renderQueue.size()); }
  QuadLeaf* leaf(int i) const;
  QuadLeaf* const* renderQueue() const { return _renderQueue.data(); }
  int queueCount() const { return _queueCount; }
  const DrawCounts& lastDrawn() const { return _lastDrawn; }

 private:
  friend class QuadLeaf;
  friend class QuadNode;

  // What level selection reads and writes for one leaf.
  struct LeafLevel {
    vantra::Vector centre;
    vantra::Vector boxMin;
    vantra::Vector boxMax;
    float distanceSquared;
    // The error of the chosen level in pixels at the box's point nearest the eye.
    float projectedError;
    // The patch's geometric error of each level, in world units.
    const float* errors;
    LodIndexSet* lodSet;
    QuadLeaf* leaf;
    bool changed;
    // The last update that picked this leaf's level.
    unsigned selectedIn;
  };

  // Culling and level selection by breadth-first number over the arrays below.
  void _cull(int node, const vantra::Vector& eye);
  void _enqueueAll(int node, const vantra::Vector& eye);
  void _selectLevel(int leaf, const vantra::Vector& eye);
  void _selectHiddenNeighbours(const vantra::Vector& eye);
  int _pixelErrorLevel(const LeafLevel& state, float nearestDistance) const;
  vantra::Vector _eye() const;
  void _readProjection();
  void _handleKeys();
  void _tint(int level) const;
  void _drawLegend() const;
  // Makes the nodes below node down to empty leaves, appended to leaves in creation order.
  void _split(QuadNode* node, int depth, std::vector<QuadLeaf*>& leaves);
  // Builds the leaves: the vertices (or on large grids the summaries) on every core,
  // everything the device makes here.
  void _buildLeaves(const std::vector<QuadLeaf*>& leaves);
  // Fills the buffers of the queued leaves that draw from them this frame and have none yet.
  void _fillLeavesToDraw();
  // Whether a queued leaf draws from its own vertex buffer this frame: its strip at a level
  // the batch does not hold, or a fan set the highlight draws on its own. Follows flush's
  // choices.
  bool _drawsFromOwnBuffer(const QuadLeaf& leaf) const;
  // The batch that draws the coarse leaves together, or null while they are drawn one by one.
  CoarseLeafBatch* _drawingBatch() const { return _mergeCoarsest ? _batch.get() : nullptr; }
  // Runs work(i) for every i in [begin, end) on this thread and the other cores.
  static void _onEveryCore(std::size_t begin, std::size_t end,
                           const std::function<void(std::size_t)>& work);
  void _computeBox(QuadNode* node);
  void _reportLeafBuilt();

  IDirect3DDevice9* _device;
  Terrain* _terrain;
  engine::EngineServices* _engine;
  engine::Camera* _camera = nullptr;
  std::unique_ptr<QuadNode> _root;
  int _depth = 0;
  bool _highlightFans = false;
  LodRule _lodRule = LodRule::kDistance;
  float _pixelTolerance = kDefaultPixelTolerance;
  bool _tintLevels = false;
  bool _mergeCoarsest = true;
  // The leaves at their coarsest levels, drawn together; none for a single leaf.
  std::unique_ptr<CoarseLeafBatch> _batch;
  // The keys' state at the last update, so that a press counts once however long it lasts.
  bool _ruleKeyWasDown = false;
  bool _tintKeyWasDown = false;
  // Viewport height times the projection's vertical scale, halved: a world length l at
  // distance d spans l * _pixelsPerUnit / d pixels.
  float _pixelsPerUnit = 1.0f;
  bool _sortQueue = true;
  // Off only for diagnosis: VANTRA_NO_EDGE_FANS=1 in the environment when the tree is built
  // leaves the gaps between leaves of different levels open, to show what the fans close.
  bool _edgeFans = true;
  // The first leaf's strips, which every leaf of the same shape draws from.
  const LodIndexSet* _sharedStrips = nullptr;
  std::vector<QuadNode*> _nodes;
  // Copies of the node boxes and the leaves' level state, contiguous in breadth-first
  // order: the per-frame walk runs right after the frame's drawing has evicted the caches,
  // and one allocation per node would cost a miss per node.
  std::vector<vantra::BoundingBox> _boxes;
  std::vector<LeafLevel> _leafLevels;
  int _firstLeaf = -1;
  std::vector<QuadLeaf*> _renderQueue;
  int _queueCount = 0;
  // Counts the updates, to tell the leaves whose levels this one picked.
  unsigned _update = 0;
  DrawCounts _lastDrawn;
  int _leavesBuilt = 0;
};

}  // namespace vantra::terrain
