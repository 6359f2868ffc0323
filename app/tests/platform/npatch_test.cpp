// N-patches drawn for real: curved point-normal triangles from the tessellation stages,
// measured in pixels against the patch construction computed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "render_target.h"

namespace vantra::platform {

namespace {

constexpr int kSize = 256;
// Pixels per world unit of the orthographic views.
constexpr float kScale = 90.0f;

struct NormalVertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR colour;
};
constexpr DWORD kNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

struct Point {
  double x, y, z;
};
Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point operator*(double s, Point a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Looks along +z through an orthographic projection of Scale pixels per unit.
void SetOrthographicView(IDirect3DDevice9* device) {
  D3DMATRIX identity, projection;
  identity.makeIdentity();
  projection.makeIdentity();
  projection(0, 0) = 2.0f * kScale / kSize;
  projection(1, 1) = 2.0f * kScale / kSize;
  projection(2, 2) = 1.0f / 20.0f;
  device->SetTransform(D3DTS_WORLD, &identity);
  device->SetTransform(D3DTS_VIEW, &identity);
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

void PrepareUnlitShapes(IDirect3DDevice9* device) {
  SetOrthographicView(device);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

// A directional light from behind the viewer's left shoulder and a white material.
void PrepareLighting(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_LIGHTING, 1);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
  D3DMATERIAL9 material{};
  material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Direction = {0.5f, -0.3f, 0.8f};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
}

int CoveredPixels(const std::vector<std::uint32_t>& pixels) {
  int covered = 0;
  for (std::uint32_t pixel : pixels) covered += pixel != 0;
  return covered;
}

// Pixels whose channels differ by more than the tolerance.
int DifferentPixels(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                    int tolerance) {
  int different = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const int d = std::max({std::abs(RenderTarget::Red(a[i]) - RenderTarget::Red(b[i])),
                            std::abs(RenderTarget::Green(a[i]) - RenderTarget::Green(b[i])),
                            std::abs(RenderTarget::Blue(a[i]) - RenderTarget::Blue(b[i]))});
    different += d > tolerance;
  }
  return different + static_cast<int>(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
}

// The unit octahedron at depth 5, normals pointing away from its centre, as a triangle list.
std::vector<NormalVertex> Octahedron(DWORD colour) {
  const Point axes[6] = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  std::vector<NormalVertex> vertices;
  auto add = [&](const Point& p) {
    vertices.push_back({static_cast<float>(p.x), static_cast<float>(p.y),
                        static_cast<float>(p.z) + 5.0f, static_cast<float>(p.x),
                        static_cast<float>(p.y), static_cast<float>(p.z), colour});
  };
  for (int i = 0; i < 4; ++i)
    for (int pole = 4; pole < 6; ++pole) {
      add(axes[i]);
      add(axes[(i + 1) % 4]);
      add(axes[pole]);
    }
  return vertices;
}

// The outline of the octahedron seen along z: each equator edge becomes the patch's
// boundary cubic, from a corner through the two edge control points (a third of the way
// along, pulled into the corner's tangent plane) to the next corner, split into
// `segments` equal parameter steps. Returns the enclosed area in pixels.
double PredictedOctahedronArea(int segments) {
  double area = 0;
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    const double a0 = quadrant * M_PI / 2, a1 = a0 + M_PI / 2;
    const Point p1{std::cos(a0), std::sin(a0), 0}, p2{std::cos(a1), std::sin(a1), 0};
    const Point n1 = p1, n2 = p2;
    const Point b210 = (1.0 / 3) * (2.0 * p1 + p2 - Dot(p2 - p1, n1) * n1);
    const Point b120 = (1.0 / 3) * (2.0 * p2 + p1 - Dot(p1 - p2, n2) * n2);
    auto curve = [&](double t) {
      const double s = 1 - t;
      return s * s * s * p1 + (3 * s * s * t) * b210 + (3 * s * t * t) * b120 + t * t * t * p2;
    };
    for (int k = 0; k < segments; ++k) {
      const Point a = curve(double(k) / segments), b = curve(double(k + 1) / segments);
      area += 0.5 * (a.x * b.y - b.x * a.y);
    }
  }
  return area * kScale * kScale;
}

std::vector<std::uint32_t> DrawOctahedron(RenderTarget& target, float segments, DWORD fvf) {
  IDirect3DDevice9* device = target.device();
  PrepareUnlitShapes(device);
  device->SetNPatchMode(segments);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  const std::vector<NormalVertex> vertices = Octahedron(0xFFFFFFFF);
  if (fvf == kNormalFvf) {
    device->SetFVF(kNormalFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 8, vertices.data(), sizeof(NormalVertex));
  } else {
    std::vector<ColourVertex> flat;
    for (const NormalVertex& v : vertices) flat.push_back({v.x, v.y, v.z, v.colour});
    device->SetFVF(kColourFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 8, flat.data(), sizeof(ColourVertex));
  }
  return target.presentAndCapture();
}

bool HasNPatches(IDirect3DDevice9* device) {
  D3DCAPS9 caps{};
  return SUCCEEDED(device->GetDeviceCaps(&caps)) && (caps.DevCaps & D3DDEVCAPS_NPATCHES) != 0;
}

// Each test draws on its own target, whose device must tessellate.
class NPatches : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HasNPatches(device)) << "this context has no tessellation shaders";
  }

  RenderTarget target{kSize, kSize};
  IDirect3DDevice9* device = target.device();
};

}  // namespace

