// The window's modal conversations with the user, behind an interface so that tests can
// choose files and read reports without any modal window.
#pragma once

#include <QString>
#include <QStringList>

#include "widgets/save_dialogs.h"

class QWidget;

namespace fiberview {

// The Save dialog and the failure message come from SaveDialogs, which the exports use.
class UserDialogs : public SaveDialogs {
 public:
  // The file the user picks, or an empty string when the user cancels.
  virtual QString chooseFile(const QString& folder, const QString& filter,
                             const QString& title) = 0;
  // Asks a question that the message ends with; true when the user answers 是.
  virtual bool ask(const QString& message) = 0;
  // Offers a choice that the message ends with, one button per label and one to decline;
  // the index of the label chosen, or -1 when the user declines.
  virtual int choose(const QString& message, const QStringList& labels) = 0;
};

// The real dialogs, parented to the window.
class QtUserDialogs final : public UserDialogs {
 public:
  explicit QtUserDialogs(QWidget* parent) : parent_(parent) {}
  QString chooseFile(const QString& folder, const QString& filter, const QString& title) override;
  QString chooseSaveFile(const QString& suggested, const QString& filter,
                         const QString& title) override;
  void reportFailure(const QString& message) override;
  bool ask(const QString& message) override;
  int choose(const QString& message, const QStringList& labels) override;

 private:
  QWidget* parent_;
};

}  // namespace fiberview
