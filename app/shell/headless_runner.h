// Runs the engine without a display for a number of frames or a scripted session.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "engine/d3d.h"
#include "terrain/terrain_model.h"

namespace vantra::shell {

class TimeDemo;

struct HeadlessOptions {
  long frames = 600;
  int width = 800;
  int height = 600;
  std::string script;        // empty: no input
  std::string dataDir;       // empty: the current directory
  bool timeDemo = false;     // fly the built-in timed flight instead of frames or a script
  std::string timeDemoCsv;   // with timeDemo: the per-frame file; empty: none
  std::string timeDemoJson;  // with timeDemo: the summary as JSON; empty: none
  long timeDemoFrames = 0;   // with timeDemo: frames that sample the flight; 0: all of its own
  // The built-in terrain's levels by projected error within this many pixels; negative:
  // by distance.
  float lodError = -1.0f;
  terrain::TerrainRequest terrain;  // the user's elevation model; no file: the built-in terrain
};

// Plays the real engine (construction, render thread, frame loop, destruction) against an
// off-screen target until the frame count is reached or the script quits, then prints the
// last frame's six statistics lines to standard output.
class HeadlessRunner {
 public:
  explicit HeadlessRunner(const HeadlessOptions& options);
  // Renders the scene makeScene gives instead of the program's own (the timed flight still
  // flies over the program's scene, with the options' terrain).
  HeadlessRunner(const HeadlessOptions& options, engine::D3D::SceneFactory makeScene);

  // 0 after a normal stop; 1 when the engine failed (for instance its initialisation), a
  // scene object failed its reset (the timed flight then stops before its first frame and
  // writes nothing) or the terrain file was refused; 2 when the script or the data directory cannot
  // be used (nothing is rendered then); 128 + the signal's number after SIGINT or SIGTERM, which
  // end the frame loop after the current frame.
  int run();

 private:
  // Render thread: stops the frame loop after the current frame.
  void stopAfterThisFrame();
  // The timed flight's checks before anything is rendered and its output after the run:
  // false (after a message) when the CSV or JSON file cannot be written.
  bool prepareTimeDemo(TimeDemo& timeDemo);
  bool finishTimeDemo(TimeDemo& timeDemo, long rendered);

  HeadlessOptions _options;
  engine::D3D::SceneFactory _makeScene;
  // The options' elevation model, loaded by run; null for the built-in terrain.
  std::shared_ptr<const terrain::TerrainModel> _model;
  std::mutex _lock;
  std::condition_variable _changed;
  engine::D3D* _engine = nullptr;
  bool _stopping = false;
};

}  // namespace vantra::shell