TEST_F(NPatches, OctahedronCoversTheAreaOfItsPatchOutline) {
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  EXPECT_GE(caps.MaxNpatchTessellationLevel, 8.0f);

  const double polygon = PredictedOctahedronArea(1);
  EXPECT_NEAR(polygon, 2 * kScale * kScale, 1e-6);
  const double curve = PredictedOctahedronArea(1000);
  // The cubic outline lies between the polygon and the circle through the corners.
  EXPECT_GT(curve, 2.7 * kScale * kScale);
  EXPECT_LT(curve, M_PI * kScale * kScale);
  struct Case {
    float segments;
    DWORD fvf;
    double expected;
    const char* why;
  };
  // What forty frames of the N key's 0.1 steps make: a little under four.
  float fortySteps = 0.0f;
  for (int step = 0; step < 40; ++step) fortySteps += 0.1f;
  const Case cases[] = {
      {0.0f, kNormalFvf, polygon, "off: the flat polygon"},
      {0.9f, kNormalFvf, polygon, "below one segment N-patches are off"},
      {1.0f, kNormalFvf, polygon, "one segment per edge keeps the corners"},
      {1.9f, kNormalFvf, polygon, "the level is the whole number of segments"},
      {2.0f, kNormalFvf, PredictedOctahedronArea(2), "two segments per edge"},
      {fortySteps, kNormalFvf, PredictedOctahedronArea(4), "forty 0.1 steps make four segments"},
      {4.0f, kNormalFvf, PredictedOctahedronArea(4), "four segments per edge"},
      {8.0f, kNormalFvf, PredictedOctahedronArea(8), "eight segments per edge"},
      {8.0f, kColourFvf, polygon, "vertices without normals stay flat"},
  };
  double previous = 0;
  for (const Case& c : cases) {
    const int covered = CoveredPixels(DrawOctahedron(target, c.segments, c.fvf));
    EXPECT_NEAR(covered, c.expected, 0.02 * c.expected) << c.why;
    if (c.fvf == kNormalFvf) {
      EXPECT_GE(covered, previous) << c.why << ": areas grow with the level";
      previous = covered;
    }
  }
  EXPECT_NEAR(CoveredPixels(DrawOctahedron(target, 8.0f, kNormalFvf)), curve, 0.02 * curve)
      << "eight segments come within 2 % of the curved outline";
  EXPECT_GT(CoveredPixels(DrawOctahedron(target, 4.0f, kNormalFvf)), 1.2 * polygon);
}

