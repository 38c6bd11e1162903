#include "app/form1.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QTableWidget>
#include <QTextBrowser>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <atomic>
#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/compare_opening.h"
#include "app/help_texts.h"
#include "app/read_messages.h"
#include "app/start_folder.h"
#include "data/numbers.h"
#include "plot/number_format.h"
#include "widgets/all_sections_window.h"
#include "widgets/compare_window.h"
#include "widgets/file_export.h"
#include "widgets/section_explorer.h"
#include "widgets/section_plot_widget.h"
#include "widgets/section_table_model.h"
#include "widgets/section_view.h"
#include "widgets/twips.h"
#include "widgets/widget_image.h"
#include "widgets/window_placement.h"

namespace fiberview {

namespace {

// What the settings keep.
const QString kRecentFilesKey = QStringLiteral("最近打开的文件");
const QString kLastFolderKey = QStringLiteral("上次的文件夹");
const QString kColourByMaterialKey = QStringLiteral("按材料着色");
const QString kFindingsOnlyKey = QStringLiteral("只显示有问题的截面");
constexpr int kRecentFiles = 10;

// Rows the section list's popup and its proposals show at a time.
constexpr int kListRows = 20;

// Client area in twips.
constexpr int kFormWidth = 9975;
constexpr int kFormHeight = 5130;

struct Mark {
  int x1, y1, x2, y2;
};

// Dimension marks beside the drawing area; they do not follow the section. When the window
// grows, the drawing grows to the right and down, and a mark's end that lies right of the
// drawing's centre follows its right edge, one below its centre its bottom edge.
constexpr Mark kMarks[] = {
    {5040, 4560, 8280, 4560},  // Line3: width line
    {5040, 4320, 5040, 4680},  // Line1
    {8280, 4320, 8280, 4680},  // Line2
    {9240, 600, 9240, 3600},   // Line6: height line
    {9000, 600, 9360, 600},    // Line4
    {9000, 3600, 9360, 3600},  // Line5
};

constexpr int kPictureLeft = 4200;
constexpr int kPictureTop = 120;
constexpr int kPictureWidth = 4695;
constexpr int kPictureHeight = 3975;
constexpr int kPictureCentreX = kPictureLeft + kPictureWidth / 2;
constexpr int kPictureCentreY = kPictureTop + kPictureHeight / 2;
constexpr int kListLeft = 1320;
constexpr int kListWidth = 1575;

// The client area below the menu bar: it holds the controls where the layout table puts
// them and draws the dimension marks between them.
class ClientArea : public QWidget {
 public:
  explicit ClientArea(QWidget* parent) : QWidget(parent) {}
  // How much larger than at first the drawing area is, in pixels, and how far its left edge
  // has moved right.
  QSize grown;
  int shifted = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const auto x = [this](int twips) {
      return twipsToPixels(twips) + (twips > kPictureCentreX ? grown.width() : shifted);
    };
    const auto y = [this](int twips) {
      return twipsToPixels(twips) + (twips > kPictureCentreY ? grown.height() : 0);
    };
    for (const Mark& m : kMarks) painter.drawLine(x(m.x1), y(m.y1), x(m.x2), y(m.y2));
  }
};

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(twipRect(left, top, width, height));
  return widget;
}

// On Linux, Qt names an editable combo box by its text, so a screen reader would announce
// the section list as "Combo1" or " 1". This one is named by its role, offers its text as
// its value, and keeps Qt's children: the list of entries, open or closed, and the edit
// field.
class SectionListAccessible : public QAccessibleWidget {
 public:
  explicit SectionListAccessible(QComboBox* combo)
      : QAccessibleWidget(combo, QAccessible::ComboBox) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return combo()->accessibleName();
    if (t == QAccessible::Value) return combo()->currentText();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return 2; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
    if (index == 1) return QAccessible::queryAccessibleInterface(combo()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (child->object() == combo()->view()) return 0;
    if (child->object() == combo()->lineEdit()) return 1;
    return -1;
  }
  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name != showMenuAction()) return QAccessibleWidget::doAction(name);
    if (combo()->view()->isVisible()) {
      combo()->hidePopup();
    } else {
      combo()->showPopup();
    }
  }

 private:
  QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

// The local file a drag carries, or an empty text when it carries none.
QString draggedFile(const QMimeData* data) {
  const QList<QUrl> urls = data != nullptr ? data->urls() : QList<QUrl>();
  return !urls.isEmpty() && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

QAccessibleInterface* sectionListAccessible(const QString& className, QObject* object) {
  auto* combo = qobject_cast<QComboBox*>(object);
  if (className == QLatin1String("QComboBox") && combo != nullptr &&
      combo->objectName() == QLatin1String("Combo1")) {
    return new SectionListAccessible(combo);
  }
  return nullptr;
}

}  // namespace

Form1::Form1(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(std::move(dialogs)), document_(new FileDocument(this)) {
  if (!dialogs_) dialogs_ = std::make_unique<QtUserDialogs>(this);
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(sectionListAccessible);
    return true;
  }();
  (void)factoryInstalled;
  setObjectName(QStringLiteral("Form1"));
  setAcceptDrops(true);
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("MenuBar"));
  menuBar_->setAccessibleName(QStringLiteral("菜单栏"));
  client_ = new ClientArea(this);
  client_->setObjectName(QStringLiteral("Form1Client"));
  client_->setMinimumSize(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));
  client_->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menuBar_);
  layout->addWidget(client_);
  buildControls();
  updateCaption();
  setUpExploration();
  setUpFileCheck();
  setUpMenus();
  connect(document_, &FileDocument::fileChanged, this, &Form1::showFile);
  connect(document_, &FileDocument::workChanged, this, [this](FileDocument::Work kind) {
    if (kind == FileDocument::Work::Reading) readingChanged();
  });
}

Form1::~Form1() = default;

