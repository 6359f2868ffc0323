// The height map that the build generates, read the way the terrain reads it: every grid
// vertex gets the generator's height, with 24-bit precision and no flat steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "height_field.h"
#include "render_target.h"
#include "terrain/sampled_texture.h"

namespace vantra::terrain {

namespace {

constexpr int kGridVertices = 513;
constexpr float kWordScale = 16777215.0f;

class GeneratedHeightMap : public ::testing::Test {
 protected:
  platform::RenderTarget device{64, 64};
  SampledTexture map{device.device(), VANTRA_MAP_DIR "/heightMap.bmp"};
  HeightField field{VANTRA_MAP_SEED};
};

// A vertex at grid column gx reads u = gx / 512 and the sampler reads at width x u: on a
// 512-wide map that is texel gx itself, so the bilinear blend gives the generated word back.
TEST_F(GeneratedHeightMap, EveryVertexReadsTheGeneratedHeight) {
  ASSERT_EQ(map.width(), 512u);
  ASSERT_EQ(map.height(), 512u);
  int worst = 0;
  for (int gx = 0; gx < kGridVertices; ++gx)
    for (int gz = 0; gz < kGridVertices; ++gz) {
      const float u = gx / float(kGridVertices - 1);
      const float v = gz / float(kGridVertices - 1);
      // The last vertex of a row or column reads the last texel again.
      const int texelX = std::min(gx, HeightField::kSize - 1);
      const int texelZ = std::min(gz, HeightField::kSize - 1);
      const long read = std::lround(map.sample(u, v) * kWordScale);
      const long difference = std::labs(read - long(field.word(texelX, texelZ)));
      worst = std::max(worst, int(difference));
      ASSERT_LE(difference, 4) << "vertex " << gx << "," << gz;
    }
  std::printf("largest difference from the generated word: %d\n", worst);
}

TEST_F(GeneratedHeightMap, HeightsAreFineGrainedWithoutFlatSteps) {
  std::set<std::uint32_t> distinct;
  long equalNeighbours = 0;
  long pairs = 0;
  // texel(row, column): a bitmap row runs along the image's width.
  for (int row = 0; row < HeightField::kSize; ++row) {
    std::uint32_t previous = map.texel(row, 0);
    distinct.insert(previous);
    for (int column = 1; column < HeightField::kSize; ++column) {
      const std::uint32_t word = map.texel(row, column);
      EXPECT_LE(word, 0xFFFFFFu) << "heights use the 24 colour bits only";
      distinct.insert(word);
      equalNeighbours += word == previous;
      ++pairs;
      previous = word;
    }
  }
  const double equalShare = double(equalNeighbours) / double(pairs);
  std::printf("distinct heights %zu, horizontally adjacent texels equal %.3f %%\n", distinct.size(),
              100.0 * equalShare);
  EXPECT_GE(distinct.size(), 20000u);
  EXPECT_LT(equalShare, 0.01);
}

// The camera starts 0.2 units above the centre vertex: the floor around it is at 0, and
// the land rises out of it.
TEST_F(GeneratedHeightMap, TheCentreLiesOnAFlatValleyFloor) {
  const int centre = HeightField::kCentre;
  for (int dx = -4; dx <= 4; ++dx)
    for (int dz = -4; dz <= 4; ++dz)
      EXPECT_EQ(map.texel(centre + dx, centre + dz), 0u) << dx << "," << dz;
  EXPECT_GT(map.sample(centre / 512.0f, (centre - 60) / 512.0f), 0.0f) << "ahead";
  EXPECT_GT(map.sample((centre + 60) / 512.0f, centre / 512.0f), 0.02f) << "to the side";
}

// From the start pose the valley's sides rise into hills within a few kilometres: over 1 km
// (height 0.04) within 10 texels, 8 km, to either side of the first 20 rows ahead.
TEST_F(GeneratedHeightMap, HillsRiseWithinAFewKilometresOnBothSides) {
  const int centre = HeightField::kCentre;
  for (const int side : {-1, 1}) {
    std::uint32_t highest = 0;
    for (int across = 1; across <= 10; ++across)
      for (int ahead = 0; ahead < 20; ++ahead)
        highest = std::max(highest, map.texel(centre + side * across, centre - ahead));
    EXPECT_GT(highest / kWordScale, 0.04f) << (side < 0 ? "left" : "right");
  }
}

}  // namespace

}  // namespace vantra::terrain
