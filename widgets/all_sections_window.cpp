#include "widgets/all_sections_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/file_export.h"
#include "widgets/save_dialogs.h"
#include "widgets/section_table_model.h"
#include "widgets/table_window_parts.h"

namespace fiberview {

AllSectionsWindow::AllSectionsWindow(FileDocument& document, SaveDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document), dialogs_(dialogs) {
  setObjectName(QStringLiteral("AllSectionsWindow"));
  setWindowTitle(QStringLiteral("全部截面"));
  resize(1180, 600);
  buildControls();
  connect(&document_, &FileDocument::fileChanged, this, &AllSectionsWindow::showFile);
  connect(&document_, &FileDocument::verdictsChanged, this, &AllSectionsWindow::showVerdicts);
  connect(&document_, &FileDocument::workChanged, this, &AllSectionsWindow::showWork);
  connect(&document_, &FileDocument::currentSectionChanged, this,
          &AllSectionsWindow::selectSection);
  showFile();
}

AllSectionsWindow::~AllSectionsWindow() = default;

void AllSectionsWindow::buildControls() {
  search_ = titleSearchBox(this);
  findingsOnly_ = new QCheckBox(QStringLiteral("只显示有问题的截面"), this);
  findingsOnly_->setObjectName(QStringLiteral("FindingsOnly"));
  findingsOnly_->setAccessibleName(findingsOnly_->text());
  exportTable_ = new QPushButton(QStringLiteral("导出表格"), this);
  exportTable_->setObjectName(QStringLiteral("ExportTable"));
  exportTable_->setToolTip(QStringLiteral("把表格按现在的筛选和排序写成 CSV 文件"));
  exportReport_ = new QPushButton(QStringLiteral("导出报告"), this);
  exportReport_->setObjectName(QStringLiteral("ExportReport"));
  exportReport_->setToolTip(
      QStringLiteral("写一份 PDF 报告：首页说明文件和检查结果，表格中显示的每一节各占一页"));
  for (QPushButton* b : {exportTable_, exportReport_}) b->setAccessibleName(b->text());

  model_ = new SectionTableModel(this);
  filter_ = new SectionFilterModel(this);
  filter_->setSourceModel(model_);
  table_ = rowTable(this, QStringLiteral("SectionTable"), QStringLiteral("全部截面表"), filter_,
                    QAbstractItemView::ExtendedSelection);
  table_->horizontalHeader()->setDefaultSectionSize(68);
  table_->setColumnWidth(SectionTableModel::kNumber, 48);
  table_->setColumnWidth(SectionTableModel::kTitle, 120);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setSortingEnabled(true);
  table_->sortByColumn(SectionTableModel::kNumber, Qt::AscendingOrder);
  connect(table_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
    emit sectionActivated(filter_->mapToSource(index).row() + 1);
  });

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("TableStatus"));
  const WorkControls work = workControls(this);
  progress_ = work.progress;
  cancelButton_ = work.cancel;
  connect(cancelButton_, &QPushButton::clicked, this, &AllSectionsWindow::cancelWork);
  checkAgain_ = new QPushButton(QStringLiteral("重新检查"), this);
  checkAgain_->setObjectName(QStringLiteral("CheckAgain"));
  checkAgain_->setAccessibleName(checkAgain_->text());
  checkAgain_->hide();
  connect(checkAgain_, &QPushButton::clicked, this, &AllSectionsWindow::check);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, [this] {
    if (const Feedback* feedback = document_.feedback(shownWork())) {
      progress_->setValue(static_cast<int>(feedback->done()));
    }
  });

  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
    filter_->setTitleSearch(text);
    showStatus();
  });
  connect(findingsOnly_, &QCheckBox::toggled, this, [this](bool on) {
    filter_->setFindingsOnly(on);
    showStatus();
  });
  connect(exportTable_, &QPushButton::clicked, this, &AllSectionsWindow::exportTable);
  connect(exportReport_, &QPushButton::clicked, this, &AllSectionsWindow::exportReport);
  auto* copyRows = new QAction(QStringLiteral("复制所选行"), table_);
  copyRows->setObjectName(QStringLiteral("CopyRowsAction"));
  copyRows->setShortcut(QKeySequence::Copy);
  copyRows->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copyRows, &QAction::triggered, this, &AllSectionsWindow::copyRows);
  table_->addAction(copyRows);
  auto* close = new QAction(this);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  addAction(close);
  connect(close, &QAction::triggered, this, &QWidget::close);

  auto* top = new QHBoxLayout;
  top->addWidget(search_, 1);
  top->addWidget(findingsOnly_);
  top->addStretch();
  top->addWidget(exportTable_);
  top->addWidget(exportReport_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(progress_);
  bottom->addWidget(cancelButton_);
  bottom->addWidget(checkAgain_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addLayout(bottom);
}

void AllSectionsWindow::showFile() {
  model_->clear();
  setWindowTitle(document_.path().isEmpty()
                     ? QStringLiteral("全部截面")
                     : QStringLiteral("全部截面 — ") + QFileInfo(document_.path()).fileName());
  const SectionStore& store = *document_.store();
  // Columns that would stay empty: titles of a file without them.
  table_->setColumnHidden(SectionTableModel::kTitle, !store.titled);
  check();
  showWork();
}

void AllSectionsWindow::check() {
  if (document_.sectionCount() > 0) document_.checkAll();
  if (document_.checkedAll()) showVerdicts();
}

void AllSectionsWindow::showVerdicts() {
  if (!document_.checkedAll() || model_->rowCount() == document_.sectionCount()) return;
  model_->setRows(document_.verdicts(), document_.store()->version);
  // Figures such as EA run to many digits; a cut cell would show "8.…". Long titles
  // stop at a width that leaves the figures on screen, and show whole in their tooltip.
  table_->resizeColumnsToContents();
  table_->setColumnWidth(SectionTableModel::kTitle,
                         std::min(table_->columnWidth(SectionTableModel::kTitle), 280));
  selectSection(document_.currentSection());
  showWork();
}

FileDocument::Work AllSectionsWindow::shownWork() const {
  return document_.isWorking(FileDocument::Work::Reporting) ? FileDocument::Work::Reporting
                                                            : FileDocument::Work::CheckingAll;
}

void AllSectionsWindow::showWork() {
  const bool working = isWorking();
  const bool checked = document_.checkedAll() && model_->rowCount() > 0;
  progress_->setVisible(working);
  cancelButton_->setVisible(working);
  checkAgain_->setVisible(!working && !checked && document_.sectionCount() > 0);
  // Nothing is exported before every section is checked: an export of a check that never
  // ran would say that all is well.
  exportTable_->setEnabled(!working && checked);
  exportReport_->setEnabled(!working && checked);
  if (working) {
    const bool reporting = shownWork() == FileDocument::Work::Reporting;
    const QString what =
        reporting ? QStringLiteral("正在写入报告…") : QStringLiteral("正在检查各节…");
    progress_->setRange(0, reporting ? filter_->rowCount() : document_.sectionCount());
    // The bar shows the count; what is under way stands in the status line beside it.
    progress_->setFormat(QStringLiteral("%v / %m"));
    progress_->setAccessibleDescription(what);
    status_->setText(what);
    status_->setAccessibleName(what);
    if (!progressTimer_->isActive()) {
      progress_->setValue(0);
      progressTimer_->start();
    }
    return;
  }
  progressTimer_->stop();
  showStatus();
}

bool AllSectionsWindow::isWorking() const {
  return document_.isWorking(FileDocument::Work::CheckingAll) ||
         document_.isWorking(FileDocument::Work::Reporting);
}

void AllSectionsWindow::cancelWork() {
  document_.cancel(shownWork());
}

void AllSectionsWindow::showStatus() {
  QString text;
  if (document_.sectionCount() == 0) {
    text = QStringLiteral("没有读取截面");
  } else if (model_->rowCount() == 0) {
    text = QStringLiteral("检查已取消，按“重新检查”再查");
  } else {
    text = tableStatusText(model_->rows());
    if (filter_->rowCount() != model_->rowCount()) {
      text += QStringLiteral("；显示 %1 节").arg(filter_->rowCount());
    }
  }
  status_->setText(text);
  // A label's text is not offered to screen readers, so its name carries it.
  status_->setAccessibleName(text);
}

void AllSectionsWindow::copyRows() {
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  // In the order the table shows them, under its header, as a spreadsheet pastes them.
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  QStringList cells;
  for (int c = 0; c < filter_->columnCount(); ++c) {
    if (!table_->isColumnHidden(c)) cells << filter_->headerData(c, Qt::Horizontal).toString();
  }
  lines << cells.join(QLatin1Char('\t'));
  for (const QModelIndex& row : rows) {
    cells.clear();
    for (int c = 0; c < filter_->columnCount(); ++c) {
      if (!table_->isColumnHidden(c)) cells << row.siblingAtColumn(c).data().toString();
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void AllSectionsWindow::selectSection(int number) {
  const QModelIndex source = model_->index(number - 1, 0);
  const QModelIndex row = filter_->mapFromSource(source);
  if (!row.isValid()) {
    table_->clearSelection();
    return;
  }
  table_->selectionModel()->setCurrentIndex(
      row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table_->scrollTo(row);
}

int AllSectionsWindow::selectedSection() const {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  return rows.isEmpty() ? 0 : filter_->mapToSource(rows.first()).row() + 1;
}

QString AllSectionsWindow::suggestedPath(const QString& suffix) const {
  const QFileInfo file(document_.path());
  const QString stem =
      document_.path().isEmpty() ? QStringLiteral("截面") : file.completeBaseName();
  return QDir(file.absolutePath()).filePath(stem + QStringLiteral("-检查") + suffix);
}

void AllSectionsWindow::exportTable() {
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".csv")),
                              QStringLiteral("CSV 表格 (*.csv)"), QStringLiteral("导出表格"));
  if (path.isEmpty()) return;
  // The columns the table shows, as it shows them.
  QList<int> columns;
  const QHeaderView& header = *table_->horizontalHeader();
  for (int v = 0; v < header.count(); ++v) {
    if (!header.isSectionHidden(header.logicalIndex(v))) columns << header.logicalIndex(v);
  }
  const QByteArray csv = csvText(*filter_, SectionTableModel::kExportRole, columns);
  const QString message = writeWholeFile(path, [&csv](QIODevice& device) {
    return device.write(csv) == csv.size() ? WriteStep::Done : WriteStep::Failed;
  });
  if (!message.isEmpty()) dialogs_.reportFailure(message);
}

void AllSectionsWindow::exportReport() {
  if (!document_.checkedAll() || isWorking()) return;
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".pdf")),
                              QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("导出报告"));
  if (path.isEmpty()) return;
  std::vector<int> pages;
  for (int r = 0; r < filter_->rowCount(); ++r) {
    pages.push_back(filter_->mapToSource(filter_->index(r, 0)).row() + 1);
  }
  // A task of the document's: should another file be read meanwhile, the report stops and
  // its outcome, which belongs to the file before, is dropped.
  document_.run<QString>(
      FileDocument::Work::Reporting,
      [path, store = document_.store(), file = reportFile(document_), rows = model_->rows(),
       regions = document_.regions(), pages = std::move(pages)](Feedback& feedback) {
        const auto total = static_cast<std::uint64_t>(pages.size());
        return writeWholeFile(path, [&](QIODevice& device) {
          return writeReportPdf(device, *store, file, rows, regions, pages, [&](int n) {
            feedback.setProgress(static_cast<std::uint64_t>(n), total);
            return !feedback.isCancelled();
          });
        });
      },
      [this](QString message) {
        if (!message.isEmpty()) dialogs_.reportFailure(message);
        emit reportFinished();
      });
}

}  // namespace fiberview
