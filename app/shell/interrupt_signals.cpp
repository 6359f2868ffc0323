#include "shell/interrupt_signals.h"

namespace vantra::shell {

namespace {

volatile sig_atomic_t gReceived = 0;

void Note(int signal) {
  if (gReceived == 0) gReceived = signal;
}

}  // namespace

InterruptSignals::InterruptSignals() {
  gReceived = 0;
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: the render thread's reads and writes go on undisturbed.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  // A signal the process was started to ignore (a background job of a script) stays ignored.
  sigaction(SIGINT, nullptr, &_previousInterrupt);
  sigaction(SIGTERM, nullptr, &_previousTerminate);
  if (_previousInterrupt.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
  if (_previousTerminate.sa_handler != SIG_IGN) sigaction(SIGTERM, &action, nullptr);
}

InterruptSignals::~InterruptSignals() {
  sigaction(SIGINT, &_previousInterrupt, nullptr);
  sigaction(SIGTERM, &_previousTerminate, nullptr);
}

int InterruptSignals::received() const { return gReceived; }

}  // namespace vantra::shell
