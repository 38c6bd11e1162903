// Reading a file for `fiberview --check`, as a file opened from outside the window is read:
// the settings given on the command line are used, and those not given are told from the
// file's layout. Where the window would ask or warn, the check stops with the reason.
#pragma once

#include <QString>
#include <memory>

#include "app/command_line.h"
#include "data/feedback.h"
#include "data/section_store.h"

namespace fiberview {

struct CheckRead {
  enum class Outcome {
    Read,        // `store` holds the file, read with `used`
    Unreadable,  // the read failed; `message` says where and why
    Untold,      // the settings cannot be told, or the read with them warns that they may
                 // not fit; `message` says which are missing or the warning, with the
                 // settings the file's values show where they show any
    Stopped,     // `feedback` was cancelled
  };
  Outcome outcome = Outcome::Stopped;
  QString message;  // Chinese, several lines
  ReadOptions used;
  std::shared_ptr<const SectionStore> store;
};

// Reads `path` with `given`, telling the settings not given from the file, under `feedback`.
CheckRead readForCheck(const QString& path, const GivenSettings& given, Feedback& feedback);

// The settings as command-line options: "--old --titles --concrete 36 --steel 4".
QString settingsOptions(const ReadOptions& options);

}  // namespace fiberview
