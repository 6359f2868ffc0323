#include "engine/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vantra::engine {

namespace {

using vantrautils::Thread;

// Counts its runs; runs until asked to stop when told to, otherwise returns at once.
class CountingThread : public Thread {
 public:
  explicit CountingThread(bool untilStopped) : _untilStopped(untilStopped) {}
  ~CountingThread() override {
    requestStop();
    wait();
  }

  std::atomic<int> runs{0};
  std::atomic<bool> sawStop{false};

 protected:
  std::int32_t run() override {
    ++runs;
    while (_untilStopped && !isStopRequested()) std::this_thread::yield();
    sawStop = isStopRequested();
    return 7;
  }

 private:
  const bool _untilStopped;
};

// State that outlives the thread object, for workers that are still running while it is
// destroyed.
struct Outside {
  std::atomic<bool> running{false};
  std::atomic<bool> ended{false};
  std::atomic<int> runs{0};
};

// Uses nothing of its own once running, so the base class may end it after this part is
// gone.
class BareThread : public Thread {
 public:
  explicit BareThread(Outside& outside) : _outside(outside) {}

 protected:
  std::int32_t run() override {
    Outside& outside = _outside;
    ++outside.runs;
    outside.running = true;
    while (!isStopRequested()) std::this_thread::yield();
    outside.ended = true;
    return 0;
  }

 private:
  Outside& _outside;
};

TEST(Thread, StartsOneWorkerOnly) {
  CountingThread thread(true);
  const Thread::Handle first = thread.start();
  EXPECT_NE(first, Thread::Handle());
  EXPECT_EQ(thread.start(), Thread::Handle()) << "a second start creates nothing";
  EXPECT_EQ(thread.threadHandle(), first);
  thread.requestStop();
  thread.wait();
  EXPECT_EQ(thread.runs.load(), 1);
}

TEST(Thread, StopRequestWithoutWorkerDoesNothing) {
  CountingThread thread(false);
  thread.requestStop();
  EXPECT_FALSE(thread.isStopRequested());
  EXPECT_TRUE(thread.hasFinished());
  EXPECT_EQ(thread.resume(), 0u);
}

TEST(Thread, WorkerWaitsForResume) {
  CountingThread thread(false);
  thread.start();
  EXPECT_FALSE(thread.hasFinished());
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(thread.runs.load(), 0) << "run started before resume";
  EXPECT_EQ(thread.resume(), 1u) << "the worker was waiting";
  EXPECT_EQ(thread.resume(), 0u) << "the worker already runs";
  thread.wait();
  EXPECT_EQ(thread.runs.load(), 1);
}

TEST(Thread, StopRequestReleasesAWorkerNeverResumed) {
  CountingThread thread(true);
  thread.start();
  thread.requestStop();
  thread.wait();
  EXPECT_EQ(thread.runs.load(), 1);
  EXPECT_TRUE(thread.sawStop.load());
}

TEST(Thread, FlagsAfterRunReturns) {
  struct Case {
    bool untilStopped;
    const char* why;
  };
  const Case cases[] = {
      {false, "run returned by itself"},
      {true, "run returned after a stop request, which is then cleared"},
  };
  for (const Case& c : cases) {
    CountingThread thread(c.untilStopped);
    thread.start();
    if (c.untilStopped)
      thread.requestStop();
    else
      thread.resume();
    thread.wait();
    EXPECT_EQ(thread.threadHandle(), Thread::Handle()) << c.why;
    EXPECT_TRUE(thread.hasFinished()) << c.why;
    EXPECT_FALSE(thread.isStopRequested()) << c.why;
  }
}

TEST(Thread, StartsAgainAfterTheWorkerEnded) {
  CountingThread thread(false);
  thread.start();
  thread.resume();
  thread.wait();
  EXPECT_NE(thread.start(), Thread::Handle());
  thread.resume();
  thread.wait();
  EXPECT_EQ(thread.runs.load(), 2);
}

TEST(Thread, DestroyingAnIdleObjectEndsNothing) {
  Outside outside;
  { BareThread never(outside); }
  {
    BareThread ended(outside);
    ended.start();
    ended.requestStop();
    ended.wait();
    EXPECT_EQ(outside.runs.load(), 1);
  }
  EXPECT_EQ(outside.runs.load(), 1);
}

TEST(Thread, DestroyingARunningWorkerStopsAndJoinsIt) {
  Outside outside;
  {
    BareThread thread(outside);
    thread.start();
    thread.resume();
    while (!outside.running) std::this_thread::yield();
  }
  EXPECT_TRUE(outside.ended.load()) << "the destructor returned before the worker ended";
}

TEST(Thread, DestroyingAWorkerNeverResumedSkipsRun) {
  Outside outside;
  {
    BareThread thread(outside);
    thread.start();
  }
  EXPECT_EQ(outside.runs.load(), 0);
}

}  // namespace

}  // namespace vantra::engine
