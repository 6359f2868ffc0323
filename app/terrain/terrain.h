// The height-map landscape in the scene: dimensions, scale and position, three textures and
// the quadtree that culls and draws it. T and D cycle the colour operation of the colour and
// the detail texture stage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/object.h"
#include "platform/com_ref.h"
#include "vantra/vector.h"

namespace vantra::engine {
class Camera;
}

namespace vantra::terrain {

class SampledTexture;
class TerrainModel;
class TerrainQuadtree;

constexpr GUID kTerrainClassId = {
    0x2250A59F, 0xEE73, 0x4C04, {0x8C, 0xB6, 0xBB, 0x34, 0x0D, 0x4E, 0xED, 0x45}};

class Terrain : public engine::Object {
 public:
  // width and depth in vertices; sx and sz the spacing of columns and rows, sy the height
  // of a height-map value of 1. The grid is centred on the origin. Throws E_INVALIDARG
  // (std::int32_t) for a grid the edge fans cannot close: one whose smaller side has more
  // than 65 vertices must be square with 2^k + 1 vertices a side (129, 257, 513, 1025, ...);
  // smaller grids are a single leaf, accepted from 2 x 2 up to what its 16-bit indices hold
  // (checked when the leaf is built).
  Terrain(int width, int depth, float sx, float sy, float sz);
  // The user's elevation model at its true spacings, its heights times its exaggeration,
  // lowered so that the model's centre vertex lies at height 0 under the start pose.
  explicit Terrain(std::shared_ptr<const TerrainModel> model);
  ~Terrain() override;

  Terrain(const Terrain&) = delete;
  Terrain& operator=(const Terrain&) = delete;

  void hook(std::uint32_t value) override;
  const GUID* classId() const override;
  void update() override;
  void render() override;
  // Loads the three bitmaps from the working directory, rebuilds the quadtree and sets up
  // the texture stages. Throws the device's result code (std::int32_t) on failure, leaving
  // what was replaced before the failure in place.
  void reset(engine::EngineServices* engine, IDirect3DDevice9* device) override;

  // The camera the quadtree culls against; kept for the quadtrees of later resets.
  void setCamera(engine::Camera* camera);

  // Picks levels of detail as the coarsest whose geometric error projects to at most pixels
  // on the screen (0 draws full detail everywhere) instead of by distance, and samples the
  // textures through their mip chains; kept for the quadtrees of later resets.
  void setPixelErrorTolerance(float pixels);

  int width() const { return _width; }
  int depth() const { return _depth; }
  const vantra::Vector& scale() const { return _scale; }
  const vantra::Vector& position() const { return _position; }
  SampledTexture* heightMap() const { return _heightMap.get(); }
  SampledTexture* colourMap() const { return _colourMap.get(); }
  SampledTexture* detailMap() const { return _detailMap.get(); }
  TerrainQuadtree* quadtree() const { return _quadtree.get(); }
  // Null for the built-in terrain.
  const TerrainModel* model() const { return _model.get(); }

  // The colour operations that T and D step through, and where each stage's cursor stands.
  static constexpr DWORD kColourOperations[4] = {D3DTOP_DISABLE, D3DTOP_MODULATE, D3DTOP_MODULATE2X,
                                                 D3DTOP_ADDSMOOTH};
  static int colourCursor(int stage) { return _colourCursors[stage]; }

 private:
  void _setUpTextureStages();
  void _applyLodRule();

  platform::ComRef<IDirect3DDevice9> _device;
  engine::EngineServices* _engine = nullptr;
  int _width;
  int _depth;
  vantra::Vector _scale;
  vantra::Vector _position{0.0f, 0.0f, 0.0f};
  std::unique_ptr<SampledTexture> _heightMap;
  std::unique_ptr<SampledTexture> _colourMap;
  std::unique_ptr<SampledTexture> _detailMap;
  std::string _heightMapFile = "heightMap.bmp";
  std::string _colourMapFile = "textureMap.bmp";
  std::string _detailMapFile = "detailMap.bmp";
  std::unique_ptr<TerrainQuadtree> _quadtree;
  std::shared_ptr<const TerrainModel> _model;
  engine::Camera* _camera = nullptr;
  // Negative: levels by distance.
  float _pixelErrorTolerance = -1.0f;

  // Shared by every terrain for the life of the program: stage 0 starts at MODULATE and
  // stage 1 at MODULATE2X, the operations reset sets.
  static int _colourCursors[2];
};

}  // namespace vantra::terrain
