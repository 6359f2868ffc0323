// SIGINT and SIGTERM caught for a headless run, so that it can end its frame loop cleanly
// and leave no partial files behind.
#pragma once

#include <signal.h>

namespace vantra::shell {

// While an object of this class exists, SIGINT and SIGTERM are only noted. Each handler
// serves once: a second signal of the same kind ends the process as usual, so an impatient
// user can still stop a run that hangs. The destructor puts the previous handlers back.
class InterruptSignals {
 public:
  InterruptSignals();
  ~InterruptSignals();
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;

  // The first signal caught, or 0.
  int received() const;
  // The exit status shells expect of a process ended by that signal: 128 + its number.
  int exitStatus() const { return 128 + received(); }

 private:
  struct sigaction _previousInterrupt {};
  struct sigaction _previousTerminate {};
};

}  // namespace vantra::shell
