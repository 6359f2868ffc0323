// Level of detail by projected error, each figure against its peer in the same run, on an
// 800 x 600 headless target:
//  - the built-in terrain's timed flight under the distance rule and under the pixel-error
//    rule at 4 px and 1 px: the largest projected error of any frame, triangles per frame and
//    mean frame time;
//  - the same world (409.6 km a side) on a 4097 x 4097 grid against the 513 x 513 grid, both
//    at 2 px over the same flight: median and 95th percentile frame time;
//  - the quadtree's build of the 513 grid, the whole terrain's of the 4097 grid, and the
//    memory the 4097 grid holds per vertex after its build and after its flight (whose
//    frames fill the leaves they draw on their own).
// The goals are printed beside the measured ratios at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/input_devices.h"
#include "flight_scene.h"
#include "shell/time_demo_flight.h"
#include "terrain/quad_leaf.h"

using vantra::Matrix;
using vantra::Vector;
using vantra::engine::InputDevices;
using vantra::shell::TimeDemoFlight;
using vantra::terrain::TerrainQuadtree;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr float kWorldSide = 409600.0f;

void SetUpLikeTheProgram(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, 0);
}

// Resident memory of this process in bytes.
double ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kilobytes = 0.0;
      status >> kilobytes;
      return kilobytes * 1024.0;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0.0;
}

// A grid of side vertices over the built-in world, flown along the timed flight.
class Flight : public FlightScene {
 public:
  explicit Flight(int side)
      : FlightScene(kWidth, kHeight, 1, SetUpLikeTheProgram, side, kWorldSide / (side - 1)) {}

  // One frame of the flight at frame (of its 721), drawn and waited for; returns the triangles
  // and the largest projected error drawn.
  TerrainQuadtree::DrawCounts frame(long number) {
    const Vector& scale = terrain->scale();
    Vector eye, target;
    TimeDemoFlight::Pose(number, (terrain->width() - 1) * 0.5f * scale.x,
                         (terrain->depth() - 1) * 0.5f * scale.z, scale.y, &eye, &target);
    Vector forward = target - eye;
    forward.normalize();
    Vector right = Vector(0.0f, 1.0f, 0.0f) ^ forward;
    if (right.isZero()) right = Vector(1.0f, 0.0f, 0.0f);
    right.normalize();
    camera.cameraWorldMatrix() = Matrix(eye, right, forward ^ right, forward);
    camera.steer(InputDevices());
    tree().update();
    drawQueue();
    return tree().lastDrawn();
  }
};

// What one flight measured, per frame.
struct Record {
  std::vector<double> seconds;
  std::vector<long> triangles;
  std::vector<float> errors;
  std::vector<long> draws;

  double mean(const std::vector<double>& values) const {
    double sum = 0.0;
    for (const double v : values) sum += v;
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
  }
  double meanSeconds() const { return mean(seconds); }
  double meanTriangles() const {
    return mean(std::vector<double>(triangles.begin(), triangles.end()));
  }
  double percentileSeconds(double share) const {
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(share * static_cast<double>(sorted.size()));
    return sorted.empty() ? 0.0 : sorted[std::min(rank, sorted.size() - 1)];
  }
  double slowestSeconds() const {
    return seconds.empty() ? 0.0 : *std::max_element(seconds.begin(), seconds.end());
  }
  float maxError() const {
    return errors.empty() ? 0.0f : *std::max_element(errors.begin(), errors.end());
  }
};

std::map<std::string, Record> records;
double builtFor513 = 0.0, builtFor4097 = 0.0, processorFor4097 = 0.0, bytesPerVertex = 0.0;
// Resident bytes before the 4097 grid was built, and per vertex of it after its flight.
double residentBefore4097 = 0.0, bytesPerVertexFlown = 0.0;
// The 4097 grid's leaves that got their full-detail buffers during its flight.
int leavesFilledIn4097Flight = 0;

// Processor time of every thread of this process, in seconds.
double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

Flight& Grid513() {
  static Flight flight(513);
  return flight;
}

