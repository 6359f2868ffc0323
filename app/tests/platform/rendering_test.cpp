// Pixels the device draws, checked against what the fixed-function pipeline computes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com_ref.h"
#include "platform/d3dx9.h"
#include "render_target.h"

namespace vantra::platform {

namespace {

D3DMATRIX Identity() {
  D3DMATRIX m;
  m.makeIdentity();
  return m;
}

D3DMATRIX Perspective(float nearZ, float farZ) {
  D3DMATRIX m;
  D3DXMatrixPerspectiveFovLH(&m, 3.14159265f / 2, 1.0f, nearZ, farZ);
  return m;
}

void SetTransforms(IDirect3DDevice9* device, const D3DMATRIX& projection) {
  const D3DMATRIX identity = Identity();
  device->SetTransform(D3DTS_WORLD, &identity);
  device->SetTransform(D3DTS_VIEW, &identity);
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

// Unlit, two-sided drawing through identity world and view transforms.
void PrepareUnlit(IDirect3DDevice9* device, const D3DMATRIX& projection = Identity()) {
  SetTransforms(device, projection);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

// A quad over the whole target at depth z (identity transforms: x and y in -1..1).
void DrawScreenQuad(IDirect3DDevice9* device, D3DCOLOR colour, float z = 0.5f) {
  const ColourVertex quad[4] = {
      {-1, -1, z, colour}, {-1, 1, z, colour}, {1, -1, z, colour}, {1, 1, z, colour}};
  device->SetFVF(kColourFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex));
}

// An opaque solid-colour 2x2 texture.
ComRef<IDirect3DTexture9> SolidTexture(IDirect3DDevice9* device, std::uint32_t argb) {
  const std::uint32_t texels[2][2] = {{argb, argb}, {argb, argb}};
  return Texture2x2(device, texels);
}

std::uint32_t Centre(const std::vector<std::uint32_t>& pixels, const RenderTarget& target) {
  return pixels.at(static_cast<std::size_t>(target.height() / 2) * target.width() +
                   target.width() / 2);
}

}  // namespace

TEST(Rendering, ScreenOrientationMatchesTheViewAxes) {
  RenderTarget target(32, 32);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device, Perspective(1, 100));
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  // A red quad above the view axis and a green one to its right, 10 units ahead.
  const D3DCOLOR red = 0xFFFF0000, green = 0xFF00FF00;
  const ColourVertex above[4] = {
      {-2, 2, 10, red}, {-2, 8, 10, red}, {2, 2, 10, red}, {2, 8, 10, red}};
  const ColourVertex right[4] = {
      {2, -2, 10, green}, {2, 2, 10, green}, {8, -2, 10, green}, {8, 2, 10, green}};
  device->SetFVF(kColourFvf);
  device->BeginScene();
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, above, sizeof(ColourVertex));
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, right, sizeof(ColourVertex));
  device->EndScene();
  const auto pixels = target.presentAndCapture();
  ASSERT_EQ(pixels.size(), 32u * 32u);
  EXPECT_EQ(pixels[4 * 32 + 16], 0xFF0000u) << "upper rows show what is above the axis";
  EXPECT_EQ(pixels[28 * 32 + 16], 0u) << "lower rows stay clear";
  EXPECT_EQ(pixels[16 * 32 + 28], 0x00FF00u) << "+x is to the right";
  EXPECT_EQ(pixels[16 * 32 + 4], 0u) << "-x side stays clear";
}

