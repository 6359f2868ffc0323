// The terrain made from an elevation model: heights at its vertices, placement under the
// start pose, and the colour map from a texture file.
#include "terrain/terrain_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "test_rasters.h"

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
  TestRaster raster;
  raster.columns = 129;
  raster.rows = 129;
  raster.type = GDT_Float32;
  raster.epsg = 32632;
  raster.georeferenced = true;
  const double transform[6] = {400000.0, 10.0, 0.0, 5100000.0, 0.0, -20.0};
  std::copy(transform, transform + 6, raster.geoTransform);
  raster.value = Height;
  const std::string file = (_dir / "model.tif").string();
  ASSERT_TRUE(WriteRaster(raster, file, "GTiff"));

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
  TestRaster heights;
  heights.columns = 129;
  heights.rows = 129;
  heights.value = [](int c, int r) { return c + r; };
  ASSERT_TRUE(WriteRaster(heights, (_dir / "model.png").string(), "PNG"));
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

}  // namespace
