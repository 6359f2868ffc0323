#include "engine/high_res_clock.h"

#include <chrono>

namespace vantra::engine {

namespace {

using Counter = std::chrono::steady_clock;

std::int64_t ReadCounter() { return Counter::now().time_since_epoch().count(); }

}  // namespace

HighResClock::HighResClock() : _secondsPerTick(1.0f), _running(false) {
  reset();
  // The counter's frequency is known at compile time, so the query cannot fail here.
  const double frequency =
      static_cast<double>(Counter::period::den) / static_cast<double>(Counter::period::num);
  _secondsPerTick = static_cast<float>(1.0 / frequency);
}

void HighResClock::reset() {
  _startCount = 0;
  _stopCount = 0;
  _running = false;
}

void HighResClock::start() {
  _startCount = ReadCounter();
  _running = true;
}

void HighResClock::stop() {
  if (!_running) return;
  _running = false;
  _stopCount = ReadCounter();
}

float HighResClock::elapsedSeconds() const {
  return static_cast<float>(_stopCount - _startCount) * _secondsPerTick;
}

float HighResClock::elapsedMilliseconds() const { return elapsedSeconds() * 1000.0f; }

}  // namespace vantra::engine
