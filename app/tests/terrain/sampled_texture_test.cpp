#include "terrain/sampled_texture.h"

#include <gtest/gtest.h>

#include "terrain_test_support.h"

namespace {

class SampledTextureTest : public ::testing::Test {
 protected:
  // Grey level of texel (row, column) of the 8 x 8 test image.
  static int Level(int row, int column) { return 16 * row + 2 * column + 10; }

  void SetUp() override {
    WriteGreyBitmap("grid.bmp", 8, 8, Level);
    texture = std::make_unique<SampledTexture>(device.device(), "grid.bmp");
  }

  ULONG deviceReferences() {
    device.device()->AddRef();
    return device.device()->Release();
  }

  ScratchDirectory directory;
  RenderTarget device{64, 64};
  std::unique_ptr<SampledTexture> texture;
};

TEST_F(SampledTextureTest, FixCoordinatesFoldsAndTruncates) {
  struct Case {
    float u, v, fixedU, fixedV;
    const char* why;
  };
  const Case cases[] = {
      {0.3f, 0.5f, 0.3f, 0.5f, "inside: unchanged"},
      {1.0f, 0.0f, 1.0f, 0.0f, "the bounds are inside"},
      {-0.25f, 0.5f, 0.25f, 0.5f, "negative: mirrored"},
      {1.5f, 0.5f, 1.0f, 0.5f, "above 1: integer part"},
      {2.5f, 0.5f, 2.0f, 0.5f, "above 2: integer part, not clamped"},
      {0.5f, -1.7f, 0.5f, 1.0f, "mirrored, then its integer part"},
  };
  for (const Case& c : cases) {
    float u = c.u;
    float v = c.v;
    texture->fixCoordinates(u, v);
    EXPECT_FLOAT_EQ(u, c.fixedU) << c.why;
    EXPECT_FLOAT_EQ(v, c.fixedV) << c.why;
  }
}

// u picks the row and v the column; grey k reads as k / 255 from the whole texel word.
TEST_F(SampledTextureTest, SamplesRowsFromUAndColumnsFromV) {
  EXPECT_EQ(texture->width(), 8u);
  EXPECT_EQ(texture->texel(0, 0), 65793u * Level(0, 0));
  for (int row = 0; row < 8; ++row)
    for (int column = 0; column < 8; ++column)
      EXPECT_FLOAT_EQ(texture->sample(row / 8.0f, column / 8.0f), Level(row, column) / 255.0f)
          << row << "," << column;
}

TEST_F(SampledTextureTest, BlendsTheFourNeighboursBilinearly) {
  const float expected = 0.75f * (0.5f * Level(2, 5) + 0.5f * Level(2, 6)) +
                         0.25f * (0.5f * Level(3, 5) + 0.5f * Level(3, 6));
  EXPECT_NEAR(texture->sample(2.25f / 8.0f, 5.5f / 8.0f), expected / 255.0f, 1e-6f);
}

// Coordinates of 1 scale to one past the last texel, and filtering reads one further: those
// reads take the last row and column instead of memory past the image.
TEST_F(SampledTextureTest, FarEdgesReadTheLastRowAndColumn) {
  struct Case {
    float u, v;
    int row, column;
  };
  const Case cases[] = {{1.0f, 1.0f, 7, 7},
                        {1.0f, 0.0f, 7, 0},
                        {0.0f, 1.0f, 0, 7},
                        {7.5f / 8.0f, 0.0f, 7, 0},
                        {513.0f / 512.0f, 0.0f, 7, 0}};
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(texture->sample(c.u, c.v), Level(c.row, c.column) / 255.0f)
        << c.u << "," << c.v;
  EXPECT_EQ(texture->texel(8, 9), texture->texel(7, 7));
}

TEST_F(SampledTextureTest, RejectsWhatItCannotReadAndKeepsNoDeviceReference) {
  const ULONG before = deviceReferences();
  WriteBitmap("sixteen.bmp", 4, 4, 16, [](int, int) { return 0x808080u; });
  try {
    SampledTexture rejected(device.device(), "sixteen.bmp");
    FAIL() << "a 16-bit bitmap was accepted";
  } catch (std::int32_t code) {
    EXPECT_EQ(code, E_FAIL);
  }
  try {
    SampledTexture missing(device.device(), "missing.bmp");
    FAIL() << "a missing file was accepted";
  } catch (std::int32_t code) {
    EXPECT_LT(code, 0);
  }
  EXPECT_EQ(deviceReferences(), before);
}

TEST_F(SampledTextureTest, HoldsOneDeviceReference) {
  const ULONG with = deviceReferences();
  texture.reset();
  EXPECT_EQ(deviceReferences(), with - 1);
}

}  // namespace
