#include "widgets/section_explorer.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "plot/ruler_ticks.h"
#include "widgets/fiber_table_model.h"
#include "widgets/section_report.h"
#include "widgets/section_view.h"
#include "widgets/widget_image.h"

namespace fiberview {

namespace {

constexpr int kFindingKindRole = Qt::UserRole;
constexpr int kFindingFiberRole = Qt::UserRole + 1;

}  // namespace

SectionExplorer::SectionExplorer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("SectionExplorer"));
  setWindowTitle(QStringLiteral("截面详图"));
  setAccessibleName(windowTitle());
  buildControls();
  resize(900, 600);
  showSection(nullptr, 0);
}

SectionExplorer::~SectionExplorer() {
  // The child widgets outlive this class's part of the object; a signal they send on their
  // way out, such as the list's current item going, must not reach it.
  disconnect(table_->selectionModel(), nullptr, this, nullptr);
  disconnect(view_, nullptr, this, nullptr);
  disconnect(checks_, nullptr, this, nullptr);
  // The table still asks its model for rows while it is hidden on the way out, after the
  // store it reads from is gone with this class's members.
  model_->setSection(nullptr);
}

QAction* SectionExplorer::addCommand(const QString& text, const QList<QKeySequence>& keys) {
  auto* action = new QAction(text, this);
  action->setShortcuts(keys);
  action->setToolTip(
      QStringLiteral("%1（%2）").arg(text, keys.front().toString(QKeySequence::NativeText)));
  sectionCommands_ << action;
  return action;
}

