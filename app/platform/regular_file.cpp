#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantra::platform {

int OpenRegularFile(const char* path, std::string* why) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  struct stat status {};
  int refused = 0;
  if (fstat(fd, &status) != 0) {
    refused = errno;
    *why = std::strerror(errno);
  } else if (S_ISDIR(status.st_mode)) {
    refused = EISDIR;
    *why = "is a directory";
  } else if (!S_ISREG(status.st_mode)) {
    refused = EINVAL;
    *why = "is not a regular file";
  }
  if (refused != 0) {
    close(fd);
    errno = refused;
    return -1;
  }
  // Reads of a regular file never wait, but the descriptor is handed on as an ordinary one.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace vantra::platform