TEST_F(NPatches, FlatGridWithEqualNormalsLooksTheSame) {
  // A tilted 6 x 6 grid in perspective, lit, with colours that vary across it.
  D3DMATRIX identity, world, projection;
  identity.makeIdentity();
  world.rotateX(0.7f);
  world(3, 2) = 6.0f;
  projection.makeIdentity();
  projection(2, 2) = 100.0f / 99.0f;
  projection(2, 3) = 1.0f;
  projection(3, 2) = -100.0f / 99.0f;
  projection(3, 3) = 0.0f;
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &identity);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  PrepareLighting(device);
  std::vector<NormalVertex> strip;
  constexpr int kCells = 6;
  for (int row = 0; row < kCells; ++row)
    for (int column = 0; column <= kCells; ++column)
      for (int side = 0; side < 2; ++side) {
        const float x = -3.0f + column, y = -3.0f + row + side;
        const D3DCOLOR colour =
            0xFF000000u | (40u * column) << 16 | (40u * (row + side)) << 8 | 0x80;
        strip.push_back({x, y, 0.0f, 0.0f, 0.0f, -1.0f, colour});
      }
  auto draw = [&](float segments) {
    device->SetNPatchMode(segments);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetFVF(kNormalFvf);
    for (int row = 0; row < kCells; ++row)
      device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2 * kCells, &strip[row * 2 * (kCells + 1)],
                              sizeof(NormalVertex));
    return target.presentAndCapture();
  };
  const std::vector<std::uint32_t> flat = draw(0.0f);
  ASSERT_GT(CoveredPixels(flat), kSize * kSize / 10);
  for (float segments : {1.0f, 3.0f, 7.0f})
    EXPECT_LE(DifferentPixels(flat, draw(segments), 3), kSize * kSize / 200)
        << segments << " segments";
}

TEST_F(NPatches, WireframeEdgesGrowWithTheLevel) {
  PrepareUnlitShapes(device);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  // A flat right triangle with 200-pixel legs. At level L the tessellator makes about L²
  // triangles whose edges are about 1 / L of the outline's, in concentric rings: the drawn
  // length grows in proportion to L, from (L + 1) / 2 times the outline (a regular
  // subdivision's length) up to L times it.
  const float leg = 200.0f / kScale, x0 = -leg / 2, y0 = -leg / 2;
  const NormalVertex triangle[3] = {{x0, y0, 5, 0, 0, -1, 0xFFFFFFFF},
                                    {x0, y0 + leg, 5, 0, 0, -1, 0xFFFFFFFF},
                                    {x0 + leg, y0, 5, 0, 0, -1, 0xFFFFFFFF}};
  auto drawnPixels = [&](float segments) {
    device->SetNPatchMode(segments);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetFVF(kNormalFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(NormalVertex));
    return CoveredPixels(target.presentAndCapture());
  };
  const int outline = drawnPixels(0.0f);
  ASSERT_GT(outline, 500);
  EXPECT_NEAR(drawnPixels(1.0f), outline, 0.02 * outline);
  int previous = outline;
  for (int level : {2, 4, 8}) {
    const int drawn = drawnPixels(static_cast<float>(level));
    EXPECT_GE(drawn, 0.95 * outline * (level + 1) / 2) << "level " << level;
    EXPECT_LE(drawn, outline * level) << "level " << level;
    EXPECT_GT(drawn, previous) << "level " << level;
    previous = drawn;
  }
}

