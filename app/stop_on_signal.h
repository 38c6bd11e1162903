// Ctrl+C and SIGTERM for the commands that run without a window: the work in hand is
// cancelled, so that it stops between two steps and writes nothing half.
#pragma once

#include <csignal>

#include "data/feedback.h"

namespace fiberview {

// Catches Ctrl+C and SIGTERM while it lives and cancels `work`. A second Ctrl+C ends the
// program at once.
class StopOnSignal {
 public:
  explicit StopOnSignal(Feedback& work);
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

  // The exit status a shell reports for the signal caught: 128 + its number.
  int exitStatus() const;

 private:
  struct sigaction previousInt_ = {};
  struct sigaction previousTerm_ = {};
};

}  // namespace fiberview
