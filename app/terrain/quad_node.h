// A node of the terrain quadtree: a rectangle of the terrain's vertex grid (inclusive
// extents; neighbours share their boundary column or row) and the box of everything below.
#pragma once

#include <memory>
#include <vector>

#include "vantra/bounding_box.h"

namespace vantra::terrain {

class QuadLeaf;
class TerrainQuadtree;

class QuadNode {
 public:
  QuadNode(int x0, int x1, int z0, int z1, TerrainQuadtree* tree, int index);
  virtual ~QuadNode();

  QuadNode(const QuadNode&) = delete;
  QuadNode& operator=(const QuadNode&) = delete;

  // The leaf below this node, or above it through the parents, that strictly contains the
  // grid point (x, z); null when there is none.
  QuadLeaf* locate(int x, int z);

  bool isLeaf() const { return _children.empty(); }
  const std::vector<std::unique_ptr<QuadNode>>& children() const { return _children; }
  QuadNode* parent() const { return _parent; }
  int x0() const { return _x0; }
  int x1() const { return _x1; }
  int z0() const { return _z0; }
  int z1() const { return _z1; }
  int index() const { return _index; }
  const vantra::BoundingBox& box() const { return _box; }

 protected:
  friend class TerrainQuadtree;

  bool _contains(int x, int z) const { return _x0 < x && x < _x1 && _z0 < z && z < _z1; }

  std::vector<std::unique_ptr<QuadNode>> _children;
  QuadNode* _parent = nullptr;
  int _x0;
  int _x1;
  int _z0;
  int _z1;
  TerrainQuadtree* _tree;
  // Breadth-first number: the root is 0, the children of node i are 4i + 1 .. 4i + 4.
  int _index;
  vantra::BoundingBox _box;
};

}  // namespace vantra::terrain