void Form1::buildControls() {
  Picture1 = place(new SectionPlotWidget(client_), "Picture1", kPictureLeft, kPictureTop,
                   kPictureWidth, kPictureHeight);
  Picture1->setAccessibleName(QStringLiteral("截面图"));

  Command5 =
      place(new QPushButton(QStringLiteral("读取文件"), client_), "Command5", 360, 2880, 1575, 495);

  Combo1 = place(new QComboBox(client_), "Combo1", kListLeft, 3720, kListWidth, 300);
  Combo1->setEditable(true);
  // Enter in the edit field must not add the typed text as a section.
  Combo1->setInsertPolicy(QComboBox::NoInsert);
  Combo1->setEditText(QStringLiteral("Combo1"));
  Combo1->setAccessibleName(QStringLiteral("截面列表"));
  Combo1->setMaxVisibleItems(kListRows);
  // Typing proposes the entries whose number or title holds the text; choosing a proposal
  // selects its entry.
  auto* finder = new QCompleter(Combo1->model(), Combo1);
  finder->setFilterMode(Qt::MatchContains);
  finder->setCaseSensitivity(Qt::CaseInsensitive);
  finder->setCompletionMode(QCompleter::PopupCompletion);
  finder->setMaxVisibleItems(kListRows);
  Combo1->setCompleter(finder);
  // Enter and leaving the box select only what selectTypedEntry finds: the combo box's own
  // look-up would select an entry that merely starts with the text.
  disconnect(Combo1->lineEdit(), &QLineEdit::returnPressed, Combo1, nullptr);
  disconnect(Combo1->lineEdit(), &QLineEdit::editingFinished, Combo1, nullptr);
  connect(Combo1->lineEdit(), &QLineEdit::returnPressed, this, &Form1::selectTypedEntry);
  // Show a long entry from its start, where its section number is.
  connect(Combo1, &QComboBox::currentIndexChanged, this,
          [this] { Combo1->lineEdit()->home(false); });
  connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    // Typed text names no section; keep it on screen but select nothing.
    if (Combo1->currentIndex() < 0) return;
    const int cursor = Combo1->lineEdit()->cursorPosition();
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(text);
    Combo1->lineEdit()->setCursorPosition(cursor);
  });

  Command6 =
      place(new QPushButton(QStringLiteral("绘图"), client_), "Command6", 2400, 2880, 1575, 495);

  Frame3 =
      place(new QGroupBox(QStringLiteral("Korvex版本"), client_), "Frame3", 240, 240, 3615, 735);
  Option6 =
      place(new QRadioButton(QStringLiteral("老版本"), Frame3), "Option6", 240, 240, 1095, 375);
  Option7 =
      place(new QRadioButton(QStringLiteral("新版本"), Frame3), "Option7", 2040, 240, 1215, 375);
  Option6->setChecked(true);

  Label2 = place(new QLabel(QStringLiteral("Label2"), client_), "Label2", 5640, 4200, 1815, 255);
  Label2->setAlignment(Qt::AlignCenter);
  Label2->setAccessibleName(QStringLiteral("截面宽度"));
  Label3 = place(new QLabel(QStringLiteral("Label3"), client_), "Label3", 8880, 1800, 1095, 255);
  Label3->setAlignment(Qt::AlignCenter);
  // Opaque, so the read-out interrupts the height line it sits across.
  Label3->setAutoFillBackground(true);
  Label3->setAccessibleName(QStringLiteral("截面高度"));

  Command7 =
      place(new QPushButton(QStringLiteral("上一个"), client_), "Command7", 360, 3720, 855, 375);
  Command8 =
      place(new QPushButton(QStringLiteral("下一个"), client_), "Command8", 3000, 3720, 975, 375);

  Frame5 =
      place(new QGroupBox(QStringLiteral("Korvex说明"), client_), "Frame5", 240, 1080, 3615, 735);
  Option11 =
      place(new QRadioButton(QStringLiteral("无说明行"), Frame5), "Option11", 240, 240, 1215, 375);
  Option12 =
      place(new QRadioButton(QStringLiteral("有说明行"), Frame5), "Option12", 1920, 240, 1095, 375);
  Option11->setChecked(true);

  TextSteel = place(new QLineEdit(QStringLiteral("4"), client_), "TextSteel", 3240, 2040, 615, 375);
  Label1 = place(new QLabel(QStringLiteral("钢筋数量"), client_), "Label1", 2400, 2160, 855, 375);
  LabConcrete =
      place(new QLabel(QStringLiteral("混凝土数量"), client_), "LabConcrete", 240, 2160, 975, 375);
  TextConcrete =
      place(new QLineEdit(QStringLiteral("36"), client_), "TextConcrete", 1320, 2040, 615, 375);
  Label1->setBuddy(TextSteel);
  LabConcrete->setBuddy(TextConcrete);
  TextSteel->setAccessibleName(Label1->text());
  TextConcrete->setAccessibleName(LabConcrete->text());

  for (QAbstractButton* b :
       {static_cast<QAbstractButton*>(Command5), static_cast<QAbstractButton*>(Command6),
        static_cast<QAbstractButton*>(Command7), static_cast<QAbstractButton*>(Command8),
        static_cast<QAbstractButton*>(Option6), static_cast<QAbstractButton*>(Option7),
        static_cast<QAbstractButton*>(Option11), static_cast<QAbstractButton*>(Option12)}) {
    b->setAccessibleName(b->text());
  }
  Label1->setAccessibleName(Label1->text());
  LabConcrete->setAccessibleName(LabConcrete->text());
  Frame3->setAccessibleName(Frame3->title());
  Frame5->setAccessibleName(Frame5->title());

  // Focus moves in the order of the layout table; labels and frames take no focus.
  const QList<QWidget*> order = {Picture1, Command5, Combo1,   Command6, Option6,   Option7,
                                 Command7, Command8, Option11, Option12, TextSteel, TextConcrete};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  // Each command with a shortcut is an action of the window's own, not the button's shortcut:
  // a button clicks itself through animateClick, which folds every press within its 100 ms
  // animation into one, and presses of Page Down must each count. The captions stay as they
  // are; each command names its shortcut in its tooltip and to screen readers.
  const struct {
    QPushButton* button;
    QAction*& action;
    const char* name;
    QKeySequence key;
    QString does;
  } commands[] = {
      {Command5, readAction_, "ReadAction", QKeySequence(QKeySequence::Open),
       QStringLiteral("按上面的设置读取纤维截面文件，列出其中的截面")},
      {Command6, drawAction_, "DrawAction", QKeySequence(Qt::Key_F5),
       QStringLiteral("绘出列表中选中的截面")},
      {Command7, previousAction_, "PreviousAction", QKeySequence(Qt::Key_PageUp),
       QStringLiteral("选中上一节并绘出")},
      {Command8, nextAction_, "NextAction", QKeySequence(Qt::Key_PageDown),
       QStringLiteral("选中下一节并绘出")},
  };
  for (const auto& c : commands) {
    c.action = new QAction(c.button->text(), this);
    c.action->setObjectName(QString::fromLatin1(c.name));
    c.action->setToolTip(c.does);
    c.action->setShortcut(c.key);
    addAction(c.action);
    const QString text =
        QStringLiteral("%1（%2）").arg(c.does, c.key.toString(QKeySequence::NativeText));
    c.button->setToolTip(text);
    c.button->setAccessibleDescription(text);
  }
  // The count boxes and the list's edit field take text drops of their own; a dropped file
  // is the window's.
  for (QLineEdit* box : {TextSteel, TextConcrete, Combo1->lineEdit()}) {
    box->installEventFilter(this);
  }
  // Label3 overlaps the drawing area's frame by a pixel; keep the frame whole.
  Label3->stackUnder(Picture1);

  connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
  connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
  connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
  connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
  connect(readAction_, &QAction::triggered, this, &Form1::Command5_Click);
  connect(drawAction_, &QAction::triggered, this, &Form1::Command6_Click);
  connect(previousAction_, &QAction::triggered, this, &Form1::Command7_Click);
  connect(nextAction_, &QAction::triggered, this, &Form1::Command8_Click);
}