TEST(Rendering, CullingRemovesTrianglesByScreenWinding) {
  RenderTarget target(16, 16);
  IDirect3DDevice9* device = target.device();
  SetTransforms(device, Identity());
  device->SetRenderState(D3DRS_LIGHTING, 0);
  const D3DCOLOR white = 0xFFFFFFFF;
  // Screen y grows upwards in view space: bottom-left, top, bottom-right turns clockwise.
  const ColourVertex clockwise[3] = {
      {-1, -1, 0.5f, white}, {0, 1, 0.5f, white}, {1, -1, 0.5f, white}};
  const ColourVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
  struct Case {
    DWORD cull;
    const ColourVertex* triangle;
    bool drawn;
    const char* why;
  };
  const Case cases[] = {
      {D3DCULL_CCW, clockwise, true, "default culling keeps clockwise triangles"},
      {D3DCULL_CCW, counter, false, "default culling removes counter-clockwise ones"},
      {D3DCULL_CW, clockwise, false, "CW culling removes clockwise triangles"},
      {D3DCULL_CW, counter, true, "CW culling keeps counter-clockwise ones"},
      {D3DCULL_NONE, counter, true, "no culling keeps both"},
  };
  DWORD initial = 0;
  device->GetRenderState(D3DRS_CULLMODE, &initial);
  EXPECT_EQ(initial, static_cast<DWORD>(D3DCULL_CCW));
  device->SetFVF(kColourFvf);
  for (const Case& c : cases) {
    device->SetRenderState(D3DRS_CULLMODE, c.cull);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.triangle, sizeof(ColourVertex));
    const auto pixels = target.presentAndCapture();
    EXPECT_EQ(Centre(pixels, target) == 0xFFFFFFu, c.drawn) << c.why;
  }
}

TEST(Rendering, LitTriangleFollowsTheLightingEquation) {
  RenderTarget target(16, 16);
  IDirect3DDevice9* device = target.device();
  SetTransforms(device, Identity());
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF282828);
  D3DMATERIAL9 material{};
  material.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
  material.Ambient = {0.3f, 0.7f, 0.5f, 1.0f};
  material.Emissive = {0.05f, 0.0f, 0.1f, 0.0f};
  device->SetMaterial(&material);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {0.9f, 0.7f, 0.5f, 0.0f};
  light.Ambient = {0.1f, 0.1f, 0.1f, 0.0f};
  // 60 degrees from the normal (0, 0, -1), so N.L = 0.5.
  light.Direction = {0.0f, -std::sqrt(3.0f) / 2, 0.5f};
  ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
  ASSERT_EQ(device->LightEnable(0, 1), D3D_OK);

  const float ga = 0x28 / 255.0f, ndl = 0.5f;
  const D3DCOLOR vertexColour = 0xFF2080C0;
  const float vc[3] = {0x20 / 255.0f, 0x80 / 255.0f, 0xC0 / 255.0f};
  const float* md = &material.Diffuse.r;
  const float* ma = &material.Ambient.r;
  const float* me = &material.Emissive.r;
  const float* ld = &light.Diffuse.r;
  struct Case {
    DWORD fvf;
    const float* diffuse;
    const char* why;
  };
  const Case cases[] = {
      {D3DFVF_XYZ | D3DFVF_NORMAL, md, "material diffuse without vertex colour"},
      {kFullFvf, vc, "vertex colour is the diffuse material (COLORVERTEX, COLOR1)"},
  };
  for (const Case& c : cases) {
    const FullVertex full[4] = {{-1, -1, 0.5f, 0, 0, -1, vertexColour, 0, 0, 0, 0},
                                {-1, 1, 0.5f, 0, 0, -1, vertexColour, 0, 0, 0, 0},
                                {1, -1, 0.5f, 0, 0, -1, vertexColour, 0, 0, 0, 0},
                                {1, 1, 0.5f, 0, 0, -1, vertexColour, 0, 0, 0, 0}};
    const float normalOnly[4][6] = {{-1, -1, 0.5f, 0, 0, -1},
                                    {-1, 1, 0.5f, 0, 0, -1},
                                    {1, -1, 0.5f, 0, 0, -1},
                                    {1, 1, 0.5f, 0, 0, -1}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetFVF(c.fvf);
    if (c.fvf == kFullFvf)
      device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, full, sizeof(FullVertex));
    else
      device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, normalOnly, sizeof normalOnly[0]);
    const std::uint32_t pixel = Centre(target.presentAndCapture(), target);
    const int channels[3] = {RenderTarget::Red(pixel), RenderTarget::Green(pixel),
                             RenderTarget::Blue(pixel)};
    for (int i = 0; i < 3; ++i) {
      const float expected =
          std::min(1.0f, me[i] + ma[i] * (ga + 0.1f) + c.diffuse[i] * ld[i] * ndl);
      EXPECT_NEAR(channels[i], expected * 255.0f, 2.0f) << c.why << ", channel " << i;
    }
  }
}

