// 全部截面: a window of its own with every section of a file in one table, its figures and
// what the checks found, and the exports of that table and of a report. The checks run in
// a worker thread; a progress bar and 取消 show while they, or a report, are under way.
#pragma once

#include <QFutureWatcher>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "plot/section_row.h"
#include "widgets/report_pdf.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace fiberview {

class SaveDialogs;
class SectionFilterModel;
class SectionTableModel;

class AllSectionsWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of its own even with a parent. `dialogs` must outlive it.
  AllSectionsWindow(SaveDialogs& dialogs, QWidget* parent = nullptr);
  ~AllSectionsWindow() override;

  // Checks every section of `store` in a worker and then fills the table; whatever was
  // shown or under way goes. `file` describes the file for the report. A null store, or
  // one without sections, shows an empty table.
  void setFile(std::shared_ptr<const SectionStore> store, const ReportFile& file);
  // Selects the row of section `number` (1-based) and brings it into view; none when the
  // filter hides it.
  void selectSection(int number);
  // The section of the selected row; 0 when none is selected.
  int selectedSection() const;
  // Whether a check or a report is under way: from its start until its results are shown
  // or its message has been given.
  bool isWorking() const;

  QTableView* table() const { return table_; }
  SectionTableModel* model() const { return model_; }
  SectionFilterModel* filter() const { return filter_; }

 public slots:
  // Asks where to write the table as shown, and writes it as CSV.
  void exportTable();
  // Asks where to write the report and writes it in a worker: a page for each section the
  // table shows, in its order.
  void exportReport();
  // Stops the check or the report under way.
  void cancelWork();

 signals:
  // The user asks to see section `number` in the main window (a double click or Enter).
  void sectionActivated(int number);
  // The table holds the lines of the file last set, or the check was cancelled.
  void checkFinished();
  // A report was written, cancelled or failed; any message has been shown.
  void reportFinished();

 private:
  void buildControls();
  void startWork(const QString& what, int total);
  void endWork();
  void showStatus();
  QString suggestedPath(const QString& suffix) const;

  SaveDialogs& dialogs_;
  std::shared_ptr<const SectionStore> store_;
  ReportFile file_;
  // Shared with the worker, which may still be looking at it after a cancel.
  std::shared_ptr<std::atomic<bool>> cancel_;
  std::shared_ptr<std::atomic<int>> done_;
  bool working_ = false;
  // The lines of `store`, none when cancelled. A check that ends after another file was set
  // is known by its store and ignored.
  struct CheckOutcome {
    std::shared_ptr<const SectionStore> store;
    std::optional<std::vector<SectionRow>> rows;
  };
  QFutureWatcher<CheckOutcome> check_;
  QFutureWatcher<QString> report_;

  SectionTableModel* model_ = nullptr;
  SectionFilterModel* filter_ = nullptr;
  QTableView* table_ = nullptr;
  QLineEdit* search_ = nullptr;
  QCheckBox* findingsOnly_ = nullptr;
  QPushButton* exportTable_ = nullptr;
  QPushButton* exportReport_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QTimer* progressTimer_ = nullptr;
};

}  // namespace fiberview
