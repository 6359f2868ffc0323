// A stopwatch on the monotonic high-resolution clock.
#pragma once

#include <cstdint>

namespace vantra::engine {

class HighResClock {
 public:
  HighResClock();

  void reset();
  void start();
  // Does nothing unless the clock is running: a second stop keeps the first reading.
  void stop();
  float elapsedSeconds() const;
  float elapsedMilliseconds() const;

 private:
  float _secondsPerTick;
  std::int64_t _startCount;
  std::int64_t _stopCount;
  bool _running;
};

}  // namespace vantra::engine
