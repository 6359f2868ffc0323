// Runs the real program headless, as a user or a script would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "program_run_directory.h"

namespace vantra::engine {

namespace {

namespace fs = std::filesystem;

// A run directory holding the terrain bitmaps that the build put beside the program.
class RunDirectory : public ProgramRunDirectory {
 public:
  RunDirectory() { linkMaps(fs::path(VANTRA_TEST_PROGRAM).parent_path()); }

  fs::path writeScript(const std::string& text) const {
    const fs::path script = path() / "input.script";
    std::ofstream(script) << text;
    return script;
  }

  ProgramResult run(const std::string& arguments, const std::string& prefix = "") const {
    return runCommand(prefix + " '" + VANTRA_TEST_PROGRAM + "' " + arguments);
  }

  // Runs headless at 160x120 in this directory with the script.
  ProgramResult play(const std::string& script, int frames = 60) const {
    return run("--headless --size 160x120 --frames " + std::to_string(frames) + " --data-dir '" +
               path().string() + "' --script '" + writeScript(script).string() + "'");
  }
};

struct Bitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::size_t pixelOffset = 0;
  std::string bytes;
};

Bitmap ReadBitmap(const fs::path& path) {
  Bitmap bitmap;
  bitmap.bytes = ReadFile(path);
  if (bitmap.bytes.size() < 54 || bitmap.bytes.compare(0, 2, "BM") != 0) return bitmap;
  auto int32 = [&](std::size_t at) {
    std::int32_t value;
    std::memcpy(&value, bitmap.bytes.data() + at, 4);
    return value;
  };
  bitmap.pixelOffset = static_cast<std::size_t>(int32(10));
  bitmap.width = int32(18);
  bitmap.height = std::abs(int32(22));
  bitmap.bitsPerPixel = static_cast<std::uint16_t>(int32(28) & 0xFFFF);
  return bitmap;
}

// Pixels within 8 levels per channel of the frame's clear colour 0xC6C0F2.
int ClearColourPixels(const Bitmap& bitmap) {
  const int bytesPerPixel = bitmap.bitsPerPixel / 8;
  const std::size_t rowBytes = (static_cast<std::size_t>(bitmap.width) * bytesPerPixel + 3) & ~3u;
  int count = 0;
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const std::size_t at = bitmap.pixelOffset + y * rowBytes + x * bytesPerPixel;
      if (at + 3 > bitmap.bytes.size()) return count;
      const auto* p = reinterpret_cast<const unsigned char*>(bitmap.bytes.data() + at);
      count +=
          std::abs(p[0] - 0xF2) <= 8 && std::abs(p[1] - 0xC0) <= 8 && std::abs(p[2] - 0xC6) <= 8;
    }
  }
  return count;
}

