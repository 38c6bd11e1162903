#include "widgets/table_window_parts.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

namespace fiberview {

QLineEdit* titleSearchBox(QWidget* parent) {
  auto* search = new QLineEdit(parent);
  search->setObjectName(QStringLiteral("TitleSearch"));
  search->setPlaceholderText(QStringLiteral("按标题查找"));
  search->setAccessibleName(QStringLiteral("按标题查找"));
  search->setClearButtonEnabled(true);
  for (QToolButton* clear : search->findChildren<QToolButton*>()) {
    clear->setAccessibleName(QStringLiteral("清除查找"));
  }
  return search;
}

QTableView* rowTable(QWidget* parent, const QString& objectName, const QString& accessibleName,
                     QAbstractItemModel* model, QAbstractItemView::SelectionMode selection) {
  auto* table = new QTableView(parent);
  table->setObjectName(objectName);
  table->setAccessibleName(accessibleName);
  table->setModel(model);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(selection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  return table;
}

WorkControls workControls(QWidget* parent) {
  auto* progress = new QProgressBar(parent);
  progress->setObjectName(QStringLiteral("WorkProgress"));
  progress->setAccessibleName(QStringLiteral("进度"));
  progress->hide();
  auto* cancel = new QPushButton(QStringLiteral("取消"), parent);
  cancel->setObjectName(QStringLiteral("CancelWork"));
  cancel->setAccessibleName(cancel->text());
  cancel->hide();
  return {progress, cancel};
}

}  // namespace fiberview
