// 两个文件的比较: the open file (old) against another (new), as a table with one row per
// section, a drawing of the selected pair and the selected pair's changes. The comparison
// and the exports run as tasks of the new file's document, with a progress bar and 取消; a
// new file read into either document compares again, and so does another file chosen as
// the old or the new one.
#pragma once

#include <QWidget>

#include "document/file_document.h"
#include "plot/section_compare.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace fiberview {

// Which of the two files compared: the old one or the new one.
enum class CompareSide { Old, New };

class CompareFilterModel;
class CompareTableModel;
class CompareView;
class SaveDialogs;

class CompareWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of its own even with a parent. `before` is the open file's document and must
  // outlive the window; the window takes `after`, the document of the file compared with
  // it. `dialogs` must outlive the window. The comparison starts at once.
  CompareWindow(FileDocument& before, FileDocument* after, SaveDialogs& dialogs,
                QWidget* parent = nullptr);
  ~CompareWindow() override;

  FileDocument& before() const { return *before_; }
  FileDocument& after() const { return *after_; }
  CompareOptions options() const;
  // Whether a comparison or an export is under way.
  bool isWorking() const;

  QTableView* table() const { return table_; }
  CompareTableModel* model() const { return model_; }
  CompareFilterModel* filter() const { return filter_; }
  CompareView* view() const { return view_; }

 public slots:
  // Compares the two files as they are now, with the options the window shows.
  void compare();
  // Select the next, or the previous, row that is not 相同 (Page Down, Page Up).
  void nextChanged();
  void previousChanged();
  // Ask where to write the table as shown (CSV) or the report (PDF), and write it in a worker.
  void exportTable();
  void exportReport();
  void cancelWork();
  // Compares `store`, read from `path` with `readWith`, in place of the file on `side`, as
  // the documents hold it from then on; the open file's document stays as it is, and an old
  // file chosen here is no longer followed by the main window's.
  void replaceFile(CompareSide side, const QString& path, const ReadOptions& readWith,
                   std::shared_ptr<const SectionStore> store);

 signals:
  // 换旧文件… or 换新文件… was pressed: the user wants to choose another file for `side`.
  void fileWanted(CompareSide side);
  // A comparison or an export ended, whether done, cancelled or failed; any message has been
  // shown.
  void workFinished();

 private:
  void buildControls();
  void showWork();
  void showStatus();
  void showSelected();
  void stepChanged(int direction);
  QString suggestedPath(const QString& suffix) const;
  FileDocument::Work shownWork() const;

  FileDocument* before_;  // the open file's document, or one of the window's own
  FileDocument* after_;
  SaveDialogs& dialogs_;

  CompareTableModel* model_ = nullptr;
  CompareFilterModel* filter_ = nullptr;
  QTableView* table_ = nullptr;
  CompareView* view_ = nullptr;
  QListWidget* changes_ = nullptr;
  QLineEdit* search_ = nullptr;
  QCheckBox* changedOnly_ = nullptr;
  QCheckBox* byNumber_ = nullptr;
  QDoubleSpinBox* tolerance_ = nullptr;
  QPushButton* exportTable_ = nullptr;
  QPushButton* exportReport_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* matching_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* compareAgain_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  bool cancelled_ = false;
};

}  // namespace fiberview
