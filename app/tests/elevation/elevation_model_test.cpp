// The elevation reader on files written with GDAL: true scale, every band type, no-data,
// and the files it must refuse.
#include "elevation/elevation_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "elevation/colour_image.h"
#include "test_rasters.h"

namespace vantra::elevation {

namespace fs = std::filesystem;

namespace {

// A directory of its own for each test, removed afterwards.
class ElevationFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantra-elevation-XXXXXX";
    _dir = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(_dir); }
  std::string path(const std::string& name) const { return (_dir / name).string(); }

  fs::path _dir;
};

TEST_F(ElevationFiles, ProjectedModelKeepsItsHeightsSpacingsAndProportions) {
  TestRaster raster = Projected(200, 100, 25.0, 25.0);
  raster.type = GDT_Int16;
  raster.value = [](int c, int r) { return 3.0 * c - 2.0 * r + 100.0; };
  ASSERT_TRUE(WriteRaster(raster, path("valley.tif"), "GTiff"));

  ElevationModel model;
  std::string error;
  ASSERT_TRUE(model.load(path("valley.tif"), 0, &error)) << error;
  const ElevationFacts& facts = model.facts();
  EXPECT_EQ(facts.driver, "GTiff");
  EXPECT_FALSE(facts.geographic);
  EXPECT_DOUBLE_EQ(facts.extentX, 5000.0);
  EXPECT_DOUBLE_EQ(facts.extentZ, 2500.0);
  const HeightGrid& grid = model.grid();
  ASSERT_EQ(grid.columns(), 257) << "the smallest 2^k + 1 side that holds 200 samples";
  // The corner vertices sit on the corner samples: 199 and 99 sample steps over 256 cells.
  EXPECT_NEAR(grid.spacingX(), 199 * 25.0 / 256, 1e-9);
  EXPECT_NEAR(grid.spacingZ(), 99 * 25.0 / 256, 1e-9);
  // A plane stays a plane under bilinear filtering: every vertex on it.
  for (int row = 0; row < 257; row += 16)
    for (int column = 0; column < 257; column += 16)
      EXPECT_NEAR(grid.at(column, row), 3.0 * column * 199 / 256 - 2.0 * row * 99 / 256 + 100.0,
                  1e-3);
  EXPECT_FLOAT_EQ(model.lowest(), 100.0f - 2 * 99);
  EXPECT_FLOAT_EQ(model.highest(), 100.0f + 3 * 199);

  ElevationModel forced;
  ASSERT_TRUE(forced.load(path("valley.tif"), 129, &error)) << error;
  EXPECT_EQ(forced.grid().columns(), 129) << "--terrain-grid overrides the choice";
}

TEST_F(ElevationFiles, GeographicModelIsMeasuredAtItsCentreLatitude) {
  // One arc-second samples around 46.5 degrees north.
  const double second = 1.0 / 3600.0;
  TestRaster raster = Geographic(300, 150, 7.0, 46.5 + 75 * second, second);
  raster.value = [](int c, int r) { return 1000.0 + c + r; };
  ASSERT_TRUE(WriteRaster(raster, path("alps.tif"), "GTiff"));

  ElevationModel model;
  std::string error;
  ASSERT_TRUE(model.load(path("alps.tif"), 0, &error)) << error;
  EXPECT_TRUE(model.facts().geographic);
  // On the WGS 84 ellipsoid at 46.5 degrees: 21.32 m per second east, 30.88 m north.
  EXPECT_NEAR(model.facts().sampleSpacingX, 21.32, 0.01);
  EXPECT_NEAR(model.facts().sampleSpacingZ, 30.88, 0.01);
}

TEST_F(ElevationFiles, EveryBandTypeIsReadWithItsScaleAndOffset) {
  const GDALDataType types[] = {GDT_Byte,   GDT_Int16,   GDT_UInt16, GDT_Int32,
                                GDT_UInt32, GDT_Float32, GDT_Float64};
  for (const GDALDataType type : types) {
    TestRaster raster = Projected(129, 129, 10.0, 10.0);
    raster.type = type;
    raster.value = [](int c, int r) { return (c + r) % 200; };
    raster.scale = 0.5;
    raster.offset = -20.0;
    const std::string file = path(std::string(GDALGetDataTypeName(type)) + ".tif");
    ASSERT_TRUE(WriteRaster(raster, file, "GTiff"));
    ElevationModel model;
    std::string error;
    ASSERT_TRUE(model.load(file, 0, &error)) << error;
    EXPECT_FLOAT_EQ(model.lowest(), -20.0f) << GDALGetDataTypeName(type);
    EXPECT_FLOAT_EQ(model.highest(), 79.5f) << GDALGetDataTypeName(type);
  }
}