TEST(Rendering, VertexColourShowsWithLightingOff) {
  RenderTarget target(16, 16);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawScreenQuad(device, 0xFF3366CC);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x3366CCu);
  // Without a vertex colour the unlit colour is white.
  const float positions[4][3] = {{-1, -1, 0.5f}, {-1, 1, 0.5f}, {1, -1, 0.5f}, {1, 1, 0.5f}};
  device->SetFVF(D3DFVF_XYZ);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, positions, sizeof positions[0]);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0xFFFFFFu);
}

TEST(Rendering, TextureStagesCombineLikeTheFixedPipeline) {
  RenderTarget target(8, 8);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device);
  const ComRef<IDirect3DTexture9> first = SolidTexture(device, 0xFF4080C0);
  const ComRef<IDirect3DTexture9> second = SolidTexture(device, 0xFF806040);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  const D3DCOLOR diffuse = 0xFF60A020;
  const float t0[3] = {0x40 / 255.f, 0x80 / 255.f, 0xC0 / 255.f};
  const float t1[3] = {0x80 / 255.f, 0x60 / 255.f, 0x40 / 255.f};
  const float d[3] = {0x60 / 255.f, 0xA0 / 255.f, 0x20 / 255.f};
  auto apply = [](DWORD op, float a, float b) {
    switch (op) {
      case D3DTOP_MODULATE:
        return a * b;
      case D3DTOP_MODULATE2X:
        return std::min(1.0f, 2 * a * b);
      case D3DTOP_ADDSMOOTH:
        return std::min(1.0f, a + b - a * b);
      case D3DTOP_SELECTARG1:
        return a;
      default:
        return b;
    }
  };
  struct Case {
    DWORD op0, arg01, arg02, op1, arg11, arg12;
    bool secondTexture;
    const char* why;
  };
  const Case cases[] = {
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, 0, true,
       "modulate, stage 1 off"},
      {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_DISABLE, 0, 0, true, "modulate 2x"},
      {D3DTOP_ADDSMOOTH, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, 0, 0, true,
       "add smooth, current is diffuse in stage 0"},
      {D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE,
       true, "disabled stage 0 ends the cascade"},
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE,
       true, "stage 1 modulate"},
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE2X, D3DTA_CURRENT,
       D3DTA_TEXTURE, true, "stage 1 modulate 2x (the terrain)"},
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_ADDSMOOTH, D3DTA_CURRENT,
       D3DTA_TEXTURE, true, "stage 1 add smooth"},
      {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_DIFFUSE,
       D3DTA_TEXTURE, true, "stage 1 diffuse argument"},
      {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE,
       false, "a stage without texture reads white"},
  };
  for (const Case& c : cases) {
    device->SetTexture(0, first.get());
    device->SetTexture(1, c.secondTexture ? second.get() : nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, c.op0);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg01);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg02);
    device->SetTextureStageState(1, D3DTSS_COLOROP, c.op1);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, c.arg11);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, c.arg12);
    const FullVertex quad[4] = {{-1, -1, 0.5f, 0, 0, -1, diffuse, 0, 1, 0, 1},
                                {-1, 1, 0.5f, 0, 0, -1, diffuse, 0, 0, 0, 0},
                                {1, -1, 0.5f, 0, 0, -1, diffuse, 1, 1, 1, 1},
                                {1, 1, 0.5f, 0, 0, -1, diffuse, 1, 0, 1, 0}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->SetFVF(kFullFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(FullVertex));
    const std::uint32_t pixel = Centre(target.presentAndCapture(), target);
    const int channels[3] = {RenderTarget::Red(pixel), RenderTarget::Green(pixel),
                             RenderTarget::Blue(pixel)};
    for (int i = 0; i < 3; ++i) {
      auto value = [&](DWORD arg, float current, const float* texture) {
        return arg == D3DTA_TEXTURE ? texture[i] : arg == D3DTA_DIFFUSE ? d[i] : current;
      };
      float current = d[i];
      if (c.op0 != D3DTOP_DISABLE) {
        current = apply(c.op0, value(c.arg01, current, t0), value(c.arg02, current, t0));
        const float white[3] = {1, 1, 1};
        const float* texture = c.secondTexture ? t1 : white;
        if (c.op1 != D3DTOP_DISABLE)
          current =
              apply(c.op1, value(c.arg11, current, texture), value(c.arg12, current, texture));
      }
      EXPECT_NEAR(channels[i], current * 255.0f, 2.0f) << c.why << ", channel " << i;
    }
  }
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
}

