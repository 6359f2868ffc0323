// Lighting and texturing where the transforms are not the identity: lights given in world
// space under a turned and moved camera, normals under a scaled world matrix, and a second
// texture stage with coordinates of its own that mirror at every repeat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render_target.h"
#include "vantra/matrix.h"
#include "vantra/vector.h"

namespace vantra::platform {

namespace {

using vantra::Matrix;
using vantra::Vector;

constexpr float kPi = 3.14159265f;

Matrix Translation(const Vector& t) {
  Matrix m;
  m.translate(t);
  return m;
}

Matrix TurnAboutY(float degrees) {
  Matrix m;
  m.rotateY(degrees * kPi / 180.0f);
  return m;
}

// A camera at (10, 2, -3) looking along +X, with the identity projection: view space is
// clip space, so what lies 0.5 ahead of the camera on its axis is the centre pixel. A quad
// is scaled, turned 120 degrees about Y (30 more than the camera, so that its normal and
// the light both change between world and view space) and placed on that axis.
TEST(LightingTransforms, DirectionalLightUnderWorldAndViewTransforms) {
  RenderTarget target(16, 16);
  IDirect3DDevice9* device = target.device();
  const Vector eye(10, 2, -3);
  const Matrix cameraTurn = TurnAboutY(90);
  Matrix view = cameraTurn * Translation(eye);
  view.inverse();
  Matrix identity;
  identity.makeIdentity();
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &identity);
  device->SetRenderState(D3DRS_LIGHTING, 1);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
  D3DMATERIAL9 material{};
  material.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
  material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
  device->SetMaterial(&material);
  // Pointing down and along +X, four units long: lights need no unit direction. The way
  // towards the light is (-0.5, sqrt(3) / 2, 0).
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Direction = {2.0f, -2.0f * std::sqrt(3.0f), 0.0f};
  ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
  ASSERT_EQ(device->LightEnable(0, 1), D3D_OK);
  const Vector toLight(-0.5f, std::sqrt(3.0f) / 2, 0.0f);
  const Matrix quadTurn = TurnAboutY(120);

