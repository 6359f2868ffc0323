// The base of an object that owns one worker thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vantrautils {

// Owns one worker thread whose body is the derived class's run(). The worker is created
// "suspended": it waits at a start gate until resume() (or requestStop()) opens it. The
// owner asks it to stop with requestStop(); run() polls isStopRequested().
//
// Destroying the object while a worker still runs cannot end that thread safely here (there
// is no way to kill one thread of a process without leaving its locks and memory in an
// undefined state), so the destructor requests the stop, opens the gate and joins the
// worker. A worker that never passed the gate is released without calling run(). Because
// run() belongs to the derived class, whose members are gone by the time this destructor
// runs, a derived class whose run() uses its own members must call requestStop() and wait()
// in its own destructor; the join here only guarantees that no thread outlives the object.
class Thread {
 public:
  // Identifies a worker; a default-constructed handle means "no thread".
  using Handle = std::thread::id;

  Thread();
  virtual ~Thread();

  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // The running worker, or a null handle when none exists (never started, or ended).
  Handle threadHandle() const;
  bool isStopRequested() const;
  // False from start() until the worker's run() has returned.
  bool hasFinished() const;

  // Creates the worker, waiting at its start gate. Returns a null handle and does nothing
  // when a worker already exists. Throws std::system_error when the system cannot make a
  // thread (memory or thread limits); the object is then left without a worker.
  Handle start();
  // Opens the start gate. Returns 1 when the worker was waiting there, otherwise 0.
  std::uint32_t resume();
  // Asks the worker to stop, and opens the gate so that a worker never resumed still runs
  // and sees the request. Does nothing when no worker exists.
  void requestStop();
  // Owner thread: blocks without time limit until the worker has ended (returns at once
  // when there is none).
  void wait();

 protected:
  // The worker's body.
  virtual std::int32_t run() = 0;

 private:
  void threadEntry();

  mutable std::recursive_mutex _handleLock;
  Handle _handle;
  std::thread _worker;
  mutable std::mutex _stopLock;
  bool _stopRequested;
  mutable std::mutex _finishedLock;
  bool _finished;

  // The start gate.
  std::mutex _gateLock;
  std::condition_variable _gateOpened;
  bool _gateOpen = false;
  bool _abandoned = false;
};

}  // namespace vantrautils
