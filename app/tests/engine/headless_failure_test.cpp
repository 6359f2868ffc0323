// The real program headless when its engine cannot start: no OpenGL driver can be found, so
// the device is not created.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "program_run_directory.h"

namespace vantra::engine {

namespace {

TEST(HeadlessFailure, EngineFailureExitsWithOneAndPrintsNoLines) {
  ProgramRunDirectory dir;
  // With no EGL vendor library to load there is no display, hence no context and no device.
  const ProgramResult r = dir.runCommand(
      "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json '" + std::string(VANTRA_TEST_PROGRAM) +
      "' --headless --frames 3 --size 32x32 --data-dir '" + dir.path().string() + "'");
  EXPECT_EQ(r.exitCode, 1) << "the engine failed: not a bad argument (2), not 0";
  EXPECT_EQ(r.err.rfind("VantraTest: no OpenGL 3.3 core context: ", 0), 0u)
      << "first the line naming the failing step: " << r.err;
  EXPECT_NE(r.err.find("\nerror: "), std::string::npos)
      << "then the device's message box: " << r.err;
  EXPECT_EQ(r.out, "") << "no frame was rendered, so there are no lines to print";
}

TEST(HeadlessFailure, AnObjectLeftOutOfTheSceneEndsTheRunWithOne) {
  // With no bitmaps in the data folder (and none installed beside the program in the build)
  // the terrain fails its reset; the lights still start.
  ProgramRunDirectory dir;
  const std::string program = "'" + std::string(VANTRA_TEST_PROGRAM) +
                              "' --size 32x32 --data-dir '" + dir.path().string() + "' ";
  std::ofstream(dir.path() / "old.csv") << "kept\n";
  struct Case {
    std::string arguments;
    int lines;
    const char* why;
  };
  const Case cases[] = {
      {"--headless --frames 3", 6, "a headless run renders its frames without the terrain"},
      {"--timedemo --timedemo-csv old.csv", 0, "the timed flight stops before its first frame"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = dir.runCommand(program + c.arguments);
    EXPECT_EQ(r.exitCode, 1) << c.why << "\n" << r.err;
    EXPECT_NE(r.err.find("during obejct reset(): error"), std::string::npos) << c.why;
    EXPECT_NE(r.err.find("VantraTest: Terrain failed to start"), std::string::npos)
        << c.why << ": standard error names the object\n"
        << r.err;
    const std::size_t newlines = std::count(r.out.begin(), r.out.end(), '\n');
    EXPECT_EQ(newlines, static_cast<std::size_t>(c.lines)) << c.why << "\n" << r.out;
  }
  EXPECT_EQ(ReadFile(dir.path() / "old.csv"), "kept\n") << "no results replace the old file";
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

}  // namespace

}  // namespace vantra::engine
