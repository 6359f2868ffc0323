#include "shell/debug_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace vantra::shell {

DebugFile::DebugFile(const std::string& path)
    : _fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)) {}

DebugFile::~DebugFile() {
  if (_fd >= 0) close(_fd);
}

}  // namespace vantra::shell
