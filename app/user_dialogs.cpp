#include "app/user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace fiberview {

QString QtUserDialogs::chooseFile(const QString& folder, const QString& filter,
                                  const QString& title) {
  return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

void QtUserDialogs::reportFailure(const QString& message) {
  QMessageBox::warning(parent_, QStringLiteral("纤维截面查看器"), message);
}

}  // namespace fiberview