// The explorer and the picture copy live in the drawing's context menu, a double click
// and Ctrl+I, so the window's own layout stays as it is. The explorer follows whatever
// the drawing shows, whichever command drew or cleared it.
void Form1::setUpExploration() {
  const auto open = [this] {
    if (!explorer_) {
      explorer_ = new SectionExplorer(*document_, this);
      explorer_->setAttribute(Qt::WA_DeleteOnClose);
      auto* save = new QAction(QStringLiteral("另存图像…"), explorer_->view());
      save->setObjectName(QStringLiteral("ExplorerSavePictureAction"));
      connect(save, &QAction::triggered, this,
              [this] { savePicture(*explorer_->view(), explorer_->view()->rect()); });
      auto* all = new QAction(QStringLiteral("全部截面"), explorer_->view());
      connect(all, &QAction::triggered, this, &Form1::checkWholeFile);
      explorer_->view()->addActions({save, all});
      explorer_->view()->setContextMenuPolicy(Qt::ActionsContextMenu);
      shareCommands(*explorer_);
      QAction* colour = explorer_->colourByMaterialAction();
      colour->setChecked(colourByMaterialAction_->isChecked());
      connect(colour, &QAction::toggled, colourByMaterialAction_, &QAction::setChecked);
      connect(colourByMaterialAction_, &QAction::toggled, colour, &QAction::setChecked);
      if (!restoreWindow(*explorer_, QStringLiteral("截面详图"))) openBeside(*explorer_, *this);
    }
    explorer_->show();
    explorer_->raise();
    explorer_->activateWindow();
  };
  connect(Picture1, &SectionPlotWidget::exploreRequested, this, open);

  auto* explore = exploreAction_ = new QAction(QStringLiteral("截面详图"), this);
  explore->setObjectName(QStringLiteral("ExploreAction"));
  // A window shortcut: it works wherever the focus is in this window.
  explore->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  connect(explore, &QAction::triggered, this, open);
  auto* copy = new QAction(QStringLiteral("复制图像"), Picture1);
  copy->setObjectName(QStringLiteral("CopyPictureAction"));
  // Only from the drawing, so Ctrl+C in the text boxes still copies their text.
  copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, [this] {
    const Section* shown = Picture1->section();
    copyWidgetImage(
        *Picture1, Picture1->contentsRect(),
        pictureCaption(QFileInfo(document_->path()).fileName(), Picture1->sectionNumber(),
                       shown != nullptr ? shown->title : std::string()));
  });
  Picture1->addActions({explore, copy});
  Picture1->setContextMenuPolicy(Qt::ActionsContextMenu);
  Picture1->setHint(QStringLiteral("双击或按 %1 查看截面详图，按 Ctrl+T 检查全部截面")
                        .arg(explore->shortcut().toString(QKeySequence::NativeText)));
}

// The commands of the main window answer in `window` too, with the same shortcuts, and a
// file dropped on it opens as one dropped here.
void Form1::shareCommands(QWidget& window) {
  window.addActions(
      {readAction_, drawAction_, previousAction_, nextAction_, exploreAction_, allSectionsAction_});
  window.setAcceptDrops(true);
  window.installEventFilter(this);
}

QCheckBox* Form1::findingsOnly(AllSectionsWindow& window) {
  return window.findChild<QCheckBox*>(QStringLiteral("FindingsOnly"));
}

