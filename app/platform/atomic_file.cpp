#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vantra::platform {

AtomicFile::AtomicFile(std::string path) : _path(std::move(path)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open() {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        _path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    _fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (_fd >= 0) {
      _temporary = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (_fd < 0) {
    errno = EBADF;
    return false;
  }
  const auto* bytes = static_cast<const char*>(data);
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(_fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool AtomicFile::commit() {
  if (_fd < 0) {
    errno = EBADF;
    return false;
  }
  bool done = fsync(_fd) == 0;
  const int closed = close(_fd);
  done = done && closed == 0;
  _fd = -1;
  done = done && std::rename(_temporary.c_str(), _path.c_str()) == 0;
  if (!done) {
    discard();
    return false;
  }
  _temporary.clear();
  return true;
}

void AtomicFile::discard() {
  const int failure = errno;
  if (_fd >= 0) close(_fd);
  _fd = -1;
  if (!_temporary.empty()) unlink(_temporary.c_str());
  _temporary.clear();
  errno = failure;
}

}  // namespace vantra::platform
