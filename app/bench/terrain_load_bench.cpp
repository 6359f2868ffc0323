// How long an elevation model takes to be ready to fly, and the memory it takes on the way:
// open, resample, colour map and quadtree build of a 1201 x 1201 SRTM tile and of a
// 4097 x 4097 Float32 GeoTIFF, against the built-in 513 x 513 terrain's reset in the same
// run. The models are written with GDAL into a scratch directory first.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "flight_scene.h"
#include "terrain/terrain_model.h"
#include "test_rasters.h"

using vantra::elevation::Geographic;
using vantra::elevation::Projected;
using vantra::elevation::TestRaster;
using vantra::elevation::WriteRaster;
using vantra::terrain::Terrain;
using vantra::terrain::TerrainModel;
using vantra::terrain::TerrainRequest;

namespace {

namespace fs = std::filesystem;

double builtInSeconds = 0.0;
double srtmSeconds = 0.0;
double largeSeconds = 0.0;
double srtmPeakMb = 0.0;
double largePeakMb = 0.0;

double PeakResidentMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Hills of several wavelengths, with heights in metres.
double Relief(int column, int row) {
  const double x = column * 0.01;
  const double z = row * 0.013;
  return 1200.0 + 800.0 * std::sin(x) * std::cos(z) + 150.0 * std::sin(7.1 * x + 2.0 * z) +
         40.0 * std::cos(23.0 * x - 17.0 * z);
}

class Models {
 public:
  Models() {
    char pattern[] = "/tmp/vantra-load-bench-XXXXXX";
    _dir = mkdtemp(pattern);
    const double step = 1.0 / 1200;
    TestRaster srtm = Geographic(1201, 1201, 7.0 - step / 2, 47.0 + step / 2, step);
    srtm.type = GDT_Int16;
    srtm.value = Relief;
    WriteRaster(srtm, srtmPath(), "SRTMHGT");
    TestRaster large = Projected(4097, 4097, 10.0, 10.0);
    large.type = GDT_Float32;
    large.value = Relief;
    WriteRaster(large, largePath(), "GTiff", {"TILED=YES"});
  }
  ~Models() { fs::remove_all(_dir); }

  std::string srtmPath() const { return (_dir / "N46E007.hgt").string(); }
  std::string largePath() const { return (_dir / "large.tif").string(); }

 private:
  fs::path _dir;
};

Models& TheModels() {
  static Models models;
  return models;
}

FlightScene& TheScene() {
  static FlightScene scene(800, 600, 1, [](IDirect3DDevice9*) {});
  return scene;
}

// Load, colour and build the terrain of the file until it is ready to fly.
void TimeLoad(benchmark::State& state, const std::string& file, double* seconds, double* peak) {
  FlightScene& scene = TheScene();
  scene.useDevice();
  double total = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto model = std::make_shared<TerrainModel>();
    std::string error;
    TerrainRequest request;
    request.file = file;
    if (!model->load(request, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    Terrain terrain(model);
    terrain.reset(nullptr, scene.device());
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  *seconds = total / static_cast<double>(state.iterations());
  *peak = PeakResidentMb();
  state.counters["peak_rss_mb"] = *peak;
}

void BM_BuiltInTerrainReset(benchmark::State& state) {
  FlightScene& scene = TheScene();
  scene.useDevice();
  double total = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    scene.terrain->reset(nullptr, scene.device());
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    total += elapsed;
  }
  builtInSeconds = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BuiltInTerrainReset)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SrtmTileReady(benchmark::State& state) {
  TimeLoad(state, TheModels().srtmPath(), &srtmSeconds, &srtmPeakMb);
}
BENCHMARK(BM_SrtmTileReady)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Float32Model4097Ready(benchmark::State& state) {
  TimeLoad(state, TheModels().largePath(), &largeSeconds, &largePeakMb);
}
BENCHMARK(BM_Float32Model4097Ready)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TheModels();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (srtmSeconds > 0.0)
    std::printf("SRTM 1201 x 1201 ready to fly: %.2f s (goal <= 3 s), peak memory %.0f MB\n",
                srtmSeconds, srtmPeakMb);
  if (largeSeconds > 0.0)
    std::printf(
        "Float32 4097 x 4097 ready to fly: %.2f s (goal <= 20 s), peak memory %.0f MB "
        "(goal <= 2560 MB)\n",
        largeSeconds, largePeakMb);
  if (builtInSeconds > 0.0 && srtmSeconds > 0.0)
    std::printf("SRTM tile ready / built-in 513 x 513 terrain reset: %.2f\n",
                srtmSeconds / builtInSeconds);
  return 0;
}
