// The terrain made from an elevation model: heights at its vertices, placement under the
// start pose, and the colour map from a texture file.
#include "terrain/terrain_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/bitmap_file.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "test_rasters.h"

namespace vantra::terrain {

namespace {

namespace fs = std::filesystem;

class TerrainFromModel : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantra-terrain-model-XXXXXX";
    _dir = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(_dir); }

  fs::path _dir;
};

double Height(int column, int row) { return 250.0 + 4.0 * column - 3.0 * row + (column % 7); }

TEST_F(TerrainFromModel, VerticesStandAtTheModelsHeightsWithItsCentreUnderTheStartPose) {
  elevation::TestRaster raster = elevation::Projected(129, 129, 10.0, 20.0);
  raster.type = GDT_Float32;
  raster.value = Height;
  const std::string file = (_dir / "model.tif").string();
  ASSERT_TRUE(elevation::WriteRaster(raster, file, "GTiff"));

  auto model = std::make_shared<TerrainModel>();
  std::string error;
  TerrainRequest request;
  request.file = file;
  request.exaggeration = 1.5f;
  ASSERT_TRUE(model->load(request, &error)) << error;
  Terrain terrain(model);
  EXPECT_EQ(terrain.width(), 129);
  EXPECT_FLOAT_EQ(terrain.scale().x, 10.0f);
  EXPECT_FLOAT_EQ(terrain.scale().z, 20.0f);

  // The height map is sampled as the patches do, without a device.
  const SampledTexture heightMap(model->elevation().grid(), model->elevation().lowest(),
                                 model->elevation().highest() - model->elevation().lowest(), file);
  const double centre = Height(64, 64);
  for (int row = 0; row < 129; row += 8)
    for (int column = 0; column < 129; column += 8) {
      const float y = heightMap.sample(column / 128.0f, row / 128.0f) * terrain.scale().y +
                      terrain.position().y;
      EXPECT_NEAR(y, (Height(column, row) - centre) * 1.5, 1e-2) << column << ", " << row;
    }
}

TEST_F(TerrainFromModel, TextureFileColoursTheModel) {
  elevation::TestRaster heights;
  heights.columns = 129;
  heights.rows = 129;
  heights.value = [](int c, int r) { return c + r; };
  ASSERT_TRUE(elevation::WriteRaster(heights, (_dir / "model.png").string(), "PNG"));
  // Three bands written one after the other: red, green and blue planes.
  GDALAllRegister();
  GDALDatasetH image = GDALCreate(GDALGetDriverByName("MEM"), "", 40, 20, 3, GDT_Byte, nullptr);
  for (int band = 1; band <= 3; ++band) {
    std::vector<std::uint8_t> plane(40 * 20, static_cast<std::uint8_t>(band * 60));
    plane[0] = 7;
    ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(image, band), GF_Write, 0, 0, 40, 20, plane.data(), 40,
                           20, GDT_Byte, 0, 0),
              CE_None);
  }
  GDALClose(GDALCreateCopy(GDALGetDriverByName("PNG"), (_dir / "colour.png").c_str(), image, FALSE,
                           nullptr, nullptr, nullptr));
  GDALClose(image);

  TerrainModel model;
  TerrainRequest request;
  request.file = (_dir / "model.png").string();
  request.textureFile = (_dir / "colour.png").string();
  std::string error;
  ASSERT_TRUE(model.load(request, &error)) << error;
  EXPECT_EQ(model.colours().width(), 40);
  EXPECT_EQ(model.colours().height(), 20);
  EXPECT_EQ(model.colours().at(0, 0), 0x070707u);
  EXPECT_EQ(model.colours().at(39, 19), 0x3C78B4u);

  request.textureFile = (_dir / "model.tif").string();
  EXPECT_FALSE(model.load(request, &error)) << "a texture that does not exist";
  EXPECT_NE(error.find("model.tif"), std::string::npos) << error;
}

TEST_F(TerrainFromModel, BitmapHoldsHeightWordsAtTheBuiltInScale) {
  // 24-bit words that use all three bytes, so a byte read in the wrong place shows.
  const auto word = [](int column, int row) {
    return static_cast<std::uint32_t>(0x10000 * (column + 2 * row) + 0x0301 * column + row) &
           0xFFFFFFu;
  };
  std::vector<std::uint32_t> pixels(128 * 128);
  for (int row = 0; row < 128; ++row)
    for (int column = 0; column < 128; ++column) pixels[row * 128 + column] = word(column, row);
  const std::string file = (_dir / "heights.BMP").string();
  ASSERT_EQ(platform::BitmapFile::Write(file.c_str(), 128, 128,
                                        reinterpret_cast<const BYTE*>(pixels.data()), 128 * 4),
            S_OK);

  TerrainModel model;
  TerrainRequest request;
  request.file = file;
  std::string error;
  ASSERT_TRUE(model.load(request, &error)) << error;
  // The built-in terrain's reading: bitmap rows along x, vertex k on texel k, the last
  // vertex on the last texel again.
  const elevation::HeightGrid& grid = model.elevation().grid();
  ASSERT_EQ(grid.columns(), 129);
  EXPECT_DOUBLE_EQ(grid.spacingX(), TerrainModel::kBitmapSpacing);
  EXPECT_EQ(model.elevation().facts().driver, "BMP");
  const double metresPerStep = TerrainModel::kBitmapHeightRange / 16777215.0;
  for (int x = 0; x <= 128; x += 16)
    for (int z = 0; z <= 128; z += 16)
      EXPECT_NEAR(grid.at(x, z), word(std::min(z, 127), std::min(x, 127)) * metresPerStep, 1e-2)
          << x << ", " << z;

  std::ofstream(_dir / "text.bmp") << "not a bitmap";
  request.file = (_dir / "text.bmp").string();
  EXPECT_FALSE(model.load(request, &error)) << "a file named .bmp is read as a bitmap only";
}

}  // namespace

}  // namespace vantra::terrain