TEST(HeadlessProgram, F12WritesACaptureOfTheTargetSize) {
  RunDirectory dir;
  const ProgramResult r = dir.play("3 key F12 down\n4 key F12 up\n5 quit\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Bitmap capture = ReadBitmap(dir.path() / "screen-capture.bmp");
  EXPECT_EQ(capture.width, 160);
  EXPECT_EQ(capture.height, 120);
}

TEST(HeadlessProgram, AFailedCaptureKeepsTheOldOneAndSaysWhyOnce) {
  // F12 held for three frames: three failed captures, one line.
  const std::string script = "2 key F12 down\n5 key F12 up\n6 quit\n";
  struct Case {
    const char* why;
    std::string prefix;
    bool directory;
    const char* reason;
  };
  const Case cases[] = {
      {"past the file-size limit", "ulimit -f 16;", false, "File too large"},
      {"a directory in the capture's place", "", true, "Is a directory"},
  };
  for (const Case& c : cases) {
    RunDirectory dir;
    const fs::path capture = dir.path() / "screen-capture.bmp";
    if (c.directory)
      fs::create_directory(capture);
    else
      std::ofstream(capture) << "previous";
    const ProgramResult r = dir.run("--headless --size 160x120 --data-dir '" + dir.path().string() +
                                        "' --script '" + dir.writeScript(script).string() + "'",
                                    c.prefix);
    EXPECT_EQ(r.exitCode, 0) << c.why << ": a failed capture does not end the run\n" << r.err;
    const std::string line =
        std::string("VantraTest: screen capture not saved to screen-capture.bmp: ") + c.reason +
        "\n";
    const std::size_t first = r.err.find(line);
    EXPECT_NE(first, std::string::npos) << c.why << "\n" << r.err;
    EXPECT_EQ(r.err.find(line, first + 1), std::string::npos) << c.why << ": said once";
    if (!c.directory) {
      EXPECT_EQ(ReadFile(capture), "previous") << c.why;
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
      EXPECT_NE(entry.path().extension(), ".tmp") << c.why << ": " << entry.path();
  }
}

TEST(HeadlessProgram, WireframeShowsInALaterCapture) {
  // Slide right and up over the middle of the terrain, then look down steeply, so that the
  // terrain fills the picture with triangles a few pixels wide.
  const std::string flight =
      "0 key F2 down\n1 key F2 up\n1 button 1 down\n1 mouse 500 75\n2 button 1 up\n"
      "2 key A down\n2 key UP down\n12 key A up\n12 key UP up\n";
  const std::string capture = "18 key F12 down\n19 key F12 up\n20 quit\n";
  RunDirectory solid;
  RunDirectory wire;
  const ProgramResult a = solid.play(flight + capture);
  ASSERT_EQ(a.exitCode, 0) << a.err;
  const ProgramResult b = wire.play(flight + "14 key W down\n15 key W up\n" + capture);
  ASSERT_EQ(b.exitCode, 0) << b.err;
  const Bitmap solidCapture = ReadBitmap(solid.path() / "screen-capture.bmp");
  const Bitmap wireCapture = ReadBitmap(wire.path() / "screen-capture.bmp");
  ASSERT_EQ(wireCapture.width, 160);
  const int pixels = 160 * 120;
  EXPECT_LT(ClearColourPixels(solidCapture), pixels / 10) << "the terrain covers the picture";
  EXPECT_GT(ClearColourPixels(wireCapture), pixels / 4) << "the background shows between lines";
}

TEST(HeadlessProgram, PrintsTheSixStatisticsLines) {
  RunDirectory dir;
  const ProgramResult r =
      dir.run("--headless --size 160x120 --frames 3 --data-dir '" + dir.path().string() + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string number = "(-?[0-9]+\\.[0-9]{2}| *inf)";
  const std::string precise = "-?[0-9]+\\.[0-9]{4}";
  const std::regex formats[] = {
      std::regex("Theoretical \\(averaged\\) --- fps:   " + number +
                 "            frame_time \\(ms\\): " + precise),
      std::regex("Actual  \\(Averaged\\) --- fps:   " + number +
                 "                frame_time \\(ms\\): " + precise),
      std::regex("Per Frame Timing: --- fps:   " + number +
                 "                frame_time \\(ms\\): " + precise),
      std::regex("Update time \\(CPU\\) \\(ms\\):  " + precise),
      std::regex("Render time \\(CPU\\) \\(ms\\):  " + precise),
      std::regex("Presentation time \\(GPU\\) \\(ms\\): " + precise),
  };
  std::istringstream out(r.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(std::regex_match(lines[i], formats[i])) << lines[i];
  EXPECT_EQ(lines[0], "Theoretical (averaged) --- fps:   0.00            frame_time (ms): 0.0000")
      << "averages publish only after 200 frames";
}

TEST(HeadlessProgram, RejectsBadInputBeforeTheFirstFrame) {
  RunDirectory dir;
  struct Case {
    std::string arguments;
    std::string expected;
    const char* why;
  };
  const fs::path script = dir.writeScript("0 key F12 down\n# fine so far\n2 key F13X down\n");
  const Case cases[] = {
      {"--headless --script '" + script.string() + "'", "line 3: unknown key name",
       "unknown key in the script"},
      {"--headless --script '" + (dir.path() / "missing").string() + "'", "missing",
       "no such script"},
      {"--headless --size 160by120", "--size", "malformed size"},
      {"--headless --frames 0", "--frames", "no frames"},
      {"--headless --script '" + dir.path().string() + "'", "Is a directory",
       "a directory is no script, not even an empty one"},
      {"--headless --data-dir /nonexistent/place", "/nonexistent/place", "no such directory"},
      {"--headless --bogus", "--bogus", "unknown argument"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = dir.run(c.arguments);
    EXPECT_EQ(r.exitCode, 2) << c.why;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.why << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.why;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "screen-capture.bmp"));
}

TEST(HeadlessProgram, RunsHeadlessWithoutADisplay) {
  RunDirectory dir;
  const ProgramResult r =
      dir.run("--frames 2 --size 32x32 --data-dir '" + dir.path().string() + "'",
              "env -u DISPLAY -u WAYLAND_DISPLAY");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("running headless"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6) << r.out;

  const ProgramResult piped =
      dir.run("--headless --frames 50 --size 32x32 --script /dev/stdin --data-dir '" +
                  dir.path().string() + "'",
              "printf '1 quit\\n' |");
  EXPECT_EQ(piped.exitCode, 0) << "a script may come from a pipe\n" << piped.err;
  EXPECT_EQ(std::count(piped.out.begin(), piped.out.end(), '\n'), 6) << piped.out;

  const ProgramResult help = dir.run("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--frames N"), std::string::npos);
  EXPECT_NE(help.out.find("--data-dir DIR"), std::string::npos);
}

}  // namespace

}  // namespace vantra::engine
