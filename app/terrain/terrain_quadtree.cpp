#include "terrain/terrain_quadtree.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>

#include "engine/camera.h"
#include "engine/engine_services.h"
#include "engine/host.h"
#include "engine/input_devices.h"
#include "platform/dinput_keys.h"
#include "terrain/coarse_leaf_batch.h"
#include "terrain/quad_leaf.h"
#include "terrain/quad_node.h"
#include "terrain/terrain.h"
#include "vantra/intersection_codes.h"

namespace vantra::terrain {

TerrainQuadtree::TerrainQuadtree(IDirect3DDevice9* device, Terrain* terrain,
                                 engine::EngineServices* engine, int x0, int x1, int z0, int z1)
    : _device(device), _terrain(terrain), _engine(engine) {
  const char* noFans = std::getenv("VANTRA_NO_EDGE_FANS");
  _edgeFans = noFans == nullptr || std::strcmp(noFans, "1") != 0;

  // Split until a leaf has at most 64 cells along the grid's smaller side.
  for (int n = std::min(x1 - x0 + 1, z1 - z0 + 1); n > 65; n /= 2) ++_depth;
  const int leafCount = 1 << (2 * _depth);
  // A grid too small to split is one leaf, so that small terrains still draw.
  std::vector<QuadLeaf*> leaves;
  if (_depth == 0) {
    auto leaf = std::make_unique<QuadLeaf>(x0, x1, z0, z1, this, 0);
    leaves.push_back(leaf.get());
    _root = std::move(leaf);
  } else {
    _root = std::make_unique<QuadNode>(x0, x1, z0, z1, this, 0);
    _split(_root.get(), _depth, leaves);
  }
  // A split square grid of 2^k cells a side has leaves of 64 x 64 cells, whose coarsest
  // levels go together; other shapes draw every leaf on its own.
  const int cells = x1 - x0;
  if (_depth > 0 && cells == z1 - z0 && (cells & (cells - 1)) == 0)
    _batch = std::make_unique<CoarseLeafBatch>(_device, leafCount,
                                               leaves.front()->_x1 - leaves.front()->_x0);
  _buildLeaves(leaves);
  _renderQueue.assign(leafCount, nullptr);

  std::deque<QuadNode*> pending{_root.get()};
  while (!pending.empty()) {
    QuadNode* node = pending.front();
    pending.pop_front();
    _nodes.push_back(node);
    for (const auto& child : node->_children) pending.push_back(child.get());
  }
  _firstLeaf = static_cast<int>(_nodes.size()) - leafCount;
  // Children follow their parents breadth first, so backwards every child's box is ready.
  for (auto node = _nodes.rbegin(); node != _nodes.rend(); ++node) _computeBox(*node);
  _boxes.reserve(_nodes.size());
  for (const QuadNode* node : _nodes) _boxes.push_back(node->_box);
  _leafLevels.reserve(leafCount);
  for (int i = _firstLeaf; i < static_cast<int>(_nodes.size()); ++i) {
    QuadLeaf* leaf = static_cast<QuadLeaf*>(_nodes[i]);
    leaf->findNeighbours();
    const vantra::BoundingBox& box = leaf->_box;
    const vantra::Vector centre = (box.minPoint() + box.maxPoint()) / 2.0f;
    _leafLevels.push_back(LeafLevel{centre, box.minPoint(), box.maxPoint(), 0.0f, 0.0f,
                                    leaf->patch()->levelErrors().data(), leaf->lodSet(), leaf, true,
                                    0u});
  }
}

TerrainQuadtree::~TerrainQuadtree() = default;

bool TerrainQuadtree::DrawsWithoutCracks(int width, int depth) {
  if (width < 2 || depth < 2) return false;
  if (std::min(width, depth) <= 65) return true;
  const int cells = width - 1;
  return width == depth && (cells & (cells - 1)) == 0;
}

void TerrainQuadtree::_split(QuadNode* node, int depth, std::vector<QuadLeaf*>& leaves) {
  const int mx = (node->_x0 + node->_x1) >> 1;
  const int mz = (node->_z0 + node->_z1) >> 1;
  const int first = 4 * node->_index + 1;
  const int extents[4][4] = {{node->_x0, mx, node->_z0, mz},
                             {mx, node->_x1, node->_z0, mz},
                             {mx, node->_x1, mz, node->_z1},
                             {node->_x0, mx, mz, node->_z1}};
  for (int k = 0; k < 4; ++k) {
    const int* e = extents[k];
    std::unique_ptr<QuadNode> child;
    if (depth == 1) {
      auto leaf = std::make_unique<QuadLeaf>(e[0], e[1], e[2], e[3], this, first + k);
      leaves.push_back(leaf.get());
      child = std::move(leaf);
    } else {
      child = std::make_unique<QuadNode>(e[0], e[1], e[2], e[3], this, first + k);
    }
    child->_parent = node;
    node->_children.push_back(std::move(child));
  }
  if (depth > 1)
    for (const auto& child : node->_children) _split(child.get(), depth - 1, leaves);
}

void TerrainQuadtree::_buildLeaves(const std::vector<QuadLeaf*>& leaves) {
  // Beyond the built-in grid's size a leaf is only summarised here: its box, its level errors
  // and its coarse grid need no buffer, and most leaves of a large grid are only ever drawn
  // together at their coarse levels.
  const auto bufferTime = static_cast<int>(leaves.size()) > kLeavesFilledAtOnce
                              ? TerrainPatch::BufferTime::kOnDemand
                              : TerrainPatch::BufferTime::kAtOnce;
  // Leaves number from the first leaf in breadth-first order.
  const int firstLeaf = ((1 << (2 * _depth)) - 1) / 3;
  // Only the vertex work runs on every core; the buffers are created and handed to the
  // device here. A batch at a time keeps few host copies of the buffers alive at once.
  constexpr std::size_t kLeavesPerBatch = 32;
  for (std::size_t start = 0; start < leaves.size(); start += kLeavesPerBatch) {
    const std::size_t end = std::min(leaves.size(), start + kLeavesPerBatch);
    for (std::size_t i = start; i < end; ++i) leaves[i]->createPatch(_terrain, _device, bufferTime);
    _onEveryCore(start, end, [&](std::size_t i) {
      TerrainPatch& patch = *leaves[i]->patch();
      TerrainVertex* grid = _batch ? _batch->gridOf(leaves[i]->_index - firstLeaf) : nullptr;
      if (bufferTime == TerrainPatch::BufferTime::kOnDemand) {
        patch.summarise(CoarseLeafBatch::kGridSide, grid);
        return;
      }
      patch.fillVertices();
      if (grid != nullptr) patch.copyCoarseGrid(CoarseLeafBatch::kGridSide, grid);
    });
    for (std::size_t i = start; i < end; ++i) {
      leaves[i]->finishBuild(_device);
      _reportLeafBuilt();
    }
  }
  if (_batch) _batch->finishBuild();
}

void TerrainQuadtree::_onEveryCore(std::size_t begin, std::size_t end,
                                   const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{begin};
  const auto run = [&] {
    for (std::size_t i = next++; i < end; i = next++) work(i);
  };
  const std::size_t helpers = std::max(1u, std::thread::hardware_concurrency()) - 1;
  // The futures wait for their threads also while an exception passes.
  std::vector<std::future<void>> runs;
  for (std::size_t k = 0; k < helpers && k + 1 < end - begin; ++k)
    runs.push_back(std::async(std::launch::async, run));
  run();
  for (auto& r : runs) r.get();
}

bool TerrainQuadtree::_drawsFromOwnBuffer(const QuadLeaf& leaf) const {
  const CoarseLeafBatch* batch = _drawingBatch();
  const int level = leaf.lodSet()->level();
  if (batch == nullptr || !batch->holds(level)) return true;
  // The batch draws the leaf's fans too, except those the highlight draws on their own.
  if (!_edgeFans || !_highlightFans) return false;
  for (const QuadLeaf* neighbour : {leaf.columnNeighbour(), leaf.rowNeighbour()})
    if (neighbour != nullptr && neighbour->lodSet()->level() != level) return true;
  return false;
}

void TerrainQuadtree::_fillLeavesToDraw() {
  std::vector<QuadLeaf*> unfilled;
  for (int i = 0; i < _queueCount; ++i) {
    QuadLeaf* leaf = _renderQueue[i];
    if (!leaf->patch()->filled() && _drawsFromOwnBuffer(*leaf)) unfilled.push_back(leaf);
  }
  if (unfilled.empty()) return;
  for (QuadLeaf* leaf : unfilled) leaf->patch()->createBuffer();
  _onEveryCore(0, unfilled.size(), [&](std::size_t i) { unfilled[i]->buildVertices(); });
  for (QuadLeaf* leaf : unfilled) leaf->patch()->closeBuffer();
}

void TerrainQuadtree::_computeBox(QuadNode* node) {
  if (node->isLeaf()) {
    node->_box = static_cast<QuadLeaf*>(node)->patch()->bounds();
    return;
  }
  const auto& c = node->_children;
  node->_box.merge(vantra::BoundingBox(c[0]->_box, c[1]->_box),
                   vantra::BoundingBox(c[3]->_box, c[2]->_box));
}

void TerrainQuadtree::_reportLeafBuilt() {
  ++_leavesBuilt;
  if (_engine != nullptr) _engine->host().reportProgress(_leavesBuilt, 1 << (2 * _depth));
}

QuadLeaf* TerrainQuadtree::leaf(int i) const {
  return static_cast<QuadLeaf*>(_nodes[_firstLeaf + i]);
}

vantra::Vector TerrainQuadtree::_eye() const {
  const vantra::Matrix& world = _camera->cameraWorldMatrix();
  return vantra::Vector(world[12], world[13], world[14]);
}

void TerrainQuadtree::_cull(int node, const vantra::Vector& eye) {
  const int visibility = _camera->boxVisibility(_boxes[node]);
  if (visibility == vantra::IntersectionCodes::OUTSIDE) return;
  // A node wholly inside the frustum needs no further tests below it.
  if (visibility == vantra::IntersectionCodes::INSIDE || node >= _firstLeaf) {
    _enqueueAll(node, eye);
    return;
  }
  for (int child = 4 * node + 1; child <= 4 * node + 4; ++child) _cull(child, eye);
}

void TerrainQuadtree::_enqueueAll(int node, const vantra::Vector& eye) {
  if (node >= _firstLeaf) {
    _selectLevel(node - _firstLeaf, eye);
    _renderQueue[_queueCount++] = _leafLevels[node - _firstLeaf].leaf;
    return;
  }
  for (int child = 4 * node + 1; child <= 4 * node + 4; ++child) _enqueueAll(child, eye);
}

void TerrainQuadtree::_selectLevel(int leaf, const vantra::Vector& eye) {
  LeafLevel& state = _leafLevels[leaf];
  LodIndexSet& set = *state.lodSet;
  const int old = set.level();
  state.distanceSquared = (eye - state.centre).magnitudeSquare();
  const vantra::Vector nearest(std::clamp(eye.x, state.boxMin.x, state.boxMax.x),
                               std::clamp(eye.y, state.boxMin.y, state.boxMax.y),
                               std::clamp(eye.z, state.boxMin.z, state.boxMax.z));
  const float nearestDistance = std::sqrt((eye - nearest).magnitudeSquare());
  const int maxLevel = set.maxLevel();
  int level;
  if (_lodRule == LodRule::kPixelError) {
    level = _pixelErrorLevel(state, nearestDistance);
  } else {
    const float s = _terrain->width() * _terrain->scale().x / (maxLevel + 1);
    // Level L begins at the distance s * sqrt(20 L); no square root is taken.
    level = static_cast<int>(state.distanceSquared * 0.05f / (s * s));
    if (level > maxLevel) level = maxLevel;
  }
  set.setLevel(level);
  state.changed = level != old;
  state.selectedIn = _update;
  // The near plane lies one unit from the eye: nothing nearer is drawn.
  state.projectedError = state.errors[level] * _pixelsPerUnit / std::max(nearestDistance, 1.0f);
}

int TerrainQuadtree::_pixelErrorLevel(const LeafLevel& state, float nearestDistance) const {
  if (_pixelTolerance <= 0.0f || nearestDistance <= 0.0f) return 0;
  // The errors grow with the level: step down from the coarsest until one fits.
  const float allowed = _pixelTolerance * nearestDistance / _pixelsPerUnit;
  int level = state.lodSet->maxLevel();
  while (level > 0 && state.errors[level] > allowed) --level;
  return level;
}

void TerrainQuadtree::_readProjection() {
  D3DMATRIX projection;
  D3DVIEWPORT9 viewport;
  if (FAILED(_device->GetTransform(D3DTS_PROJECTION, &projection)) ||
      FAILED(_device->GetViewport(&viewport)))
    return;
  // The projection's second diagonal element is 1 / tan(fov / 2).
  _pixelsPerUnit = static_cast<float>(viewport.Height) * projection(1, 1) * 0.5f;
}

void TerrainQuadtree::_handleKeys() {
  const engine::InputDevices& input = *_engine->input();
  // Read as held: the highlight flips in every frame the key is down.
  if (input.isKeyDown(DIK_S)) _highlightFans = !_highlightFans;
  const bool ruleKey = input.isKeyDown(DIK_E);
  const bool tintKey = input.isKeyDown(DIK_C);
  if (ruleKey && !_ruleKeyWasDown)
    _lodRule = _lodRule == LodRule::kDistance ? LodRule::kPixelError : LodRule::kDistance;
  if (tintKey && !_tintKeyWasDown) _tintLevels = !_tintLevels;
  _ruleKeyWasDown = ruleKey;
  _tintKeyWasDown = tintKey;
}

void TerrainQuadtree::update() {
  _readProjection();
  if (_engine != nullptr) _handleKeys();
  if (_camera == nullptr) return;
  ++_update;
  const vantra::Vector eye = _eye();
  _cull(0, eye);
  if (_lodRule == LodRule::kPixelError) _selectHiddenNeighbours(eye);
}

void TerrainQuadtree::_selectHiddenNeighbours(const vantra::Vector& eye) {
  // A leaf's fans follow its neighbours' levels. Under the distance rule a neighbour out of
  // view keeps the level of the last frame it was drawn in; under the error rule it takes
  // the level it would be drawn at now, so that the same pose draws the same fans whatever
  // the path flown to it. A kept level, full detail for a leaf never seen, would stitch a
  // coarse leaf to a fine edge the view does not call for, and on a large grid fill that
  // leaf's buffer for it.
  for (int i = 0; i < _queueCount; ++i)
    for (const QuadLeaf* neighbour :
         {_renderQueue[i]->columnNeighbour(), _renderQueue[i]->rowNeighbour()}) {
      if (neighbour == nullptr) continue;
      const int index = neighbour->_index - _firstLeaf;
      if (_leafLevels[index].selectedIn != _update) _selectLevel(index, eye);
    }
}

namespace {

// One colour per level of detail for the tint, from full detail up; coarser levels repeat.
struct LevelColour {
  D3DCOLOR colour;
  const char* name;
};
constexpr LevelColour kLevelColours[] = {
    {0xFFFFFFFF, "white"}, {0xFF40FF40, "green"},   {0xFF4080FF, "blue"}, {0xFFFFFF40, "yellow"},
    {0xFF40FFFF, "cyan"},  {0xFFFF40FF, "magenta"}, {0xFFFF4040, "red"},  {0xFFFF9020, "orange"},
};
constexpr int kLevelColourCount = sizeof kLevelColours / sizeof kLevelColours[0];

}  // namespace

void TerrainQuadtree::_tint(int level) const {
  _device->SetRenderState(D3DRS_TEXTUREFACTOR, kLevelColours[level % kLevelColourCount].colour);
}

void TerrainQuadtree::_drawLegend() const {
  // The rule first, then the colours of the levels the leaves have: a narrow window still
  // shows the rule.
  char rule[64];
  if (_lodRule == LodRule::kPixelError)
    std::snprintf(rule, sizeof rule, "LOD (E): error %.1f px   tint (C):", _pixelTolerance);
  else
    std::snprintf(rule, sizeof rule, "LOD (E): distance   tint (C):");
  std::string legend = rule;
  const int levels = std::min(leaf(0)->lodSet()->maxLevel() + 1, kLevelColourCount);
  for (int level = 0; level < levels; ++level)
    legend += " " + std::to_string(level) + " " + kLevelColours[level].name;
  // Below the six statistics lines.
  _engine->drawText(legend.c_str(), 170);
}

void TerrainQuadtree::flush() {
  _fillLeavesToDraw();
  _lastDrawn = DrawCounts{};
  // The tint replaces the vertex colour under the colour texture with the level's colour.
  DWORD colourArgument = D3DTA_DIFFUSE;
  if (_tintLevels) {
    _device->GetTextureStageState(0, D3DTSS_COLORARG2, &colourArgument);
    _device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  }
  CoarseLeafBatch* batch = _drawingBatch();
  for (int i = 0; i < _queueCount; ++i) {
    const QuadLeaf& leaf = *_renderQueue[i];
    const LodIndexSet& set = *leaf.lodSet();
    _lastDrawn.triangles += set.primitiveCount();
    ++_lastDrawn.leavesPerLevel[set.level()];
    _lastDrawn.maxProjectedError = std::max(_lastDrawn.maxProjectedError, leaf.projectedError());
    if (batch != nullptr && batch->holds(set.level())) {
      batch->addLeaf(leaf._index - _firstLeaf, set.level());
      continue;
    }
    if (_tintLevels) _tint(set.level());
    set.draw();
    ++_lastDrawn.draws;
  }
  if (_highlightFans) {
    _engine->pushMaterial();
    _engine->setMaterial(5.0f, 5.0f, 0.0f, 0.0f);
  }
  if (_sortQueue)
    std::sort(_renderQueue.begin(), _renderQueue.begin() + _queueCount,
              [](const QuadLeaf* a, const QuadLeaf* b) {
                return a->distanceSquared() < b->distanceSquared();
              });
  // Highlighted fans keep draws of their own, in the highlight's material.
  CoarseLeafBatch* fanBatch = _highlightFans ? nullptr : batch;
  if (_edgeFans) {
    for (int i = 0; i < _queueCount; ++i) {
      QuadLeaf* leaf = _renderQueue[i];
      const int level = leaf->lodSet()->level();
      if (_tintLevels) _tint(level);
      for (const auto& [fans, neighbour] : {std::pair{leaf->columnFans(), leaf->columnNeighbour()},
                                            std::pair{leaf->rowFans(), leaf->rowNeighbour()}}) {
        // The fan set is kept built also where the batch draws the fans: the triangles
        // count as the fan set's, degenerate ones included, as for the strips.
        if (!leaf->prepareEdgeFans(*fans, neighbour)) continue;
        _lastDrawn.triangles += fans->primitiveCount();
        if (fanBatch != nullptr && fanBatch->holds(level)) {
          fanBatch->addFans(leaf->_index - _firstLeaf, level, neighbour->lodSet()->level(),
                            fans->kind());
        } else {
          fans->draw();
          _lastDrawn.draws += fans->primitiveCount() > 0;
        }
      }
    }
  }
  if (_highlightFans) _engine->popMaterial();
  if (batch != nullptr) {
    std::function<void(int)> tint;
    if (_tintLevels) tint = [this](int level) { _tint(level); };
    _lastDrawn.draws += batch->draw(tint);
  }
  if (_tintLevels) {
    _device->SetTextureStageState(0, D3DTSS_COLORARG2, colourArgument);
    if (_engine != nullptr) _drawLegend();
  }
  _queueCount = 0;
}

}  // namespace vantra::terrain