TEST_F(NPatches, StripsAndFansMatchTheTriangleList) {
  SetOrthographicView(device);
  PrepareLighting(device);
  // Only clockwise triangles are drawn, so a strip's turned-around odd triangles must keep
  // their winding through the conversion.
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  // A band around part of a cylinder facing the viewer, as a strip (bottom, top, bottom, ...),
  // and a cone's cap around a centre, as a fan; normals point away from their axes.
  // Both run clockwise on screen.
  std::vector<NormalVertex> band, cap;
  for (int i = 0; i <= 5; ++i) {
    const float a = -1.0f + 0.4f * i, s = std::sin(a), c = std::cos(a);
    band.push_back({s, -0.6f, 5 - c, s, 0, -c, 0xFFFFFFFF});
    band.push_back({s, 0.6f, 5 - c, s, 0, -c, 0xFFFFFFFF});
  }
  cap.push_back({0, 0, 4, 0, 0, -1, 0xFFFFFFFF});
  for (int i = 0; i <= 6; ++i) {
    const float a = -0.5f * i, s = std::sin(a), c = std::cos(a);
    cap.push_back({0.9f * c, 0.9f * s, 4.6f, 0.7f * c, 0.7f * s, -0.7f, 0xFFFFFFFF});
  }
  std::vector<NormalVertex> bandList, capList;
  for (int i = 0; i + 2 < static_cast<int>(band.size()); ++i) {
    const bool odd = i % 2 != 0;
    bandList.insert(bandList.end(), {band[odd ? i + 1 : i], band[odd ? i : i + 1], band[i + 2]});
  }
  for (int i = 1; i + 1 < static_cast<int>(cap.size()); ++i)
    capList.insert(capList.end(), {cap[0], cap[i], cap[i + 1]});

  // Both shapes in one vertex buffer, the cap after the band, and an index buffer with the
  // band as two strips joined by degenerate triangles, then the fan.
  std::vector<NormalVertex> all = band;
  all.insert(all.end(), cap.begin(), cap.end());
  ComRef<IDirect3DVertexBuffer9> vertices;
  ComRef<IDirect3DIndexBuffer9> indices;
  ASSERT_EQ(device->CreateVertexBuffer(static_cast<UINT>(all.size() * sizeof(NormalVertex)), 0,
                                       kNormalFvf, D3DPOOL_MANAGED, vertices.out(), nullptr),
            D3D_OK);
  void* data = nullptr;
  vertices->Lock(0, 0, &data, 0);
  std::memcpy(data, all.data(), all.size() * sizeof(NormalVertex));
  vertices->Unlock();
  std::vector<std::uint16_t> stripIndices = {0, 1, 2, 3, 4, 5, 5, 4, 4, 5, 6, 7, 8, 9, 10, 11};
  const auto bandCount = static_cast<std::uint16_t>(band.size());
  std::vector<std::uint16_t> fanIndices;
  for (std::uint16_t i = 0; i < cap.size(); ++i)
    fanIndices.push_back(static_cast<std::uint16_t>(bandCount + i));
  std::vector<std::uint16_t> indexData = stripIndices;
  indexData.insert(indexData.end(), fanIndices.begin(), fanIndices.end());
  ASSERT_EQ(device->CreateIndexBuffer(static_cast<UINT>(indexData.size() * 2), 0, D3DFMT_INDEX16,
                                      D3DPOOL_MANAGED, indices.out(), nullptr),
            D3D_OK);
  indices->Lock(0, 0, &data, 0);
  std::memcpy(data, indexData.data(), indexData.size() * 2);
  indices->Unlock();

  device->SetNPatchMode(4.0f);
  device->SetFVF(kNormalFvf);
  auto begin = [&] {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  };
  begin();
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(bandList.size() / 3),
                          bandList.data(), sizeof(NormalVertex));
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(capList.size() / 3), capList.data(),
                          sizeof(NormalVertex));
  const std::vector<std::uint32_t> lists = target.presentAndCapture();
  ASSERT_GT(CoveredPixels(lists), 5000);

  struct Case {
    std::function<void()> draw;
    const char* why;
  };
  const Case cases[] = {
      {[&] {
         device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, static_cast<UINT>(band.size() - 2),
                                 band.data(), sizeof(NormalVertex));
         device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, static_cast<UINT>(cap.size() - 2), cap.data(),
                                 sizeof(NormalVertex));
       },
       "strip and fan from memory"},
      {[&] {
         device->SetStreamSource(0, vertices.get(), 0, sizeof(NormalVertex));
         device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(band.size() - 2));
         device->DrawPrimitive(D3DPT_TRIANGLEFAN, bandCount, static_cast<UINT>(cap.size() - 2));
       },
       "strip and fan from a vertex buffer"},
      {[&] {
         device->SetStreamSource(0, vertices.get(), 0, sizeof(NormalVertex));
         device->SetIndices(indices.get());
         device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, static_cast<UINT>(all.size()), 0,
                                      static_cast<UINT>(stripIndices.size() - 2));
         device->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, 0, 0, static_cast<UINT>(all.size()),
                                      static_cast<UINT>(stripIndices.size()),
                                      static_cast<UINT>(cap.size() - 2));
       },
       "indexed strip with degenerate joints and indexed fan"},
  };
  for (const Case& c : cases) {
    begin();
    c.draw();
    EXPECT_LE(DifferentPixels(lists, target.presentAndCapture(), 3), 40) << c.why;
  }

  // Rewriting the indices in place (the fan now misses its last triangle) converts again.
  indices->Lock(0, 0, &data, 0);
  static_cast<std::uint16_t*>(data)[indexData.size() - 1] =
      static_cast<std::uint16_t>(bandCount + cap.size() - 2);
  indices->Unlock();
  begin();
  device->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, 0, 0, static_cast<UINT>(all.size()),
                               static_cast<UINT>(stripIndices.size()),
                               static_cast<UINT>(cap.size() - 2));
  const std::vector<std::uint32_t> rewritten = target.presentAndCapture();
  begin();
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(capList.size() / 3 - 1),
                          capList.data(), sizeof(NormalVertex));
  EXPECT_LE(DifferentPixels(rewritten, target.presentAndCapture(), 3), 40);
  device->SetIndices(nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
}

