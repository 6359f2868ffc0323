// The real program headless when its engine cannot start: no OpenGL driver can be found, so
// the device is not created.
#include <gtest/gtest.h>

#include <string>

#include "program_run_directory.h"

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

}  // namespace
