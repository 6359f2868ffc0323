#include "program_run_directory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace vantra::engine {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

ProgramRunDirectory::ProgramRunDirectory() {
  char pattern[] = "/tmp/vantra-program-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a directory");
  _path = pattern;
}

ProgramRunDirectory::~ProgramRunDirectory() {
  std::error_code ignored;
  fs::remove_all(_path, ignored);
}

void ProgramRunDirectory::linkMaps(const fs::path& folder) const {
  for (const char* map : {"heightMap.bmp", "textureMap.bmp", "detailMap.bmp"})
    if (fs::exists(folder / map)) fs::create_symlink(folder / map, _path / map);
}

ProgramResult ProgramRunDirectory::runCommand(const std::string& command) const {
  const fs::path out = _path / "stdout.txt";
  const fs::path err = _path / "stderr.txt";
  const std::string line = "cd '" + _path.string() + "' && " + command + " >'" + out.string() +
                           "' 2>'" + err.string() + "'";
  const int status = std::system(line.c_str());
  return ProgramResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

}  // namespace vantra::engine
