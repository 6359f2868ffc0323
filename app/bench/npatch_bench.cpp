// N-patch cost on the terrain, on a 400 x 300 headless target during one overview flight:
// lit, textured frames with the segment count at 0, 2 and 4 from the same poses, and the
// conversion of the frame's strips into patch lists, from scratch and from the cache.
// Ratios against the frame without N-patches of the same run are printed at the end.
//
// The frame without N-patches against the device layer before N-patches cannot share a
// run with it; app/bench/compare_npatch_off.sh times the terrain benchmark's frame in this
// build and in one of the main branch, interleaved.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "flight_scene.h"
#include "platform/device.h"
#include "platform/patch_index_cache.h"
#include "terrain/lod_index_set.h"
#include "terrain/quad_leaf.h"

using vantra::platform::ContextLink;
using vantra::platform::Device;
using vantra::platform::PatchIndexCache;
using vantra::terrain::LevelRange;
using vantra::terrain::LodIndexSet;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kPoses = 24;

// The device must tessellate; then as the program draws: no culling, one directional light
// on a white material.
void SetUpLikeTheProgram(IDirect3DDevice9* device) {
  D3DCAPS9 caps = {};
  device->GetDeviceCaps(&caps);
  if ((caps.DevCaps & D3DDEVCAPS_NPATCHES) == 0)
    throw std::runtime_error("the context has no tessellation shaders");
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF282828);
  D3DMATERIAL9 material = {};
  material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  D3DLIGHT9 light = {};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Direction = {0.3f, -1.0f, 0.4f};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
}

class Scene : public FlightScene {
 public:
  Scene() : FlightScene(kWidth, kHeight, kPoses, SetUpLikeTheProgram) {}

  const std::shared_ptr<ContextLink>& contextLink() {
    return static_cast<Device*>(device())->contextLink();
  }

  // One frame as the engine draws it, and the wait for the rasteriser so that its work
  // (most of the tessellation's) is counted.
  void frame(int pose, float segments) {
    aim(pose);
    device()->SetNPatchMode(segments);
    tree().update();
    drawQueue();
  }

  // Converts the strip of every leaf the pose draws, at the level it draws it, and returns
  // the seconds that took.
  double convertStrips(int pose, PatchIndexCache& cache) {
    aim(pose);
    tree().update();
    const auto start = std::chrono::steady_clock::now();
    for (int q = 0; q < tree().queueCount(); ++q) {
      const LodIndexSet& set = *tree().renderQueue()[q]->lodSet();
      const LevelRange& range = set.levels()[set.level()];
      void* indices = nullptr;
      set.indexBuffer()->Lock(range.start * 2u, range.count * 2u, &indices, D3DLOCK_READONLY);
      cache.convert(set.indexBuffer(), range.start, D3DPT_TRIANGLESTRIP,
                    static_cast<UINT>(range.count - 2), indices, 2);
      set.indexBuffer()->Unlock();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    tree().flush();
    return seconds;
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// Mean seconds per iteration of each benchmark, for the ratios printed at the end.
double offFrame = 0.0, twoFrame = 0.0, fourFrame = 0.0, freshConversion = 0.0,
       cachedConversion = 0.0;

void BM_TerrainFrame(benchmark::State& state) {
  Scene& scene = TheScene();
  const float segments = static_cast<float>(state.range(0));
  double* mean = segments == 0 ? &offFrame : segments == 2 ? &twoFrame : &fourFrame;
  // One untimed frame, so that the programs and converted ranges exist before timing.
  scene.frame(0, segments);
  TimePoses(state, mean, [&](int pose) { scene.frame(pose, segments); });
}
BENCHMARK(BM_TerrainFrame)
    ->Arg(0)
    ->Arg(2)
    ->Arg(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2 * kPoses);

// Each iteration times its own conversion; the fresh cache's construction and clearing
// stay outside.
template <typename Convert>
void TimeConversions(benchmark::State& state, double* mean, Convert convert) {
  int pose = 0;
  double total = 0.0;
  for (auto _ : state) {
    const double seconds = convert(pose++);
    state.SetIterationTime(seconds);
    total += seconds;
  }
  *mean = total / static_cast<double>(state.iterations());
}

void BM_StripConversionFresh(benchmark::State& state) {
  Scene& scene = TheScene();
  TimeConversions(state, &freshConversion, [&](int pose) {
    PatchIndexCache cache(scene.contextLink());
    return scene.convertStrips(pose, cache);
  });
}
BENCHMARK(BM_StripConversionFresh)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2 * kPoses);

void BM_StripConversionCached(benchmark::State& state) {
  Scene& scene = TheScene();
  PatchIndexCache cache(scene.contextLink());
  for (int pose = 0; pose < kPoses; ++pose) scene.convertStrips(pose, cache);
  TimeConversions(state, &cachedConversion,
                  [&](int pose) { return scene.convertStrips(pose, cache); });
}
BENCHMARK(BM_StripConversionCached)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2 * kPoses);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (offFrame <= 0.0) return 0;
  if (twoFrame > 0.0)
    std::printf("frame with 2 segments / without N-patches: %.2f\n", twoFrame / offFrame);
  if (fourFrame > 0.0)
    std::printf("frame with 4 segments / without N-patches: %.2f\n", fourFrame / offFrame);
  if (freshConversion > 0.0)
    std::printf("converting a frame's strips from scratch / frame without N-patches: %.4f\n",
                freshConversion / offFrame);
  if (cachedConversion > 0.0)
    std::printf("finding a frame's strips in the cache / frame without N-patches: %.4f\n",
                cachedConversion / offFrame);
  return 0;
}
