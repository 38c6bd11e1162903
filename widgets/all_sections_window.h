// 全部截面: a window of its own with every section of the open file in one table, its
// figures and its verdict, and the exports of that table and of a report. The checks and
// the report run as the document's tasks; a progress bar and 取消 show while they are under
// way. Until every section is checked, there is nothing to export.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "document/file_document.h"
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
  // A window of its own even with a parent, viewing `document`; both `document` and
  // `dialogs` must outlive it. It asks the document to check every section of the file,
  // and fills the table from the verdicts once they are all there.
  AllSectionsWindow(FileDocument& document, SaveDialogs& dialogs, QWidget* parent = nullptr);
  ~AllSectionsWindow() override;

  // Selects the row of section `number` (1-based) and brings it into view; none when the
  // filter hides it.
  void selectSection(int number);
  // The section of the selected row; 0 when none is selected.
  int selectedSection() const;
  // Whether a check or a report is under way.
  bool isWorking() const;

  QTableView* table() const { return table_; }
  SectionTableModel* model() const { return model_; }
  SectionFilterModel* filter() const { return filter_; }

 public slots:
  // Asks the document to check every section, unless it has or is doing so.
  void check();
  // Asks where to write the table as shown, and writes it as CSV.
  void exportTable();
  // Asks where to write the report and writes it in a worker: a page for each section the
  // table shows, in its order.
  void exportReport();
  // Stops the check or the report under way.
  void cancelWork();
  // Puts the selected rows on the clipboard as tab-separated text under a header.
  void copyRows();

 signals:
  // The user asks to see section `number` in the main window (a double click or Enter).
  void sectionActivated(int number);
  // A report was written, cancelled or failed; any message has been shown.
  void reportFinished();

 private:
  void buildControls();
  void showFile();
  void showVerdicts();
  void showWork();
  void showStatus();
  QString suggestedPath(const QString& suffix) const;
  // The kind of work this window shows: a report under way, else the check.
  FileDocument::Work shownWork() const;

  FileDocument& document_;
  SaveDialogs& dialogs_;

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
  QPushButton* checkAgain_ = nullptr;
  QTimer* progressTimer_ = nullptr;
};

}  // namespace fiberview