TEST(Rendering, WireframeDrawsOnlyTheEdges) {
  RenderTarget target(32, 32);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device);
  const ColourVertex triangle[3] = {{-0.9f, -0.9f, 0.5f, 0xFFFFFFFF},
                                    {0, 0.9f, 0.5f, 0xFFFFFFFF},
                                    {0.9f, -0.9f, 0.5f, 0xFFFFFFFF}};
  auto litPixels = [&](DWORD fill, bool* centreLit) {
    device->SetRenderState(D3DRS_FILLMODE, fill);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->SetFVF(kColourFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(ColourVertex));
    const auto pixels = target.presentAndCapture();
    *centreLit = Centre(pixels, target) != 0;
    return std::count(pixels.begin(), pixels.end(), 0xFFFFFFu);
  };
  bool solidCentre = false, wireCentre = true;
  const auto solid = litPixels(D3DFILL_SOLID, &solidCentre);
  const auto wire = litPixels(D3DFILL_WIREFRAME, &wireCentre);
  EXPECT_TRUE(solidCentre);
  EXPECT_FALSE(wireCentre) << "the inside of a wireframe triangle stays clear";
  EXPECT_GT(wire, 30) << "the three edges are drawn";
  EXPECT_LT(wire * 2, solid);
}

TEST(Rendering, DepthOrderHoldsFromNearToFar) {
  struct Case {
    float nearZ;
    float farZ;
    DWORD zEnable;
    const char* why;
  };
  const Case cases[] = {
      {400000.0f, 400001.0f, D3DZB_TRUE, "1 unit apart at 400000, float z"},
      {400000.0f, 400001.0f, D3DZB_USEW, "1 unit apart at 400000, w-buffer"},
      {2.0f, 3.0f, D3DZB_TRUE, "2 and 3 units, float z"},
      {2.0f, 3.0f, D3DZB_USEW, "2 and 3 units, w-buffer"},
  };
  RenderTarget target(32, 32);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device, Perspective(1.0f, 800000.0f));
  device->SetFVF(kColourFvf);
  // Tilted quads: depth varies across the screen as on terrain seen at an angle.
  auto quad = [&](float z, D3DCOLOR colour) {
    const float s = z * 2.0f, tilt = z * 0.3f;  // parallel planes, 1 unit apart along z
    const ColourVertex v[4] = {{-s, -s, z - tilt, colour},
                               {-s, s, z + tilt, colour},
                               {s, -s, z - tilt, colour},
                               {s, s, z + tilt, colour}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex));
  };
  for (const Case& c : cases) {
    device->SetRenderState(D3DRS_ZENABLE, c.zEnable);
    for (bool nearFirst : {false, true}) {
      device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
      if (nearFirst) quad(c.nearZ, 0xFF00FF00);
      quad(c.farZ, 0xFFFF0000);
      if (!nearFirst) quad(c.nearZ, 0xFF00FF00);
      const auto pixels = target.presentAndCapture();
      const auto nearPixels = std::count(pixels.begin(), pixels.end(), 0x00FF00u);
      EXPECT_EQ(nearPixels, static_cast<long>(pixels.size()))
          << c.why << (nearFirst ? ", near drawn first" : ", far drawn first");
    }
  }
}

