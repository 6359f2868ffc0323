// A texture loaded from an image file that can also be read back on the processor: the
// terrain samples its height map through it while the patches are built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"

namespace vantra::elevation {
class ColourImage;
class HeightGrid;
}  // namespace vantra::elevation

namespace vantra::terrain {

class SampledTexture {
 public:
  // Loads the file on the device. Throws the device's result code (std::int32_t), or E_FAIL
  // when level 0 is not one of the 24- or 32-bit RGB formats whose words can be read.
  SampledTexture(IDirect3DDevice9* device, const char* fileName);
  // A texture on the device made from a picture, mipmapped like a loaded file.
  SampledTexture(IDirect3DDevice9* device, const elevation::ColourImage& image,
                 const std::string& name);
  // Heights without a device texture: sample gives (height - lowest) / range, bilinearly
  // filtered between the grid's vertices, u along its columns and v along its rows. The grid
  // must outlive this object.
  SampledTexture(const elevation::HeightGrid& grid, float lowest, float range,
                 const std::string& name);

  SampledTexture(const SampledTexture&) = delete;
  SampledTexture& operator=(const SampledTexture&) = delete;

  IDirect3DTexture9* texture() const { return _texture.get(); }
  const std::string& fileName() const { return _fileName; }
  UINT width() const { return _description.Width; }
  UINT height() const { return _description.Height; }
  D3DFORMAT format() const { return _description.Format; }

  // The raw texel word at row a, column b of level 0; indices beyond the last row or column
  // read that row or column. Reads the copy taken when the file was loaded, so that any
  // number of threads may sample at once; E_FAIL for a texture made from a picture or heights.
  std::uint32_t texel(int a, int b) const;

  // Brings coordinates outside [0, 1] back by the address mode.
  void fixCoordinates(float& u, float& v) const;

  // The texel's red, green and blue word at (u, v) divided by 2^24 - 1: a grey level k reads
  // as k / 255 whatever the fourth byte holds. The row comes from u scaled by the height,
  // the column from v scaled by the width.
  float sample(float u, float v) const;
  // sample(us[j], vs[i]) for every i < rows and j < columns into out[i * columns + j], bit
  // for bit: the weights and texel rows that depend on one coordinate only are found once.
  void sampleGrid(const float* us, int columns, const float* vs, int rows, float* out) const;

 private:
  // Where one coordinate lands after fixCoordinates: the two texel indices it blends along
  // its axis (clamped to the last texel) and the weight of the second.
  struct AxisSample {
    int first;
    int second;
    float weight;
  };
  // The part of fixCoordinates for one coordinate when the pair is not inside [0, 1].
  float _foldCoordinate(float c) const;
  AxisSample _axisSample(float c, UINT texels) const;

  // Copies level 0's words once; the texture is not written after it is made.
  void _copyLevelZero();

  // Declared in this order so that the texture is released before the device, also when
  // the constructor throws.
  platform::ComRef<IDirect3DDevice9> _device;
  platform::ComRef<IDirect3DTexture9> _texture;
  D3DSURFACE_DESC _description{};
  std::string _fileName;
  // 1: bilinear sampling, 0: nearest texel.
  int _bilinear = 1;
  // Coordinates above 1: 1 clamps them, 0 keeps their integer part, other values keep them.
  int _addressMode = 0;
  float _maxValue = 0.0f;
  // Set for heights from an elevation model, which are sampled instead of texels.
  const elevation::HeightGrid* _grid = nullptr;
  float _lowest = 0.0f;
  // Level 0's texel words row by row, three-byte texels with a zero top byte.
  std::vector<std::uint32_t> _words;
};

}  // namespace vantra::terrain
