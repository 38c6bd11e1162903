#include "widgets/compare_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/compare_report.h"
#include "widgets/compare_table_model.h"
#include "widgets/compare_text.h"
#include "widgets/compare_view.h"
#include "widgets/file_export.h"
#include "widgets/save_dialogs.h"
#include "widgets/table_window_parts.h"

namespace fiberview {

namespace {

// A CSV is written in pieces of this many bytes, so that a cancel takes effect between them.
constexpr qsizetype kCsvPiece = 1 << 16;

}  // namespace

CompareWindow::CompareWindow(FileDocument& before, FileDocument* after, SaveDialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), before_(&before), after_(after), dialogs_(dialogs) {
  after_->setParent(this);
  setObjectName(QStringLiteral("CompareWindow"));
  resize(1200, 680);
  buildControls();
  connect(before_, &FileDocument::fileChanged, this, &CompareWindow::compare);
  connect(after_, &FileDocument::fileChanged, this, &CompareWindow::compare);
  connect(after_, &FileDocument::workChanged, this, &CompareWindow::showWork);
  compare();
}

// The new file's document goes with the window's children, and tells of the work it stops
// as it goes; by then the window is no longer one to tell.
CompareWindow::~CompareWindow() {
  after_->disconnect(this);
}

void CompareWindow::buildControls() {
  search_ = titleSearchBox(this);
  changedOnly_ = new QCheckBox(QStringLiteral("只显示不同的截面"), this);
  changedOnly_->setObjectName(QStringLiteral("ChangedOnly"));
  byNumber_ = new QCheckBox(QStringLiteral("按编号配对"), this);
  byNumber_->setObjectName(QStringLiteral("ByNumber"));
  byNumber_->setToolTip(QStringLiteral("有标题的文件也按截面编号配对，而不按标题"));
  for (QCheckBox* b : {changedOnly_, byNumber_}) b->setAccessibleName(b->text());
  auto* toleranceLabel = new QLabel(QStringLiteral("容差"), this);
  tolerance_ = new QDoubleSpinBox(this);
  tolerance_->setObjectName(QStringLiteral("Tolerance"));
  tolerance_->setRange(0.0, 1e9);
  tolerance_->setDecimals(4);
  tolerance_->setAccessibleName(QStringLiteral("容差"));
  tolerance_->setToolTip(
      QStringLiteral("纤维中心移动不超过这个距离（文件的长度单位）时算作没有移动"));
  toleranceLabel->setBuddy(tolerance_);
  exportTable_ = new QPushButton(QStringLiteral("导出表格"), this);
  exportTable_->setObjectName(QStringLiteral("ExportTable"));
  exportTable_->setToolTip(QStringLiteral("把表格按现在的筛选写成 CSV 文件"));
  exportReport_ = new QPushButton(QStringLiteral("导出报告"), this);
  exportReport_->setObjectName(QStringLiteral("ExportReport"));
  exportReport_->setToolTip(
      QStringLiteral("写一份 PDF 报告：首页说明两个文件和配对方式，每个不同的截面各占一页"));
  auto* chooseOld = new QPushButton(QStringLiteral("换旧文件…"), this);
  chooseOld->setObjectName(QStringLiteral("ChooseOldFile"));
  chooseOld->setToolTip(QStringLiteral("选择另一个文件作为旧文件，与新文件比较"));
  connect(chooseOld, &QPushButton::clicked, this, [this] { emit fileWanted(CompareSide::Old); });
  auto* chooseNew = new QPushButton(QStringLiteral("换新文件…"), this);
  chooseNew->setObjectName(QStringLiteral("ChooseNewFile"));
  chooseNew->setToolTip(QStringLiteral("选择另一个文件作为新文件，与旧文件比较"));
  connect(chooseNew, &QPushButton::clicked, this, [this] { emit fileWanted(CompareSide::New); });
  for (QPushButton* b : {exportTable_, exportReport_, chooseOld, chooseNew}) {
    b->setAccessibleName(b->text());
  }

  model_ = new CompareTableModel(this);
  filter_ = new CompareFilterModel(this);
  filter_->setSourceModel(model_);
  table_ = rowTable(this, QStringLiteral("CompareTable"), QStringLiteral("比较表"), filter_,
                    QAbstractItemView::SingleSelection);
  table_->horizontalHeader()->setStretchLastSection(true);
  for (int c : {CompareTableModel::kBeforeNumber, CompareTableModel::kAfterNumber,
                CompareTableModel::kStatus}) {
    table_->setColumnWidth(c, 56);
  }
  for (int c : {CompareTableModel::kBeforeTitle, CompareTableModel::kAfterTitle}) {
    table_->setColumnWidth(c, 110);
  }
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &CompareWindow::showSelected);

