// A named timer that averages blocks of start/stop intervals.
#pragma once

#include <cstdint>
#include <string>

#include "engine/high_res_clock.h"

namespace vantra::engine {

// Accumulates the durations of N start/stop intervals and publishes their average (and the
// matching rate) once per completed block; between completions the last block's values
// stay.
class NamedTimer {
 public:
  NamedTimer(const std::string& name, std::int32_t blockSize);

  void start();
  void stop();
  float averageRate() const { return _averageRate; }
  float averageMilliseconds() const { return _averageTime; }
  float lastMilliseconds() const { return _lastTime; }
  const std::string& name() const { return _name; }

 private:
  std::string _name;
  std::int32_t _blockSize;
  std::int32_t _count;
  float _averageRate;
  float _averageTime;
  float _lastTime;
  float _accumulatedTime;
  HighResClock _clock;
};

}  // namespace vantra::engine
