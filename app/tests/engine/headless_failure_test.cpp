// The real program headless when its engine cannot start: no OpenGL driver can be found, so
// the device is not created.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(HeadlessFailure, EngineFailureExitsWithOneAndPrintsNoLines) {
  char name[] = "/tmp/vantra-failure-XXXXXX";
  const fs::path dir = mkdtemp(name);
  const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  // With no EGL vendor library to load there is no display, hence no context and no device.
  const std::string command = "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json '" +
                              std::string(VANTRA_TEST_PROGRAM) +
                              "' --headless --frames 3 --size 32x32 --data-dir '" + dir.string() +
                              "' >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << "the engine failed: not a bad argument (2), not 0";
  const std::string errors = ReadText(err);
  EXPECT_EQ(errors.rfind("error: ", 0), 0u) << "the device's message box: " << errors;
  EXPECT_EQ(ReadText(out), "") << "no frame was rendered, so there are no lines to print";
  fs::remove_all(dir);
}

}  // namespace
