// Opening a file that must be a regular file, without blocking on anything else.
#pragma once

#include <string>

namespace vantra::platform {

// Opens path read-only without waiting for a writer (a FIFO) or a device, and keeps it only
// when it is a regular file. Returns the descriptor (close-on-exec, blocking reads); -1 with
// errno set and the reason in *why ("is a directory", "is not a regular file", or the
// system's text for the failed open).
int OpenRegularFile(const char* path, std::string* why);

}  // namespace vantra::platform
