#include "app/stop_on_signal.h"

#include <atomic>

namespace fiberview {

namespace {

// The work a signal stops; the handler only sets flags that are safe to set there.
std::atomic<Feedback*> gWork{nullptr};
volatile std::sig_atomic_t gStopSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<Feedback*>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

extern "C" void stopWork(int signal) {
  gStopSignal = signal;
  if (Feedback* work = gWork.load()) work->cancel();
}

}  // namespace

StopOnSignal::StopOnSignal(Feedback& work) {
  gWork = &work;
  struct sigaction action = {};
  action.sa_handler = stopWork;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
}

StopOnSignal::~StopOnSignal() {
  sigaction(SIGINT, &previousInt_, nullptr);
  sigaction(SIGTERM, &previousTerm_, nullptr);
  gWork = nullptr;
}

int StopOnSignal::exitStatus() const {
  return 128 + (gStopSignal != 0 ? static_cast<int>(gStopSignal) : SIGINT);
}

}  // namespace fiberview
