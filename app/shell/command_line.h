// The program's command line: every option, its usage text and its checks, in one place.
#pragma once

#include <QStringList>
#include <cstdio>
#include <string>

#include "shell/headless_runner.h"

namespace vantra::shell {

struct ProgramOptions {
  bool help = false;
  // --headless or any of the timed flight's options: no windows are opened.
  bool headless = false;
  HeadlessOptions run;
  // --terrain-info: print the model's figures and stop.
  bool terrainInfo = false;
  // Arguments that are not options: the documents the desktop opens.
  QStringList documents;
};

class CommandLine {
 public:
  // Reads arguments (the program's name first). False with a message in *error on an unknown
  // option, a missing or bad value, or options that do not go together; the options read
  // before the fault are kept, so that --help and the choice of mode still work.
  static bool Parse(const QStringList& arguments, ProgramOptions* options, std::string* error);
  // The program's arguments as given, in the local encoding.
  static QStringList ArgumentsOf(int argc, char** argv);
  static void PrintUsage(std::FILE* out);
};

}  // namespace vantra::shell
