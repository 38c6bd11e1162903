#include "widgets/section_explorer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "plot/number_format.h"
#include "widgets/fiber_table_model.h"
#include "widgets/section_report.h"
#include "widgets/section_table_model.h"
#include "widgets/section_view.h"
#include "widgets/widget_image.h"

namespace fiberview {

namespace {

constexpr int kFindingKindRole = Qt::UserRole;
constexpr int kFindingFiberRole = Qt::UserRole + 1;
constexpr int kSpannedRole = Qt::UserRole + 2;  // a heading or a note, across the row

// Wraps a note across the whole row of the summary, as wide as the view is now; a tree
// view sizes a spanned row by its first column alone.
class SummaryDelegate final : public QStyledItemDelegate {
 public:
  explicit SummaryDelegate(QTreeWidget* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (!index.data(kSpannedRole).toBool()) return size;
    // Less the item's margins, so that the last word is not cut.
    const int width = std::max(tree_->viewport()->width() - 16, 40);
    const QRect text = option.fontMetrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap,
                                                       index.data().toString());
    return {size.width(), std::max(size.height(), text.height() + 4)};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem narrowed(option);
    // The row spans every column, which may reach past the view; wrap at the view's edge,
    // as sizeHint measured.
    if (index.data(kSpannedRole).toBool()) {
      narrowed.rect.setWidth(std::max(tree_->viewport()->width() - 16, 40));
    }
    QStyledItemDelegate::paint(painter, narrowed, index);
  }

 private:
  QTreeWidget* tree_;
};

}  // namespace

SectionExplorer::SectionExplorer(FileDocument& document, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document) {
  setObjectName(QStringLiteral("SectionExplorer"));
  setAccessibleName(windowTitle());
  buildControls();
  resize(900, 600);
  connect(&document_, &FileDocument::currentSectionChanged, this, &SectionExplorer::showCurrent);
  connect(&document_, &FileDocument::verdictsChanged, this, [this] {
    if (store_ != nullptr) showFindings(document_.verdict(number_));
  });
  showCurrent();
}

SectionExplorer::~SectionExplorer() {
  // The child widgets outlive this class's part of the object; a signal they send on their
  // way out, such as the list's current item going, must not reach it.
  disconnect(table_->selectionModel(), nullptr, this, nullptr);
  disconnect(view_, nullptr, this, nullptr);
  disconnect(checks_, nullptr, this, nullptr);
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
  // Titles come from the file: "<b>KZ1</b>" is a title, not markup.
  heading_->setTextFormat(Qt::PlainText);
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
  byMaterial_ = addCommand(QStringLiteral("按材料着色"), {QKeySequence(Qt::CTRL | Qt::Key_M)});
  byMaterial_->setObjectName(QStringLiteral("ColourByMaterialAction"));
  byMaterial_->setCheckable(true);
  connect(byMaterial_, &QAction::toggled, this, [this](bool on) {
    view_->setColourByMaterial(on);
    showLegend();
  });
  addAction(byMaterial_);
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
  for (QAction* a : {fit, zoomIn, zoomOut, copy, byMaterial_}) {
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
  legend_ = new QLabel(drawing);
  legend_->setObjectName(QStringLiteral("MaterialLegend"));
  legend_->setAccessibleName(QStringLiteral("材料图例"));
  legend_->setWordWrap(true);
  legend_->hide();
  drawingLayout->addWidget(legend_);
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
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  auto* copyRows = new QAction(QStringLiteral("复制所选行"), table_);
  copyRows->setObjectName(QStringLiteral("CopyRowsAction"));
  copyRows->setShortcut(QKeySequence::Copy);
  copyRows->setShortcutContext(Qt::WidgetShortcut);
  table_->addAction(copyRows);
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copyRows, &QAction::triggered, this, &SectionExplorer::copyRows);
  // Sorted by kind at first: concrete, then steel, each in file order.
  table_->setSortingEnabled(true);
  table_->sortByColumn(FiberTableModel::kKindColumn, Qt::AscendingOrder);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &SectionExplorer::tableSelectionChanged);
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) {
              view_->revealFiber(model_->fiberAt(proxy_->mapToSource(current).row()));
            }
          });
  connect(view_, &SectionView::fiberClicked, this, [this](FiberKind kind, int fiber) {
    selectFiber(fiber > 0 ? std::optional<FiberRef>(FiberRef{kind, fiber}) : std::nullopt);
  });

  // A table rather than rich text, so that a screen reader reads it row by row and cell by
  // cell.
  summary_ = new QTreeWidget(this);
  summary_->setObjectName(QStringLiteral("ExplorerSummary"));
  summary_->setAccessibleName(QStringLiteral("汇总"));
  summary_->setColumnCount(2);
  summary_->setHeaderLabels({QStringLiteral("项目"), QStringLiteral("值")});
  summary_->setRootIsDecorated(false);
  summary_->setItemsExpandable(false);
  summary_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  summary_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  summary_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // A long figure widens its column rather than losing its digits to an ellipsis.
  summary_->header()->setStretchLastSection(false);
  // Headings and notes span the row and wrap within it.
  summary_->setWordWrap(true);
  summary_->setUniformRowHeights(false);
  summary_->setItemDelegate(new SummaryDelegate(summary_));
  summary_->viewport()->installEventFilter(this);
  auto* copySummary = new QAction(QStringLiteral("复制所选行"), summary_);
  copySummary->setShortcut(QKeySequence::Copy);
  copySummary->setShortcutContext(Qt::WidgetShortcut);
  summary_->addAction(copySummary);
  summary_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copySummary, &QAction::triggered, this, [this] {
    QStringList lines;
    for (QTreeWidgetItem* item : summary_->selectedItems()) {
      QStringList cells;
      for (int c = 0; c < item->columnCount(); ++c) cells << item->text(c);
      while (!cells.isEmpty() && cells.back().isEmpty()) cells.removeLast();
      lines << cells.join(QLatin1Char('\t'));
    }
    if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + '\n');
  });

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

