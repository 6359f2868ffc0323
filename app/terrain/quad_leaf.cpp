#include "terrain/quad_leaf.h"

#include "terrain/terrain_quadtree.h"

namespace vantra::terrain {

QuadLeaf::QuadLeaf(int x0, int x1, int z0, int z1, TerrainQuadtree* tree, int index)
    : QuadNode(x0, x1, z0, z1, tree, index) {}

void QuadLeaf::createPatch(Terrain* terrain, IDirect3DDevice9* device,
                           TerrainPatch::BufferTime bufferTime) {
  _patch = std::make_unique<TerrainPatch>(_x0, _x1 + 1, _z0, _z1 + 1, terrain, device, bufferTime);
}

void QuadLeaf::finishBuild(IDirect3DDevice9* device) {
  _patch->closeBuffer();
  // The extra column and row belong to the neighbours: the strips cover the rest.
  _lodSet = std::make_unique<LodIndexSet>(0, _patch->columns() - 2, 0, _patch->rows() - 2,
                                          _patch.get(), device, _tree->_sharedStrips);
  if (_tree->_sharedStrips == nullptr) _tree->_sharedStrips = _lodSet.get();
  _columnFans = std::make_unique<EdgeFanSet>(EdgeFanSet::kColumnEdge, _patch.get(), device);
  _rowFans = std::make_unique<EdgeFanSet>(EdgeFanSet::kRowEdge, _patch.get(), device);
}

QuadLeaf::~QuadLeaf() = default;

void QuadLeaf::findNeighbours() {
  const int hw = (_x1 - _x0) >> 1;
  const int hh = (_z1 - _z0) >> 1;
  // A point half a leaf beyond the last column (row) lies inside the neighbour there.
  if (QuadLeaf* leaf = locate(_x1 + hw, _z0 + hh)) _columnNeighbour = leaf;
  if (QuadLeaf* leaf = locate(_x0 + hw, _z1 + hh)) _rowNeighbour = leaf;
}

// The level state lives in the tree's contiguous per-leaf records.
void QuadLeaf::selectLevel() { _tree->_selectLevel(_index - _tree->firstLeaf(), _tree->_eye()); }

bool QuadLeaf::changed() const { return _tree->_leafLevels[_index - _tree->firstLeaf()].changed; }

const vantra::Vector& QuadLeaf::centre() const {
  return _tree->_leafLevels[_index - _tree->firstLeaf()].centre;
}

float QuadLeaf::distanceSquared() const {
  return _tree->_leafLevels[_index - _tree->firstLeaf()].distanceSquared;
}

float QuadLeaf::projectedError() const {
  return _tree->_leafLevels[_index - _tree->firstLeaf()].projectedError;
}

bool QuadLeaf::prepareEdgeFans(EdgeFanSet& fans, const QuadLeaf* neighbour) {
  if (neighbour == nullptr) return false;
  const int level = _lodSet->level();
  const int neighbourLevel = neighbour->_lodSet->level();
  if (level == neighbourLevel) return false;
  const int step = 1 << level;
  const int neighbourStep = 1 << neighbourLevel;
  // Besides a level change at the last selection, the fans may hold the levels of an older
  // frame: a neighbour can change while this leaf is out of view, and the other way round.
  if (changed() || neighbour->changed() || !fans.builtFor(step, neighbourStep))
    fans.build(step, neighbourStep);
  return true;
}

int QuadLeaf::drawEdgeFans(EdgeFanSet& fans, const QuadLeaf* neighbour) {
  if (!prepareEdgeFans(fans, neighbour)) return 0;
  fans.draw();
  return fans.primitiveCount();
}

}  // namespace vantra::terrain
