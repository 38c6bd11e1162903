// Stands in for the window's modal dialogs, so tests choose files and read reports.
#pragma once

#include <QComboBox>
#include <QStringList>

#include "app/user_dialogs.h"

namespace fiberview {

// Answers the Open dialog from a queue and records what the window reported.
class FakeDialogs final : public UserDialogs {
 public:
  QStringList nextFiles;  // an empty entry, or none, cancels the dialog
  QStringList reports;
  int dialogsShown = 0;
  QString lastFolder, lastFilter, lastTitle;

  QString chooseFile(const QString& folder, const QString& filter, const QString& title) override {
    ++dialogsShown;
    lastFolder = folder;
    lastFilter = filter;
    lastTitle = title;
    return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
  }
  void reportFailure(const QString& message) override { reports << message; }
};

inline QStringList entries(const QComboBox* combo) {
  QStringList out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}

}  // namespace fiberview
