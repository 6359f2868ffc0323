#include "terrain/terrain.h"

#include <algorithm>

#include "engine/engine_services.h"
#include "engine/input_devices.h"
#include "platform/data_file_locator.h"
#include "platform/dinput_keys.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain_model.h"
#include "terrain/terrain_quadtree.h"

namespace vantra::terrain {

int Terrain::_colourCursors[2] = {1, 2};

namespace {

// The working directory's file, or the installed copy when the working directory lacks it.
std::string Locate(const std::string& name) {
  return platform::DataFileLocator::Program().locate(name);
}

}  // namespace

Terrain::Terrain(int width, int depth, float sx, float sy, float sz)
    : _width(width), _depth(depth), _scale(sx, sy, sz) {
  if (!TerrainQuadtree::DrawsWithoutCracks(width, depth)) throw E_INVALIDARG;
}

Terrain::Terrain(std::shared_ptr<const TerrainModel> model)
    : _width(model->elevation().grid().columns()),
      _depth(model->elevation().grid().rows()),
      _model(std::move(model)) {
  const elevation::ElevationModel& elevation = _model->elevation();
  const elevation::HeightGrid& grid = elevation.grid();
  const float exaggeration = _model->exaggeration();
  _scale = vantra::Vector(static_cast<float>(grid.spacingX()),
                          (elevation.highest() - elevation.lowest()) * exaggeration,
                          static_cast<float>(grid.spacingZ()));
  const float centre = grid.at(grid.columns() / 2, grid.rows() / 2);
  _position.y = -(centre - elevation.lowest()) * exaggeration;
  _heightMapFile = elevation.facts().source;
  _colourMapFile =
      _model->textureFile().empty() ? "relief of " + _heightMapFile : _model->textureFile();
  if (!TerrainQuadtree::DrawsWithoutCracks(_width, _depth)) throw E_INVALIDARG;
}

Terrain::~Terrain() {
  _quadtree.reset();
  _heightMap.reset();
  _colourMap.reset();
  _detailMap.reset();
  _device.reset();
}

void Terrain::hook(std::uint32_t) {}

const GUID* Terrain::classId() const { return &kTerrainClassId; }

void Terrain::reset(engine::EngineServices* engine, IDirect3DDevice9* device) {
  _engine = engine;
  _device.retain(device);

  // A texture whose reload fails stays empty; the ones after it keep their old instances.
  _heightMap.reset();
  if (_model) {
    const elevation::ElevationModel& elevation = _model->elevation();
    _heightMap =
        std::make_unique<SampledTexture>(elevation.grid(), elevation.lowest(),
                                         elevation.highest() - elevation.lowest(), _heightMapFile);
  } else {
    _heightMap = std::make_unique<SampledTexture>(_device.get(), Locate(_heightMapFile).c_str());
  }
  _colourMap.reset();
  _colourMap =
      _model ? std::make_unique<SampledTexture>(_device.get(), _model->colours(), _colourMapFile)
             : std::make_unique<SampledTexture>(_device.get(), Locate(_colourMapFile).c_str());
  _detailMap.reset();
  _detailMap = std::make_unique<SampledTexture>(_device.get(), Locate(_detailMapFile).c_str());

  // The quadtree's buffers live in the default pool, so a new device needs a new tree.
  _quadtree.reset();
  _quadtree =
      std::make_unique<TerrainQuadtree>(_device.get(), this, _engine, 0, _width - 1, 0, _depth - 1);
  _quadtree->setCamera(_camera);
  _applyLodRule();
  _setUpTextureStages();
}

void Terrain::_setUpTextureStages() {
  _device->SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  _device->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  _device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  _device->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  _device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  _device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  // Colour texture times the interpolated vertex colour, then twice the detail texture,
  // which repeats 32 times over the terrain through the second coordinate set.
  _device->SetTexture(0, _colourMap->texture());
  _device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  _device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  _device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  _device->SetTexture(1, _detailMap->texture());
  _device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  _device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  _device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
}

void Terrain::setCamera(engine::Camera* camera) {
  _camera = camera;
  if (_quadtree) _quadtree->setCamera(camera);
}

void Terrain::setPixelErrorTolerance(float pixels) {
  _pixelErrorTolerance = std::max(pixels, 0.0f);
  if (_quadtree) _applyLodRule();
}

void Terrain::_applyLodRule() {
  if (_pixelErrorTolerance < 0.0f) return;
  _quadtree->setLodRule(TerrainQuadtree::LodRule::kPixelError);
  _quadtree->setPixelTolerance(_pixelErrorTolerance);
  // A run that bounds the error in pixels also reads both textures from their mip chains
  // (the nearest level, bilinear within it). Unfiltered, a texel-sized pattern seen from
  // afar aliases, so that any sub-pixel move of the ground, a coarser level's or the
  // camera's, repaints whole areas. Kept when E switches rules, so that the two rules are
  // compared on the same textures.
  for (DWORD stage : {0u, 1u}) _device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
}

void Terrain::update() {
  // Keys are read as held: a stage advances once per frame while its key is down, and T
  // wins over D.
  const engine::InputDevices& input = *_engine->input();
  int stage = -1;
  if (input.isKeyDown(DIK_T))
    stage = 0;
  else if (input.isKeyDown(DIK_D))
    stage = 1;
  if (stage >= 0) {
    _colourCursors[stage] = (_colourCursors[stage] + 1) % 4;
    _device->SetTextureStageState(stage, D3DTSS_COLOROP, kColourOperations[_colourCursors[stage]]);
  }
  _quadtree->update();
}

void Terrain::render() { _quadtree->flush(); }

}  // namespace vantra::terrain