  view_ = new CompareView(this);
  view_->setObjectName(QStringLiteral("CompareDrawing"));
  view_->setAccessibleName(QStringLiteral("所选截面的新旧对照图"));
  changes_ = new QListWidget(this);
  changes_->setObjectName(QStringLiteral("ChangeList"));
  changes_->setAccessibleName(QStringLiteral("所选截面的变化"));
  changes_->setWordWrap(true);
  auto* right = new QSplitter(Qt::Vertical, this);
  right->addWidget(view_);
  right->addWidget(changes_);
  right->setSizes({420, 160});
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(table_);
  split->addWidget(right);
  split->setSizes({640, 560});

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("CompareStatus"));
  matching_ = new QLabel(this);
  matching_->setObjectName(QStringLiteral("Matching"));
  const WorkControls work = workControls(this);
  progress_ = work.progress;
  cancelButton_ = work.cancel;
  connect(cancelButton_, &QPushButton::clicked, this, &CompareWindow::cancelWork);
  compareAgain_ = new QPushButton(QStringLiteral("重新比较"), this);
  compareAgain_->setObjectName(QStringLiteral("CompareAgain"));
  compareAgain_->hide();
  connect(compareAgain_, &QPushButton::clicked, this, &CompareWindow::compare);
  compareAgain_->setAccessibleName(compareAgain_->text());
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, [this] {
    if (const Feedback* feedback = after_->feedback(shownWork())) {
      if (feedback->permille() >= 0) progress_->setValue(feedback->permille());
    }
  });

  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
    filter_->setTitleSearch(text);
    showStatus();
  });
  connect(changedOnly_, &QCheckBox::toggled, this, [this](bool on) {
    filter_->setChangedOnly(on);
    showStatus();
  });
  connect(byNumber_, &QCheckBox::toggled, this, &CompareWindow::compare);
  connect(tolerance_, &QDoubleSpinBox::editingFinished, this, [this] {
    if (options().tolerance != model_->comparison().options.tolerance) compare();
  });
  connect(exportTable_, &QPushButton::clicked, this, &CompareWindow::exportTable);
  connect(exportReport_, &QPushButton::clicked, this, &CompareWindow::exportReport);

  // Window shortcuts, so that they page through the differing sections wherever the focus is
  // in the window; the table's own paging is taken over.
  const struct {
    QKeySequence key;
    void (CompareWindow::*slot)();
  } keys[] = {{QKeySequence(Qt::Key_PageDown), &CompareWindow::nextChanged},
              {QKeySequence(Qt::Key_PageUp), &CompareWindow::previousChanged}};
  for (const auto& k : keys) {
    auto* action = new QAction(this);
    action->setShortcut(k.key);
    connect(action, &QAction::triggered, this, k.slot);
    addAction(action);
  }
  auto* close = new QAction(this);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(close, &QAction::triggered, this, &QWidget::close);
  addAction(close);

  auto* top = new QHBoxLayout;
  top->addWidget(search_, 1);
  top->addWidget(changedOnly_);
  top->addWidget(byNumber_);
  top->addWidget(toleranceLabel);
  top->addWidget(tolerance_);
  top->addStretch();
  top->addWidget(chooseOld);
  top->addWidget(chooseNew);
  top->addWidget(exportTable_);
  top->addWidget(exportReport_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(matching_);
  bottom->addWidget(progress_);
  bottom->addWidget(cancelButton_);
  bottom->addWidget(compareAgain_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(bottom);
}

CompareOptions CompareWindow::options() const {
  return {tolerance_->value(), byNumber_->isChecked()};
}

void CompareWindow::replaceFile(CompareSide side, const QString& path, const ReadOptions& readWith,
                                std::shared_ptr<const SectionStore> store) {
  if (side == CompareSide::Old && before_->parent() != this) {
    // The open file's document goes on with the main window's file.
    before_->disconnect(this);
    before_ = new FileDocument(this);
    connect(before_, &FileDocument::fileChanged, this, &CompareWindow::compare);
  }
  // Either document tells of its new file, and the window compares again.
  (side == CompareSide::Old ? before_ : after_)->setFile(path, readWith, std::move(store));
}

void CompareWindow::compare() {
  setWindowTitle(
      QStringLiteral("两个文件的比较 — %1 与 %2")
          .arg(QFileInfo(before_->path()).fileName(), QFileInfo(after_->path()).fileName()));
  model_->clear();
  view_->clear();
  changes_->clear();
  cancelled_ = false;
  const CompareOptions options = this->options();
  std::shared_ptr<const SectionStore> before = before_->store();
  std::shared_ptr<const SectionStore> after = after_->store();
  after_->run<std::optional<Comparison>>(
      FileDocument::Work::Comparing,
      [before, after, options](Feedback& feedback) {
        return compareStores(*before, *after, options, feedback);
      },
      [this, before, after](std::optional<Comparison> comparison) {
        if (comparison) {
          model_->setComparison(before, after, std::move(*comparison));
          table_->resizeColumnToContents(CompareTableModel::kBeforeTitle);
          table_->resizeColumnToContents(CompareTableModel::kAfterTitle);
          for (int c : {CompareTableModel::kBeforeTitle, CompareTableModel::kAfterTitle}) {
            table_->setColumnWidth(c, std::min(table_->columnWidth(c), 200));
          }
          stepChanged(1);
        }
        showWork();
        emit workFinished();
      });
}

FileDocument::Work CompareWindow::shownWork() const {
  return after_->isWorking(FileDocument::Work::Reporting) ? FileDocument::Work::Reporting
                                                          : FileDocument::Work::Comparing;
}

bool CompareWindow::isWorking() const {
  return after_->isWorking(FileDocument::Work::Comparing) ||
         after_->isWorking(FileDocument::Work::Reporting);
}

void CompareWindow::cancelWork() {
  if (shownWork() == FileDocument::Work::Comparing) cancelled_ = true;
  after_->cancel(shownWork());
  emit workFinished();
}

void CompareWindow::showWork() {
  const bool working = isWorking();
  const bool compared = model_->rowCount() > 0 || (!working && !cancelled_);
  progress_->setVisible(working);
  cancelButton_->setVisible(working);
  compareAgain_->setVisible(!working && cancelled_);
  exportTable_->setEnabled(!working && compared);
  exportReport_->setEnabled(!working && compared);
  if (working) {
    const QString what = shownWork() == FileDocument::Work::Reporting ? QStringLiteral("正在写入…")
                                                                      : QStringLiteral("正在比较…");
    progress_->setRange(0, 1000);
    progress_->setFormat(what);
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

void CompareWindow::showStatus() {
  QString text;
  QString matching;
  if (cancelled_) {
    text = QStringLiteral("比较已取消，按“重新比较”再比较");
  } else if (!isWorking()) {
    const Comparison& c = model_->comparison();
    text = compareStatusText(c);
    if (filter_->rowCount() != model_->rowCount()) {
      text += QStringLiteral("；显示 %1 节").arg(filter_->rowCount());
    }
    matching = matchingText(c);
  }
  status_->setText(text);
  // A label's text is not offered to screen readers, so its name carries it.
  status_->setAccessibleName(text);
  matching_->setText(matching);
  matching_->setAccessibleName(matching);
}

void CompareWindow::showSelected() {
  changes_->clear();
  const QModelIndex current = table_->selectionModel()->currentIndex();
  if (!current.isValid()) {
    view_->clear();
    return;
  }
  const SectionComparison& row =
      model_->comparison().sections[static_cast<std::size_t>(filter_->mapToSource(current).row())];
  view_->showPair(model_->before(), model_->after(), row);
  QStringList lines = changeSentences(row, model_->before()->version);
  if (lines.isEmpty()) lines << QStringLiteral("两个文件中这一节相同");
  changes_->addItems(lines);
}

void CompareWindow::nextChanged() {
  stepChanged(1);
}

void CompareWindow::previousChanged() {
  stepChanged(-1);
}

void CompareWindow::stepChanged(int direction) {
  const QModelIndex current = table_->selectionModel()->currentIndex();
  int row = current.isValid() ? current.row() : (direction > 0 ? -1 : filter_->rowCount());
  for (row += direction; row >= 0 && row < filter_->rowCount(); row += direction) {
    const auto source =
        static_cast<std::size_t>(filter_->mapToSource(filter_->index(row, 0)).row());
    if (model_->comparison().sections[source].status == SectionStatus::Same) continue;
    const QModelIndex index = filter_->index(row, 0);
    table_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollTo(index);
    return;
  }
}

QString CompareWindow::suggestedPath(const QString& suffix) const {
  const QFileInfo after(after_->path());
  return QDir(after.absolutePath())
      .filePath(QFileInfo(before_->path()).completeBaseName() + QStringLiteral("-") +
                after.completeBaseName() + QStringLiteral("-比较") + suffix);
}

void CompareWindow::exportTable() {
  if (isWorking()) return;
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".csv")),
                              QStringLiteral("CSV 表格 (*.csv)"), QStringLiteral("导出表格"));
  if (path.isEmpty()) return;
  QList<int> columns;
  for (int c = 0; c < CompareTableModel::kColumns; ++c) columns << c;
  after_->run<QString>(
      FileDocument::Work::Reporting,
      [path, csv = csvText(*filter_, CompareTableModel::kExportRole, columns)](Feedback& feedback) {
        return writeWholeFile(path, [&](QIODevice& device) {
          for (qsizetype at = 0; at < csv.size(); at += kCsvPiece) {
            if (feedback.isCancelled()) return WriteStep::Cancelled;
            const qsizetype n = std::min(kCsvPiece, csv.size() - at);
            if (device.write(csv.constData() + at, n) != n) return WriteStep::Failed;
            feedback.setProgress(static_cast<std::uint64_t>(at + n),
                                 static_cast<std::uint64_t>(csv.size()));
          }
          return WriteStep::Done;
        });
      },
      [this](QString message) {
        if (!message.isEmpty()) dialogs_.reportFailure(message);
        emit workFinished();
      });
}

void CompareWindow::exportReport() {
  if (isWorking()) return;
  const QString path =
      dialogs_.chooseSaveFile(suggestedPath(QStringLiteral(".pdf")),
                              QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral("导出报告"));
  if (path.isEmpty()) return;
  const Comparison& c = model_->comparison();
  const auto pages = static_cast<std::uint64_t>(c.sections.size()) -
                     static_cast<std::uint64_t>(c.count(SectionStatus::Same));
  after_->run<QString>(
      FileDocument::Work::Reporting,
      [path, before = model_->before(), after = model_->after(), beforeFile = reportFile(*before_),
       afterFile = reportFile(*after_), c, pages](Feedback& feedback) {
        return writeWholeFile(path, [&](QIODevice& device) {
          return writeComparisonPdf(device, *before, beforeFile, *after, afterFile, c,
                                    [&](int done) {
                                      feedback.setProgress(static_cast<std::uint64_t>(done), pages);
                                      return !feedback.isCancelled();
                                    });
        });
      },
      [this](QString message) {
        if (!message.isEmpty()) dialogs_.reportFailure(message);
        emit workFinished();
      });
}

}  // namespace fiberview
