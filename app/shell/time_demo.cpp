#include "shell/time_demo.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "shell/time_demo_flight.h"

namespace {

// The smallest frame time that at least share of all frames do not exceed (nearest rank).
float Percentile(const std::vector<float>& sorted, double share) {
  const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

TimeDemo::TimeDemo(Host& host, int width, int height)
    : _host(host), _width(width), _height(height), _frames(FrameCount()) {}

long TimeDemo::FrameCount() { return TimeDemoFlight::FrameCount(); }

bool TimeDemo::openCsv(const std::string& path, std::string* error) {
  _csv = std::make_unique<AtomicFile>(path);
  if (!_csv->open()) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void TimeDemo::addFlight(SceneObjects& scene, Terrain& terrain) {
  auto flight = std::make_unique<TimeDemoFlight>(
      [this](long frame, const TerrainQuadtree::DrawCounts& drawn) {
        if (frame >= static_cast<long>(_frames.size())) return;
        _frames[frame].triangles = drawn.triangles;
        _frames[frame].leavesPerLevel = drawn.leavesPerLevel;
      });
  TimeDemoFlight* flying = flight.get();
  scene.objects.push_back(std::move(flight));
  // Told only when the terrain's reset succeeded: a failed terrain is deleted at once.
  scene.followCamera = [follow = std::move(scene.followCamera), flying, &terrain](Camera* camera) {
    follow(camera);
    flying->flyOver(&terrain);
  };
}

RenderWindow* TimeDemo::createRendererWindow(const std::string& title) {
  return _host.createRendererWindow(title);
}

int TimeDemo::messageBox(const std::string& text, const std::string& caption, unsigned type) {
  return _host.messageBox(text, caption, type);
}

void TimeDemo::reportProgress(int done, int total) { _host.reportProgress(done, total); }

void TimeDemo::reportStatus(const std::string& text) { _host.reportStatus(text); }

void TimeDemo::objectRemoved(const std::string& name) { _host.objectRemoved(name); }

void TimeDemo::framePresented(const FrameTimes& times) {
  if (_presented < static_cast<long>(_frames.size())) _frames[_presented].times = times;
  ++_presented;
  _host.framePresented(times);
}

void TimeDemo::printSummary(std::FILE* out) const {
  const std::size_t count = std::min<std::size_t>(_presented, _frames.size());
  std::fprintf(out, "Timedemo: %zu frames at %dx%d\n", count, _width, _height);
  if (count == 0) return;

  std::vector<float> times;
  double sum = 0.0;
  long triangles = 0, fewest = _frames[0].triangles, most = _frames[0].triangles;
  std::array<long, 16> leaves{};
  long allLeaves = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Frame& frame = _frames[i];
    times.push_back(frame.times.frame);
    sum += frame.times.frame;
    triangles += frame.triangles;
    fewest = std::min(fewest, frame.triangles);
    most = std::max(most, frame.triangles);
    for (std::size_t level = 0; level < leaves.size(); ++level) {
      leaves[level] += frame.leavesPerLevel[level];
      allLeaves += frame.leavesPerLevel[level];
    }
  }
  std::sort(times.begin(), times.end());
  const double middle = count % 2 == 1
                            ? times[count / 2]
                            : (static_cast<double>(times[count / 2 - 1]) + times[count / 2]) / 2.0;
  std::fprintf(out,
               "Frame time (ms): mean %.3f  median %.3f  95th percentile %.3f  "
               "99th percentile %.3f  min %.3f  max %.3f\n",
               sum / static_cast<double>(count), middle, Percentile(times, 0.95),
               Percentile(times, 0.99), times.front(), times.back());
  std::fprintf(out, "Triangles drawn per frame: mean %ld  min %ld  max %ld\n",
               triangles / static_cast<long>(count), fewest, most);
  std::fprintf(out, "Leaves drawn per level of detail:");
  for (std::size_t level = 0; level < leaves.size(); ++level)
    if (leaves[level] > 0)
      std::fprintf(out, "  %zu: %.1f %%", level,
                   100.0 * static_cast<double>(leaves[level]) / static_cast<double>(allLeaves));
  std::fprintf(out, "\n");
}

bool TimeDemo::writeCsv() {
  if (!_csv) return true;
  std::string text = "frame,frame_ms,update_ms,render_ms,present_ms,triangles\n";
  const std::size_t count = std::min<std::size_t>(_presented, _frames.size());
  char line[160];
  for (std::size_t i = 0; i < count; ++i) {
    const Frame& frame = _frames[i];
    std::snprintf(line, sizeof line, "%zu,%.4f,%.4f,%.4f,%.4f,%ld\n", i, frame.times.frame,
                  frame.times.update, frame.times.render, frame.times.present, frame.triangles);
    text += line;
  }
  const bool written = _csv->write(text.data(), text.size()) && _csv->commit();
  _csv.reset();
  return written;
}