TEST(Rendering, TextBlendsOverTheSceneAndLeavesStateAlone) {
  RenderTarget target(128, 32);
  IDirect3DDevice9* device = target.device();
  D3DXFONT_DESCA description{
      16,       0, FW_BOLD, 1, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH,
      "verdana"};
  ComRef<ID3DXFont> font;
  ASSERT_EQ(D3DXCreateFontIndirect(device, &description, font.out()), D3D_OK);
  PrepareUnlit(device);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
  device->BeginScene();
  RECT box{10, 8, 128, 28};
  const INT height =
      font->DrawText(nullptr, "Frame 16.7 ms", -1, &box, DT_SINGLELINE | DT_NOCLIP, 0x960A0A0A);
  device->EndScene();
  const auto pixels = target.presentAndCapture();
  EXPECT_GE(height, 14);
  EXPECT_LE(height, 22);
  int darkest = 255, touchedOutside = 0;
  for (int row = 0; row < 32; ++row)
    for (int x = 0; x < 128; ++x) {
      const int red = RenderTarget::Red(pixels[row * 128 + x]);
      if (x >= 8 && row >= 6 && row < 30)
        darkest = std::min(darkest, red);
      else if (red != 255)
        ++touchedOutside;
    }
  // Alpha 150 over white: 255 - 150 / 255 * (255 - 10) at full coverage.
  EXPECT_NEAR(darkest, 255 - 150.0 / 255 * 245, 3) << "text is dark grey and partly transparent";
  EXPECT_EQ(touchedOutside, 0);

  DWORD blend = 1;
  device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
  EXPECT_EQ(blend, 0u);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  DrawScreenQuad(device, 0x40102030);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x102030u)
      << "the scene draws unblended again after the text";
}

TEST(Rendering, CaptureSavedAsBitmapLoadsBackIdentical) {
  RenderTarget target(48, 32);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
  const ColourVertex triangle[3] = {
      {-1, -1, 0.5f, 0xFFFF0000}, {-1, 1, 0.5f, 0xFF00FF00}, {1, 1, 0.5f, 0xFF0000FF}};
  device->SetFVF(kColourFvf);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(ColourVertex));
  ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  D3DDISPLAYMODE mode{};
  ASSERT_EQ(device->GetDisplayMode(0, &mode), D3D_OK);
  EXPECT_EQ(mode.Width, 48u);
  EXPECT_EQ(mode.Height, 32u);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  ComRef<IDirect3DSurface9> surface;
  ASSERT_EQ(device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                                D3DPOOL_SYSTEMMEM, surface.out(), nullptr),
            D3D_OK);
  ASSERT_EQ(device->GetFrontBufferData(0, surface.get()), D3D_OK);
  const std::string path = ::testing::TempDir() + "platform-capture.bmp";
  ASSERT_EQ(D3DXSaveSurfaceToFile(path.c_str(), D3DXIFF_BMP, surface.get(), nullptr, nullptr),
            D3D_OK);
  ComRef<IDirect3DTexture9> loaded;
  ASSERT_EQ(D3DXCreateTextureFromFileA(device, path.c_str(), loaded.out()), D3D_OK);

  D3DLOCKED_RECT saved{}, read{};
  ASSERT_EQ(surface->LockRect(&saved, nullptr, D3DLOCK_READONLY), D3D_OK);
  ASSERT_EQ(loaded->LockRect(0, &read, nullptr, D3DLOCK_READONLY), D3D_OK);
  int different = 0;
  for (UINT row = 0; row < mode.Height; ++row)
    for (UINT x = 0; x < mode.Width; ++x) {
      const auto word = [&](const D3DLOCKED_RECT& r) {
        return reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(r.pBits) +
                                                      row * r.Pitch)[x] &
               0xFFFFFF;
      };
      different += word(saved) != word(read);
    }
  EXPECT_EQ(different, 0);
  // The top-left corner is inside the triangle, the bottom-right one is background.
  EXPECT_NE(static_cast<const std::uint32_t*>(saved.pBits)[0] & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(saved.pBits) +
                                                   31 * saved.Pitch)[47] &
                0xFFFFFF,
            0x102030u);
  surface->UnlockRect();
  loaded->UnlockRect(0);
  std::remove(path.c_str());
}

// The front buffer after each present, for the effects that flip and for the one that
// copies; drawing after a present never reaches the captured image.
TEST(Presenting, CaptureShowsTheLastPresentedFrame) {
  for (const D3DSWAPEFFECT effect :
       {D3DSWAPEFFECT_FLIP, D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
    RenderTarget target(16, 16, D3DFMT_D32F_LOCKABLE, effect);
    IDirect3DDevice9* device = target.device();
    PrepareUnlit(device);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x102030u) << "effect " << effect;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF405060, 1.0f, 0);
    EXPECT_EQ(Centre(target.capture(), target), 0x102030u)
        << "a clear after the present, effect " << effect;
    EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x405060u) << "effect " << effect;
    // The third frame, drawn with depth into the buffer that showed the first one.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF708090, 1.0f, 0);
    DrawScreenQuad(device, 0xFF00FF00, 0.2f);
    DrawScreenQuad(device, 0xFFFF0000, 0.8f);
    EXPECT_EQ(Centre(target.capture(), target), 0x405060u) << "effect " << effect;
    EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x00FF00u)
        << "the nearer quad wins after the flips, effect " << effect;
  }
}

