#include "widgets/all_sections_window.h"

#include <QAction>
#include <QCheckBox>
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
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "widgets/file_export.h"
#include "widgets/save_dialogs.h"
#include "widgets/section_table_model.h"

namespace fiberview {

AllSectionsWindow::AllSectionsWindow(SaveDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
  setObjectName(QStringLiteral("AllSectionsWindow"));
  setWindowTitle(QStringLiteral("全部截面"));
  resize(1180, 600);
  buildControls();
  connect(&check_, &QFutureWatcherBase::finished, this, [this] {
    CheckOutcome outcome = check_.result();
    if (outcome.store != store_) return;
    if (outcome.rows) model_->setRows(std::move(*outcome.rows), store_->version);
    // Columns that would stay empty: titles of a file without them, and the old version's
    // third comparison, which E0 has nothing to be set against.
    table_->setColumnHidden(SectionTableModel::kTitle, !store_->titled);
    table_->setColumnHidden(SectionTableModel::kComparison3, store_->version == FileVersion::Old);
    // Figures such as EA run to many digits; a cut cell would show "8.…". Long titles
    // stop at a width that leaves the figures on screen, and show whole in their tooltip.
    table_->resizeColumnsToContents();
    table_->setColumnWidth(SectionTableModel::kTitle,
                           std::min(table_->columnWidth(SectionTableModel::kTitle), 280));
    endWork();
    emit checkFinished();
  });
  connect(&report_, &QFutureWatcherBase::finished, this, [this] {
    const QString message = report_.result();
    endWork();
    if (!message.isEmpty()) dialogs_.reportFailure(message);
    emit reportFinished();
  });
  showStatus();
}

AllSectionsWindow::~AllSectionsWindow() {
  cancelWork();
  check_.waitForFinished();
  report_.waitForFinished();
}

void AllSectionsWindow::buildControls() {
  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("TitleSearch"));
  search_->setPlaceholderText(QStringLiteral("按标题查找"));
  search_->setAccessibleName(QStringLiteral("按标题查找"));
  search_->setClearButtonEnabled(true);
  for (QToolButton* clear : search_->findChildren<QToolButton*>()) {
    clear->setAccessibleName(QStringLiteral("清除查找"));
  }
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
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("SectionTable"));
  table_->setAccessibleName(QStringLiteral("全部截面表"));
  table_->setModel(filter_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
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
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("WorkProgress"));
  progress_->setAccessibleName(QStringLiteral("进度"));
  progress_->hide();
  cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
  cancelButton_->setObjectName(QStringLiteral("CancelWork"));
  cancelButton_->setAccessibleName(cancelButton_->text());
  cancelButton_->hide();
  connect(cancelButton_, &QPushButton::clicked, this, &AllSectionsWindow::cancelWork);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this,
          [this] { progress_->setValue(done_ ? done_->load() : 0); });

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
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addLayout(bottom);
}

void AllSectionsWindow::setFile(std::shared_ptr<const SectionStore> store, const ReportFile& file) {
  cancelWork();
  check_.waitForFinished();
  report_.waitForFinished();
  model_->clear();
  store_ = std::move(store);
  file_ = file;
  if (!store_ || store_->sections.empty()) {
    endWork();
    return;
  }
  startWork(QStringLiteral("正在检查各节…"), static_cast<int>(store_->sections.size()));
  check_.setFuture(QtConcurrent::run([store = store_, cancel = cancel_, done = done_] {
    return CheckOutcome{store, checkFile(*store, *cancel, [&done](int n) { done->store(n); })};
  }));
}

void AllSectionsWindow::startWork(const QString& what, int total) {
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  done_ = std::make_shared<std::atomic<int>>(0);
  progress_->setRange(0, total);
  progress_->setValue(0);
  progress_->setFormat(what + QStringLiteral(" %v / %m"));
  progress_->setAccessibleDescription(what);
  progress_->show();
  cancelButton_->show();
  exportTable_->setEnabled(false);
  exportReport_->setEnabled(false);
  status_->setText(what);
  status_->setAccessibleName(what);
  progressTimer_->start();
  working_ = true;
}

void AllSectionsWindow::endWork() {
  working_ = false;
  progressTimer_->stop();
  progress_->hide();
  cancelButton_->hide();
  exportTable_->setEnabled(true);
  exportReport_->setEnabled(true);
  showStatus();
}

bool AllSectionsWindow::isWorking() const {
  return working_;
}

void AllSectionsWindow::cancelWork() {
  if (cancel_) cancel_->store(true);
}

void AllSectionsWindow::showStatus() {
  QString text;
  if (!store_ || store_->sections.empty()) {
    text = QStringLiteral("没有读取截面");
  } else if (model_->rowCount() == 0) {
    text = QStringLiteral("检查已取消");
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
  const QString stem =
      file_.name.isEmpty() ? QStringLiteral("截面") : QFileInfo(file_.name).completeBaseName();
  return QDir(file_.folder).filePath(stem + QStringLiteral("-检查") + suffix);
}

void AllSectionsWindow::exportTable() {
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".csv")),
                              QStringLiteral("CSV 表格 (*.csv)"), QStringLiteral("导出表格"));
  if (path.isEmpty()) return;
  const QByteArray csv = csvText(*filter_, SectionTableModel::kExactRole);
  const QString message = writeWholeFile(path, [&csv](QIODevice& device) {
    return device.write(csv) == csv.size() ? WriteStep::Done : WriteStep::Failed;
  });
  if (!message.isEmpty()) dialogs_.reportFailure(message);
}

void AllSectionsWindow::exportReport() {
  if (!store_ || isWorking()) return;
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".pdf")),
                              QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("导出报告"));
  if (path.isEmpty()) return;
  std::vector<int> pages;
  for (int r = 0; r < filter_->rowCount(); ++r) {
    pages.push_back(filter_->mapToSource(filter_->index(r, 0)).row() + 1);
  }
  startWork(QStringLiteral("正在写入报告…"), static_cast<int>(pages.size()));
  report_.setFuture(QtConcurrent::run([path, store = store_, file = file_, rows = model_->rows(),
                                       pages = std::move(pages), cancel = cancel_, done = done_] {
    return writeWholeFile(path, [&](QIODevice& device) {
      return writeReportPdf(device, *store, file, rows, pages, [&](int n) {
        done->store(n);
        return !cancel->load();
      });
    });
  }));
}

}  // namespace fiberview
