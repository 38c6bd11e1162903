// Stands in for the window's modal dialogs in tests, benchmarks and the self-check: answers
// the Open dialog from a queue and records what the window reported.
#pragma once

#include <QStringList>
#include <functional>

#include "app/user_dialogs.h"

namespace fiberview {

class ScriptedDialogs final : public UserDialogs {
 public:
  QStringList nextFiles;      // an empty entry, or none, cancels the dialog
  QStringList nextSaveFiles;  // the same for the Save dialog
  QStringList reports;        // every message shown, questions included
  QList<bool> answers;        // to the questions asked, in turn; none left answers 否
  QList<int> picks;           // to the choices offered, in turn; none left declines
  QStringList lastLabels;
  int questionsAsked = 0;
  int dialogsShown = 0;
  QString lastFolder, lastFilter, lastTitle;
  // Runs while a message is up, as the user's time before answering a real one.
  std::function<void()> whileShown;

  QString chooseFile(const QString& folder, const QString& filter, const QString& title) override {
    ++dialogsShown;
    lastFolder = folder;
    lastFilter = filter;
    lastTitle = title;
    return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
  }
  QString chooseSaveFile(const QString& suggested, const QString& filter,
                         const QString& title) override {
    ++dialogsShown;
    lastFolder = suggested;
    lastFilter = filter;
    lastTitle = title;
    return nextSaveFiles.isEmpty() ? QString() : nextSaveFiles.takeFirst();
  }
  void reportFailure(const QString& message) override {
    reports << message;
    if (whileShown) whileShown();
  }
  bool ask(const QString& message) override {
    reports << message;
    ++questionsAsked;
    return !answers.isEmpty() && answers.takeFirst();
  }
  int choose(const QString& message, const QStringList& labels) override {
    reports << message;
    ++questionsAsked;
    lastLabels = labels;
    return picks.isEmpty() ? -1 : picks.takeFirst();
  }
};

}  // namespace fiberview