void Form1::setUpMenus() {
  readAction_->setText(QStringLiteral("读取文件…"));
  QMenu* file = menuBar_->addMenu(QStringLiteral("文件"));
  file->addAction(readAction_);
  recentMenu_ = file->addMenu(QStringLiteral("最近打开的文件"));
  recentMenu_->setObjectName(QStringLiteral("RecentFiles"));
  file->addSeparator();
  exportTableAction_ = file->addAction(QStringLiteral("导出表格…"), this,
                                       [this] { exportFromMenu(&AllSectionsWindow::exportTable); });
  exportTableAction_->setObjectName(QStringLiteral("ExportTableAction"));
  exportReportAction_ = file->addAction(QStringLiteral("导出报告…"), this, [this] {
    exportFromMenu(&AllSectionsWindow::exportReport);
  });
  exportReportAction_->setObjectName(QStringLiteral("ExportReportAction"));
  file->addSeparator();
  file->addAction(compareAction_);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("退出"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);

  QMenu* view = menuBar_->addMenu(QStringLiteral("查看"));
  view->addActions({exploreAction_, allSectionsAction_});
  view->addSeparator();
  view->addActions({previousAction_, nextAction_, drawAction_});
  view->addSeparator();
  colourByMaterialAction_ = view->addAction(QStringLiteral("按材料着色"));
  colourByMaterialAction_->setObjectName(QStringLiteral("ColourByMaterialMenuAction"));
  colourByMaterialAction_->setCheckable(true);
  colourByMaterialAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  colourByMaterialAction_->setToolTip(
      QStringLiteral("截面详图中按材料编号着色；主窗口的图仍为红黑两色"));
  connect(colourByMaterialAction_, &QAction::toggled, this, [this](bool on) {
    if (settings_ != nullptr) settings_->setValue(kColourByMaterialKey, on);
  });

  QMenu* help = menuBar_->addMenu(QStringLiteral("帮助"));
  QAction* keys = help->addAction(QStringLiteral("快捷键"), this, &Form1::showShortcuts);
  keys->setObjectName(QStringLiteral("ShortcutsAction"));
  QAction* guide = help->addAction(QStringLiteral("使用说明"), this, &Form1::showGuide);
  guide->setObjectName(QStringLiteral("GuideAction"));
  guide->setShortcut(QKeySequence::HelpContents);
  help->addAction(QStringLiteral("关于"), this, &Form1::showAbout)
      ->setObjectName(QStringLiteral("AboutAction"));

  // Screen readers read each item's name and shortcut from its action.
  for (QMenu* menu : {file, view, help, recentMenu_}) menu->setAccessibleName(menu->title());
  connect(document_, &FileDocument::fileChanged, this, &Form1::updateCommands);
  connect(document_, &FileDocument::workChanged, this, &Form1::updateCommands);
  updateCommands();
  showRecentFiles();
}

// Commands that cannot act now are disabled.
void Form1::updateCommands() {
  const bool sections = document_->sectionCount() > 0;
  for (QAction* a : {exportTableAction_, exportReportAction_, allSectionsAction_, compareAction_}) {
    a->setEnabled(sections);
  }
  readAction_->setEnabled(!isReading());
}

// Opens 全部截面, has the file checked if it is not yet, and then exports what its table
// shows.
void Form1::exportFromMenu(void (AllSectionsWindow::*exportIt)()) {
  checkWholeFile();
  QObject::disconnect(pendingExport_);
  if (document_->checkedAll()) {
    (allSections_.data()->*exportIt)();
    return;
  }
  pendingExport_ = connect(document_, &FileDocument::verdictsChanged, this, [this, exportIt] {
    if (!document_->checkedAll()) return;
    QObject::disconnect(pendingExport_);
    if (allSections_) (allSections_.data()->*exportIt)();
  });
}

void Form1::showRecentFiles() {
  recentMenu_->clear();
  const QStringList files =
      settings_ != nullptr ? settings_->value(kRecentFilesKey).toStringList() : QStringList();
  for (const QString& path : files) {
    QAction* a =
        recentMenu_->addAction(QFileInfo(path).fileName(), this, [this, path] { openFile(path); });
    a->setToolTip(path);
    a->setStatusTip(path);
  }
  recentMenu_->setEnabled(!files.isEmpty());
}

void Form1::useSettings(QSettings* settings) {
  settings_ = settings;
  if (settings_ == nullptr) return;
  restoreWindow(*this, QStringLiteral("主窗口"));
  colourByMaterialAction_->setChecked(settings_->value(kColourByMaterialKey).toBool());
  showRecentFiles();
  connect(document_, &FileDocument::fileChanged, this, [this] {
    const QString path = QFileInfo(document_->path()).absoluteFilePath();
    if (document_->path().isEmpty()) return;
    QStringList files = settings_->value(kRecentFilesKey).toStringList();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles) files.removeLast();
    settings_->setValue(kRecentFilesKey, files);
    settings_->setValue(kLastFolderKey, QFileInfo(path).absolutePath());
    showRecentFiles();
  });
}

