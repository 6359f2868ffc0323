#include "shell/run_facts.h"

#include <epoxy/gl.h>
#include <sys/utsname.h>

#include <ctime>
#include <fstream>
#include <thread>

#include "vantra_version.h"

namespace vantra::shell {

namespace {

// Each fact is printed on a line of its own and as a CSV comment line: a control character
// (a newline in a directory's name) would break the line, so it becomes a space.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

// The processor's model name as the kernel reports it; the machine type where it names none
// (some ARM kernels).
std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::size_t start = line.find_first_not_of(" \t", colon + 1);
    if (start != std::string::npos) return line.substr(start);
  }
  utsname system{};
  if (uname(&system) == 0) return system.machine;
  return "unknown";
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// A GL string, or "unknown" where the context does not give one.
std::string GlString(GLenum name) {
  const GLubyte* text = glGetString(name);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "unknown";
}

}  // namespace

RunFacts::RunFacts(int width, int height, std::string terrain)
    : _cpu(CpuModel()),
      _logicalCores(std::thread::hardware_concurrency()),
      _width(width),
      _height(height),
      _terrain(std::move(terrain)),
      _date(UtcNow()) {}

void RunFacts::readRenderer() {
  _glVendor = GlString(GL_VENDOR);
  _glRenderer = GlString(GL_RENDERER);
  _glVersion = GlString(GL_VERSION);
}

std::vector<RunFacts::Fact> RunFacts::facts() const {
  std::vector<Fact> facts = {
      {"Version", VANTRA_VERSION},
      {"Build type", VANTRA_BUILD_TYPE},
      {"GL vendor", _glVendor},
      {"GL renderer", _glRenderer},
      {"GL version", _glVersion},
      {"CPU", _cpu},
      {"Logical cores", std::to_string(_logicalCores)},
      {"Size", std::to_string(_width) + "x" + std::to_string(_height)},
      {"Terrain", _terrain},
      {"Date", _date},
  };
  for (Fact& fact : facts) fact.second = OneLine(fact.second);
  return facts;
}

}  // namespace vantra::shell
