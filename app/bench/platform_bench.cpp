// Drawing a 513 x 513 height grid (64 patches of 16-bit indexed strips, 524288 triangles,
// textured and lit) through the device layer, against the same draw in raw OpenGL in the
// same run. Prints the layer's time over the raw time; the goal is at most 1.10. A second
// run makes many calls of two triangles each, where the frame time is the cost of the calls:
// it prints the time per call on each side and their ratio.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "platform/d3dx9.h"
#include "platform/gl_program.h"
#include "platform/headless_window.h"
#include "platform/scripted_input_source.h"

using vantra::platform::ComRef;
using vantra::platform::HeadlessWindow;
using vantra::platform::LinkProgram;
using vantra::platform::ScriptedInputSource;

namespace {

constexpr int kSize = 256;   // target pixels per side
constexpr int kCells = 64;   // cells per patch side
constexpr int kPatches = 8;  // patches per grid side
constexpr int kPatchVertices = kCells + 1;
constexpr float kSpacing = 800.0f;

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  std::uint32_t colour;
  float u0, v0, u1, v1;
};

float Height(int gx, int gz) { return 6000.0f * std::sin(gx * 0.05f) * std::cos(gz * 0.04f); }

std::vector<Vertex> PatchVertexData(int px, int pz) {
  std::vector<Vertex> vertices;
  for (int i = 0; i < kPatchVertices; ++i)
    for (int j = 0; j < kPatchVertices; ++j) {
      const int gx = px * kCells + j, gz = pz * kCells + i;
      const float dx = Height(gx + 1, gz) - Height(gx - 1, gz);
      const float dz = Height(gx, gz + 1) - Height(gx, gz - 1);
      float n[3] = {-dx, 2 * kSpacing, dz};
      const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      vertices.push_back({(gx - 256) * kSpacing, Height(gx, gz), (256 - gz) * kSpacing,
                          n[0] / length, n[1] / length, n[2] / length, 0xFFC0A080, gx / 512.0f,
                          gz / 512.0f, gx / 16.0f, gz / 16.0f});
    }
  return vertices;
}

// One strip over the patch, row bands joined by degenerate triangles; every band has an
// even number of indices so all triangles keep the same winding.
std::vector<std::uint16_t> PatchIndices() {
  std::vector<std::uint16_t> indices;
  for (int band = 0; band < kCells; ++band) {
    if (band > 0) {
      indices.push_back(indices.back());
      indices.push_back(static_cast<std::uint16_t>((band + 1) * kPatchVertices));
    }
    for (int j = 0; j < kPatchVertices; ++j) {
      indices.push_back(static_cast<std::uint16_t>((band + 1) * kPatchVertices + j));
      indices.push_back(static_cast<std::uint16_t>(band * kPatchVertices + j));
    }
  }
  return indices;
}

// Draws per patch in the small-call run.
constexpr int kSmallDraws = 256;

struct StripRange {
  UINT start, primitives;
};

// The whole patch strip for one draw; else two triangles per draw at even steps along it
// (an even start keeps the winding), so small that the call, not the raster, is the cost.
std::vector<StripRange> StripRanges(UINT primitives, int draws) {
  if (draws == 1) return {{0, primitives}};
  const UINT step = (primitives / static_cast<UINT>(draws)) & ~1u;
  std::vector<StripRange> ranges;
  for (int k = 0; k < draws; ++k) ranges.push_back({static_cast<UINT>(k) * step, 2});
  return ranges;
}

std::vector<std::uint32_t> TexturePixels() {
  std::vector<std::uint32_t> pixels(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) pixels[y * 256 + x] = 0xFF000000 | ((x ^ y) << 16) | (x << 8) | y;
  return pixels;
}