void SectionExplorer::buildControls() {
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("ExplorerHeading"));
  heading_->setWordWrap(true);
  heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);

  view_ = new SectionView(this);
  view_->setObjectName(QStringLiteral("ExplorerView"));
  view_->setAccessibleName(QStringLiteral("截面详图画面"));
  view_->setPlaceholderText(emptyExplorerText());

  QAction* fit = addCommand(QStringLiteral("适合窗口"), {QKeySequence(Qt::CTRL | Qt::Key_0)});
  QAction* zoomIn = addCommand(QStringLiteral("放大"), {QKeySequence(Qt::CTRL | Qt::Key_Equal),
                                                        QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  QAction* zoomOut = addCommand(QStringLiteral("缩小"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
  QAction* copy = addCommand(QStringLiteral("复制图像"), {QKeySequence(Qt::CTRL | Qt::Key_C)});
  fit->setObjectName(QStringLiteral("FitAction"));
  zoomIn->setObjectName(QStringLiteral("ZoomInAction"));
  zoomOut->setObjectName(QStringLiteral("ZoomOutAction"));
  copy->setObjectName(QStringLiteral("CopyImageAction"));
  // Zooming works from anywhere in the window; Ctrl+C copies the picture only from the
  // drawing, and stays free for copying text elsewhere.
  addActions({fit, zoomIn, zoomOut});
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  view_->addAction(copy);
  connect(fit, &QAction::triggered, view_, &SectionView::fitToWindow);
  connect(zoomIn, &QAction::triggered, view_, &SectionView::zoomIn);
  connect(zoomOut, &QAction::triggered, view_, &SectionView::zoomOut);
  connect(copy, &QAction::triggered, this, &SectionExplorer::copyImage);

  auto* close = new QAction(this);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  addAction(close);
  connect(close, &QAction::triggered, this, &QWidget::close);

  auto* tools = new QHBoxLayout;
  QList<QWidget*> order;
  for (QAction* a : {fit, zoomIn, zoomOut, copy}) {
    auto* button = new QToolButton(this);
    button->setDefaultAction(a);
    button->setAccessibleName(a->text());
    tools->addWidget(button);
    order << button;
  }
  tools->addStretch();
  auto* drawing = new QWidget(this);
  auto* drawingLayout = new QVBoxLayout(drawing);
  drawingLayout->setContentsMargins(0, 0, 0, 0);
  drawingLayout->addLayout(tools);
  drawingLayout->addWidget(view_);

  model_ = new FiberTableModel(this);
  proxy_ = new QSortFilterProxyModel(this);
  proxy_->setSourceModel(model_);
  proxy_->setSortRole(FiberTableModel::kSortRole);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("FiberTable"));
  table_->setAccessibleName(QStringLiteral("纤维表"));
  table_->setModel(proxy_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setDefaultSectionSize(72);
  table_->setColumnWidth(FiberTableModel::kKindColumn, 52);
  table_->setColumnWidth(FiberTableModel::kNumberColumn, 44);
  // Sorted by kind at first: concrete, then steel, each in file order.
  table_->setSortingEnabled(true);
  table_->sortByColumn(FiberTableModel::kKindColumn, Qt::AscendingOrder);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &SectionExplorer::tableSelectionChanged);
  connect(view_, &SectionView::selectedFiberChanged, this, &SectionExplorer::viewSelectionChanged);

  summary_ = new QTextBrowser(this);
  summary_->setObjectName(QStringLiteral("ExplorerSummary"));
  summary_->setAccessibleName(QStringLiteral("汇总"));

  checks_ = new QListWidget(this);
  checks_->setObjectName(QStringLiteral("ExplorerChecks"));
  checks_->setAccessibleName(QStringLiteral("检查结果"));
  const auto showFinding = [this](QListWidgetItem* item) {
    if (item == nullptr || !item->data(kFindingFiberRole).isValid()) return;
    selectFiber(FiberRef{static_cast<FiberKind>(item->data(kFindingKindRole).toInt()),
                         item->data(kFindingFiberRole).toInt()});
  };
  connect(checks_, &QListWidget::currentItemChanged, this, showFinding);
  connect(checks_, &QListWidget::itemClicked, this, showFinding);

  tabs_ = new QTabWidget(this);
  tabs_->setAccessibleName(QStringLiteral("截面数据"));
  tabs_->addTab(table_, QStringLiteral("纤维表"));
  tabs_->addTab(summary_, QStringLiteral("汇总"));
  tabs_->addTab(checks_, QStringLiteral("检查"));

  auto* splitter = new QSplitter(this);
  splitter->addWidget(drawing);
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(0, 1);
  splitter->setSizes({540, 360});
  splitter->setChildrenCollapsible(false);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("ExplorerStatus"));
  connect(view_, &SectionView::cursorMoved, this, &SectionExplorer::showCursor);
  connect(view_, &SectionView::cursorLeft, this, &SectionExplorer::showCursorHint);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(splitter, 1);
  layout->addWidget(status_);
  order << view_ << tabs_ << table_ << summary_ << checks_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  // The arrow keys pan and the zoom keys work as soon as the window opens.
  view_->setFocus();
}

void SectionExplorer::showSection(std::shared_ptr<const SectionStore> store, int number) {
  const Section* section = store ? store->section(number) : nullptr;
  store_ = section ? std::move(store) : nullptr;
  number_ = section ? number : 0;
  const std::vector<Finding> findings = section ? checkSection(*section) : std::vector<Finding>{};
  std::vector<FiberRef> flagged;
  for (const Finding& f : findings) flagged.push_back({f.fiberKind, f.fiber});

  {
    // The old selection names fibers of another section; nothing is selected in the new one.
    const QSignalBlocker quiet(table_->selectionModel());
    model_->setSection(section);
  }
  view_->showSection(section, flagged);
  heading_->setText(section ? sectionHeading(*store_, number_) : emptyExplorerText());
  heading_->setAccessibleName(heading_->text());
  summary_->setHtml(section ? summaryHtml(*store_, *section) : emptyExplorerText().toHtmlEscaped());
  showFindings(findings);
  for (QAction* a : sectionCommands_) a->setEnabled(section != nullptr);
  showCursorHint();
}

void SectionExplorer::showFindings(const std::vector<Finding>& findings) {
  const QSignalBlocker quiet(checks_);
  checks_->clear();
  if (store_ == nullptr) return;
  if (findings.empty()) {
    auto* item = new QListWidgetItem(noFindingsText(), checks_);
    item->setFlags(Qt::ItemIsEnabled);
    return;
  }
  for (const Finding& f : findings) {
    auto* item = new QListWidgetItem(findingText(f), checks_);
    item->setData(kFindingKindRole, static_cast<int>(f.fiberKind));
    item->setData(kFindingFiberRole, f.fiber);
  }
}

void SectionExplorer::selectFiber(std::optional<FiberRef> fiber) {
  const int row = fiber ? model_->rowOf(*fiber) : -1;
  if (row < 0) {
    table_->selectionModel()->clearSelection();
    return;
  }
  const QModelIndex index = proxy_->mapFromSource(model_->index(row, 0));
  table_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table_->scrollTo(index);
}

std::optional<FiberRef> SectionExplorer::selectedFiber() const {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  return model_->fiberAt(proxy_->mapToSource(rows.front()).row());
}

void SectionExplorer::tableSelectionChanged() {
  if (syncing_) return;
  const std::optional<FiberRef> fiber = selectedFiber();
  syncing_ = true;
  view_->setSelectedFiber(fiber);
  syncing_ = false;
  if (fiber) view_->revealFiber(*fiber);
}

void SectionExplorer::viewSelectionChanged() {
  if (syncing_) return;
  syncing_ = true;
  selectFiber(view_->selectedFiber());
  syncing_ = false;
}

void SectionExplorer::showCursor(QPointF at) {
  const double pixel = view_->pixelSize();
  showStatus(QStringLiteral("x = %1，y = %2")
                 .arg(shortNumber(roundToResolution(at.x(), pixel)),
                      shortNumber(roundToResolution(at.y(), pixel))));
}

void SectionExplorer::showCursorHint() {
  showStatus(store_ ? QStringLiteral("坐标单位与文件相同。滚轮缩放，拖动平移，单击选中纤维。")
                    : QString());
}

void SectionExplorer::showStatus(const QString& text) {
  status_->setText(text);
  // A label with a name offers the name, not its text, to a screen reader.
  status_->setAccessibleName(text.isEmpty() ? QStringLiteral("光标坐标") : text);
}

// The window's file path names the file the section came from, for the caption.
void SectionExplorer::copyImage() {
  const Section* section = store_ ? store_->section(number_) : nullptr;
  copyWidgetImage(*view_, view_->rect(),
                  pictureCaption(QFileInfo(windowFilePath()).fileName(), number_,
                                 section != nullptr ? section->title : std::string()));
}

}  // namespace fiberview