Flight& Grid4097() {
  static std::unique_ptr<Flight> flight;
  if (!flight) {
    // The build is timed whole, maps included, as a user waits for it.
    residentBefore4097 = ResidentBytes();
    const double processorBefore = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    flight = std::make_unique<Flight>(4097);
    builtFor4097 = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    processorFor4097 = ProcessorSeconds() - processorBefore;
    bytesPerVertex = (ResidentBytes() - residentBefore4097) / (4097.0 * 4097.0);
  }
  return *flight;
}

// Flies the flight on a grid with a tolerance (negative: the distance rule), one frame per
// iteration from the first to the last, evenly spaced, and records it under name.
void FlyFlight(benchmark::State& state, Flight& flight, float tolerance, const std::string& name) {
  const long step =
      (TimeDemoFlight::FrameCount() - 1) / std::max<long>(state.max_iterations - 1, 1);
  flight.useDevice();
  if (tolerance >= 0.0f)
    flight.terrain->setPixelErrorTolerance(tolerance);
  else
    flight.tree().setLodRule(TerrainQuadtree::LodRule::kDistance);
  Record record;
  long number = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const TerrainQuadtree::DrawCounts drawn = flight.frame(number);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    record.seconds.push_back(seconds);
    record.triangles.push_back(drawn.triangles);
    record.errors.push_back(drawn.maxProjectedError);
    record.draws.push_back(drawn.draws);
    number = (number + step) % TimeDemoFlight::FrameCount();
  }
  state.counters["max_error_px"] = record.maxError();
  state.counters["triangles"] = record.meanTriangles();
  state.counters["draws"] =
      record.mean(std::vector<double>(record.draws.begin(), record.draws.end()));
  state.counters["max_draws"] =
      static_cast<double>(*std::max_element(record.draws.begin(), record.draws.end()));
  records[name] = record;
}

void BM_Flight513DistanceRule(benchmark::State& state) {
  FlyFlight(state, Grid513(), -1.0f, "distance");
}
void BM_Flight513Error4px(benchmark::State& state) { FlyFlight(state, Grid513(), 4.0f, "4px"); }
void BM_Flight513Error1px(benchmark::State& state) { FlyFlight(state, Grid513(), 1.0f, "1px"); }
// The distance rule again, on the textures as a tolerance leaves them (read through their mip
// chains, as after E in the program): what the error rules cost beyond their texture reads.
void BM_Flight513DistanceRuleMipFiltered(benchmark::State& state) {
  Grid513().terrain->setPixelErrorTolerance(4.0f);
  FlyFlight(state, Grid513(), -1.0f, "distance, mip-filtered");
}
void BM_Flight513Error2px(benchmark::State& state) {
  FlyFlight(state, Grid513(), 2.0f, "513 at 2px");
}
void BM_Flight4097Error2px(benchmark::State& state) {
  FlyFlight(state, Grid4097(), 2.0f, "4097 at 2px");
  bytesPerVertexFlown = (ResidentBytes() - residentBefore4097) / (4097.0 * 4097.0);
  const TerrainQuadtree& tree = Grid4097().tree();
  for (int i = 0; i < tree.leafCount(); ++i)
    leavesFilledIn4097Flight += tree.leaf(i)->patch()->vertexBuffer() != nullptr;
}

void BuildTree(benchmark::State& state, Flight& flight, double* seconds) {
  flight.useDevice();
  const int last = flight.terrain->width() - 1;
  double total = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TerrainQuadtree tree(flight.device(), flight.terrain.get(), nullptr, 0, last, 0, last);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(tree.root());
  }
  *seconds = total / static_cast<double>(state.iterations());
}

// First, as the program builds its terrain when it starts. Later in the run the build's fresh
// memory comes after the 4097 grid's, and on this machine touching it then took 20 ms more.
void BM_QuadtreeBuild513(benchmark::State& state) { BuildTree(state, Grid513(), &builtFor513); }
BENCHMARK(BM_QuadtreeBuild513)->Unit(benchmark::kMillisecond)->Iterations(5);

