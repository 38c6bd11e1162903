#include "app/user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace fiberview {

QString QtUserDialogs::chooseFile(const QString& folder, const QString& filter,
                                  const QString& title) {
  return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

QString QtUserDialogs::chooseSaveFile(const QString& suggested, const QString& filter,
                                      const QString& title) {
  return QFileDialog::getSaveFileName(parent_, title, suggested, filter);
}

void QtUserDialogs::reportFailure(const QString& message) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("纤维截面查看器"), message, QMessageBox::Ok,
                  parent_);
  // Messages quote titles and fields from the file, which are text, never markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtUserDialogs::ask(const QString& message) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("纤维截面查看器"), message,
                  QMessageBox::NoButton, parent_);
  box.setTextFormat(Qt::PlainText);
  QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

int QtUserDialogs::choose(const QString& message, const QStringList& labels) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("纤维截面查看器"), message,
                  QMessageBox::NoButton, parent_);
  QList<QPushButton*> buttons;
  for (const QString& label : labels) buttons << box.addButton(label, QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("都不用"), QMessageBox::RejectRole);
  box.exec();
  return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

}  // namespace fiberview