TEST_F(NPatches, CullingRemovesBackFacingPatches) {
  PrepareUnlitShapes(device);
  device->SetNPatchMode(4.0f);
  // Seen along +z, a -> b -> c runs clockwise on screen; normals bulge towards the viewer.
  const NormalVertex a{-1, -1, 5, -0.5f, -0.5f, -0.7f, 0xFFFFFFFF},
      b{0, 1, 5, 0, 0.6f, -0.8f, 0xFFFFFFFF}, c{1, -1, 5, 0.5f, -0.5f, -0.7f, 0xFFFFFFFF};
  struct Case {
    DWORD cull;
    bool clockwise;
    bool drawn;
  };
  const Case cases[] = {{D3DCULL_CCW, true, true},
                        {D3DCULL_CCW, false, false},
                        {D3DCULL_CW, true, false},
                        {D3DCULL_CW, false, true},
                        {D3DCULL_NONE, false, true}};
  for (const Case& k : cases) {
    device->SetRenderState(D3DRS_CULLMODE, k.cull);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    const NormalVertex triangle[3] = {a, k.clockwise ? b : c, k.clockwise ? c : b};
    device->SetFVF(kNormalFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(NormalVertex));
    const int covered = CoveredPixels(target.presentAndCapture());
    EXPECT_EQ(covered > 0, k.drawn) << "cull " << k.cull << (k.clockwise ? ", clockwise" : "");
    if (k.drawn) {
      EXPECT_GT(covered, 2 * kScale * kScale) << "the patch bulges past the flat triangle";
    }
  }
}