// The whole flight once per run, one frame per iteration: all 721 frames, or every third.
void EveryFrame(benchmark::internal::Benchmark* flight) {
  flight->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(TimeDemoFlight::FrameCount());
}
void EveryThirdFrame(benchmark::internal::Benchmark* flight) {
  flight->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations((TimeDemoFlight::FrameCount() - 1) / 3 + 1);
}
BENCHMARK(BM_Flight513DistanceRule)->Apply(EveryFrame);
BENCHMARK(BM_Flight513Error4px)->Apply(EveryFrame);
BENCHMARK(BM_Flight513Error1px)->Apply(EveryFrame);
BENCHMARK(BM_Flight513DistanceRuleMipFiltered)->Apply(EveryFrame);
BENCHMARK(BM_Flight513Error2px)->Apply(EveryThirdFrame);
BENCHMARK(BM_Flight4097Error2px)->Apply(EveryThirdFrame);

// The 4097 terrain's whole build, alone: the flights over it reuse it.
void BM_TerrainBuild4097(benchmark::State& state) {
  for (auto _ : state) Grid4097();
  state.counters["seconds"] = builtFor4097;
  state.counters["processor_seconds"] = processorFor4097;
}
BENCHMARK(BM_TerrainBuild4097)->Unit(benchmark::kMillisecond)->Iterations(1);

void PrintGoals() {
  const auto found = [](const char* name) { return records.count(name) > 0; };
  if (found("distance") && found("4px")) {
    const Record& d = records["distance"];
    const Record& e = records["4px"];
    std::printf(
        "flight 513, 4 px: largest error %.2f px (goal <= 4), triangles %.3f x and mean "
        "frame %.3f x the distance rule's (goals <= 1.05, <= 1.0); distance rule's "
        "largest error %.2f px\n",
        e.maxError(), e.meanTriangles() / d.meanTriangles(), e.meanSeconds() / d.meanSeconds(),
        d.maxError());
    if (found("distance, mip-filtered"))
      std::printf(
          "flight 513, 4 px: mean frame %.3f x the distance rule's on mip-filtered "
          "textures (the distance rule's own: %.3f x unfiltered)\n",
          e.meanSeconds() / records["distance, mip-filtered"].meanSeconds(),
          records["distance, mip-filtered"].meanSeconds() / d.meanSeconds());
  }
  if (found("distance") && found("1px")) {
    const Record& d = records["distance"];
    const Record& e = records["1px"];
    std::printf(
        "flight 513, 1 px: largest error %.2f px (goal <= 1), mean frame %.3f x the "
        "distance rule's (goal <= 1.6)\n",
        e.maxError(), e.meanSeconds() / d.meanSeconds());
  }
  if (found("513 at 2px") && found("4097 at 2px")) {
    const Record& small = records["513 at 2px"];
    const Record& big = records["4097 at 2px"];
    std::printf(
        "same world at 2 px, 4097 grid / 513 grid: median frame %.3f x (goal <= 1.5; %.1f "
        "against %.1f ms), 95th percentile %.3f x (goal <= 2)\n",
        big.percentileSeconds(0.5) / small.percentileSeconds(0.5), big.percentileSeconds(0.5) * 1e3,
        small.percentileSeconds(0.5) * 1e3,
        big.percentileSeconds(0.95) / small.percentileSeconds(0.95));
    std::printf("slowest frame at 2 px: 4097 grid %.1f ms, 513 grid %.1f ms\n",
                big.slowestSeconds() * 1e3, small.slowestSeconds() * 1e3);
  }
  if (builtFor513 > 0.0) std::printf("build 513: %.1f ms (goal <= 20)\n", builtFor513 * 1e3);
  if (builtFor4097 > 0.0)
    std::printf("build 4097: %.2f s (goal <= 1.0), processor time of all threads %.2f s\n",
                builtFor4097, processorFor4097);
  if (bytesPerVertex > 0.0)
    std::printf("4097 grid resident: %.1f bytes per vertex after the build (goal <= 50)\n",
                bytesPerVertex);
  if (bytesPerVertexFlown > 0.0)
    std::printf(
        "4097 grid resident: %.1f bytes per vertex after its flight, which filled %d of its "
        "4096 leaves\n",
        bytesPerVertexFlown, leavesFilledIn4097Flight);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintGoals();
  return 0;
}
