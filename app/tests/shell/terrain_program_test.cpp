// The program on the user's own elevation models, run headless as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <string>

#include "program_run_directory.h"
#include "test_rasters.h"

namespace vantra::shell {

namespace {

namespace fs = std::filesystem;

class TerrainRun : public engine::ProgramRunDirectory {
 public:
  TerrainRun() {
    linkMaps(fs::path(VANTRA_TEST_PROGRAM).parent_path());
    elevation::TestRaster raster = elevation::Projected(300, 200, 20.0, 20.0);
    raster.type = GDT_Float32;
    raster.hasNoData = true;
    raster.noData = -9999.0;
    raster.value = [](int c, int r) {
      if (c == 10 && r == 10) return -9999.0;
      return 500.0 + 300.0 * std::sin(c * 0.05) * std::cos(r * 0.04);
    };
    elevation::WriteRaster(raster, model().string(), "GTiff");
  }

  fs::path model() const { return path() / "valley.tif"; }

  engine::ProgramResult run(const std::string& arguments) const {
    return runCommand("'" + std::string(VANTRA_TEST_PROGRAM) + "' " + arguments);
  }
};

TEST(TerrainProgram, InfoPrintsTheModelsFiguresWithoutRendering) {
  TerrainRun dir;
  const engine::ProgramResult r =
      dir.run("--terrain '" + dir.model().string() + "' --terrain-info");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::regex figures(
      "\\{\"source\": \".*valley.tif\", \"driver\": \"GTiff\", \"samples\": \\[300, 200\\], "
      "\"geographic\": false, \"extent_m\": \\[6000, 4000\\], \"grid\": \\[513, 513\\], "
      "\"spacing_m\": \\[11.6796875, 7.7734375\\], \"heights_m\": \\[2[0-9.]+, 79[0-9.]+\\], "
      "\"nodata_filled\": 1\\}\n");
  EXPECT_TRUE(std::regex_match(r.out, figures)) << r.out;
}

TEST(TerrainProgram, FliesHeadlessOverTheModel) {
  TerrainRun dir;
  const engine::ProgramResult r =
      dir.run("--headless --frames 3 --size 160x120 --terrain '" + dir.model().string() +
              "' --terrain-grid 257 --exaggeration 2");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("grid 257 x 257"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6) << r.out;
}

TEST(TerrainProgram, RefusesBadModelsAndOptions) {
  TerrainRun dir;
  std::ofstream(dir.path() / "notes.tif") << "not a raster\n";
  struct Case {
    std::string arguments;
    int exitCode;
    std::string expected;
  };
  const std::string model = "'" + dir.model().string() + "'";
  const Case cases[] = {
      {"--headless --terrain '" + (dir.path() / "notes.tif").string() + "'", 1, "notes.tif: "},
      {"--headless --terrain " + model + " --terrain-texture '" +
           (dir.path() / "missing.png").string() + "'",
       1, "missing.png"},
      {"--headless --terrain " + model + " --terrain-grid 300", 2, "--terrain-grid"},
      {"--headless --terrain " + model + " --exaggeration -1", 2, "--exaggeration"},
      {"--terrain-info", 2, "--terrain-info"},
  };
  for (const Case& c : cases) {
    const engine::ProgramResult r = dir.run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty()) << c.arguments;
  }
}

}  // namespace

}  // namespace vantra::shell
