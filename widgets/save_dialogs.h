// The Save dialog and the failure message behind an interface, so that tests can choose
// where an export goes, or cancel it, without any modal window.
#pragma once

#include <QString>

namespace fiberview {

class SaveDialogs {
 public:
  virtual ~SaveDialogs() = default;
  // The file the user picks to write, starting from `suggested` (a folder and a name), or
  // an empty string when the user cancels. The dialog asks before replacing a file.
  virtual QString chooseSaveFile(const QString& suggested, const QString& filter,
                                 const QString& title) = 0;
  // Tells the user that something failed, or does not fit.
  virtual void reportFailure(const QString& message) = 0;
};

}  // namespace fiberview
