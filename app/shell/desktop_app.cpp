#include "shell/desktop_app.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/command_line.h"
#include "shell/debug_file.h"
#include "shell/vantra_test_app.h"

namespace vantra::shell {

int RunDesktop(int argc, char** argv) {
  // Mesa 22.3's llvmpipe corrupts fully covered tiles of a window framebuffer from the
  // second frame on unless its linear rasteriser is off. This must be set before the first
  // GL context exists; a value the user chose is kept.
  setenv("LP_PERF", "no_rast_linear", 0);

  const DebugFile debug;

  CVantraTestApp app(argc, argv);
  ProgramOptions options;
  std::string error;
  if (!CommandLine::Parse(app.arguments(), &options, &error)) {
    std::fprintf(stderr, "VantraTest: %s (see --help)\n", error.c_str());
    return 2;
  }
  app.setOptions(options);
  if (!app.initInstance()) return app.exitInstance(1);
  return app.exitInstance(app.exec());
}

}  // namespace vantra::shell