// Gives `window` the size and place it had when last closed; false when there is none.
bool Form1::restoreWindow(QWidget& window, const QString& name) {
  window.installEventFilter(this);
  window.setProperty("settingsName", name);
  if (settings_ == nullptr) return false;
  const QByteArray geometry = settings_->value(QStringLiteral("窗口/") + name).toByteArray();
  return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void Form1::closeEvent(QCloseEvent* event) {
  rememberWindow(*this);
  QWidget::closeEvent(event);
}

void Form1::rememberWindow(const QWidget& window) {
  const QString name = window.property("settingsName").toString();
  if (settings_ != nullptr && !name.isEmpty()) {
    settings_->setValue(QStringLiteral("窗口/") + name, window.saveGeometry());
  }
}

void Form1::showShortcuts() {
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("ShortcutsDialog"));
  dialog->setWindowTitle(QStringLiteral("快捷键"));
  auto* table = new QTableWidget(dialog);
  table->setObjectName(QStringLiteral("ShortcutTable"));
  table->setAccessibleName(QStringLiteral("快捷键表"));
  table->setColumnCount(3);
  table->setHorizontalHeaderLabels(
      {QStringLiteral("按键"), QStringLiteral("命令"), QStringLiteral("在哪些窗口")});
  const struct {
    QString keys;
    QString command;
    QString where;
  } rows[] = {
      {QStringLiteral("Ctrl+O"), QStringLiteral("读取文件"), QStringLiteral("所有窗口")},
      {QStringLiteral("F5"), QStringLiteral("绘出列表中选中的截面"), QStringLiteral("所有窗口")},
      {QStringLiteral("Page Up / Page Down"), QStringLiteral("上一节 / 下一节，并绘出"),
       QStringLiteral("所有窗口；全部截面中所选的行随之移动")},
      {QStringLiteral("Ctrl+I"), QStringLiteral("截面详图"), QStringLiteral("所有窗口")},
      {QStringLiteral("Ctrl+T"), QStringLiteral("全部截面"), QStringLiteral("所有窗口")},
      {QStringLiteral("Ctrl+M"), QStringLiteral("按材料着色"),
       QStringLiteral("截面详图、主窗口的菜单")},
      {QStringLiteral("Ctrl+C"), QStringLiteral("复制图像；表格有焦点时复制所选的行"),
       QStringLiteral("主窗口的图、截面详图、全部截面")},
      {QStringLiteral("Ctrl+0 / Ctrl+= / Ctrl+-"), QStringLiteral("适合窗口 / 放大 / 缩小"),
       QStringLiteral("截面详图")},
      {QStringLiteral("Esc"), QStringLiteral("关闭窗口"), QStringLiteral("截面详图、全部截面")},
      {QStringLiteral("F1"), QStringLiteral("使用说明"), QStringLiteral("主窗口")},
      {QStringLiteral("Ctrl+Q"), QStringLiteral("退出"), QStringLiteral("主窗口")},
  };
  table->setRowCount(static_cast<int>(std::size(rows)));
  int r = 0;
  for (const auto& row : rows) {
    table->setItem(r, 0, new QTableWidgetItem(row.keys));
    table->setItem(r, 1, new QTableWidgetItem(row.command));
    table->setItem(r, 2, new QTableWidgetItem(row.where));
    ++r;
  }
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(table);
  dialog->resize(640, 380);
  openBeside(*dialog, *this);
  dialog->show();
}

void Form1::showGuide() {
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("GuideDialog"));
  dialog->setWindowTitle(QStringLiteral("使用说明"));
  auto* text = new QTextBrowser(dialog);
  text->setObjectName(QStringLiteral("GuideText"));
  text->setAccessibleName(QStringLiteral("使用说明"));
  text->setHtml(usageGuideHtml());
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(text);
  dialog->resize(620, 560);
  openBeside(*dialog, *this);
  dialog->show();
}

void Form1::showAbout() {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("关于纤维截面查看器"),
                              aboutText(), QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QStringLiteral("AboutBox"));
  box->setIconPixmap(windowIcon().pixmap(64, 64));
  box->open();
}

SectionExplorer* Form1::explorer() const {
  return explorer_;
}

// The table of every section and the picture export sit in the drawing's context menu, with
// Ctrl+T for the table. The table's selection follows what the drawing shows, and a row
// it activates is drawn here as 绘图 draws it.
void Form1::setUpFileCheck() {
  auto* all = allSectionsAction_ = new QAction(QStringLiteral("全部截面"), this);
  all->setObjectName(QStringLiteral("AllSectionsAction"));
  all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  connect(all, &QAction::triggered, this, &Form1::checkWholeFile);
  auto* save = new QAction(QStringLiteral("另存图像…"), Picture1);
  save->setObjectName(QStringLiteral("SavePictureAction"));
  connect(save, &QAction::triggered, this,
          [this] { savePicture(*Picture1, Picture1->contentsRect()); });
  auto* compare = compareAction_ = new QAction(QStringLiteral("比较…"), this);
  compare->setObjectName(QStringLiteral("CompareAction"));
  compare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  connect(compare, &QAction::triggered, this, &Form1::compareWithFile);
  Picture1->addActions({all, compare, save});
}

CompareWindow* Form1::compareWindow() const {
  return compare_;
}

void Form1::compareWithFile() {
  if (document_->path().isEmpty()) {
    dialogs_->reportFailure(QStringLiteral("请先读取一个文件，再选择要与它比较的文件。"));
    return;
  }
  const QString path = chooseComparedFile(*dialogs_, document_->path(), CompareSide::New);
  if (path.isEmpty()) return;
  openComparison(*document_, path, *dialogs_, this,
                 [this](CompareWindow* window) { compare_ = window; });
}

AllSectionsWindow* Form1::allSectionsWindow() const {
  return allSections_;
}

void Form1::checkWholeFile() {
  if (!allSections_) {
    allSections_ = new AllSectionsWindow(*document_, *dialogs_, this);
    allSections_->setAttribute(Qt::WA_DeleteOnClose);
    connect(allSections_, &AllSectionsWindow::sectionActivated, this, [this](int number) {
      Combo1->setCurrentIndex(number - 1);
      Command6_Click();
      // The section is drawn here: this window comes forward to show it.
      raise();
      activateWindow();
    });
    shareCommands(*allSections_);
    findingsOnly(*allSections_)
        ->setChecked(settings_ != nullptr && settings_->value(kFindingsOnlyKey).toBool());
    connect(findingsOnly(*allSections_), &QCheckBox::toggled, this, [this](bool on) {
      if (settings_ != nullptr) settings_->setValue(kFindingsOnlyKey, on);
    });
    if (!restoreWindow(*allSections_, QStringLiteral("全部截面"))) openBeside(*allSections_, *this);
  } else {
    allSections_->check();  // after a cancel, asking again checks again
  }
  allSections_->show();
  allSections_->raise();
  allSections_->activateWindow();
}

