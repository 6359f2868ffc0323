#include "shell/command_line.h"

#include <QCommandLineParser>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "elevation/elevation_model.h"

namespace vantra::shell {

namespace {

constexpr int kLargestSide = 16384;
// Each sampled frame of a timed flight keeps its record in memory until the run ends.
constexpr long kMostTimeDemoFrames = 100000;

bool ParseCount(const std::string& text, long* value) {
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < 1) return false;
  *value = parsed;
  return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  long w = 0;
  long h = 0;
  if (!ParseCount(text.substr(0, x), &w) || !ParseCount(text.substr(x + 1), &h)) return false;
  if (w > kLargestSide || h > kLargestSide) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// A pixel tolerance: a finite number from 0 to kLargestPixels.
constexpr int kLargestPixels = 1000;
// Heights may be exaggerated from kLeastExaggeration to kMostExaggeration times.
constexpr double kLeastExaggeration = 0.001;
constexpr double kMostExaggeration = 1000.0;

// A finite number from lowest to highest.
bool ParseNumber(const std::string& text, double lowest, double highest, float* value) {
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str() || *end != '\0' || !(parsed >= lowest) || parsed > highest)
    return false;
  *value = static_cast<float>(parsed);
  return true;
}

// The name an option was given under, for messages.
std::string Spelled(const QString& name) {
  return (name.size() == 1 ? "-" : "--") + name.toStdString();
}

}  // namespace

QStringList CommandLine::ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

