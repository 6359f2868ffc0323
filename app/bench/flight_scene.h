// The terrain benchmarks' scene: a device on a headless target, the 513 x 513 terrain
// generated beside the benchmark, and an application camera flown around it in a circle.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>

#include "engine/input_devices.h"
#include "platform/com_ref.h"
#include "platform/d3d9.h"
#include "platform/headless_window.h"
#include "platform/scripted_input_source.h"
#include "scene/app_camera.h"
#include "terrain/terrain.h"
#include "terrain/terrain_quadtree.h"

class FlightScene {
 public:
  // configureDevice sets the benchmark's render states once the device exists and before
  // the terrain is built on it. The terrain has gridSide vertices a side, spacing apart.
  FlightScene(int width, int height, int poses,
              const std::function<void(IDirect3DDevice9*)>& configureDevice, int gridSide = 513,
              float spacing = 800.0f);
  // Everything that holds device resources goes while the device's context is current.
  ~FlightScene();

  vantra::terrain::TerrainQuadtree& tree() { return *terrain->quadtree(); }
  IDirect3DDevice9* device() { return _device.get(); }
  // The input source of the device's window, for another window beside it.
  vantra::platform::ScriptedInputSource& input() { return _input; }

  void useDevice() { _window.makeCurrent(); }

  // Pose i of a circle of `poses` at 450000 units around the centre, 160000 up, looking at
  // the centre.
  void aim(int pose);

  // Draws the queued leaves as the engine does (clear, view, terrain, present) and waits
  // for the rasteriser so that its work is counted.
  void drawQueue();

  std::unique_ptr<vantra::terrain::Terrain> terrain;
  vantra::scene::AppCamera camera;

 private:
  const int _poses;
  vantra::platform::ScriptedInputSource _input;
  vantra::platform::HeadlessWindow _window;
  vantra::platform::ComRef<IDirect3D9> _d3d;
  vantra::platform::ComRef<IDirect3DDevice9> _device;
  const vantra::engine::InputDevices _idle;
};

// Times work(pose) for pose 0, 1, ... in each iteration and stores the mean seconds per
// iteration in *mean, for the ratios a benchmark prints at the end.
template <typename Work>
void TimePoses(benchmark::State& state, double* mean, Work work) {
  int pose = 0;
  double total = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    work(pose++);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  *mean = total / static_cast<double>(state.iterations());
}
