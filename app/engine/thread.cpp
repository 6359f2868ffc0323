#include "engine/thread.h"

namespace vantrautils {

Thread::Thread() {
  {
    std::lock_guard<std::recursive_mutex> lock(_handleLock);
    _handle = Handle();
  }
  {
    std::lock_guard<std::mutex> lock(_stopLock);
    _stopRequested = false;
  }
  {
    std::lock_guard<std::mutex> lock(_finishedLock);
    _finished = true;
  }
}

Thread::~Thread() {
  if (!hasFinished() && threadHandle() != Handle()) {
    {
      // A worker still at the gate must not call run(): the derived part is already gone.
      std::lock_guard<std::mutex> lock(_gateLock);
      if (!_gateOpen) _abandoned = true;
    }
    requestStop();
  }
  wait();
}

Thread::Handle Thread::threadHandle() const {
  std::lock_guard<std::recursive_mutex> lock(_handleLock);
  return _handle;
}

bool Thread::isStopRequested() const {
  std::lock_guard<std::mutex> lock(_stopLock);
  return _stopRequested;
}

bool Thread::hasFinished() const {
  std::lock_guard<std::mutex> lock(_finishedLock);
  return _finished;
}

Thread::Handle Thread::start() {
  {
    std::lock_guard<std::recursive_mutex> lock(_handleLock);
    if (_handle != Handle()) return Handle();
    // A worker that ended by itself is joined before its successor takes its place.
    if (_worker.joinable()) _worker.join();
    {
      std::lock_guard<std::mutex> gate(_gateLock);
      _gateOpen = false;
      _abandoned = false;
    }
    _worker = std::thread(&Thread::threadEntry, this);
    _handle = _worker.get_id();
  }
  {
    std::lock_guard<std::mutex> lock(_finishedLock);
    _finished = false;
  }
  return threadHandle();
}

std::uint32_t Thread::resume() {
  if (threadHandle() == Handle()) return 0;
  std::lock_guard<std::mutex> lock(_gateLock);
  if (_gateOpen) return 0;
  _gateOpen = true;
  _gateOpened.notify_one();
  return 1;
}

void Thread::requestStop() {
  if (threadHandle() == Handle()) return;
  {
    std::lock_guard<std::mutex> lock(_stopLock);
    _stopRequested = true;
  }
  resume();
}

void Thread::wait() {
  std::thread worker;
  {
    std::lock_guard<std::recursive_mutex> lock(_handleLock);
    worker.swap(_worker);
  }
  if (worker.joinable()) worker.join();
}

void Thread::threadEntry() {
  bool abandoned;
  {
    std::unique_lock<std::mutex> lock(_gateLock);
    _gateOpened.wait(lock, [this] { return _gateOpen; });
    abandoned = _abandoned;
  }
  if (!abandoned) run();
  {
    std::lock_guard<std::mutex> lock(_stopLock);
    _stopRequested = false;
  }
  {
    std::lock_guard<std::mutex> lock(_finishedLock);
    _finished = true;
  }
  std::lock_guard<std::recursive_mutex> lock(_handleLock);
  _handle = Handle();
}

}  // namespace vantrautils