// Camera above the grid's near edge looking across it, and the matching matrices.
void Matrices(vantra::Matrix* view, vantra::Matrix* projection) {
  // Rows: right, up, forward, position (the view matrix inverts this pose).
  const float pitch = 0.5f;
  const float c = std::cos(pitch), s = std::sin(pitch);
  const float px = 0, py = 90000, pz = 230000;
  const float camera[16] = {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, px, py, pz, 1};
  // The inverse of a rotation plus translation: transposed rotation, rotated -position.
  float v[16] = {camera[0], camera[4], camera[8],  0, camera[1], camera[5], camera[9], 0,
                 camera[2], camera[6], camera[10], 0, 0,         0,         0,         1};
  for (int col = 0; col < 3; ++col)
    v[12 + col] = -(px * v[col] + py * v[4 + col] + pz * v[8 + col]);
  view->clone(v);
  D3DXMatrixPerspectiveFovLH(projection, 3.14159265f / 3, 1.0f, 1.0f, 800000.0f);
}

struct Timing {
  double seconds = 0;
  long frames = 0;
  double perFrame() const { return frames > 0 ? seconds / frames : 0; }
};
// By draws per patch.
std::map<int, Timing> LayerTiming;
std::map<int, Timing> RawTiming;

ScriptedInputSource Input;

void BM_DeviceLayer(benchmark::State& state) {
  HeadlessWindow window(kSize, kSize, Input);
  const auto direct3d = ComRef<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS parameters{};
  parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
  parameters.Windowed = 1;
  parameters.EnableAutoDepthStencil = 1;
  parameters.AutoDepthStencilFormat = D3DFMT_D32F_LOCKABLE;
  ComRef<IDirect3DDevice9> device;
  if (FAILED(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                    &parameters, device.out()))) {
    state.SkipWithError("no device");
    return;
  }
  std::vector<ComRef<IDirect3DVertexBuffer9>> vertexBuffers;
  std::vector<ComRef<IDirect3DIndexBuffer9>> indexBuffers;
  const std::vector<std::uint16_t> indices = PatchIndices();
  for (int pz = 0; pz < kPatches; ++pz)
    for (int px = 0; px < kPatches; ++px) {
      const std::vector<Vertex> vertices = PatchVertexData(px, pz);
      ComRef<IDirect3DVertexBuffer9> vb;
      ComRef<IDirect3DIndexBuffer9> ib;
      void* data = nullptr;
      device->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(Vertex)),
                                 D3DUSAGE_WRITEONLY, 0x252, D3DPOOL_DEFAULT, vb.out(), nullptr);
      vb->Lock(0, 0, &data, 0);
      std::memcpy(data, vertices.data(), vertices.size() * sizeof(Vertex));
      vb->Unlock();
      device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY,
                                D3DFMT_INDEX16, D3DPOOL_DEFAULT, ib.out(), nullptr);
      ib->Lock(0, 0, &data, 0);
      std::memcpy(data, indices.data(), indices.size() * 2);
      ib->Unlock();
      vertexBuffers.push_back(std::move(vb));
      indexBuffers.push_back(std::move(ib));
    }
  ComRef<IDirect3DTexture9> texture;
  device->CreateTexture(256, 256, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr);
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  const std::vector<std::uint32_t> pixels = TexturePixels();
  std::memcpy(locked.pBits, pixels.data(), pixels.size() * 4);
  texture->UnlockRect(0);

  vantra::Matrix view, projection, world;
  Matrices(&view, &projection);
  world.makeIdentity();
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF282828);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {0.78f, 0.78f, 0.78f, 0};
  light.Direction = {0.3f, -1.0f, 0.2f};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
  D3DMATERIAL9 material{};
  material.Diffuse = material.Ambient = {0.3f, 0.7f, 0.5f, 0};
  device->SetMaterial(&material);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetTexture(0, texture.get());
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

  const int draws = static_cast<int>(state.range(0));
  const std::vector<StripRange> ranges = StripRanges(static_cast<UINT>(indices.size() - 2), draws);
  Timing& timing = LayerTiming[draws];
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFC6C0F2, 1.0f, 0);
    device->BeginScene();
    for (std::size_t i = 0; i < vertexBuffers.size(); ++i) {
      device->SetStreamSource(0, vertexBuffers[i].get(), 0, sizeof(Vertex));
      device->SetFVF(0x252);
      device->SetIndices(indexBuffers[i].get());
      for (const StripRange& range : ranges)
        device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, kPatchVertices * kPatchVertices,
                                     range.start, range.primitives);
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    glFinish();
    timing.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++timing.frames;
  }
  device->SetTexture(0, nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
}

