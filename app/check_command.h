// fiberview --check: the whole-file check of the table of every section, for scripts. Each
// file is read as a file opened from outside the window, every section is checked, and the
// verdicts are printed and written as the window's table and report, or as JSON.
#pragma once

#include "app/command_line.h"

namespace fiberview {

// The exit statuses of a check; with several files the highest wins.
enum CheckStatus {
  kNoFindings = 0,
  kFindings = 1,
  kUsageError = 2,
  kUnreadable = 3,
  kSettingsUntold = 4,
  kUnwritable = 5,
  kStoppedByCtrlC = 130,  // 128 + SIGINT, as shells report it
};

// Runs `request`. Needs a QCoreApplication, and a QGuiApplication when a PDF is asked for
// (offscreen is enough). Prints the status line of each file and a line per section with
// findings to standard output, unless the JSON goes there; failures, and progress where
// standard error is a terminal, to standard error. Ctrl+C (or SIGTERM) stops at the next
// poll and leaves no half-written file. Returns the exit status.
int runCheck(const CheckRequest& request);

}  // namespace fiberview