TEST_F(ElevationFiles, NoDataIsFilledFromItsNeighboursWithoutSpikes) {
  TestRaster raster = Projected(129, 129, 10.0, 10.0);
  raster.hasNoData = true;
  raster.noData = -9999.0;
  // A bowl with a large hole at its centre, a NaN and a hole on the edge.
  raster.value = [](int c, int r) {
    if (std::abs(c - 64) < 10 && std::abs(r - 64) < 6) return -9999.0;
    if (c == 5 && r == 7) return std::nan("");
    if (c < 3 && r < 4) return -9999.0;
    return 0.05 * ((c - 64) * (c - 64) + (r - 64) * (r - 64)) - 300.0;
  };
  ASSERT_TRUE(WriteRaster(raster, path("holes.tif"), "GTiff"));
  ElevationModel model;
  std::string error;
  ASSERT_TRUE(model.load(path("holes.tif"), 129, &error)) << error;
  EXPECT_EQ(model.noDataFilled(), 19 * 11 + 1 + 12);

  // Every filled height lies within the heights on the hole's border.
  const HeightGrid& grid = model.grid();
  float borderLow = 1e9f;
  float borderHigh = -1e9f;
  for (int r = 58; r <= 70; ++r)
    for (int c = 54; c <= 74; ++c)
      if (!grid.isNoData(c, r)) {
        borderLow = std::min(borderLow, grid.at(c, r));
        borderHigh = std::max(borderHigh, grid.at(c, r));
      }
  for (int r = 59; r <= 69; ++r)
    for (int c = 55; c <= 73; ++c) {
      ASSERT_TRUE(grid.isNoData(c, r));
      EXPECT_GE(grid.at(c, r), borderLow);
      EXPECT_LE(grid.at(c, r), borderHigh);
    }
  EXPECT_GE(model.lowest(), -300.0f) << "no pit below the lowest valid height";
  EXPECT_TRUE(std::isfinite(grid.at(5, 7)));
  const ColourImage relief = ColourImage::Relief(grid);
  EXPECT_EQ(relief.at(64, 64), ColourImage::kNoDataGrey);
  EXPECT_NE(relief.at(30, 30), ColourImage::kNoDataGrey);
}

TEST_F(ElevationFiles, SrtmTileVoidsAndNegativeHeights) {
  // The driver knows the tile's place from its name: 46 N, 7 E, three arc-seconds.
  const double step = 1.0 / 1200;
  TestRaster raster = Geographic(1201, 1201, 7.0 - step / 2, 47.0 + step / 2, step);
  raster.type = GDT_Int16;
  raster.value = [](int c, int r) {
    if (c > 600 && c < 620 && r > 300 && r < 310) return -32768.0;
    return (c - 400) * 0.5 + r * 0.25;
  };
  ASSERT_TRUE(WriteRaster(raster, path("N46E007.hgt"), "SRTMHGT"));
  ElevationModel model;
  std::string error;
  // Read averaged down to the small grid: GDAL leaves the voids out of the averages.
  ASSERT_TRUE(model.load(path("N46E007.hgt"), 129, &error)) << error;
  EXPECT_EQ(model.facts().driver, "SRTMHGT");
  EXPECT_GE(model.lowest(), -200.0f) << "no void reaches the heights";
  EXPECT_LT(model.lowest(), -190.0f) << "heights below sea level stay";
  EXPECT_NEAR(model.facts().sampleSpacingX, 3 * 21.32, 0.05);

  const ColourImage relief = ColourImage::Relief(model.grid());
  const std::uint32_t water = relief.at(0, 0);
  EXPECT_GT(water & 0xFF, (water >> 16) & 0xFF) << "blue below sea level";
}

TEST_F(ElevationFiles, SixteenBitPngKeepsSixteenBits) {
  TestRaster raster;
  raster.columns = 256;
  raster.rows = 256;
  raster.type = GDT_UInt16;
  raster.value = [](int c, int r) { return r * 256 + c; };
  ASSERT_TRUE(WriteRaster(raster, path("ramp.png"), "PNG"));
  ElevationModel model;
  std::string error;
  ASSERT_TRUE(model.load(path("ramp.png"), 0, &error)) << error;
  EXPECT_FALSE(model.facts().georeferenced);
  EXPECT_DOUBLE_EQ(model.facts().sampleSpacingX, ElevationModel::kDefaultSpacing);
  std::set<float> heights;
  for (int r = 0; r < model.grid().rows(); ++r)
    for (int c = 0; c < model.grid().columns(); ++c) heights.insert(model.grid().at(c, r));
  EXPECT_GE(heights.size(), 30000u);
  EXPECT_FLOAT_EQ(model.highest(), 65535.0f);
}

