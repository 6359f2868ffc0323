// Terrain speed on an 800 x 600 headless target during one overview flight around the
// terrain: a frame with level of detail, the same frames with every leaf at level 0, and raw
// OpenGL drawing exactly the index ranges the level-of-detail frames drew (strips and fans)
// as the floor. Also the update phase alone and the quadtree's build. Ratios against the
// peers of the same run are printed at the end.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "flight_scene.h"
#include "platform/d3dx9.h"
#include "platform/gl_program.h"
#include "terrain/buffer_lock.h"
#include "terrain/quad_leaf.h"
#include "terrain/sampled_texture.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"
#include "terrain/terrain_vertex.h"

using vantra::Matrix;
using vantra::platform::HeadlessWindow;
using vantra::platform::LinkProgram;
using vantra::terrain::BufferLock;
using vantra::terrain::EdgeFanSet;
using vantra::terrain::LevelRange;
using vantra::terrain::LodIndexSet;
using vantra::terrain::QuadLeaf;
using vantra::terrain::SampledTexture;
using vantra::terrain::TerrainPatch;
using vantra::terrain::TerrainQuadtree;
using vantra::terrain::TerrainVertex;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kPoses = 120;

// One draw of the raw peer: a range of a leaf's index buffer.
struct RawDraw {
  int leaf;
  GLenum mode;
  int first;
  int count;
};

// No culling, as the engine sets it; lighting off, because the raw peer shades with the two
// textures and the vertex colour only. Both draw the same triangles the same way.
void SetUpLikeTheRawPeer(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, 0);
}

class Scene : public FlightScene {
 public:
  Scene()
      : FlightScene(kWidth, kHeight, kPoses, SetUpLikeTheRawPeer),
        _rawWindow(kWidth, kHeight, input()) {
    _record();
    _buildRawPeer();
  }

  // One frame as the engine draws it: update, clear, view, terrain, present, and the wait
  // for the rasteriser so that its work is counted.
  void deviceFrame(int pose, bool levelZero) {
    aim(pose);
    tree().update();
    if (levelZero)
      for (int i = 0; i < tree().queueCount(); ++i) tree().renderQueue()[i]->lodSet()->setLevel(0);
    drawQueue();
  }