  struct Case {
    Vector scale;
    Vector normal;  // in object space
    bool normalizeNormals;
    const char* why;
  };
  const float r = 1 / std::sqrt(2.0f);
  const Case cases[] = {
      {Vector(1, 1, 1), Vector(0, 0, -1), false, "unscaled: the light turned into view space"},
      {Vector(2, 2, 2), Vector(0, 0, -1), false,
       "doubled: the normal, carried by the inverse transpose, is half as long"},
      {Vector(2, 2, 2), Vector(0, 0, -1), true, "doubled, normals normalised"},
      {Vector(2, 1, 1), Vector(-r, 0, -r), true,
       "stretched along x: the normal tilts away from x, normalised"},
  };
  for (const Case& c : cases) {
    Matrix scale;
    scale.scale(c.scale.x, c.scale.y, c.scale.z);
    const Matrix world = scale * quadTurn * Translation(eye + Vector(0.5f, 0, 0));
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, c.normalizeNormals ? 1 : 0);
    const float hx = 0.5f / c.scale.x, hy = 1.5f / c.scale.y;
    const float quad[4][6] = {{-hx, -hy, 0, c.normal.x, c.normal.y, c.normal.z},
                              {-hx, hy, 0, c.normal.x, c.normal.y, c.normal.z},
                              {hx, -hy, 0, c.normal.x, c.normal.y, c.normal.z},
                              {hx, hy, 0, c.normal.x, c.normal.y, c.normal.z}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
    const std::vector<std::uint32_t> pixels = target.presentAndCapture();
    ASSERT_EQ(pixels.size(), 16u * 16u);
    const std::uint32_t pixel = pixels[8 * 16 + 8];

    // The world-space normal: scaled by the inverse of the scale, then turned with the quad.
    Vector normal(c.normal.x / c.scale.x, c.normal.y / c.scale.y, c.normal.z / c.scale.z);
    normal.transform(quadTurn);
    if (c.normalizeNormals) normal.normalize();
    const float lambert = std::max(0.0f, normal % toLight);
    const float* diffuse = &material.Diffuse.r;
    const int channels[3] = {RenderTarget::Red(pixel), RenderTarget::Green(pixel),
                             RenderTarget::Blue(pixel)};
    for (int i = 0; i < 3; ++i) {
      const float expected = 0.5f * 0x20 / 255.0f + diffuse[i] * lambert;
      EXPECT_NEAR(channels[i], expected * 255.0f, 2.0f)
          << c.why << ", N.L " << lambert << ", channel " << i;
    }
  }
}

// The texel of a 2-texel-wide texture that point sampling takes at coordinate t; mirror
// addressing reflects every other repeat, so 1.25 reads like 0.75.
int TexelAt(float t, bool mirror) {
  float f = t - 2.0f * std::floor(t / 2.0f);
  if (f >= 1.0f) f = mirror ? 2.0f - f : f - 1.0f;
  return std::min(1, static_cast<int>(f * 2.0f));
}

float Channel(std::uint32_t rgb, int i) { return ((rgb >> (16 - 8 * i)) & 0xFF) / 255.0f; }

// The terrain's texture set-up: stage 0 modulates its texture (coordinates 0..1 over the
// target) by the vertex colour, stage 1 doubles the product with its own texture, which it
// reads through the second coordinate set (0..2 over the target) with mirror addressing.
TEST(LightingTransforms, StageOneReadsItsOwnCoordinatesWithMirrorAddressing) {
  RenderTarget target(16, 16);
  IDirect3DDevice9* device = target.device();
  Matrix identity;
  identity.makeIdentity();
  device->SetTransform(D3DTS_WORLD, &identity);
  device->SetTransform(D3DTS_VIEW, &identity);
  device->SetTransform(D3DTS_PROJECTION, &identity);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  const std::uint32_t colours[2][2] = {{0x402010, 0x204060}, {0x604020, 0x306030}};
  const std::uint32_t details[2][2] = {{0xC08040, 0x40C080}, {0x8040C0, 0xA0A0A0}};
  const ComRef<IDirect3DTexture9> colour = Texture2x2(device, colours);
  const ComRef<IDirect3DTexture9> detail = Texture2x2(device, details);
  ASSERT_TRUE(colour);
  ASSERT_TRUE(detail);
  for (DWORD sampler : {0u, 1u}) {
    device->SetSamplerState(sampler, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(sampler, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  }
  device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  device->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  device->SetTexture(0, colour.get());
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTexture(1, detail.get());
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);

  const D3DCOLOR white = 0xFFFFFFFF;
  const FullVertex quad[4] = {{-1, 1, 0.5f, 0, 0, -1, white, 0, 0, 0, 0},
                              {1, 1, 0.5f, 0, 0, -1, white, 1, 0, 2, 0},
                              {-1, -1, 0.5f, 0, 0, -1, white, 0, 1, 0, 2},
                              {1, -1, 0.5f, 0, 0, -1, white, 1, 1, 2, 2}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device->SetFVF(kFullFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(FullVertex));
  const std::vector<std::uint32_t> pixels = target.presentAndCapture();
  ASSERT_EQ(pixels.size(), 16u * 16u);

  // Each texel of stage 1 covers 4 x 4 pixels, of stage 0 8 x 8. Pixels next to a texel
  // edge are left out: which texel they take depends on where within the pixel it samples.
  int checked = 0;
  for (int row = 0; row < 16; ++row)
    for (int x = 0; x < 16; ++x) {
      if (x % 4 == 0 || x % 4 == 3 || row % 4 == 0 || row % 4 == 3) continue;
      const float u = (x + 0.5f) / 16, v = (row + 0.5f) / 16;
      const std::uint32_t c = colours[TexelAt(v, false)][TexelAt(u, false)];
      const std::uint32_t d = details[TexelAt(2 * v, true)][TexelAt(2 * u, true)];
      const std::uint32_t pixel = pixels[row * 16 + x];
      for (int i = 0; i < 3; ++i) {
        const float expected = std::min(1.0f, 2 * Channel(c, i) * Channel(d, i));
        EXPECT_NEAR(Channel(pixel, i) * 255.0f, expected * 255.0f, 2.0f)
            << "pixel (" << x << ", " << row << "), channel " << i;
      }
      ++checked;
    }
  EXPECT_EQ(checked, 64);
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
}

}  // namespace

}  // namespace vantra::platform
