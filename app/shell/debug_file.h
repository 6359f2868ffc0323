// The empty "debug.txt" the program keeps open in its working directory while it runs.
#pragma once

#include <string>

namespace vantra::shell {

// Creates the file when nothing of that name exists and holds it open until destroyed;
// nothing is ever written to it. An existing file is left untouched, and a symbolic link of
// that name is never followed, so no data of the user's can be emptied.
class DebugFile {
 public:
  explicit DebugFile(const std::string& path = "debug.txt");
  ~DebugFile();
  DebugFile(const DebugFile&) = delete;
  DebugFile& operator=(const DebugFile&) = delete;

 private:
  int _fd = -1;
};

}  // namespace vantra::shell
