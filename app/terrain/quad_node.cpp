#include "terrain/quad_node.h"

#include "terrain/quad_leaf.h"
#include "terrain/terrain_quadtree.h"

namespace vantra::terrain {

QuadNode::QuadNode(int x0, int x1, int z0, int z1, TerrainQuadtree* tree, int index)
    : _x0(x0), _x1(x1), _z0(z0), _z1(z1), _tree(tree), _index(index) {}

QuadNode::~QuadNode() = default;

QuadLeaf* QuadNode::locate(int x, int z) {
  if (_contains(x, z)) {
    if (isLeaf()) return static_cast<QuadLeaf*>(this);
    for (const auto& child : _children)
      if (child->_contains(x, z)) return child->locate(x, z);
    return nullptr;
  }
  if (_index == 0) return nullptr;
  return _tree->nodes()[(_index - 1) >> 2]->locate(x, z);
}

}  // namespace vantra::terrain
