// The program's only window: reading settings, the four commands, the section list, the
// drawing area and the dimension marks with their read-outs.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "app/read_messages.h"
#include "app/user_dialogs.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "data/section_store.h"
#include "document/file_document.h"

class QAction;
class QCheckBox;
class QMenu;
class QSettings;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressDialog;
class QPushButton;
class QRadioButton;

namespace fiberview {

class AllSectionsWindow;
class CompareWindow;
class SectionExplorer;
class SectionPlotWidget;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `dialogs` stands in for the Open dialog and the message box; null uses the real ones.
  explicit Form1(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  const SectionStore& store() const { return *document_->store(); }
  // The document of the open file, which every window of the program views.
  FileDocument& document() const { return *document_; }

  // Reads `path` as a file opened from outside the window (the command line, a drop):
  // detects the settings from the file's layout, sets the controls to what it finds, reads
  // with them, and draws the first section. Failures are reported as for the Read button.
  void openFile(const QString& path);
  // The settings the last Read command took from the window; the next read uses them.
  const ReadOptions& capturedOptions() const { return captured_; }
  // The section explorer while it is open; null before it is opened and after it is closed.
  SectionExplorer* explorer() const;
  // The window of every section (全部截面) while it is open; null otherwise.
  AllSectionsWindow* allSectionsWindow() const;
  // Keeps the recent files, the last folder, the windows' places and two switches in
  // `settings`, which must outlive the window, and restores them; null keeps nothing.
  void useSettings(QSettings* settings);
  // The last comparison window (两个文件的比较) opened, while it is open; null otherwise.
  CompareWindow* compareWindow() const;
  // How long a read runs before its progress dialog (objectName "ReadProgress", with 取消)
  // appears; until then the window only repaints. Tests shorten it.
  void setProgressDelay(int milliseconds) { progressDelay_ = milliseconds; }

 public slots:
  void Command5_Click();  // read a file
  void Command6_Click();  // draw the selected section
  void Command7_Click();  // previous section
  void Command8_Click();  // next section

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void layOutClient();
  void setUpMenus();
  void updateCommands();
  void shareCommands(QWidget& window);
  static QCheckBox* findingsOnly(AllSectionsWindow& window);
  void exportFromMenu(void (AllSectionsWindow::*exportIt)());
  void showRecentFiles();
  bool restoreWindow(QWidget& window, const QString& name);
  void rememberWindow(const QWidget& window);
  QString lastFileForDialog() const;
  void showShortcuts();
  void showGuide();
  void showAbout();
  bool captureSettings();
  ReadOptions settingsToRead();
  // What follows a read once it ends: what a cancel puts back, and whether a store it takes
  // is drawn at once (a file opened from outside).
  struct ReadFollowUp {
    std::function<void()> cancelled;
    bool drawTaken = false;
  };
  // Reads `path` with `used` in the background; `found` is the file's layout when it was
  // already looked at. The outcome is planned, taken and told when it arrives.
  void readFile(const QString& path, const ReadOptions& used, bool mayOfferAgain,
                std::optional<DetectedLayout> found, ReadFollowUp followUp);
  bool isReading() const;
  void showReadProgress(const QString& path);
  void readingChanged();
  void dismissReadProgress();
  void showFile();
  // `found` is handed on to the re-read, with any store detection confirmed.
  void showPlan(const ReadPlan& plan, const QString& path, std::optional<DetectedLayout> found,
                bool drawTaken);
  void fitListPopup();
  void selectTypedEntry();
  void setControls(const ReadOptions& options);
  // What the reading controls show and the settings last taken from them.
  struct ControlState {
    bool newVersion;
    bool titled;
    QString concrete;
    QString steel;
    ReadOptions captured;
  };
  ControlState controlState() const;
  void restoreControls(const ControlState& state);
  void updateCaption();
  void showReadouts(const QString& width, const QString& height);
  void setUpExploration();
  void setUpFileCheck();
  void checkWholeFile();
  // 比较…: asks for the file to compare the open one with, and opens the comparison.
  void compareWithFile();
  // Asks where to write the picture of `area` of `widget` that 复制图像 copies, and writes it.
  void savePicture(QWidget& widget, const QRect& area);

  std::unique_ptr<UserDialogs> dialogs_;
  FileDocument* document_;
  ReadOptions captured_;
  QPointer<SectionExplorer> explorer_;
  QPointer<AllSectionsWindow> allSections_;
  QPointer<CompareWindow> compare_;
  int progressDelay_ = 500;
  QPointer<QProgressDialog> readProgress_;
  std::function<void()> onReadCancelled_;  // what a cancel of the read under way puts back

  // The commands with shortcuts, beside the buttons that give them too.
  QAction* readAction_ = nullptr;
  QAction* drawAction_ = nullptr;
  QAction* previousAction_ = nullptr;
  QAction* nextAction_ = nullptr;
  QAction* exploreAction_ = nullptr;
  QAction* allSectionsAction_ = nullptr;
  QAction* compareAction_ = nullptr;
  QAction* exportTableAction_ = nullptr;
  QAction* exportReportAction_ = nullptr;
  QAction* colourByMaterialAction_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QSettings* settings_ = nullptr;
  QMetaObject::Connection pendingExport_;  // an export from the menu waiting for the check

  QMenuBar* menuBar_ = nullptr;
  QWidget* client_ = nullptr;  // below the menu bar, laid out as at first size
  int listWanted_ = 0;         // the width that shows the list's longest entry whole

  SectionPlotWidget* Picture1 = nullptr;
  QPushButton* Command5 = nullptr;
  QComboBox* Combo1 = nullptr;
  QPushButton* Command6 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QRadioButton* Option6 = nullptr;
  QRadioButton* Option7 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QPushButton* Command7 = nullptr;
  QPushButton* Command8 = nullptr;
  QGroupBox* Frame5 = nullptr;
  QRadioButton* Option11 = nullptr;
  QRadioButton* Option12 = nullptr;
  QLineEdit* TextSteel = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* LabConcrete = nullptr;
  QLineEdit* TextConcrete = nullptr;
};

}  // namespace fiberview
