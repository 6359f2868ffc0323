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

class Terrain;

class TimeDemo : public Host {
 public:
  // Passes everything but the frame times on to host; width x height is the render size
  // the summary names.
  TimeDemo(Host& host, int width, int height);

  // Frames the flight lasts: the run stops after them.
  static long FrameCount();

  // Creates the temporary file that writeCsv fills and renames over path, before anything is
  // rendered, so that an unusable folder stops the run at once. False with the reason in
  // *error. A file already at path stays as it is until writeCsv has written the new one.
  bool openCsv(const std::string& path, std::string* error);

  // Appends to scene the object that flies the camera over terrain (one of scene's objects)
  // and reports what the terrain drew; it flies once the terrain has come through its reset.
  void addFlight(SceneObjects& scene, Terrain& terrain);

  RenderWindow* createRendererWindow(const std::string& title) override;
  int messageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void reportProgress(int done, int total) override;
  void reportStatus(const std::string& text) override;
  void objectRemoved(const std::string& name) override;
  void framePresented(const FrameTimes& times) override;

  // After the engine has stopped: frame count; mean, median, 95th and 99th percentile,
  // minimum and maximum frame time; triangles per frame; the share of leaves drawn at each
  // level of detail.
  void printSummary(std::FILE* out) const;
  // One line per frame: frame, frame ms, update ms, render ms, present ms, triangles drawn,
  // after a header line, then puts the file in place. Does nothing when no file was opened;
  // false (the temporary removed, any earlier file kept) when writing failed.
  bool writeCsv();

 private:
  // One frame of the flight.
  struct Frame {
    FrameTimes times{};
    long triangles = 0;
    std::array<int, 16> leavesPerLevel{};
  };

  Host& _host;
  const int _width;
  const int _height;
  // Filled on the render thread, sized for the whole flight up front; _presented counts the
  // frames whose times have arrived.
  std::vector<Frame> _frames;
  long _presented = 0;
  std::unique_ptr<AtomicFile> _csv;
};
