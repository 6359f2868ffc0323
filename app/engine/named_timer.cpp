#include "engine/named_timer.h"

namespace vantra::engine {

NamedTimer::NamedTimer(const std::string& name, std::int32_t blockSize)
    : _name(name),
      _blockSize(blockSize),
      _count(0),
      _averageRate(0.0f),
      _averageTime(0.0f),
      _lastTime(0.0f),
      _accumulatedTime(0.0f) {
  _clock.reset();
}

void NamedTimer::start() {
  _clock.reset();
  _clock.start();
}

void NamedTimer::stop() {
  _clock.stop();
  const float t = _clock.elapsedMilliseconds();
  _lastTime = t;
  const float sum = _accumulatedTime + t;
  _accumulatedTime = sum;
  ++_count;
  if (_count == _blockSize) {
    _count = 0;
    _accumulatedTime = 0.0f;
    // The mean goes into the rate at full precision, before it is rounded for storage.
    const double average = static_cast<double>(sum) / _blockSize;
    _averageTime = static_cast<float>(average);
    _averageRate = static_cast<float>(1000.0 / average);
  }
}

}  // namespace vantra::engine
