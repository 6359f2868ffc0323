// VantraTest: the desktop program, or the same engine headless for tests and machines
// without a display.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/command_line.h"
#include "shell/desktop_app.h"
#include "shell/headless_runner.h"
#include "shell/terrain_loading.h"

using vantra::shell::CommandLine;
using vantra::shell::HeadlessRunner;
using vantra::shell::LoadTerrain;
using vantra::shell::ProgramOptions;
using vantra::shell::RunDesktop;
using vantra::terrain::TerrainModel;

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit then fails with EFBIG, and the writer keeps the old
  // file and removes its temporary, instead of the process being killed mid-write.
  signal(SIGXFSZ, SIG_IGN);
  ProgramOptions options;
  std::string error;
  bool parsed = CommandLine::Parse(CommandLine::ArgumentsOf(argc, argv), &options, &error);
  if (options.help) {
    CommandLine::PrintUsage(stdout);
    return 0;
  }
  if (options.terrainInfo) {
    if (!parsed) {
      std::fprintf(stderr, "VantraTest: %s (see --help)\n", error.c_str());
      return 2;
    }
    const std::shared_ptr<const TerrainModel> model = LoadTerrain(options.run.terrain, &error);
    if (!model) return 1;
    std::printf("%s\n", model->infoJson().c_str());
    return 0;
  }
  if (!options.headless && !HasDisplay()) {
    std::fputs("VantraTest: no display (DISPLAY and WAYLAND_DISPLAY are unset); running headless\n",
               stderr);
    options.headless = true;
  }
  // The desktop reads its command line again once Qt has taken its own options out of it.
  if (!options.headless) return RunDesktop(argc, argv);

  if (parsed && !options.documents.isEmpty()) {
    error = "unknown argument \"" + options.documents.first().toStdString() + "\"";
    parsed = false;
  }
  if (!parsed) {
    std::fprintf(stderr, "VantraTest: %s (see --help)\n", error.c_str());
    return 2;
  }
  return HeadlessRunner(options.run).run();
}
