// A quadtree leaf: a patch of the terrain with all its levels of detail and the edge fans
// toward its neighbours in the next columns and the next rows.
#pragma once

#include <memory>

#include "platform/d3d9.h"
#include "terrain/edge_fan_set.h"
#include "terrain/lod_index_set.h"
#include "terrain/quad_node.h"
#include "terrain/terrain_patch.h"
#include "vantra/vector.h"

class Terrain;

class QuadLeaf : public QuadNode {
 public:
  // Builds the patch (one column and one row more than the extents, for the normals and the
  // box), its index set and both fan sets. Throws the device's result code on failure.
  QuadLeaf(int x0, int x1, int z0, int z1, TerrainQuadtree* tree, int index, Terrain* terrain,
           IDirect3DDevice9* device);
  ~QuadLeaf() override;

  // Finds the leaves holding the next grid columns and the next grid rows.
  void findNeighbours();
  // Picks the level of detail by the tree's rule from where the camera stands.
  void selectLevel();
  // Draws the fans toward a neighbour when the two levels differ, rebuilding them first
  // when they were made for other levels. Returns the triangles drawn.
  int drawEdgeFans(EdgeFanSet& fans, const QuadLeaf* neighbour);

  LodIndexSet* lodSet() const { return _lodSet.get(); }
  TerrainPatch* patch() const { return _patch.get(); }
  EdgeFanSet* columnFans() const { return _columnFans.get(); }
  EdgeFanSet* rowFans() const { return _rowFans.get(); }
  QuadLeaf* rowNeighbour() const { return _rowNeighbour; }
  QuadLeaf* columnNeighbour() const { return _columnNeighbour; }
  bool changed() const;
  const vantra::Vector& centre() const;
  float distanceSquared() const;
  // The error of the level picked last, in pixels at the box's point nearest the camera.
  float projectedError() const;

 private:
  friend class TerrainQuadtree;

  std::unique_ptr<LodIndexSet> _lodSet;
  std::unique_ptr<TerrainPatch> _patch;
  std::unique_ptr<EdgeFanSet> _columnFans;
  std::unique_ptr<EdgeFanSet> _rowFans;
  QuadLeaf* _rowNeighbour = nullptr;
  QuadLeaf* _columnNeighbour = nullptr;
};
