// End-to-end: the real program flies to views over the terrain where neighbouring leaves
// are drawn at different levels, and the captures must show no gap between leaves. The
// same flights with the edge fans switched off must show gaps, or the test proves nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Private copy: the platform library has its own.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include "terrain_test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 400;
// Below the six statistics lines, whose text would break up the sky above the terrain.
constexpr int kFirstRow = 165;
constexpr unsigned char kClear[3] = {0xC6, 0xC0, 0xF2};

// A camera pose reached from the start pose: move backwards and up, right or left, then
// tilt down, all with the stock controls.
struct View {
  int back;   // mouse motion with shift and the left button: forward by dy * 800
  int up;     // mouse motion with the right button: up by dy * 408
  int right;  // and right by dx * 400
  int pitch;  // frames of the up arrow in turn mode: degrees looking down
};

std::string FlightScript(const View& view) {
  std::string s =
      "0 key L down\n1 key L up\n"  // lighting on
      "2 key F1 down\n3 key F1 up\n"
      "4 key LSHIFT down\n4 button 0 down\n";
  s += "5 mouse 0 " + std::to_string(view.back) + "\n";
  s += "6 button 0 up\n6 key LSHIFT up\n7 button 1 down\n";
  s += "8 mouse " + std::to_string(view.right) + " " + std::to_string(view.up) + "\n";
  s += "9 button 1 up\n10 key F2 down\n11 key F2 up\n12 key UP down\n";
  const int end = 12 + view.pitch;
  s += std::to_string(end) + " key UP up\n";
  s += std::to_string(end + 2) + " key F12 down\n";
  s += std::to_string(end + 3) + " key F12 up\n";
  s += std::to_string(end + 4) + " quit\n";
  return s;
}

// Pixels of the clear colour between terrain pixels in the same column. Looking down from
// above, every column of the picture crosses the terrain in one unbroken run, so the clear
// colour inside that run can only come from a gap.
int CountGapPixels(const std::string& path, int* terrainPixels) {
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (pixels == nullptr) return -1;
  auto isClear = [&](int x, int y) {
    const unsigned char* p = pixels + 3 * (y * width + x);
    return p[0] == kClear[0] && p[1] == kClear[1] && p[2] == kClear[2];
  };
  int gaps = 0;
  *terrainPixels = 0;
  for (int x = 0; x < width; ++x) {
    int top = -1, bottom = -1;
    for (int y = kFirstRow; y < height; ++y) {
      if (isClear(x, y)) continue;
      if (top < 0) top = y;
      bottom = y;
    }
    if (top < 0) continue;
    for (int y = top; y <= bottom; ++y) {
      if (isClear(x, y))
        ++gaps;
      else
        ++*terrainPixels;
    }
  }
  stbi_image_free(pixels);
  return gaps;
}

class CrackFreeRenderTest : public ::testing::TestWithParam<View> {
 protected:
  // Runs the program on the view and returns the gap pixels of its capture.
  int gapsInView(bool edgeFans) {
    ScratchDirectory directory;
    for (const char* map : {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"})
      fs::create_symlink(fs::path(VANTRA_MAP_DIR) / map, map);
    std::ofstream("flight.txt") << FlightScript(GetParam());
    const std::string command = std::string(edgeFans ? "" : "VANTRA_NO_EDGE_FANS=1 ") + "'" +
                                VANTRA_TEST_PROGRAM + "' --headless --frames 300 --size " +
                                std::to_string(kSize) + "x" + std::to_string(kSize) +
                                " --script flight.txt --data-dir . > program.log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    int terrain = 0;
    const int gaps = CountGapPixels("screen-capture.bmp", &terrain);
    EXPECT_GE(gaps, 0) << "no capture";
    EXPECT_GT(terrain, kSize * (kSize - kFirstRow) / 3) << "the view should be mostly terrain";
    return gaps;
  }
};

TEST_P(CrackFreeRenderTest, FansCloseEveryGapBetweenLevels) {
  EXPECT_EQ(gapsInView(true), 0);
  EXPECT_GT(gapsInView(false), 0) << "without fans this view must show gaps: its leaves differ";
}

INSTANTIATE_TEST_SUITE_P(HighAboveLookingDown, CrackFreeRenderTest,
                         ::testing::Values(View{-700, 500, 0, 35}, View{-600, 650, -300, 45},
                                           View{-850, 400, 250, 30}, View{-500, 800, 150, 55},
                                           View{-750, 600, -150, 40}),
                         [](const ::testing::TestParamInfo<View>& info) {
                           return "LookingDown" + std::to_string(info.param.pitch) + "Degrees";
                         });

}  // namespace
