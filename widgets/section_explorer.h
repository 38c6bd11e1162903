// The section explorer (截面详图): a window of its own that shows one section with
// numbers. On the left its drawing, fitted to the fibers, with rulers, zoom and pan; on the
// right the fiber table, the summary figures and the findings of the checks. The table's
// selection is the one selection: a click on the drawing or on a finding selects in the
// table, and the drawing shows what the table has selected.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "document/file_document.h"
#include "plot/concrete_region.h"
#include "plot/section_summary.h"
#include "widgets/fiber_text.h"

class QAction;
class QLabel;
class QListWidget;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTreeWidget;

namespace fiberview {

class FiberTableModel;
class SectionView;

class SectionExplorer : public QWidget {
  Q_OBJECT

 public:
  // A window of its own even when it has a parent, showing the current section of
  // `document`, which must outlive it; the empty state while there is none.
  explicit SectionExplorer(FileDocument& document, QWidget* parent = nullptr);
  ~SectionExplorer() override;

  int sectionNumber() const { return number_; }  // 0 in the empty state

  // Selects `fiber` in the table, which the drawing shows, and brings its disc into view,
  // at the centre when it was out of view; none, or a fiber the section does not have,
  // clears the selection.
  void selectFiber(std::optional<FiberRef> fiber);
  // The table's current fiber when it is selected.
  std::optional<FiberRef> selectedFiber() const;
  // The concrete region of the section shown; empty in the empty state.
  const ConcreteRegion& region() const { return *region_; }

  SectionView* view() const { return view_; }
  // 按材料着色, checkable.
  QAction* colourByMaterialAction() const { return byMaterial_; }
  QTableView* table() const { return table_; }

 public slots:
  // Puts the drawing, rulers included, on the clipboard at twice the screen resolution,
  // captioned with the name of the window's file path, the section's number and its title.
  void copyImage();
  // Puts the table's selected rows on the clipboard as tab-separated text under a header.
  void copyRows();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  QAction* addCommand(const QString& text, const QList<QKeySequence>& keys);
  // Shows the document's current section, or the empty state, which says that nothing is
  // drawn yet.
  void showCurrent();
  void showFindings(const SectionRow& verdict);
  void tableSelectionChanged();
  void showSummary(const Section* section);
  void showLegend();
  void fitColumns();
  void showCursor(QPointF at);
  void showCursorHint();
  void showStatus(const QString& text);

  FileDocument& document_;
  std::shared_ptr<const SectionStore> store_;  // null in the empty state
  int number_ = 0;
  const ConcreteRegion* region_ = nullptr;  // the document's, which keeps it for the file

  QLabel* heading_ = nullptr;
  SectionView* view_ = nullptr;
  FiberTableModel* model_ = nullptr;
  QSortFilterProxyModel* proxy_ = nullptr;
  QTableView* table_ = nullptr;
  QTreeWidget* summary_ = nullptr;
  QAction* byMaterial_ = nullptr;
  QLabel* legend_ = nullptr;
  QListWidget* checks_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QLabel* status_ = nullptr;
  QList<QAction*> sectionCommands_;  // the commands that need a section to act on
};

}  // namespace fiberview