  void rawFrame(int pose) {
    glBindFramebuffer(GL_FRAMEBUFFER, _framebuffer);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0xC6 / 255.0f, 0xC0 / 255.0f, 0xF2 / 255.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(_program);
    glUniformMatrix4fv(_transformLocation, 1, GL_FALSE, _transforms[pose % kPoses]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, _textures[0]);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, _textures[1]);
    for (const RawDraw& draw : _draws[pose % kPoses]) {
      glBindVertexArray(_arrays[draw.leaf]);
      glDrawElements(draw.mode, draw.count, GL_UNSIGNED_SHORT,
                     reinterpret_cast<const void*>(static_cast<std::uintptr_t>(draw.first) * 2));
    }
    glFinish();
  }

  void useRaw() { _rawWindow.makeCurrent(); }

 private:
  // Plays the flight once on the device and notes, per pose, what the terrain drew: each
  // queued leaf's strip and the fans it drew (with their indices, which change per pose).
  void _record() {
    _indices.resize(tree().leafCount());
    for (int i = 0; i < tree().leafCount(); ++i) {
      const LodIndexSet& set = *tree().leaf(i)->lodSet();
      int total = 0;
      for (const LevelRange& range : set.levels()) total += range.count;
      BufferLock lock(set.indexBuffer(), total * 2, D3DLOCK_READONLY);
      const auto* indices = static_cast<const std::uint16_t*>(lock.data());
      _indices[i].assign(indices, indices + total);
    }
    std::vector<int> leafNumber;
    for (int pose = 0; pose < kPoses; ++pose) {
      aim(pose);
      tree().update();
      std::vector<RawDraw>& draws = _draws[pose];
      for (int q = 0; q < tree().queueCount(); ++q) {
        const QuadLeaf* leaf = tree().renderQueue()[q];
        const LevelRange& range = leaf->lodSet()->levels()[leaf->lodSet()->level()];
        draws.push_back(
            {leaf->index() - tree().firstLeaf(), GL_TRIANGLE_STRIP, range.start, range.count});
      }
      const int queued = tree().queueCount();
      tree().flush();
      for (int q = 0; q < queued; ++q) {
        const QuadLeaf* leaf = tree().renderQueue()[q];
        const int number = leaf->index() - tree().firstLeaf();
        const std::pair<const EdgeFanSet*, const QuadLeaf*> edges[] = {
            {leaf->columnFans(), leaf->columnNeighbour()}, {leaf->rowFans(), leaf->rowNeighbour()}};
        for (const auto& [fans, neighbour] : edges) {
          if (neighbour == nullptr || neighbour->lodSet()->level() == leaf->lodSet()->level())
            continue;
          BufferLock lock(fans->indexBuffer(), fans->bufferBytes(), D3DLOCK_READONLY);
          const auto* list = static_cast<const std::uint16_t*>(lock.data()) + fans->listStart();
          const int count = static_cast<int>(fans->listTriangles()) * 3;
          const int first = static_cast<int>(_indices[number].size());
          _indices[number].insert(_indices[number].end(), list, list + count);
          draws.push_back({number, GL_TRIANGLES, first, count});
        }
      }
      Matrix view = camera.cameraWorldMatrix();
      view.inverse();
      Matrix projection;
      D3DXMatrixPerspectiveFovLH(&projection, 3.1415927f * 25.0f / 180.0f, 1.0f, 1.0f, 800000.0f);
      _transforms[pose] = view * projection;
    }
  }

  void _buildRawPeer() {
    // The device's buffers are read back through its own context, before the peer's is made
    // current.
    const int leaves = tree().leafCount();
    std::vector<std::vector<std::uint8_t>> vertices(leaves);
    for (int i = 0; i < leaves; ++i) {
      const TerrainPatch& patch = *tree().leaf(i)->patch();
      BufferLock lock(patch.vertexBuffer(), patch.bufferBytes(), D3DLOCK_READONLY);
      const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
      vertices[i].assign(bytes, bytes + patch.bufferBytes());
    }
    useRaw();
    const char* vertexSource = R"(#version 330 core
      layout(location = 0) in vec3 position;
      layout(location = 1) in vec4 diffuse;
      layout(location = 2) in vec2 uv0;
      layout(location = 3) in vec2 uv1;
      uniform mat4 transform;
      out vec4 colour; out vec2 t0; out vec2 t1;
      void main() { gl_Position = transform * vec4(position, 1.0); colour = diffuse; t0 = uv0; t1 = uv1; })";
    const char* fragmentSource = R"(#version 330 core
      in vec4 colour; in vec2 t0; in vec2 t1;
      uniform sampler2D colourMap; uniform sampler2D detailMap;
      out vec4 result;
      void main() {
        vec4 c = texture(colourMap, t0) * colour;
        result = vec4(clamp(2.0 * c.rgb * texture(detailMap, t1).rgb, 0.0, 1.0), c.a);
      })";
    _program = LinkProgram(vertexSource, fragmentSource);
    glUseProgram(_program);
    glUniform1i(glGetUniformLocation(_program, "colourMap"), 0);
    glUniform1i(glGetUniformLocation(_program, "detailMap"), 1);
    _transformLocation = glGetUniformLocation(_program, "transform");

    glGenTextures(2, _textures);
    const SampledTexture* maps[2] = {terrain->colourMap(), terrain->detailMap()};
    for (int k = 0; k < 2; ++k) {
      D3DLOCKED_RECT locked;
      maps[k]->texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
      glBindTexture(GL_TEXTURE_2D, _textures[k]);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, maps[k]->width(), maps[k]->height(), 0, GL_BGRA,
                   GL_UNSIGNED_BYTE, locked.pBits);
      maps[k]->texture()->UnlockRect(0);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      const GLint wrap = k == 1 ? GL_MIRRORED_REPEAT : GL_REPEAT;
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    }

    _arrays.resize(leaves);
    glGenVertexArrays(leaves, _arrays.data());
    for (int i = 0; i < leaves; ++i) {
      glBindVertexArray(_arrays[i]);
      GLuint buffers[2];
      glGenBuffers(2, buffers);
      glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices[i].size()), vertices[i].data(),
                   GL_STATIC_DRAW);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, _indices[i].size() * 2, _indices[i].data(),
                   GL_STATIC_DRAW);
      const GLsizei stride = sizeof(TerrainVertex);
      glEnableVertexAttribArray(0);
      glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
      glEnableVertexAttribArray(1);
      glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                            reinterpret_cast<const void*>(offsetof(TerrainVertex, diffuse)));
      glEnableVertexAttribArray(2);
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(offsetof(TerrainVertex, tu0)));
      glEnableVertexAttribArray(3);
      glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(offsetof(TerrainVertex, tu1)));
    }

    GLuint renderbuffers[2];
    glGenRenderbuffers(2, renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, kWidth, kHeight);
    glGenFramebuffers(1, &_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, _framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              renderbuffers[1]);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    useDevice();
  }

  HeadlessWindow _rawWindow;
  std::vector<RawDraw> _draws[kPoses];
  Matrix _transforms[kPoses];
  std::vector<std::vector<std::uint16_t>> _indices;
  GLuint _program = 0;
  GLint _transformLocation = -1;
  GLuint _textures[2] = {};
  std::vector<GLuint> _arrays;
  GLuint _framebuffer = 0;
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// Mean seconds per frame of each benchmark, for the ratios printed at the end.
double lodFrame = 0.0, levelZeroFrame = 0.0, rawFrame = 0.0;