bool CommandLine::Parse(const QStringList& arguments, ProgramOptions* options, std::string* error) {
  QCommandLineParser parser;
  // Options are words after one or two dashes; nothing is read as bundled letters.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({"h", "help"}, "");
  const QCommandLineOption headless("headless", "");
  const QCommandLineOption frames("frames", "", "N");
  const QCommandLineOption size("size", "", "WxH");
  const QCommandLineOption script("script", "", "FILE");
  const QCommandLineOption dataDir("data-dir", "", "DIR");
  const QCommandLineOption timeDemo("timedemo", "");
  const QCommandLineOption timeDemoCsv("timedemo-csv", "", "FILE");
  const QCommandLineOption timeDemoJson("timedemo-json", "", "FILE");
  const QCommandLineOption timeDemoFrames("timedemo-frames", "", "N");
  const QCommandLineOption lodError("lod-error", "", "PX");
  const QCommandLineOption terrain("terrain", "", "FILE");
  const QCommandLineOption terrainGrid("terrain-grid", "", "N");
  const QCommandLineOption exaggeration("exaggeration", "", "F");
  const QCommandLineOption terrainTexture("terrain-texture", "", "FILE");
  const QCommandLineOption terrainInfo("terrain-info", "");
  parser.addOptions({help, headless, frames, size, script, dataDir, timeDemo, timeDemoCsv,
                     timeDemoJson, timeDemoFrames, lodError, terrain, terrainGrid, exaggeration,
                     terrainTexture, terrainInfo});

  const bool parsed = parser.parse(arguments);
  options->help = parser.isSet(help);
  // Every option of the timed flight makes a timed, headless run.
  for (const QString& name : parser.optionNames())
    if (name.startsWith("timedemo")) options->run.timeDemo = true;
  options->headless = parser.isSet(headless) || options->run.timeDemo;
  if (!parsed) {
    // Qt stops reading a value-taking option only at the end of the arguments.
    const QStringList unknown = parser.unknownOptionNames();
    *error = unknown.isEmpty() ? arguments.last().toStdString() + " needs a value"
                               : "unknown argument \"" + Spelled(unknown.first()) + "\"";
    return false;
  }

  HeadlessOptions& run = options->run;
  if (parser.isSet(frames) && !ParseCount(parser.value(frames).toStdString(), &run.frames)) {
    *error = "--frames needs a whole number of 1 or more, not \"" +
             parser.value(frames).toStdString() + "\"";
    return false;
  }
  if (parser.isSet(size) && !ParseSize(parser.value(size).toStdString(), &run.width, &run.height)) {
    *error = "--size needs WIDTHxHEIGHT with sides from 1 to " + std::to_string(kLargestSide) +
             ", not \"" + parser.value(size).toStdString() + "\"";
    return false;
  }
  if (parser.isSet(lodError) &&
      !ParseNumber(parser.value(lodError).toStdString(), 0.0, kLargestPixels, &run.lodError)) {
    *error = "--lod-error needs a number of pixels from 0 to " + std::to_string(kLargestPixels) +
             ", not \"" + parser.value(lodError).toStdString() + "\"";
    return false;
  }
  if (parser.isSet(script)) run.script = parser.value(script).toStdString();
  if (parser.isSet(dataDir)) run.dataDir = parser.value(dataDir).toStdString();
  // Like the script, relative to where the program was started, not to --data-dir.
  if (parser.isSet(timeDemoCsv))
    run.timeDemoCsv = std::filesystem::absolute(parser.value(timeDemoCsv).toStdString()).string();
  if (parser.isSet(timeDemoJson))
    run.timeDemoJson = std::filesystem::absolute(parser.value(timeDemoJson).toStdString()).string();
  if (parser.isSet(timeDemoFrames) &&
      (!ParseCount(parser.value(timeDemoFrames).toStdString(), &run.timeDemoFrames) ||
       run.timeDemoFrames > kMostTimeDemoFrames)) {
    *error = "--timedemo-frames needs a whole number from 1 to " +
             std::to_string(kMostTimeDemoFrames) + ", not \"" +
             parser.value(timeDemoFrames).toStdString() + "\"";
    return false;
  }
  // Model files, like the script, are named relative to where the program was started.
  terrain::TerrainRequest& model = run.terrain;
  if (parser.isSet(terrain))
    model.file = std::filesystem::absolute(parser.value(terrain).toStdString()).string();
  if (parser.isSet(terrainTexture))
    model.textureFile =
        std::filesystem::absolute(parser.value(terrainTexture).toStdString()).string();
  if (parser.isSet(terrainGrid)) {
    long side = 0;
    if (!ParseCount(parser.value(terrainGrid).toStdString(), &side) ||
        !elevation::ElevationModel::IsGridSide(static_cast<int>(side))) {
      *error = "--terrain-grid needs 129, 257, 513, 1025, 2049 or 4097, not \"" +
               parser.value(terrainGrid).toStdString() + "\"";
      return false;
    }
    model.gridSide = static_cast<int>(side);
  }
  if (parser.isSet(exaggeration) &&
      !ParseNumber(parser.value(exaggeration).toStdString(), kLeastExaggeration, kMostExaggeration,
                   &model.exaggeration)) {
    *error = "--exaggeration needs a number from 0.001 to 1000, not \"" +
             parser.value(exaggeration).toStdString() + "\"";
    return false;
  }
  options->terrainInfo = parser.isSet(terrainInfo);
  for (const QCommandLineOption* option :
       {&terrainGrid, &exaggeration, &terrainTexture, &terrainInfo})
    if (parser.isSet(*option) && model.file.empty()) {
      *error = "--" + option->names().first().toStdString() + " needs --terrain FILE";
      return false;
    }
  // The flight is the same on every run: no input may steer it.
  if (run.timeDemo && !run.script.empty()) {
    *error = "--timedemo flies by itself and takes no --script";
    return false;
  }
  options->documents = parser.positionalArguments();
  return true;
}

