#include "shell/headless_runner.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "engine/d3d.h"
#include "platform/data_file_locator.h"
#include "platform/scripted_input_source.h"
#include "shell/headless_host.h"
#include "shell/interrupt_signals.h"
#include "shell/standard_scene.h"
#include "shell/terrain_loading.h"
#include "shell/time_demo.h"
#include "terrain/terrain_quadtree.h"

namespace vantra::shell {

namespace {

// What the terrain takes its shape from (the user's model, or the height map where the
// terrain will find it) and the rule that picks its levels of detail: both change what a
// frame draws.
std::string TerrainDescription(const terrain::TerrainModel* model, float lodError) {
  if (model != nullptr && lodError < 0.0f)
    lodError = terrain::TerrainQuadtree::kDefaultPixelTolerance;
  const std::string source = model != nullptr
                                 ? model->elevation().facts().source
                                 : platform::DataFileLocator::Program().locate("heightMap.bmp");
  char rule[64] = "levels by distance";
  if (lodError >= 0.0f)
    std::snprintf(rule, sizeof rule, "levels by projected error within %g px", lodError);
  return std::filesystem::absolute(source).lexically_normal().string() + ", " + rule;
}

}  // namespace

HeadlessRunner::HeadlessRunner(const HeadlessOptions& options)
    : HeadlessRunner(options,
                     [this] { return MakeStandardScene(nullptr, _options.lodError, _model); }) {}

HeadlessRunner::HeadlessRunner(const HeadlessOptions& options, engine::D3D::SceneFactory makeScene)
    : _options(options), _makeScene(std::move(makeScene)) {}

int HeadlessRunner::run() {
  // The script is read relative to where the program was started, before --data-dir.
  platform::ScriptedInputSource input;
  if (!_options.script.empty()) {
    std::string error;
    if (!input.load(_options.script, &error)) {
      std::fprintf(stderr, "VantraTest: script %s: %s\n", _options.script.c_str(), error.c_str());
      return 2;
    }
  }
  if (!_options.dataDir.empty() && chdir(_options.dataDir.c_str()) != 0) {
    std::fprintf(stderr, "VantraTest: cannot change into %s: %s\n", _options.dataDir.c_str(),
                 std::strerror(errno));
    return 2;
  }

  if (!_options.terrain.file.empty()) {
    std::string message;
    _model = LoadTerrain(_options.terrain, &message);
    if (!_model) return 1;
  }

  std::unique_ptr<TimeDemo> timeDemo;
  const long flightFrames =
      _options.timeDemoFrames > 0 ? _options.timeDemoFrames : TimeDemo::FrameCount();
  const long frames = _options.timeDemo ? flightFrames : _options.frames;
  input.setQuitCallback([this] { stopAfterThisFrame(); });
  HeadlessHost host(_options.width, _options.height, input, [this, frames](long presented) {
    if (presented >= frames) stopAfterThisFrame();
  });
  std::vector<std::string> removed;
  host.setObjectRemovedCallback([this, &removed](const std::string& name) {
    {
      std::lock_guard<std::mutex> lock(_lock);
      removed.push_back(name);
    }
    // The timed flight would time a scene that is not the one it is meant to measure.
    if (_options.timeDemo) stopAfterThisFrame();
  });

  if (_options.timeDemo) {
    timeDemo = std::make_unique<TimeDemo>(host, _options.width, _options.height, flightFrames,
                                          TerrainDescription(_model.get(), _options.lodError));
    if (!prepareTimeDemo(*timeDemo)) return 2;
  }
  const InterruptSignals signals;
  std::unique_ptr<engine::D3D> engine;
  if (timeDemo) {
    engine = std::make_unique<engine::D3D>(*timeDemo, [&timeDemo, this] {
      terrain::Terrain* terrain = nullptr;
      engine::SceneObjects scene = MakeStandardScene(&terrain, _options.lodError, _model);
      timeDemo->addFlight(scene, *terrain);
      return scene;
    });
  } else {
    engine = std::make_unique<engine::D3D>(host, _makeScene);
  }
  std::unique_lock<std::mutex> lock(_lock);
  _engine = engine.get();
  _changed.notify_all();
  // The render thread reports the stop it makes; an engine that ends by itself (a failed
  // initialisation) and a signal are noticed by looking now and then.
  while (!_stopping && !engine->hasFinished() && signals.received() == 0)
    _changed.wait_for(lock, std::chrono::milliseconds(20));
  lock.unlock();

  engine->requestStop();
  engine->wait();
  char lines[engine::D3D::kStatisticsLines][engine::D3D::kStatisticsLineSize];
  engine->lastFrameStatistics(lines);
  const long rendered = engine->framesRendered();
  const std::int32_t result = engine->runResult();
  engine.reset();

  if (rendered > 0)
    for (const char* line : lines) std::printf("%s\n", line);
  for (const std::string& name : removed)
    std::fprintf(stderr, "VantraTest: %s failed to start and was left out of the scene\n",
                 name.c_str());
  if (signals.received() != 0) {
    std::fprintf(stderr, "VantraTest: stopped by %s\n",
                 signals.received() == SIGINT ? "SIGINT" : "SIGTERM");
    return signals.exitStatus();
  }
  if (result != 0 || !removed.empty()) {
    if (timeDemo) std::fputs("VantraTest: the timed flight was not flown; no results\n", stderr);
    return 1;
  }
  if (timeDemo && !finishTimeDemo(*timeDemo, rendered)) return 2;
  std::fflush(stdout);
  return 0;
}

bool HeadlessRunner::prepareTimeDemo(TimeDemo& timeDemo) {
  std::string error;
  if ((_options.timeDemoCsv.empty() || timeDemo.openCsv(_options.timeDemoCsv, &error)) &&
      (_options.timeDemoJson.empty() || timeDemo.openJson(_options.timeDemoJson, &error)))
    return true;
  std::fprintf(stderr, "VantraTest: %s\n", error.c_str());
  return false;
}

bool HeadlessRunner::finishTimeDemo(TimeDemo& timeDemo, long rendered) {
  if (rendered > 0) timeDemo.printSummary(stdout);
  bool written = true;
  if (!timeDemo.writeCsv()) {
    std::fprintf(stderr, "VantraTest: cannot write %s: %s\n", _options.timeDemoCsv.c_str(),
                 std::strerror(errno));
    written = false;
  }
  if (!timeDemo.writeJson()) {
    std::fprintf(stderr, "VantraTest: cannot write %s: %s\n", _options.timeDemoJson.c_str(),
                 std::strerror(errno));
    written = false;
  }
  return written;
}

void HeadlessRunner::stopAfterThisFrame() {
  std::unique_lock<std::mutex> lock(_lock);
  // The first frame can end before the constructor has returned the engine.
  _changed.wait(lock, [this] { return _engine != nullptr; });
  if (!_stopping) {
    _stopping = true;
    _engine->requestStop();
  }
  _changed.notify_all();
}

}  // namespace vantra::shell