void BM_FrameWithLevelOfDetail(benchmark::State& state) {
  Scene& scene = TheScene();
  scene.useDevice();
  TimePoses(state, &lodFrame, [&](int pose) { scene.deviceFrame(pose, false); });
}
BENCHMARK(BM_FrameWithLevelOfDetail)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(240);

void BM_FrameAllLeavesAtLevelZero(benchmark::State& state) {
  Scene& scene = TheScene();
  scene.useDevice();
  TimePoses(state, &levelZeroFrame, [&](int pose) { scene.deviceFrame(pose, true); });
}
BENCHMARK(BM_FrameAllLeavesAtLevelZero)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(240);

void BM_FrameRawOpenGLSameRanges(benchmark::State& state) {
  Scene& scene = TheScene();
  scene.useRaw();
  TimePoses(state, &rawFrame, [&](int pose) { scene.rawFrame(pose); });
  scene.useDevice();
}
BENCHMARK(BM_FrameRawOpenGLSameRanges)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(240);

// Culling and level selection alone; the queue is emptied outside the timed part.
void BM_UpdatePhase(benchmark::State& state) {
  Scene& scene = TheScene();
  scene.useDevice();
  int pose = 0;
  for (auto _ : state) {
    scene.aim(pose++);
    const auto start = std::chrono::steady_clock::now();
    scene.tree().update();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.counters["leaves"] = scene.tree().queueCount();
    scene.tree().flush();
  }
}
BENCHMARK(BM_UpdatePhase)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2400);

void BM_QuadtreeBuild513(benchmark::State& state) {
  Scene& scene = TheScene();
  scene.useDevice();
  for (auto _ : state) {
    TerrainQuadtree tree(scene.device(), scene.terrain.get(), nullptr, 0, 512, 0, 512);
    benchmark::DoNotOptimize(tree.root());
  }
}
BENCHMARK(BM_QuadtreeBuild513)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (lodFrame > 0.0 && rawFrame > 0.0)
    std::printf(
        "frame with level of detail / raw OpenGL on the same ranges: %.3f (target <= 1.10)\n",
        lodFrame / rawFrame);
  if (lodFrame > 0.0 && levelZeroFrame > 0.0)
    std::printf("frame with every leaf at level 0 / frame with level of detail: %.3f\n",
                levelZeroFrame / lodFrame);
  return 0;
}
