// End-to-end: the real program flies to views over the terrain where neighbouring leaves
// are drawn at different levels, and the captures must show no gap between leaves. The
// same flights with the edge fans switched off must show gaps, or the test proves nothing.
// The texture keys are checked on the same kind of flight.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Private copy: the platform library has its own.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include "terrain_test_support.h"

namespace vantra::terrain {

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

// The flight to view, then key held for one frame just before the capture, if any.
std::string FlightScript(const View& view, const std::string& key) {
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
  if (!key.empty()) {
    s += std::to_string(end + 1) + " key " + key + " down\n";
    s += std::to_string(end + 2) + " key " + key + " up\n";
  }
  s += std::to_string(end + 2) + " key F12 down\n";
  s += std::to_string(end + 3) + " key F12 up\n";
  s += std::to_string(end + 4) + " quit\n";
  return s;
}

// A capture as kSize x kSize RGB pixels, top row first; empty when there is none.
struct Capture {
  std::vector<unsigned char> rgb;

  bool isClear(int x, int y) const {
    const unsigned char* p = &rgb[3 * (y * kSize + x)];
    return p[0] == kClear[0] && p[1] == kClear[1] && p[2] == kClear[2];
  }
};

// Runs the program on the flight to view (with key before the capture, and the program's
// further options) and loads its capture.
Capture Fly(const View& view, const std::string& key, bool edgeFans,
            const std::string& options = "") {
  ScratchDirectory directory;
  for (const char* map : {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"})
    fs::create_symlink(fs::path(VANTRA_MAP_DIR) / map, map);
  std::ofstream("flight.txt") << FlightScript(view, key);
  const std::string command =
      std::string(edgeFans ? "" : "VANTRA_NO_EDGE_FANS=1 ") + "'" + VANTRA_TEST_PROGRAM +
      "' --headless --frames 300 --size " + std::to_string(kSize) + "x" + std::to_string(kSize) +
      " --script flight.txt --data-dir . " + options + " > program.log 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Capture capture;
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load("screen-capture.bmp", &width, &height, &channels, 3);
  if (pixels == nullptr || width != kSize || height != kSize) {
    ADD_FAILURE() << "no capture of " << kSize << " x " << kSize;
  } else {
    capture.rgb.assign(pixels, pixels + 3 * kSize * kSize);
  }
  stbi_image_free(pixels);
  return capture;
}

// Pixels of the clear colour between terrain pixels in the same column. Looking down from
// above, every column of the picture crosses the terrain in one unbroken run, so the clear
// colour inside that run can only come from a gap.
int CountGapPixels(const Capture& capture, int* terrainPixels) {
  *terrainPixels = 0;
  if (capture.rgb.empty()) return -1;
  int gaps = 0;
  for (int x = 0; x < kSize; ++x) {
    int top = -1, bottom = -1;
    for (int y = kFirstRow; y < kSize; ++y) {
      if (capture.isClear(x, y)) continue;
      if (top < 0) top = y;
      bottom = y;
    }
    if (top < 0) continue;
    for (int y = top; y <= bottom; ++y) {
      if (capture.isClear(x, y))
        ++gaps;
      else
        ++*terrainPixels;
    }
  }
  return gaps;
}

// Mean of the red, green and blue values of the terrain's pixels below the text.
double TerrainBrightness(const Capture& capture) {
  double sum = 0.0;
  int count = 0;
  for (int y = kFirstRow; y < static_cast<int>(capture.rgb.size() / 3 / kSize); ++y)
    for (int x = 0; x < kSize; ++x) {
      if (capture.isClear(x, y)) continue;
      const unsigned char* p = &capture.rgb[3 * (y * kSize + x)];
      sum += (p[0] + p[1] + p[2]) / 3.0;
      ++count;
    }
  return count > 0 ? sum / count : 0.0;
}

class CrackFreeRenderTest : public ::testing::TestWithParam<View> {
 protected:
  // Runs the program on the view and returns the gap pixels of its capture.
  int gapsInView(bool edgeFans) {
    int terrain = 0;
    const int gaps = CountGapPixels(Fly(GetParam(), "", edgeFans), &terrain);
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
                         ::testing::Values(View{-700, 500, 0, 35}, View{-600, 650, -250, 45},
                                           View{-850, 400, 250, 30}, View{-500, 800, 150, 55},
                                           View{-750, 600, -150, 40}),
                         [](const ::testing::TestParamInfo<View>& info) {
                           return "LookingDown" + std::to_string(info.param.pitch) + "Degrees";
                         });

// One frame of T turns stage 0 from modulating to doubled modulation; one frame of D turns
// stage 1 from doubling the detail map to adding it smoothly. Both brighten the terrain.
TEST(TerrainTextureKeys, TAndDChangeTheColourOperations) {
  const View view{-700, 500, 0, 35};
  const double plain = TerrainBrightness(Fly(view, "", true));
  const double doubled = TerrainBrightness(Fly(view, "T", true));
  const double smooth = TerrainBrightness(Fly(view, "D", true));
  ASSERT_GT(plain, 10.0) << "the terrain should be visible";
  EXPECT_GT(doubled, plain * 1.3) << "stage 0 doubles its product after T";
  EXPECT_GT(smooth, plain * 1.3) << "stage 1 adds the detail smoothly after D";
}

// One frame of S highlights the edge fans: some pixels change colour, all of them on the
// fans between leaves of different levels, so the rest of the picture stays as it was.
TEST(TerrainTextureKeys, SHighlightsTheEdgeFans) {
  const View view{-700, 500, 0, 35};
  const Capture plain = Fly(view, "", true);
  const Capture highlighted = Fly(view, "S", true);
  ASSERT_EQ(plain.rgb.size(), highlighted.rgb.size());
  // Below the statistics text, whose figures differ from run to run.
  int changed = 0;
  for (std::size_t i = 3 * kFirstRow * kSize; i < plain.rgb.size(); i += 3)
    if (plain.rgb[i] != highlighted.rgb[i] || plain.rgb[i + 1] != highlighted.rgb[i + 1] ||
        plain.rgb[i + 2] != highlighted.rgb[i + 2])
      ++changed;
  EXPECT_GT(changed, 0) << "the fans take the highlight colour";
  EXPECT_LT(changed, kSize * kSize / 10) << "only the fans change";
}

// A smaller tolerance gives a picture closer to full detail, and any tolerance one closer
// than the distance rule's, whose coarse leaves err by tens of pixels from high above:
// counted are the pixels that differ from the full-detail picture by more than 16 levels.
// At 4 px at most 4 % of them may, which holds only with the textures read through their
// mip chains: unfiltered, the colour map's texel-sized grain turns every sub-pixel move into
// a different pixel. Lighting goes off again before the capture (L), as the program starts:
// lit by vertex, coarse triangles also shade differently, which the geometric error does
// not bound.
TEST(TerrainPixelErrorPicture, SmallerTolerancesComeCloserToFullDetail) {
  const View view{-850, 400, 250, 30};
  const Capture full = Fly(view, "L", true, "--lod-error 0");
  auto differing = [&full](const Capture& other) {
    EXPECT_EQ(full.rgb.size(), other.rgb.size());
    int count = 0;
    for (std::size_t i = 3 * kFirstRow * kSize; i + 2 < std::min(full.rgb.size(), other.rgb.size());
         i += 3)
      for (int c = 0; c < 3; ++c)
        if (std::abs(full.rgb[i + c] - other.rgb[i + c]) > 16) {
          ++count;
          break;
        }
    return count;
  };
  const int two = differing(Fly(view, "L", true, "--lod-error 2"));
  const int four = differing(Fly(view, "L", true, "--lod-error 4"));
  const int distance = differing(Fly(view, "L", true));
  EXPECT_GT(distance, kSize * (kSize - kFirstRow) / 10) << "the view should show coarse leaves";
  EXPECT_LE(four, kSize * (kSize - kFirstRow) * 4 / 100);
  EXPECT_LT(four, distance);
  EXPECT_LE(two, distance / 2);
  EXPECT_LT(two, four);
}

}  // namespace

}  // namespace vantra::terrain