void SectionExplorer::showCurrent() {
  static const ConcreteRegion none;
  const int number = document_.currentSection();
  const Section* section = number > 0 ? document_.store()->section(number) : nullptr;
  store_ = section ? document_.store() : nullptr;
  number_ = section ? number : 0;
  region_ = section ? &document_.region(number) : &none;
  // The title names the file and the section.
  QString title = QStringLiteral("截面详图");
  if (!document_.path().isEmpty())
    title += QStringLiteral(" — ") + QFileInfo(document_.path()).fileName();
  if (section) title += QStringLiteral(" — ") + sectionHeading(*store_, number_);
  setWindowTitle(title);
  setWindowFilePath(document_.path());

  // The model reset clears the selection, and the drawing shows that.
  view_->showSection(store_, number_,
                     section ? flaggedFibers(document_.verdict(number_)) : std::vector<FiberRef>{},
                     region_->boundary());
  model_->setSection(store_, number_);
  fitColumns();
  heading_->setText(section ? sectionHeading(*store_, number_) : emptyExplorerText());
  heading_->setAccessibleName(heading_->text());
  showSummary(section);
  if (section) {
    showFindings(document_.verdict(number_));
  } else {
    checks_->clear();
  }
  showLegend();
  for (QAction* a : sectionCommands_) a->setEnabled(section != nullptr);
  showCursorHint();
}

void SectionExplorer::fitColumns() {
  const QFontMetrics metrics(table_->font());
  const QFontMetrics header(table_->horizontalHeader()->font());
  for (int c = 0; c < FiberTableModel::kColumns; ++c) {
    const QString text = model_->widestText(c);
    // Room for the sort arrow beside the header's text.
    table_->setColumnWidth(
        c, std::max(metrics.horizontalAdvance(text), header.horizontalAdvance(text) + 12) + 16);
  }
}

void SectionExplorer::showSummary(const Section* section) {
  summary_->clear();
  if (section == nullptr) {
    auto* item = new QTreeWidgetItem(summary_, {emptyExplorerText()});
    item->setFirstColumnSpanned(true);
    return;
  }
  QFont bold = summary_->font();
  bold.setBold(true);
  for (const SummaryLine& line : summaryLines(*store_, *section, *region_)) {
    auto* item = new QTreeWidgetItem(summary_, line.cells);
    if (line.kind != SummaryLine::Row) {
      item->setFirstColumnSpanned(true);
      item->setData(0, kSpannedRole, true);
    }
    if (line.kind == SummaryLine::Heading) item->setFont(0, bold);
    if (line.kind == SummaryLine::Note) item->setToolTip(0, line.cells.front());
  }
}