TEST_F(ElevationFiles, AsciiGridIsRead) {
  std::ofstream(path("lake.asc")) << "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 50\n"
                                     "NODATA_value -1\n10 20 -1\n30 40 50\n";
  ElevationModel model;
  std::string error;
  ASSERT_TRUE(model.load(path("lake.asc"), 0, &error)) << error;
  EXPECT_EQ(model.facts().driver, "AAIGrid");
  EXPECT_EQ(model.noDataFilled(), 1);
  EXPECT_DOUBLE_EQ(model.facts().extentX, 150.0);
  EXPECT_FLOAT_EQ(model.lowest(), 10.0f);
  EXPECT_FLOAT_EQ(model.highest(), 50.0f);
}

// A little-endian TIFF header of one 8-bit strip that declares width x height samples.
std::string TiffHeader(std::uint32_t width, std::uint32_t height) {
  std::string bytes = "II*";
  bytes += '\0';
  auto u16 = [&](std::uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
  auto u32 = [&](std::uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
  u32(8);
  const std::uint32_t entries[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                      {259, 3, 1},     {262, 3, 1},      {273, 4, 200},
                                      {277, 3, 1},     {278, 4, height}, {279, 4, 16}};
  u16(static_cast<std::uint16_t>(std::size(entries)));
  for (const auto& entry : entries) {
    u16(static_cast<std::uint16_t>(entry[0]));
    u16(static_cast<std::uint16_t>(entry[1]));
    u32(1);
    if (entry[1] == 3) {
      u16(static_cast<std::uint16_t>(entry[2]));
      u16(0);
    } else {
      u32(entry[2]);
    }
  }
  u32(0);
  bytes.resize(216, '\0');
  return bytes;
}

TEST_F(ElevationFiles, RefusesHostileAndUnsupportedFiles) {
  std::ofstream(path("huge.tif"), std::ios::binary) << TiffHeader(1000000, 1000000);
  // Sparse tiles: a few hundred bytes on disk that would decompress to 400 million samples.
  ASSERT_TRUE(CreateSparseTiff(path("expands.tif"), 20000, 20000));
  TestRaster solid = Projected(400, 400, 10.0, 10.0);
  solid.value = [](int c, int r) { return c * r; };
  ASSERT_TRUE(WriteRaster(solid, path("truncated.tif"), "GTiff"));
  fs::resize_file(path("truncated.tif"), fs::file_size(path("truncated.tif")) / 2);
  TestRaster empty = Projected(130, 130, 10.0, 10.0);
  empty.hasNoData = true;
  empty.noData = -1.0;
  empty.value = [](int, int) { return -1.0; };
  ASSERT_TRUE(WriteRaster(empty, path("void.tif"), "GTiff"));
  ASSERT_TRUE(WriteRaster(solid, path("model.img"), "HFA"));
  std::ofstream(path("passwd.vrt"))
      << "<VRTDataset rasterXSize=\"10\" rasterYSize=\"10\"><VRTRasterBand dataType=\"Byte\" "
         "band=\"1\"><SimpleSource><SourceFilename>/etc/passwd</SourceFilename>"
         "</SimpleSource></VRTRasterBand></VRTDataset>\n";
  fs::create_directory(path("folder.tif"));
  std::ofstream(path("point.asc"))
      << "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 50\n7\n";

  struct Case {
    std::string file;
    const char* reason;
    const char* why;
  };
  const Case cases[] = {
      {path("huge.tif"), "larger than", "a header of 10^6 x 10^6 samples"},
      {path("expands.tif"), "larger than", "compressed tiles that expand past the cap"},
      {path("truncated.tif"), "failed", "a truncated file"},
      {path("void.tif"), "no valid height", "no valid height at all"},
      {path("model.img"), "not a supported", "a driver not on the list"},
      {path("passwd.vrt"), "not a supported", "a virtual raster naming another file"},
      {path("folder.tif"), "not a regular file", "a directory"},
      {path("point.asc"), "2 x 2", "a single sample has no spacing"},
      {path("missing.tif"), "no such file", "no such file"},
      {"/vsicurl/http://localhost/x.tif", "not a plain file", "a virtual file system"},
  };
  for (const Case& c : cases) {
    ElevationModel model;
    std::string error;
    EXPECT_FALSE(model.load(c.file, 0, &error)) << c.why;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.why << ": " << error;
  }
}

}  // namespace

}  // namespace vantra::elevation