TEST(Presenting, CopyKeepsTheBackBuffer) {
  RenderTarget target(16, 16, D3DFMT_D32F_LOCKABLE, D3DSWAPEFFECT_COPY);
  IDirect3DDevice9* device = target.device();
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
  target.presentAndCapture();
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x102030u)
      << "nothing drawn since the last present";
  const D3DRECT left{0, 0, 8, 16};
  device->Clear(1, &left, D3DCLEAR_TARGET, 0xFF405060, 1.0f, 0);
  const std::vector<std::uint32_t> pixels = target.presentAndCapture();
  EXPECT_EQ(pixels.at(8 * 16 + 2), 0x405060u);
  EXPECT_EQ(pixels.at(8 * 16 + 13), 0x102030u) << "the part not cleared keeps the old frame";
}

// The device skips binding again what it bound last; objects made after others were
// released (and given their OpenGL names) must still draw with their own contents.
TEST(Rendering, DrawsWithObjectsMadeAfterOthersWereReleased) {
  RenderTarget target(8, 8);
  IDirect3DDevice9* device = target.device();
  PrepareUnlit(device);

  ComRef<IDirect3DTexture9> first = SolidTexture(device, 0xFFFF0000);
  device->SetTexture(0, first.get());
  DrawScreenQuad(device, 0xFFFFFFFF);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0xFF0000u);
  device->SetTexture(0, nullptr);
  first.reset();
  const ComRef<IDirect3DTexture9> second = SolidTexture(device, 0xFF00FF00);
  device->SetTexture(0, second.get());
  DrawScreenQuad(device, 0xFFFFFFFF);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x00FF00u) << "a new texture";
  // Refilled while set: the new texels show, and stage 1's texture stays bound.
  const ComRef<IDirect3DTexture9> detail = SolidTexture(device, 0xFF80FF80);
  device->SetTexture(1, detail.get());
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  DrawScreenQuad(device, 0xFFFFFFFF);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x00FF00u);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(second->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (int row = 0; row < 2; ++row)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + row * locked.Pitch)[x] =
          0xFF0000FF;
  second->UnlockRect(0);
  DrawScreenQuad(device, 0xFFFFFFFF);
  const std::uint32_t refilled = Centre(target.presentAndCapture(), target);
  EXPECT_EQ(refilled & 0xFFFF00, 0u) << "refilled texture";
  EXPECT_NEAR(RenderTarget::Blue(refilled), 0x80, 1) << "blue times the detail's 0x80";
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);

  // Buffers: a quad from one pair of buffers, then from a new pair after the first went.
  auto drawQuad = [&](D3DCOLOR colour) {
    ComRef<IDirect3DVertexBuffer9> vertices;
    ComRef<IDirect3DIndexBuffer9> indices;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_MANAGED,
                                         vertices.out(), nullptr),
              D3D_OK);
    ASSERT_EQ(
        device->CreateIndexBuffer(8, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, indices.out(), nullptr),
        D3D_OK);
    void* data = nullptr;
    const ColourVertex quad[4] = {
        {-1, -1, 0.5f, colour}, {-1, 1, 0.5f, colour}, {1, -1, 0.5f, colour}, {1, 1, 0.5f, colour}};
    vertices->Lock(0, sizeof quad, &data, 0);
    std::memcpy(data, quad, sizeof quad);
    vertices->Unlock();
    const std::uint16_t order[4] = {0, 1, 2, 3};
    indices->Lock(0, sizeof order, &data, 0);
    std::memcpy(data, order, sizeof order);
    indices->Unlock();
    device->SetStreamSource(0, vertices.get(), 0, sizeof(ColourVertex));
    device->SetIndices(indices.get());
    device->SetFVF(kColourFvf);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
  };
  drawQuad(0xFF123456);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x123456u);
  drawQuad(0xFF654321);
  EXPECT_EQ(Centre(target.presentAndCapture(), target), 0x654321u) << "new buffers";
}

}  // namespace vantra::platform
