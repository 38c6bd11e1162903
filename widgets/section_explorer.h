// The section explorer (截面详图): a window of its own that shows one section with
// numbers. On the left its drawing, fitted to the fibers, with rulers, zoom and pan; on the
// right the fiber table, the summary figures and the findings of the checks. Selecting a
// fiber in the table, on the drawing or in the findings selects it in all of them.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "plot/section_summary.h"
#include "widgets/fiber_text.h"

class QAction;
class QLabel;
class QListWidget;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTextBrowser;

namespace fiberview {

class FiberTableModel;
class SectionView;

class SectionExplorer : public QWidget {
  Q_OBJECT

 public:
  // A window of its own even when it has a parent; it starts in the empty state.
  explicit SectionExplorer(QWidget* parent = nullptr);
  ~SectionExplorer() override;

  // Shows section `number` (1-based) of `store`. A null store, or a number the store has no
  // section for, shows the empty state, which says that nothing is drawn yet.
  void showSection(std::shared_ptr<const SectionStore> store, int number);
  int sectionNumber() const { return number_; }  // 0 in the empty state

  // Selects `fiber` in the table and on the drawing and brings its disc into view, at the
  // centre when it was out of view; none, or a fiber the section does not have, clears the
  // selection.
  void selectFiber(std::optional<FiberRef> fiber);
  std::optional<FiberRef> selectedFiber() const;

  SectionView* view() const { return view_; }
  QTableView* table() const { return table_; }

 public slots:
  // Puts the drawing, rulers included, on the clipboard at twice the screen resolution,
  // captioned with the name of the window's file path, the section's number and its title.
  void copyImage();

 private:
  void buildControls();
  QAction* addCommand(const QString& text, const QList<QKeySequence>& keys);
  void showFindings(const std::vector<Finding>& findings);
  void tableSelectionChanged();
  void viewSelectionChanged();
  void showCursor(QPointF at);
  void showCursorHint();
  void showStatus(const QString& text);

  std::shared_ptr<const SectionStore> store_;
  int number_ = 0;
  // Set while one side of the selection is being brought in step with the other.
  bool syncing_ = false;

  QLabel* heading_ = nullptr;
  SectionView* view_ = nullptr;
  FiberTableModel* model_ = nullptr;
  QSortFilterProxyModel* proxy_ = nullptr;
  QTableView* table_ = nullptr;
  QTextBrowser* summary_ = nullptr;
  QListWidget* checks_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QLabel* status_ = nullptr;
  QList<QAction*> sectionCommands_;  // the commands that need a section to act on
};

}  // namespace fiberview