void CommandLine::PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: VantraTest [--headless [--frames N] [--size WxH] [--script FILE]\n"
      "                  [--data-dir DIR]] [TERRAIN OPTIONS] | --help\n"
      "       VantraTest --timedemo [--timedemo-csv FILE] [--timedemo-json FILE]\n"
      "                  [--timedemo-frames N] [--size WxH] [--data-dir DIR]\n"
      "                  [TERRAIN OPTIONS]\n"
      "       VantraTest --terrain FILE [--terrain-grid N] --terrain-info\n"
      "Either form and the desktop also take [--lod-error PX].\n"
      "\n"
      "Without --headless the program opens its main window and the \"3D App\" renderer\n"
      "window. With no display (neither DISPLAY nor WAYLAND_DISPLAY set) it runs headless.\n"
      "\n"
      "Headless, the engine renders off screen and prints the last frame's six statistics\n"
      "lines to standard output; message boxes and progress go to standard error.\n"
      "  --frames N      stop after N frames (default 600)\n"
      "  --size WxH      render target size in pixels (default 800x600)\n"
      "  --script FILE   play keyboard and mouse input from FILE\n"
      "  --data-dir DIR  change into DIR first: the bitmaps are read and the screen capture\n"
      "                  written there (a bitmap missing there comes from the installed copy)\n"
      "  --timedemo      fly the built-in timed flight (the same frames on every run)\n"
      "                  and print frame-time statistics and what made them (build,\n"
      "                  renderer, processor, size, terrain, date) to standard output\n"
      "  --timedemo-csv FILE  also write one line per frame to FILE: frame, frame ms,\n"
      "                  update ms, render ms, present ms, triangles drawn, largest\n"
      "                  projected level-of-detail error in pixels, after the facts of\n"
      "                  the run as '#' comment lines and a header\n"
      "  --timedemo-json FILE  also write the statistics and the facts as one JSON object\n"
      "  --timedemo-frames N  fly the whole flight in N frames (1 to 100000) instead of\n"
      "                  its own 721, sampling it evenly\n"
      "  --lod-error PX  give each terrain leaf the coarsest level of detail whose geometric\n"
      "                  error, projected to the screen, is at most PX pixels (0: full\n"
      "                  detail everywhere); without it levels follow the distance\n"
      "\n"
      "Your own terrain, on the desktop, headless or in the timed flight:\n"
      "  --terrain FILE  fly over an elevation model instead of the built-in valley:\n"
      "                  GeoTIFF, SRTM .hgt tile, ASCII grid (.asc), 16-bit PNG, or a\n"
      "                  .bmp of 24-bit height words like the built-in map\n"
      "  --terrain-grid N     vertices a side: 129, 257, 513, 1025, 2049 or 4097\n"
      "                  (default: the smallest that holds the model's larger side)\n"
      "  --exaggeration F     multiply heights by F (default 1)\n"
      "  --terrain-texture FILE  colour the model with an RGB image over the same ground\n"
      "                  (GeoTIFF, PNG or JPEG) instead of colours made from its heights\n"
      "  --terrain-info  print the model's figures as one JSON object and stop\n"
      "  --help          show this text\n"
      "\n"
      "Script: one event per line, '#' starts a comment, frames count from 0 and must not\n"
      "decrease; a frame's events are what that frame's input poll sees.\n"
      "  F key NAME down|up   NAME is a key-code name without DIK_ (F12, SPACE, ADD, W...)\n"
      "                       or a code such as 0x58\n"
      "  F mouse DX DY        relative mouse motion reported in frame F\n"
      "  F button N down|up   mouse button N, 0 to 3\n"
      "  F quit               stop after frame F, as closing the window does\n"
      "A malformed line, an unknown key or frames out of order stop the run before the\n"
      "first frame.\n"
      "\n"
      "Exit status: 0 after a normal stop, 1 when the engine failed (for instance its\n"
      "initialisation), a scene object could not start (the timed flight then flies\n"
      "nothing) or the terrain file was refused, 2 for bad arguments, an unusable script\n"
      "or data directory, 130 or 143 after SIGINT or SIGTERM (the run ends after the\n"
      "current frame, writing nothing).\n",
      out);
}

}  // namespace vantra::shell