void Form1::savePicture(QWidget& widget, const QRect& area) {
  QString stem = QStringLiteral("截面");
  if (!document_->path().isEmpty()) {
    stem = QFileInfo(document_->path()).completeBaseName();
    if (Picture1->sectionNumber() > 0) stem += QStringLiteral("-%1").arg(Picture1->sectionNumber());
  }
  const QString folder =
      document_->path().isEmpty() ? QDir::homePath() : QFileInfo(document_->path()).absolutePath();
  const QString path =
      dialogs_->chooseSaveFile(QDir(folder).filePath(stem + QStringLiteral(".png")),
                               pictureFilter(), QStringLiteral("另存图像"));
  if (path.isEmpty()) return;
  const Section* shown = Picture1->section();
  const QString message = saveWidgetPicture(
      widget, area,
      pictureCaption(QFileInfo(document_->path()).fileName(), Picture1->sectionNumber(),
                     shown != nullptr ? shown->title : std::string()),
      path);
  if (!message.isEmpty()) dialogs_->reportFailure(message);
}

// Past its first size, the drawing area takes what the window gains, the marks and
// read-outs beside and below it follow its edges, and the list widens towards it.
void Form1::layOutClient() {
  auto* client = static_cast<ClientArea*>(client_);
  const QSize first(twipsToPixels(kFormWidth), twipsToPixels(kFormHeight));
  const QSize grown = (client_->size() - first).expandedTo(QSize(0, 0));
  // The list takes up to half of what the window gains in width, as far as its longest
  // title needs; 下一个 beside it and the drawing's left edge make way by as much.
  const int listWidth = twipsToPixels(kListWidth);
  const int widened = std::clamp(listWanted_ - listWidth, 0, grown.width() / 2);
  client->grown = grown;
  client->shifted = widened;
  Combo1->resize(listWidth + widened, Combo1->height());
  Command8->move(twipRect(3000, 3720, 0, 0).topLeft() + QPoint(widened, 0));
  Picture1->setGeometry(twipRect(kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight)
                            .adjusted(widened, 0, grown.width(), grown.height()));
  Label2->move(twipRect(5640, 4200, 0, 0).topLeft() +
               QPoint((widened + grown.width()) / 2, grown.height()));
  Label3->move(twipRect(8880, 1800, 0, 0).topLeft() + QPoint(grown.width(), grown.height() / 2));
  client_->update();
}

// Takes the counts and the title-line option from the window. Counts the store cannot
// hold are refused here, before any file is chosen, and then nothing is taken.
bool Form1::captureSettings() {
  const double steel = leadingNumber(TextSteel->text().toStdString());
  const double concrete = leadingNumber(TextConcrete->text().toStdString());
  std::int16_t concreteCount = 0;
  std::optional<CountProblem> problem;
  if (!roundToInt16(concrete, concreteCount)) {
    problem = CountProblem::ConcreteBeyond16Bits;
  } else if (steelFibersToRead(steel) > kMaxFibers) {
    problem = CountProblem::TooManySteel;
  }
  if (problem) {
    const QLineEdit* box = *problem == CountProblem::TooManySteel ? TextSteel : TextConcrete;
    dialogs_->reportFailure(countFailureMessage(*problem, box->text()));
    return false;
  }
  captured_.steelCount = steel;
  captured_.concreteCount = concreteCount;
  if (Option11->isChecked()) captured_.hasTitleLine = false;
  if (Option12->isChecked()) captured_.hasTitleLine = true;
  return true;
}

ReadOptions Form1::settingsToRead() {
  ReadOptions used = captured_;
  used.version = Option6->isChecked() ? FileVersion::Old : FileVersion::New;
  return used;
}

void Form1::Command5_Click() {
  if (isReading()) return;
  const FileVersion version = Option6->isChecked() ? FileVersion::Old : FileVersion::New;
  if (!captureSettings()) return;

  const QString path = dialogs_->chooseFile(
      openDialogFolder(QCoreApplication::applicationDirPath(), lastFileForDialog()),
      QStringLiteral("文本文件 (*.txt);;所有文件 (*)"), QStringLiteral("打开文件"));
  if (path.isEmpty()) return;
  ReadOptions used = captured_;
  used.version = version;
  readFile(path, used, true, std::nullopt, {});
}

// The file whose folder the Open dialog starts in: the open one, else one in the folder
// last read from.
QString Form1::lastFileForDialog() const {
  if (!document_->path().isEmpty() || settings_ == nullptr) return document_->path();
  const QString folder = settings_->value(kLastFolderKey).toString();
  return folder.isEmpty() || !QFileInfo(folder).isDir()
             ? QString()
             : QDir(folder).filePath(QStringLiteral("."));
}

bool Form1::isReading() const {
  return document_->isWorking(FileDocument::Work::Reading);
}

void Form1::openFile(const QString& path) {
  if (isReading()) return;
  document_->detect(path, [this, path](DetectedLayout found) {
    // A cancelled read puts back the settings the detected ones replaced.
    const ControlState controlsBefore = controlState();
    // Where the layout cannot tell, the window's settings stand.
    if (found.version) (*found.version == FileVersion::Old ? Option6 : Option7)->setChecked(true);
    if (found.hasTitleLine) {
      if (!*found.hasTitleLine) {
        (versionWithoutTitles() == FileVersion::Old ? Option6 : Option7)->setChecked(true);
      }
      (*found.hasTitleLine ? Option12 : Option11)->setChecked(true);
    }
    if (found.concreteCount) TextConcrete->setText(QString::number(*found.concreteCount));
    if (found.steelCount) TextSteel->setText(QString::number(*found.steelCount));
    if (!captureSettings()) return;
    // A version the file cannot tell is asked for before the read, never kept unsaid.
    const ReadPlan untold = versionChoice(found, path, settingsToRead());
    if (!untold.choices.empty()) {
      const int chosen = dialogs_->choose(untold.message + QStringLiteral("\n\n") + untold.question,
                                          untold.labels);
      if (chosen < 0 || static_cast<std::size_t>(chosen) >= untold.choices.size()) {
        restoreControls(controlsBefore);
        return;
      }
      setControls(untold.choices[static_cast<std::size_t>(chosen)]);
      if (!captureSettings()) return;
    }
    // Handed over whole: where the read cannot take detection's confirming store, the
    // worker lets it go before reading, so that two stores never share the memory. A file
    // opened from outside is shown at once; 读取文件 only lists, and 绘图 draws.
    readFile(path, settingsToRead(), true, std::move(found),
             {[this, controlsBefore] { restoreControls(controlsBefore); }, true});
  });
  showReadProgress(path);
}