void SectionExplorer::showLegend() {
  const bool on = byMaterial_->isChecked() && store_ != nullptr;
  legend_->setVisible(on);
  if (!on) return;
  QStringList rich;
  QStringList plain;
  const std::vector<MaterialCount> materials = countMaterials(*store_->section(number_));
  for (std::size_t i = 0; i < materials.size(); ++i) {
    const MaterialCount& m = materials[i];
    QStringList counts;
    if (m.concrete > 0) counts << QStringLiteral("混凝土 %1 根").arg(m.concrete);
    if (m.steel > 0) counts << QStringLiteral("钢筋 %1 根").arg(m.steel);
    const QString text = QStringLiteral("材料 %1：%2")
                             .arg(figureNumber(m.number), counts.join(QStringLiteral("，")));
    plain << text;
    rich << QStringLiteral("<span style=\"color:%1\">■</span> %2")
                .arg(materialColour(i).name(), text.toHtmlEscaped());
  }
  if (materials.empty()) plain << QStringLiteral("没有材料号");
  legend_->setText(materials.empty() ? plain.front() : rich.join(QStringLiteral("　")));
  legend_->setAccessibleName(QStringLiteral("材料图例：") + plain.join(QStringLiteral("；")));
}

void SectionExplorer::showFindings(const SectionRow& verdict) {
  const QSignalBlocker quiet(checks_);
  checks_->clear();
  const std::vector<VerdictLine> lines = verdictLines(verdict);
  if (lines.empty()) {
    // Until the sections are compared, a section alone shows no finding but is not yet
    // known to have none.
    auto* item = new QListWidgetItem(
        document_.comparedAcross() ? noFindingsText() : notComparedText(), checks_);
    item->setFlags(Qt::ItemIsEnabled);
    return;
  }
  for (const VerdictLine& line : lines) {
    auto* item = new QListWidgetItem(line.text, checks_);
    if (line.fiber) {
      item->setData(kFindingKindRole, static_cast<int>(line.fiber->kind));
      item->setData(kFindingFiberRole, line.fiber->fiber);
    }
  }
  if (!document_.comparedAcross()) {
    new QListWidgetItem(notComparedText(), checks_);
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
  const QModelIndex current = table_->selectionModel()->currentIndex();
  if (!current.isValid() || !table_->selectionModel()->isRowSelected(current.row())) {
    return std::nullopt;
  }
  return model_->fiberAt(proxy_->mapToSource(current).row());
}

void SectionExplorer::tableSelectionChanged() {
  std::vector<FiberRef> fibers;
  for (const QModelIndex& row : table_->selectionModel()->selectedRows()) {
    fibers.push_back(model_->fiberAt(proxy_->mapToSource(row).row()));
  }
  view_->showSelection(fibers);
}

void SectionExplorer::copyRows() {
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  // In the order the table shows them.
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QList<int> source;
  for (const QModelIndex& r : rows) source << proxy_->mapToSource(r).row();
  QApplication::clipboard()->setText(model_->tabSeparated(source));
}

void SectionExplorer::showCursor(QPointF at) {
  const double pixel = view_->pixelSize();
  showStatus(QStringLiteral("x = %1，y = %2")
                 .arg(QString::fromStdString(resolvedText(at.x(), pixel)),
                      QString::fromStdString(resolvedText(at.y(), pixel))));
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

bool SectionExplorer::eventFilter(QObject* watched, QEvent* event) {
  // A wider or narrower view wraps the notes anew.
  if (watched == summary_->viewport() && event->type() == QEvent::Resize) {
    summary_->doItemsLayout();
  }
  return QWidget::eventFilter(watched, event);
}

// The window's file path names the file the section came from, for the caption.
void SectionExplorer::copyImage() {
  const Section* section = store_ ? store_->section(number_) : nullptr;
  copyWidgetImage(*view_, view_->rect(),
                  pictureCaption(QFileInfo(windowFilePath()).fileName(), number_,
                                 section != nullptr ? section->title : std::string()));
}

}  // namespace fiberview
