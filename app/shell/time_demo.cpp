#include "shell/time_demo.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "shell/time_demo_flight.h"

namespace vantra::shell {

namespace {

// The smallest value that at least share of all frames do not exceed (nearest rank).
float Percentile(const std::vector<float>& sorted, double share) {
  const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

std::string Formatted(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

double Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

// A summary title or label as a JSON key: lower case, words joined by underscores
// ("Frame time (ms)" becomes "frame_time_ms", "95th percentile" "95th_percentile").
QString JsonKey(const std::string& text) {
  std::string key;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!key.empty() && key.back() != '_') {
      key += '_';
    }
  }
  if (!key.empty() && key.back() == '_') key.pop_back();
  return QString::fromStdString(key);
}

bool OpenForWriting(std::unique_ptr<platform::AtomicFile>& file, const std::string& path,
                    std::string* error) {
  file = std::make_unique<platform::AtomicFile>(path);
  if (file->open()) return true;
  *error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

// Puts text in place of the file, or leaves any earlier file as it was (errno says why).
bool WriteWhole(std::unique_ptr<platform::AtomicFile>& file, const std::string& text) {
  const bool written = file->write(text.data(), text.size()) && file->commit();
  file.reset();
  return written;
}

}  // namespace

TimeDemo::TimeDemo(engine::Host& host, int width, int height, long frames, std::string terrain)
    : _host(host),
      _width(width),
      _height(height),
      _frames(frames),
      _facts(width, height, std::move(terrain)) {}

long TimeDemo::FrameCount() { return TimeDemoFlight::FrameCount(); }

bool TimeDemo::openCsv(const std::string& path, std::string* error) {
  return OpenForWriting(_csv, path, error);
}

bool TimeDemo::openJson(const std::string& path, std::string* error) {
  return OpenForWriting(_json, path, error);
}

void TimeDemo::addFlight(engine::SceneObjects& scene, terrain::Terrain& terrain) {
  auto flight = std::make_unique<TimeDemoFlight>(
      [this](long frame, const terrain::TerrainQuadtree::DrawCounts& drawn) {
        if (frame >= static_cast<long>(_frames.size())) return;
        _frames[frame].triangles = drawn.triangles;
        _frames[frame].leavesPerLevel = drawn.leavesPerLevel;
        _frames[frame].lodError = drawn.maxProjectedError;
      },
      static_cast<long>(_frames.size()));
  TimeDemoFlight* flying = flight.get();
  scene.objects.push_back(std::move(flight));
  // Told only when the terrain's reset succeeded: a failed terrain is deleted at once.
  scene.followCamera = [follow = std::move(scene.followCamera), flying,
                        &terrain](engine::Camera* camera) {
    follow(camera);
    flying->flyOver(&terrain);
  };
}

platform::RenderWindow* TimeDemo::createRendererWindow(const std::string& title) {
  return _host.createRendererWindow(title);
}

int TimeDemo::messageBox(const std::string& text, const std::string& caption, unsigned type) {
  return _host.messageBox(text, caption, type);
}

void TimeDemo::reportProgress(int done, int total) { _host.reportProgress(done, total); }

void TimeDemo::reportStatus(const std::string& text) { _host.reportStatus(text); }

void TimeDemo::objectRemoved(const std::string& name) { _host.objectRemoved(name); }

void TimeDemo::framePresented(const engine::FrameTimes& times) {
  // The device's context is current on the render thread here.
  if (_presented == 0) _facts.readRenderer();
  if (_presented < static_cast<long>(_frames.size())) _frames[_presented].times = times;
  ++_presented;
  _host.framePresented(times);
}

std::size_t TimeDemo::recordedFrames() const {
  return std::min<std::size_t>(_presented, _frames.size());
}

std::vector<TimeDemo::SummaryLine> TimeDemo::summaryLines() const {
  const std::size_t count = recordedFrames();
  if (count == 0) return {};

  std::vector<float> times, lodErrors;
  double sum = 0.0, lodErrorSum = 0.0;
  long triangles = 0, fewest = _frames[0].triangles, most = _frames[0].triangles;
  std::array<long, 16> leaves{};
  long allLeaves = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Frame& frame = _frames[i];
    times.push_back(frame.times.frame);
    sum += frame.times.frame;
    lodErrors.push_back(frame.lodError);
    lodErrorSum += frame.lodError;
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

  std::vector<SummaryLine> lines;
  lines.push_back({"Frame time (ms)",
                   {{"mean", sum / static_cast<double>(count), 3, nullptr},
                    {"median", middle, 3, nullptr},
                    {"95th percentile", Percentile(times, 0.95), 3, nullptr},
                    {"99th percentile", Percentile(times, 0.99), 3, nullptr},
                    {"min", times.front(), 3, nullptr},
                    {"max", times.back(), 3, nullptr}}});
  lines.push_back({"Triangles drawn per frame",
                   {{"mean", static_cast<double>(triangles / static_cast<long>(count)), 0, nullptr},
                    {"min", static_cast<double>(fewest), 0, nullptr},
                    {"max", static_cast<double>(most), 0, nullptr}}});
  std::sort(lodErrors.begin(), lodErrors.end());
  lines.push_back({"LOD error (px)",
                   {{"mean", lodErrorSum / static_cast<double>(count), 2, nullptr},
                    {"95th percentile", Percentile(lodErrors, 0.95), 2, nullptr},
                    {"max", lodErrors.back(), 2, nullptr}}});
  SummaryLine levels{"Leaves drawn per level of detail", {}};
  for (std::size_t level = 0; level < leaves.size(); ++level)
    if (leaves[level] > 0)
      levels.figures.push_back(
          {std::to_string(level) + ":",
           100.0 * static_cast<double>(leaves[level]) / static_cast<double>(allLeaves), 1, "%"});
  lines.push_back(levels);
  return lines;
}

void TimeDemo::printSummary(std::FILE* out) const {
  std::fprintf(out, "Timedemo: %zu frames at %dx%d\n", recordedFrames(), _width, _height);
  for (const RunFacts::Fact& fact : _facts.facts())
    std::fprintf(out, "%s: %s\n", fact.first.c_str(), fact.second.c_str());
  for (const SummaryLine& line : summaryLines()) {
    std::fprintf(out, "%s:", line.title.c_str());
    const char* separator = " ";
    for (const SummaryLine::Figure& figure : line.figures) {
      std::fprintf(out, "%s%s %s", separator, figure.label.c_str(),
                   Formatted(figure.value, figure.decimals).c_str());
      if (figure.unit != nullptr) std::fprintf(out, " %s", figure.unit);
      separator = "  ";
    }
    std::fprintf(out, "\n");
  }
}

bool TimeDemo::writeCsv() {
  if (!_csv) return true;
  std::string text;
  // Comment lines ahead of the header, which CSV readers can be told to skip.
  for (const RunFacts::Fact& fact : _facts.facts())
    text += "# " + fact.first + ": " + fact.second + '\n';
  text += "frame,frame_ms,update_ms,render_ms,present_ms,triangles,lod_error_px\n";
  const std::size_t count = recordedFrames();
  char line[160];
  for (std::size_t i = 0; i < count; ++i) {
    const Frame& frame = _frames[i];
    std::snprintf(line, sizeof line, "%zu,%.4f,%.4f,%.4f,%.4f,%ld,%.3f\n", i, frame.times.frame,
                  frame.times.update, frame.times.render, frame.times.present, frame.triangles,
                  frame.lodError);
    text += line;
  }
  return WriteWhole(_csv, text);
}

bool TimeDemo::writeJson() {
  if (!_json) return true;
  QJsonObject summary;
  summary["frames"] = static_cast<qint64>(recordedFrames());
  QJsonObject facts;
  for (const RunFacts::Fact& fact : _facts.facts())
    facts[JsonKey(fact.first)] = QString::fromStdString(fact.second);
  summary["facts"] = facts;
  // The figures rounded as printed, so that a script reads what a person reads.
  for (const SummaryLine& line : summaryLines()) {
    QJsonObject figures;
    for (const SummaryLine::Figure& figure : line.figures)
      figures[JsonKey(figure.label)] = Rounded(figure.value, figure.decimals);
    summary[JsonKey(line.title)] = figures;
  }
  return WriteWhole(_json, QJsonDocument(summary).toJson().toStdString());
}

}  // namespace vantra::shell
