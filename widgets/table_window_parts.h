// Controls that the windows built around one table of sections (全部截面, 两个文件的比较)
// share, so that they look, read out and are named alike.
#pragma once

#include <QAbstractItemView>
#include <QString>

class QAbstractItemModel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QWidget;

namespace fiberview {

// A box that finds sections by title, with a clear button screen readers can name.
QLineEdit* titleSearchBox(QWidget* parent);

// A read-only table of whole rows over `model`, without row headers.
QTableView* rowTable(QWidget* parent, const QString& objectName, const QString& accessibleName,
                     QAbstractItemModel* model, QAbstractItemView::SelectionMode selection);

// A hidden progress bar and 取消 button for the window's work under way.
struct WorkControls {
  QProgressBar* progress;
  QPushButton* cancel;
};
WorkControls workControls(QWidget* parent);

}  // namespace fiberview