void Form1::readFile(const QString& path, const ReadOptions& used, bool mayOfferAgain,
                     std::optional<DetectedLayout> found, ReadFollowUp followUp) {
  onReadCancelled_ = followUp.cancelled;
  document_->read(
      path, used, std::move(found),
      [this, path, used, mayOfferAgain, followUp = std::move(followUp)](ReadOutcome read) {
        onReadCancelled_ = {};
        ReadResult& result = read.result;
        const ReadPlan plan = planRead(result, path, used, read.values,
                                       read.found ? &*read.found : nullptr, mayOfferAgain);
        // Only a whole file replaces the open one, so a failed read leaves everything as it
        // was.
        if (plan.takeStore) {
          document_->setFile(
              path, used,
              std::make_shared<const SectionStore>(std::move(std::get<SectionStore>(result))));
          if (followUp.drawTaken && Combo1->count() > 0) Command6_Click();
        }
        showPlan(plan, path, std::move(read.found), followUp.drawTaken);
      });
  showReadProgress(path);
}

// Short work shows nothing; past the progress delay a dialog shows how far the read is and
// offers 取消. The window keeps repainting meanwhile.
void Form1::showReadProgress(const QString& path) {
  dismissReadProgress();
  auto* progress =
      new QProgressDialog(QStringLiteral("正在读取文件“%1”……").arg(QFileInfo(path).fileName()),
                          QStringLiteral("取消"), 0, 0, this);
  readProgress_ = progress;
  progress->setObjectName(QStringLiteral("ReadProgress"));
  progress->setWindowTitle(QStringLiteral("读取文件"));
  progress->setAccessibleName(QStringLiteral("读取进度"));
  progress->setWindowModality(Qt::ApplicationModal);
  progress->setAutoReset(false);
  progress->setAutoClose(false);
  progress->setMinimumDuration(progressDelay_);
  connect(progress, &QProgressDialog::canceled, this, [this] {
    document_->cancel(FileDocument::Work::Reading);
    // A read stops within a section and frees what it read; the window need not wait.
    if (auto cancelled = std::exchange(onReadCancelled_, {})) cancelled();
  });
  auto* tick = new QTimer(progress);
  connect(tick, &QTimer::timeout, progress, [this, progress] {
    const Feedback* feedback = document_->feedback(FileDocument::Work::Reading);
    if (const int permille = feedback != nullptr ? feedback->permille() : -1; permille > 0) {
      progress->setMaximum(1000);
      progress->setValue(permille);
    }
  });
  tick->start(50);
  // Setting a value starts the minimum duration's clock.
  progress->setValue(0);
}

void Form1::readingChanged() {
  if (!isReading()) dismissReadProgress();
}

// Hidden is not enough: until it is reset, the dialog's own timer shows it once its delay is
// up, over whatever message follows the read, and the message's loop does not delete it.
void Form1::dismissReadProgress() {
  if (!readProgress_) return;
  readProgress_->reset();
  readProgress_->hide();
  readProgress_->deleteLater();
}

// A new file is listed, and the picture of the file before goes.
void Form1::showFile() {
  const SectionStore& store = *document_->store();
  Combo1->clear();
  // All entries in one insertion: one by one, every entry tells the list's watchers anew.
  QStringList entries;
  entries.reserve(static_cast<qsizetype>(store.sections.size()));
  int number = 0;
  for (const Section& s : store.sections) {
    entries << QString::fromStdString(sectionListText(++number, s, store.titled));
  }
  Combo1->addItems(entries);
  Combo1->setCurrentIndex(Combo1->count() > 0 ? 0 : -1);
  fitListPopup();
  Picture1->clear();
  showReadouts(QString(), QString());
  updateCaption();
}

// Tells what the plan says; where it offers settings and the user takes one, the controls
// show it, so that what is used stays visible, and the file is read again with it, offering
// no second time.
void Form1::showPlan(const ReadPlan& plan, const QString& path, std::optional<DetectedLayout> found,
                     bool drawTaken) {
  if (plan.choices.empty()) {
    if (!plan.message.isEmpty()) dialogs_->reportFailure(plan.message);
    return;
  }
  const QString asked = plan.message + QStringLiteral("\n\n") + plan.question;
  int chosen = -1;
  if (plan.choices.size() == 1) {
    chosen = dialogs_->ask(asked) ? 0 : -1;
  } else {
    chosen = dialogs_->choose(asked, plan.labels);
  }
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= plan.choices.size()) return;
  const ControlState before = controlState();
  setControls(plan.choices[static_cast<std::size_t>(chosen)]);
  if (!captureSettings()) return;
  readFile(path, settingsToRead(), false, std::move(found),
           {[this, before] { restoreControls(before); }, drawTaken});
}

// Enter in the list's edit field selects the entry the text names: the entry it equals, the
// section of that number, or else the only entry that holds the text. Text that names no
// single entry selects nothing.
void Form1::selectTypedEntry() {
  const QString typed = Combo1->lineEdit()->text();
  if (typed.trimmed().isEmpty()) return;
  int found = Combo1->findText(typed, Qt::MatchExactly);
  bool isNumber = false;
  const int number = typed.trimmed().toInt(&isNumber);
  if (found < 0 && isNumber && number >= 1 && number <= Combo1->count()) found = number - 1;
  if (found < 0) {
    QAbstractItemModel* model = Combo1->model();
    const QModelIndexList holding =
        model->match(model->index(0, 0), Qt::DisplayRole, typed.trimmed(), 2, Qt::MatchContains);
    if (holding.size() == 1) found = holding.first().row();
  }
  if (found >= 0) Combo1->setCurrentIndex(found);
}