void BM_RawOpenGL(benchmark::State& state) {
  HeadlessWindow window(kSize, kSize, Input);
  if (!window.makeCurrent()) {
    state.SkipWithError("no context");
    return;
  }
  GLuint framebuffers[2], renderbuffers[3];
  glGenFramebuffers(2, framebuffers);
  glGenRenderbuffers(3, renderbuffers);
  for (int i = 0; i < 2; ++i) {
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[i]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[i]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              renderbuffers[i]);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[2]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, kSize, kSize);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[2]);

  const GLuint program = LinkProgram(
      "#version 330 core\n"
      "layout(location = 0) in vec3 a_position;\n"
      "layout(location = 1) in vec3 a_normal;\n"
      "layout(location = 2) in vec4 a_diffuse;\n"
      "layout(location = 3) in vec2 a_texCoord;\n"
      "uniform mat4 u_worldView; uniform mat4 u_projection; uniform mat3 u_normalMatrix;\n"
      "uniform vec3 u_toLight; uniform vec3 u_lightDiffuse; uniform vec3 u_ambient;\n"
      "out vec4 v_diffuse; out vec2 v_texCoord;\n"
      "void main() {\n"
      "  vec4 viewPosition = u_worldView * vec4(a_position, 1.0);\n"
      "  gl_Position = u_projection * viewPosition;\n"
      "  float lambert = max(dot(u_normalMatrix * a_normal, u_toLight), 0.0);\n"
      "  v_diffuse = vec4(clamp(u_ambient + a_diffuse.rgb * u_lightDiffuse * lambert, 0.0, "
      "1.0), a_diffuse.a);\n"
      "  v_texCoord = a_texCoord;\n"
      "}\n",
      "#version 330 core\n"
      "in vec4 v_diffuse; in vec2 v_texCoord; uniform sampler2D u_texture;\n"
      "out vec4 fragColor;\n"
      "void main() { fragColor = texture(u_texture, v_texCoord) * v_diffuse; }\n");
  glUseProgram(program);

  vantra::Matrix view, projection;
  Matrices(&view, &projection);
  float reversed[16];
  std::memcpy(reversed, static_cast<const float*>(projection), sizeof reversed);
  for (int row = 0; row < 4; ++row)
    reversed[4 * row + 2] = reversed[4 * row + 3] - reversed[4 * row + 2];
  glUniformMatrix4fv(glGetUniformLocation(program, "u_worldView"), 1, GL_FALSE, view);
  glUniformMatrix4fv(glGetUniformLocation(program, "u_projection"), 1, GL_FALSE, reversed);
  const float normal[9] = {view[0], view[1], view[2], view[4], view[5],
                           view[6], view[8], view[9], view[10]};
  glUniformMatrix3fv(glGetUniformLocation(program, "u_normalMatrix"), 1, GL_FALSE, normal);
  float toLight[3] = {-0.3f, 1.0f, -0.2f}, viewLight[3];
  for (int c = 0; c < 3; ++c)
    viewLight[c] = toLight[0] * view[c] + toLight[1] * view[4 + c] + toLight[2] * view[8 + c];
  const float length = std::sqrt(viewLight[0] * viewLight[0] + viewLight[1] * viewLight[1] +
                                 viewLight[2] * viewLight[2]);
  glUniform3f(glGetUniformLocation(program, "u_toLight"), viewLight[0] / length,
              viewLight[1] / length, viewLight[2] / length);
  glUniform3f(glGetUniformLocation(program, "u_lightDiffuse"), 0.78f, 0.78f, 0.78f);
  glUniform3f(glGetUniformLocation(program, "u_ambient"), 0.3f * 0.157f, 0.7f * 0.157f,
              0.5f * 0.157f);
  glUniform1i(glGetUniformLocation(program, "u_texture"), 0);

  GLuint texture;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const std::vector<std::uint32_t> pixels = TexturePixels();
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

  GLuint vertexArray;
  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);
  const std::vector<std::uint16_t> indices = PatchIndices();
  std::vector<GLuint> vertexBuffers(kPatches * kPatches), indexBuffers(kPatches * kPatches);
  glGenBuffers(kPatches * kPatches, vertexBuffers.data());
  glGenBuffers(kPatches * kPatches, indexBuffers.data());
  for (int pz = 0; pz < kPatches; ++pz)
    for (int px = 0; px < kPatches; ++px) {
      const std::vector<Vertex> vertices = PatchVertexData(px, pz);
      glBindBuffer(GL_ARRAY_BUFFER, vertexBuffers[pz * kPatches + px]);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                   vertices.data(), GL_STATIC_DRAW);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffers[pz * kPatches + px]);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * 2),
                   indices.data(), GL_STATIC_DRAW);
    }
  glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_GEQUAL);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glViewport(0, 0, kSize, kSize);
  for (int i = 0; i < 4; ++i) glEnableVertexAttribArray(i);

  const int draws = static_cast<int>(state.range(0));
  const std::vector<StripRange> ranges = StripRanges(static_cast<UINT>(indices.size() - 2), draws);
  Timing& timing = RawTiming[draws];
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[0]);
    glClearColor(0xC6 / 255.0f, 0xC0 / 255.0f, 0xF2 / 255.0f, 1.0f);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (std::size_t i = 0; i < vertexBuffers.size(); ++i) {
      glBindBuffer(GL_ARRAY_BUFFER, vertexBuffers[i]);
      glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
      glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                            reinterpret_cast<const void*>(12));
      glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                            reinterpret_cast<const void*>(24));
      glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                            reinterpret_cast<const void*>(28));
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffers[i]);
      for (const StripRange& range : ranges)
        glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(range.primitives + 2),
                       GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(std::uintptr_t{range.start} * 2));
    }
    // The same copy into a front buffer that presenting makes.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers[0]);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[1]);
    glBlitFramebuffer(0, 0, kSize, kSize, 0, 0, kSize, kSize, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glFinish();
    timing.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++timing.frames;
  }
  glDeleteBuffers(kPatches * kPatches, vertexBuffers.data());
  glDeleteBuffers(kPatches * kPatches, indexBuffers.data());
  glDeleteVertexArrays(1, &vertexArray);
  glDeleteTextures(1, &texture);
  glDeleteProgram(program);
  glDeleteFramebuffers(2, framebuffers);
  glDeleteRenderbuffers(3, renderbuffers);
  window.doneCurrent();
}

}  // namespace

BENCHMARK(BM_RawOpenGL)
    ->Arg(1)
    ->Arg(kSmallDraws)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_DeviceLayer)
    ->Arg(1)
    ->Arg(kSmallDraws)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The small-call run's frame time per call, in microseconds.
double PerDrawMicroseconds(std::map<int, Timing>& timing) {
  return timing[kSmallDraws].perFrame() / (kPatches * kPatches * kSmallDraws) * 1e6;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (RawTiming[1].frames > 0 && LayerTiming[1].frames > 0)
    std::printf("device layer / raw OpenGL frame time: %.3f (goal <= 1.10)\n",
                LayerTiming[1].perFrame() / RawTiming[1].perFrame());
  if (RawTiming[kSmallDraws].frames > 0 && LayerTiming[kSmallDraws].frames > 0) {
    const double layer = PerDrawMicroseconds(LayerTiming), raw = PerDrawMicroseconds(RawTiming);
    std::printf("per draw: device layer %.2f us, raw OpenGL %.2f us, ratio %.2f\n", layer, raw,
                layer / raw);
  }
  benchmark::Shutdown();
  return 0;
}
