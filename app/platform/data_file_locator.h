// Finds the program's data files: the working directory first, then the copies installed
// with the program (share/vantra beside its bin directory).
#pragma once

#include <atomic>
#include <string>

namespace vantra::platform {

class DataFileLocator {
 public:
  // installedDirectory holds the installed copies; it need not exist.
  explicit DataFileLocator(std::string installedDirectory);

  // The locator of this process, whose installed copies lie where the install rules put
  // them relative to the running program.
  static DataFileLocator& Program();

  // The path to open for name. A file of that name in the working directory always wins.
  // Without one the installed copy is used, and the first such fallback says so on standard
  // error. When neither exists name comes back unchanged, so that opening it fails, and
  // reports the failure, as it would have.
  std::string locate(const std::string& name);

 private:
  const std::string _installedDirectory;
  std::atomic<bool> _fallbackAnnounced{false};
};

}  // namespace vantra::platform