// Runs where the context lacks tessellation shaders: the test command forces such a
// context through Mesa's version override. Elsewhere it is skipped.
TEST(NPatchesWithoutTessellation, TheCountIsKeptWithNoEffect) {
  RenderTarget target(kSize, kSize);
  IDirect3DDevice9* device = target.device();
  if (HasNPatches(device)) {
    ASSERT_EQ(std::getenv("MESA_GL_VERSION_OVERRIDE"), nullptr)
        << "the forced context still offers tessellation shaders";
    GTEST_SKIP() << "the context has tessellation shaders";
  }
  const int flat = CoveredPixels(DrawOctahedron(target, 0.0f, kNormalFvf));
  testing::internal::CaptureStderr();
  const int asked = CoveredPixels(DrawOctahedron(target, 8.0f, kNormalFvf));
  device->SetNPatchMode(0.0f);
  device->SetNPatchMode(3.0f);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(device->GetNPatchMode(), 3.0f);
  EXPECT_EQ(asked, flat);
  EXPECT_NE(said.find("N-patches"), std::string::npos);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "said once: " << said;
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  EXPECT_EQ(caps.MaxNpatchTessellationLevel, 0.0f);
}

TEST_F(NPatches, TrianglesWithARepeatedCornerDrawNothing) {
  PrepareUnlitShapes(device);
  device->SetNPatchMode(4.0f);
  // With tilted normals the patch of a, a, c would still have a curved centre.
  const NormalVertex a{-1, -1, 5, -0.6f, 0.3f, -0.7f, 0xFFFFFFFF},
      c{1, 0.5f, 5, 0.5f, 0.5f, -0.7f, 0xFFFFFFFF};
  const NormalVertex triangles[2][3] = {{a, a, c}, {a, c, c}};
  device->SetFVF(kNormalFvf);
  for (const auto& triangle : triangles) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(NormalVertex));
    EXPECT_EQ(CoveredPixels(target.presentAndCapture()), 0);
  }
}

TEST_F(NPatches, LightingFollowsTheCurvedNormal) {
  SetOrthographicView(device);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, 1);
  D3DMATERIAL9 material{};
  material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  // Light along the normal of the face x, y, -z: each corner's normal meets it at
  // cos = 1/sqrt(3), while the patch's normal at the face centre is the face's own.
  const double third = 1.0 / std::sqrt(3.0);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Direction = {-1.0f, -1.0f, 1.0f};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
  const std::vector<NormalVertex> octahedron = Octahedron(0xFFFFFFFF);

  // Where the face centre lands: the cubic patch at barycentric (1/3, 1/3, 1/3).
  const Point p[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
  auto edgePoint = [](Point pi, Point pj) {
    return (1.0 / 3) * (2.0 * pi + pj - Dot(pj - pi, pi) * pi);
  };
  Point edges{0, 0, 0}, corners{0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    corners = corners + p[i];
    edges = edges + edgePoint(p[i], p[(i + 1) % 3]) + edgePoint(p[i], p[(i + 2) % 3]);
  }
  const Point e = (1.0 / 6) * edges, v = (1.0 / 3) * corners;
  const Point centre = e + 0.5 * (e - v);
  const Point surface = (1.0 / 27) * corners + (1.0 / 9) * edges + (2.0 / 9) * centre;
  auto brightnessAt = [&](const std::vector<std::uint32_t>& pixels, Point at) {
    const int x = static_cast<int>(std::lround(kSize / 2.0 + at.x * kScale));
    const int y = static_cast<int>(std::lround(kSize / 2.0 - at.y * kScale));
    return RenderTarget::Green(pixels.at(static_cast<std::size_t>(y) * kSize + x));
  };
  struct Case {
    float segments;
    Point at;
    double expected;
    const char* why;
  };
  const Case cases[] = {
      {0.0f, v, third, "flat: the corners' shading interpolated"},
      {8.0f, surface, 1.0, "curved: the patch's normal at the centre faces the light"},
  };
  for (const Case& c : cases) {
    device->SetNPatchMode(c.segments);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetFVF(kNormalFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 8, octahedron.data(), sizeof(NormalVertex));
    EXPECT_NEAR(brightnessAt(target.presentAndCapture(), c.at), 255 * c.expected, 6) << c.why;
  }
}

}  // namespace vantra::platform
