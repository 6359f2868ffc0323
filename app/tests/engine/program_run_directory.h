// A scratch directory that the end-to-end tests run the real program in, with its output
// and errors caught in files there. Shared by the engine's and the shell's tests.
#pragma once

#include <filesystem>
#include <string>

namespace vantra::engine {

struct ProgramResult {
  int exitCode;  // -1 when the command did not exit normally
  std::string out;
  std::string err;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// A fresh directory under /tmp, removed with everything in it when destroyed.
class ProgramRunDirectory {
 public:
  ProgramRunDirectory();
  ~ProgramRunDirectory();
  ProgramRunDirectory(const ProgramRunDirectory&) = delete;
  ProgramRunDirectory& operator=(const ProgramRunDirectory&) = delete;

  const std::filesystem::path& path() const { return _path; }

  // Links the terrain bitmaps that folder holds into this directory.
  void linkMaps(const std::filesystem::path& folder) const;

  // Runs command (a shell command line) in this directory; its standard output and error
  // go to stdout.txt and stderr.txt here.
  ProgramResult runCommand(const std::string& command) const;

 private:
  std::filesystem::path _path;
};

}  // namespace vantra::engine
