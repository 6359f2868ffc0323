// What made a timed flight's result: the program's build, the renderer, the processor, the
// render size, the terrain and the date, so that results from different machines can be
// told apart and compared.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantra::shell {

class RunFacts {
 public:
  // A labelled fact, such as {"CPU", "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz"}.
  using Fact = std::pair<std::string, std::string>;

  // Takes what is known before anything is rendered: the build, the processor, the date
  // (now, in UTC), the render size and a description of the terrain flown over.
  RunFacts(int width, int height, std::string terrain);

  // Render thread, with the device's GL context current: reads the GL vendor, renderer and
  // version strings. Until then they read "unknown".
  void readRenderer();

  // Every fact in a fixed order: version, build type, GL vendor, GL renderer, GL version,
  // CPU, logical cores, size, terrain, date. Each is one line: control characters become
  // spaces.
  std::vector<Fact> facts() const;

 private:
  std::string _glVendor = "unknown";
  std::string _glRenderer = "unknown";
  std::string _glVersion = "unknown";
  std::string _cpu;
  unsigned _logicalCores;
  int _width;
  int _height;
  std::string _terrain;
  std::string _date;
};

}  // namespace vantra::shell
