// The program's only window: reading settings, the four commands, the section list, the
// drawing area and the dimension marks with their read-outs.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/read_messages.h"
#include "app/user_dialogs.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "data/section_store.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace fiberview {

class SectionExplorer;
class SectionPlotWidget;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `dialogs` stands in for the Open dialog and the message box; null uses the real ones.
  explicit Form1(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  const SectionStore& store() const { return *store_; }

  // Reads `path` as a file opened from outside the window (the command line, a drop):
  // detects the settings from the file's layout, sets the controls to what it finds, reads
  // with them, and draws the first section. Failures are reported as for the Read button.
  void openFile(const QString& path);
  // The settings the last Read command took from the window; the next read uses them.
  const ReadOptions& capturedOptions() const { return captured_; }
  // The section explorer while it is open; null before it is opened and after it is closed.
  SectionExplorer* explorer() const;

 public slots:
  void Command5_Click();  // read a file
  void Command6_Click();  // draw the selected section
  void Command7_Click();  // previous section
  void Command8_Click();  // next section

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  bool captureSettings();
  ReadOptions settingsToRead();
  // Reads `path` with `used`; `found` is the file's layout when it was already looked at.
  void readFile(const QString& path, const ReadOptions& used, bool mayOfferAgain,
                std::optional<DetectedLayout> found);
  void showPlan(const ReadPlan& plan, const QString& path,
                const std::optional<DetectedLayout>& found);
  void fitListPopup();
  void selectTypedEntry();
  void setControls(const ReadOptions& options);
  void updateCaption();
  void showReadouts(const QString& width, const QString& height);
  void setUpExploration();

  std::unique_ptr<UserDialogs> dialogs_;
  // Shared with the drawing area, which keeps the section it shows.
  std::shared_ptr<const SectionStore> store_;
  ReadOptions captured_;
  ReadOptions readWith_;  // the settings the shown file was read with
  QString lastFile_;      // the file last read, for the caption and the Open dialog's folder
  QPointer<SectionExplorer> explorer_;

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