// The popup shows whole titles, up to the screen's width, though the box keeps its size.
void Form1::fitListPopup() {
  const QFontMetrics metrics = Combo1->view()->fontMetrics();
  const int margins =
      2 * metrics.averageCharWidth() + Combo1->view()->verticalScrollBar()->sizeHint().width();
  // Measuring a text shapes it, which for thousands of entries takes longer than the read.
  // Entries differ mostly in their digits: with each digit as wide as the widest, the few
  // distinct texts left are measured once each, and none comes out narrower than it is.
  QChar widestDigit = u'0';
  for (char16_t d = u'1'; d <= u'9'; ++d) {
    if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widestDigit)) {
      widestDigit = QChar(d);
    }
  }
  QSet<QString> shapes;
  for (int i = 0; i < Combo1->count(); ++i) {
    QString text = Combo1->itemText(i);
    for (QChar& c : text) {
      if (c >= u'0' && c <= u'9') c = widestDigit;
    }
    shapes.insert(text);
  }
  int widest = Combo1->width();
  for (const QString& text : shapes) {
    widest = std::max(widest, metrics.horizontalAdvance(text) + margins);
  }
  if (const QScreen* screen = this->screen()) {
    widest = std::min(widest, screen->availableSize().width());
  }
  Combo1->view()->setMinimumWidth(widest);
  listWanted_ = widest + Combo1->width() - Combo1->lineEdit()->width();
  layOutClient();
}

Form1::ControlState Form1::controlState() const {
  return {Option7->isChecked(), Option12->isChecked(), TextConcrete->text(), TextSteel->text(),
          captured_};
}

void Form1::restoreControls(const ControlState& state) {
  (state.newVersion ? Option7 : Option6)->setChecked(true);
  (state.titled ? Option12 : Option11)->setChecked(true);
  TextConcrete->setText(state.concrete);
  TextSteel->setText(state.steel);
  captured_ = state.captured;
}

void Form1::setControls(const ReadOptions& options) {
  (options.version == FileVersion::Old ? Option6 : Option7)->setChecked(true);
  if (describe(options.version).readsWithoutTitles()) {
    (options.hasTitleLine ? Option12 : Option11)->setChecked(true);
  }
  TextConcrete->setText(QString::number(options.concreteCount));
  TextSteel->setText(QString::fromStdString(numberText(options.steelCount)).trimmed());
}

void Form1::updateCaption() {
  QString caption = QStringLiteral("纤维截面查看器 — 作者：fiberview 项目组");
  if (document_->path().isEmpty()) {
    setWindowTitle(caption);
    return;
  }
  QString file = QFileInfo(document_->path()).fileName();
  if (Picture1->sectionNumber() > 0) {
    file += QStringLiteral(" (%1/%2)")
                .arg(QString::number(Picture1->sectionNumber()), QString::number(Combo1->count()));
  }
  setWindowTitle(file + QStringLiteral(" — ") + caption);
}

// While a read runs its window repaints and takes drops; a file dropped then is refused, so
// that it is not read into the middle of the other and replaced by it.
void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (!isReading() && !draggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const QString path = draggedFile(event->mimeData());
  if (path.isEmpty() || isReading()) return;
  event->acceptProposedAction();
  openFile(path);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == client_ && type == QEvent::Resize) layOutClient();
  if (type == QEvent::Close && watched != this && watched->isWidgetType()) {
    rememberWindow(*static_cast<QWidget*>(watched));
  }
  if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = draggedFile(drop->mimeData());
    if (!path.isEmpty()) {
      if (isReading()) {
        drop->ignore();
      } else {
        drop->acceptProposedAction();
        if (type == QEvent::Drop) openFile(path);
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::Command6_Click() {
  const FileVersion shown = Option6->isChecked() ? FileVersion::Old : FileVersion::New;
  const int number = Combo1->currentIndex() + 1;
  // The drawing area paints from its own size; scaling here first catches what cannot be
  // drawn before anything on screen changes.
  const PlotResult result = scaleSection(*document_->store(), number, Picture1->innerWidthTwips(),
                                         Picture1->innerHeightTwips(), shown);
  if (const auto* error = std::get_if<PlotError>(&result)) {
    dialogs_->reportFailure(plotFailureMessage(*error, Combo1->count() > 0, document_->readWith()));
    return;
  }
  const auto& picture = std::get<SectionPicture>(result);
  showReadouts(QString::fromStdString(picture.widthText),
               QString::fromStdString(picture.heightText));
  Picture1->showSection(document_->store(), number, shown,
                        flaggedFibers(document_->verdict(number)));
  document_->setCurrentSection(number);
  updateCaption();
}

void Form1::showReadouts(const QString& width, const QString& height) {
  Label2->setText(width);
  Label3->setText(height);
  // A label's text is not offered to screen readers, so its name carries the value too.
  Label2->setAccessibleName(QStringLiteral("截面宽度 %1").arg(width.trimmed()).trimmed());
  Label3->setAccessibleName(QStringLiteral("截面高度 %1").arg(height.trimmed()).trimmed());
}

void Form1::Command7_Click() {
  if (Combo1->currentIndex() > 0) Combo1->setCurrentIndex(Combo1->currentIndex() - 1);
  Command6_Click();
}

void Form1::Command8_Click() {
  if (Combo1->currentIndex() < Combo1->count() - 1)
    Combo1->setCurrentIndex(Combo1->currentIndex() + 1);
  Command6_Click();
}

}  // namespace fiberview
