// A file that appears complete or not at all.
#pragma once

#include <cstddef>
#include <string>

namespace vantra::platform {

// Writes go to a temporary file beside the target ("<path>.<pid>-<n>.tmp"); commit() puts it
// on disk and renames it over the target. Until then any previous file at the target stays
// as it was, and a temporary that was not committed is removed when the object goes away.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. False with errno set when the folder refuses it.
  bool open();
  // Appends size bytes. False with errno set (for instance ENOSPC or EFBIG).
  bool write(const void* data, std::size_t size);
  // Flushes the temporary to disk and renames it over the target. False with errno set, the
  // temporary removed and the previous file kept.
  bool commit();

 private:
  // Removes the temporary, keeping the errno of the failure that led here.
  void discard();

  const std::string _path;
  std::string _temporary;
  int _fd = -1;
};

}  // namespace vantra::platform
