// The N and M keys in the real program, run headless from a script: N-patches show as more
// wireframe edges in a capture, and M brings back the picture drawn without them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "program_run_directory.h"

namespace vantra::platform {

using vantra::engine::ProgramResult;
using vantra::engine::ProgramRunDirectory;
using vantra::engine::ReadFile;

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 320;
// The statistics overlay fills the rows above this one and changes from run to run.
constexpr int kFirstSceneRow = 170;

// A capture's pixels below the overlay as 0xRRGGBB words, top row first; empty when the
// file is not the 24-bit bitmap of the target's size.
std::vector<std::uint32_t> SceneBelowOverlay(const fs::path& path) {
  const std::string bytes = ReadFile(path);
  auto int32 = [&](std::size_t at) {
    std::int32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
  };
  constexpr std::size_t kRowBytes = kSize * 3;
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0 || int32(18) != kSize ||
      int32(22) != kSize || (int32(28) & 0xFFFF) != 24 ||
      static_cast<std::size_t>(int32(10)) + kRowBytes * kSize > bytes.size())
    return {};
  std::vector<std::uint32_t> pixels;
  for (int row = kFirstSceneRow; row < kSize; ++row) {
    // Bitmap rows run from the bottom up.
    const std::size_t start = static_cast<std::size_t>(int32(10)) + (kSize - 1 - row) * kRowBytes;
    for (int x = 0; x < kSize; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + start + 3 * x);
      pixels.push_back(std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
    }
  }
  return pixels;
}

// Edges crossed by the picture's rows and columns: each run of pixels other than the
// background along a row or a column is one edge (or a few that touch).
int EdgeCrossings(const std::vector<std::uint32_t>& pixels, std::uint32_t background) {
  const int rows = static_cast<int>(pixels.size()) / kSize;
  auto line = [&](int x, int y) {
    return pixels[static_cast<std::size_t>(y) * kSize + x] != background;
  };
  int crossings = 0;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < kSize; ++x) crossings += line(x, y) && (x == 0 || !line(x - 1, y));
  for (int x = 0; x < kSize; ++x)
    for (int y = 0; y < rows; ++y) crossings += line(x, y) && (y == 0 || !line(x, y - 1));
  return crossings;
}

std::uint32_t MostCommon(const std::vector<std::uint32_t>& pixels) {
  std::map<std::uint32_t, int> counts;
  for (std::uint32_t pixel : pixels) ++counts[pixel];
  std::uint32_t common = 0;
  int most = 0;
  for (const auto& [pixel, count] : counts)
    if (count > most) std::tie(common, most) = std::tie(pixel, count);
  return common;
}

// Runs the program headless in a fresh directory beside the terrain bitmaps and returns
// the capture the script asked for.
std::vector<std::uint32_t> PlayAndCapture(const std::string& script) {
  ProgramRunDirectory dir;
  dir.linkMaps(fs::path(VANTRA_TEST_PROGRAM).parent_path());
  std::ofstream(dir.path() / "input.script") << script;
  const ProgramResult run =
      dir.runCommand(std::string("'") + VANTRA_TEST_PROGRAM + "' --headless --frames 200 --size " +
                     std::to_string(kSize) + "x" + std::to_string(kSize) + " --data-dir '" +
                     dir.path().string() + "' --script input.script");
  if (run.exitCode != 0) return {};
  return SceneBelowOverlay(dir.path() / "screen-capture.bmp");
}

}  // namespace

TEST(NPatchKeys, HoldingNAddsEdgesAndMRestoresThePicture) {
  // Over the middle of the terrain looking down steeply, so that the landscape fills the
  // picture whatever its shape, then wireframe on.
  const std::string pose =
      "0 key F2 down\n1 key F2 up\n1 button 1 down\n1 mouse 500 75\n2 button 1 up\n"
      "2 key A down\n2 key UP down\n12 key A up\n12 key UP up\n14 key W down\n15 key W up\n";
  // Forty frames of N make four segments per edge.
  const std::string holdN = "16 key N down\n56 key N up\n";
  const std::string capture = "60 key F12 down\n61 key F12 up\n62 quit\n";

  const std::vector<std::uint32_t> flat = PlayAndCapture(pose + capture);
  const std::vector<std::uint32_t> curved = PlayAndCapture(pose + holdN + capture);
  const std::vector<std::uint32_t> restored =
      PlayAndCapture(pose + holdN + "57 key M down\n58 key M up\n" + capture);
  ASSERT_FALSE(flat.empty());
  ASSERT_FALSE(curved.empty());
  ASSERT_FALSE(restored.empty());

  const std::uint32_t background = MostCommon(flat);
  const int flatEdges = EdgeCrossings(flat, background);
  const int curvedEdges = EdgeCrossings(curved, background);
  RecordProperty("flatEdges", flatEdges);
  RecordProperty("curvedEdges", curvedEdges);
  ASSERT_GT(flatEdges, 200) << "the wireframe terrain shows below the overlay";
  EXPECT_GT(curvedEdges, 2 * flatEdges)
      << "flat " << flatEdges << ", four segments " << curvedEdges;
  EXPECT_TRUE(restored == flat) << "M brings back the picture without N-patches";
}

}  // namespace vantra::platform
