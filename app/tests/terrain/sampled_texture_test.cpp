#include "terrain/sampled_texture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "terrain_test_support.h"

namespace vantra::terrain {

namespace {

class SampledTextureTest : public ::testing::Test {
 protected:
  // Grey level of texel (row, column) of the 8 x 8 test image.
  static int Level(int row, int column) { return 16 * row + 2 * column + 10; }

  void SetUp() override {
    WriteGreyBitmap("grid.bmp", 8, 8, Level);
    texture = std::make_unique<SampledTexture>(device.device(), "grid.bmp");
  }

  ScratchDirectory directory;
  platform::RenderTarget device{64, 64};
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
  const ULONG before = device.deviceReferences();
  WriteBitmap("sixteen.bmp", 4, 4, 16, [](int, int) { return 0x808080u; });
  ::testing::internal::CaptureStderr();
  try {
    SampledTexture rejected(device.device(), "sixteen.bmp");
    FAIL() << "a 16-bit bitmap was accepted";
  } catch (std::int32_t code) {
    EXPECT_EQ(code, E_FAIL);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "sixteen.bmp: 16-bit 5-5-5 pixels cannot be sampled; the terrain needs 24 or 32 bits\n")
      << "a refusal says why";
  try {
    SampledTexture missing(device.device(), "missing.bmp");
    FAIL() << "a missing file was accepted";
  } catch (std::int32_t code) {
    EXPECT_LT(code, 0);
  }
  EXPECT_EQ(device.deviceReferences(), before);
}

TEST_F(SampledTextureTest, HoldsOneDeviceReference) {
  const ULONG with = device.deviceReferences();
  texture.reset();
  EXPECT_EQ(device.deviceReferences(), with - 1);
}

// Ramps along one side of maps that are not square: every sample follows the ramp over the
// whole range, with no plateau where the other side's size would run the index past the
// last texel.
TEST(SampledTextureShape, NonSquareMapsStretchOverTheWholeRange) {
  ScratchDirectory directory;
  platform::RenderTarget device{64, 64};
  struct Case {
    int width, height;
    bool alongRows;
    const char* why;
  };
  const Case cases[] = {{16, 8, true, "rows of a wide map, read along u"},
                        {16, 8, false, "columns of a wide map, read along v"},
                        {8, 16, true, "rows of a tall map, read along u"},
                        {8, 16, false, "columns of a tall map, read along v"}};
  for (const Case& c : cases) {
    WriteGreyBitmap("ramp.bmp", c.width, c.height,
                    [&](int row, int column) { return 10 + 14 * (c.alongRows ? row : column); });
    const SampledTexture texture(device.device(), "ramp.bmp");
    const int steps = c.alongRows ? c.height : c.width;
    for (int i = 0; i <= 64; ++i) {
      const float t = i / 64.0f;
      // Past the last texel centre the reads stay on the last texel.
      const float position = std::min(t * steps, steps - 1.0f);
      const float sampled = c.alongRows ? texture.sample(t, 0.3f) : texture.sample(0.3f, t);
      EXPECT_NEAR(sampled, (10.0f + 14.0f * position) / 255.0f, 1e-5f) << c.why << " at " << t;
    }
  }
}

// The fourth byte of a 32-bit texel carries no height: with it 0 or 255, a 32-bit map reads
// exactly as the same picture saved with 24 bits, full 24-bit heights included.
TEST(SampledTextureDepth, ThirtyTwoBitMapsReadLikeTwentyFourBit) {
  ScratchDirectory directory;
  platform::RenderTarget device{64, 64};
  const auto height = [](int row, int column) {
    return (static_cast<std::uint32_t>(row * 8 + column) * 2654435761u) & 0x00FFFFFFu;
  };
  WriteBitmap("height24.bmp", 8, 8, 24, height);
  const SampledTexture reference(device.device(), "height24.bmp");
  for (const std::uint32_t fourth : {0x00u, 0xFFu}) {
    WriteBitmap("height32.bmp", 8, 8, 32,
                [&](int row, int column) { return fourth << 24 | height(row, column); });
    const SampledTexture texture(device.device(), "height32.bmp");
    ASSERT_EQ(texture.format(), D3DFMT_A8R8G8B8) << "the fourth byte must reach the texel";
    EXPECT_EQ(texture.texel(2, 3) >> 24, fourth);
    for (int i = 0; i <= 32; ++i)
      for (int j = 0; j <= 32; ++j) {
        const float u = i / 32.0f, v = j / 32.0f;
        const float sampled = texture.sample(u, v);
        EXPECT_EQ(sampled, reference.sample(u, v))
            << "fourth byte " << fourth << " at " << u << ", " << v;
        EXPECT_LE(sampled, 1.0f);
      }
  }
}

}  // namespace

}  // namespace vantra::terrain
