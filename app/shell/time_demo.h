// The timed demo: the engine flies the built-in camera flight while this host records each
// frame's durations and what the terrain drew, then summarises them and writes them out.
#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/scene_objects.h"
#include "platform/atomic_file.h"
#include "shell/run_facts.h"

namespace vantra::terrain {
class Terrain;
}

namespace vantra::shell {

class TimeDemo : public engine::Host {
 public:
  // Passes everything but the frame times on to host; width x height is the render size
  // the summary names, frames the number of frames the run samples the flight with (the
  // flight's own FrameCount flies every frame of it), terrain what the run flies over.
  TimeDemo(engine::Host& host, int width, int height, long frames, std::string terrain);

  // Frames the flight lasts when no other number is asked for.
  static long FrameCount();

  // Creates the temporary file that writeCsv fills and renames over path, before anything is
  // rendered, so that an unusable folder stops the run at once. False with the reason in
  // *error. A file already at path stays as it is until writeCsv has written the new one.
  bool openCsv(const std::string& path, std::string* error);
  // Opens the file that writeJson fills, like openCsv.
  bool openJson(const std::string& path, std::string* error);

  // Appends to scene the object that flies the camera over terrain (one of scene's objects)
  // and reports what the terrain drew; it flies once the terrain has come through its reset.
  void addFlight(engine::SceneObjects& scene, terrain::Terrain& terrain);

  platform::RenderWindow* createRendererWindow(const std::string& title) override;
  int messageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void reportProgress(int done, int total) override;
  void reportStatus(const std::string& text) override;
  void objectRemoved(const std::string& name) override;
  void framePresented(const engine::FrameTimes& times) override;

  // After the engine has stopped: frame count and size; the facts of the run; mean, median,
  // 95th and 99th percentile, minimum and maximum frame time; triangles per frame; the mean,
  // 95th percentile and maximum of each frame's largest projected level-of-detail error; the
  // share of leaves drawn at each level of detail.
  void printSummary(std::FILE* out) const;
  // The facts of the run as "# Label: value" lines, then one line per frame: frame, frame
  // ms, update ms, render ms, present ms, triangles drawn, largest projected level-of-detail
  // error in pixels, after a header line; then puts the file in place. Does nothing when no
  // file was opened; false (the temporary removed, any earlier file kept) when writing failed.
  bool writeCsv();
  // The summary's figures and the facts as one JSON object, put in place like writeCsv's.
  bool writeJson();

 private:
  // A line of the summary: "Title: label value  label value ...", each value printed with
  // its decimals and followed by its unit when it has one.
  struct SummaryLine {
    struct Figure {
      std::string label;
      double value;
      int decimals;
      const char* unit;
    };
    std::string title;
    std::vector<Figure> figures;
  };

  // One frame of the flight.
  struct Frame {
    engine::FrameTimes times{};
    long triangles = 0;
    std::array<int, 16> leavesPerLevel{};
    // The largest error of a drawn leaf projected to the screen, in pixels.
    float lodError = 0.0f;
  };

  engine::Host& _host;
  const int _width;
  const int _height;
  // Filled on the render thread, sized for the whole flight up front; _presented counts the
  // frames whose times have arrived.
  std::vector<Frame> _frames;
  long _presented = 0;
  RunFacts _facts;
  std::unique_ptr<platform::AtomicFile> _csv;
  std::unique_ptr<platform::AtomicFile> _json;

  // The frames whose times have arrived, at most as many as the run samples.
  std::size_t recordedFrames() const;
  // The summary's figures, one entry per printed line after the first; empty without frames.
  std::vector<SummaryLine> summaryLines() const;
};

}  // namespace vantra::shell
