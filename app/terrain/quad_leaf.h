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

namespace vantra::terrain {

class Terrain;

class QuadLeaf : public QuadNode {
 public:
  // An empty leaf: createPatch, buildVertices (or the patch's summarise) and finishBuild, in
  // this order, build it.
  QuadLeaf(int x0, int x1, int z0, int z1, TerrainQuadtree* tree, int index);
  ~QuadLeaf() override;

  // On the device's thread: creates the patch, one column and one row more than the extents,
  // for the normals and the box, with its buffer at once or on demand. Throws the device's
  // result code on failure.
  void createPatch(Terrain* terrain, IDirect3DDevice9* device,
                   TerrainPatch::BufferTime bufferTime = TerrainPatch::BufferTime::kAtOnce);
  // Fills the patch's open buffer; may run on any thread, one thread per leaf.
  void buildVertices() { _patch->fillVertices(); }
  // On the device's thread after buildVertices or the patch's summary: hands any filled
  // vertices to the device and builds the index set and both fan sets.
  void finishBuild(IDirect3DDevice9* device);

  // Finds the leaves holding the next grid columns and the next grid rows.
  void findNeighbours();
  // Picks the level of detail by the tree's rule from where the camera stands.
  void selectLevel();
  // Whether fans are needed toward a neighbour (the two levels differ); rebuilds them when
  // they were made for other levels.
  bool prepareEdgeFans(EdgeFanSet& fans, const QuadLeaf* neighbour);
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

}  // namespace vantra::terrain
