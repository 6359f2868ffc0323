#include "platform/data_file_locator.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vantra::platform {

namespace fs = std::filesystem;

DataFileLocator::DataFileLocator(std::string installedDirectory)
    : _installedDirectory(std::move(installedDirectory)) {}

DataFileLocator& DataFileLocator::Program() {
  static DataFileLocator locator([] {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return std::string();
    return (program.parent_path() / VANTRA_DATA_FROM_PROGRAM).lexically_normal().string();
  }());
  return locator;
}

std::string DataFileLocator::locate(const std::string& name) {
  std::error_code error;
  if (fs::exists(name, error) || _installedDirectory.empty()) return name;
  const fs::path copy = fs::path(_installedDirectory) / name;
  if (!fs::exists(copy, error)) return name;
  if (!_fallbackAnnounced.exchange(true))
    std::fprintf(stderr, "VantraTest: %s is not in %s; using the installed data files in %s\n",
                 name.c_str(), fs::current_path(error).string().c_str(),
                 _installedDirectory.c_str());
  return copy.string();
}

}  // namespace vantra::platform
