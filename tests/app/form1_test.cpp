#include "app/form1.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QThreadPool>
#include <QToolTip>
#include <QtTest>
#include <cmath>

#include "app/command_line.h"
#include "app/start_folder.h"
#include "tests/data/realistic_files.h"
#include "widgets/twips.h"
#include "window_fixture.h"

using namespace fiberview;

class Form1Test : public WindowFixture {
  Q_OBJECT

 private:
  QString label(const char* name) { return control<QLabel>(name)->text(); }

  // The colour at a point of the drawing area given in twips of its inner area.
  QColor pixelAt(double xTwips, double yTwips) {
    const QImage image = picture()->grab().toImage();
    const QPoint inner = picture()->contentsRect().topLeft();
    return image.pixelColor(inner.x() + qRound(xTwips / kTwipsPerPixel),
                            inner.y() + qRound(yTwips / kTwipsPerPixel));
  }

 private slots:

  // The Open dialog starts beside the program where sample files lie there, even if
  // installed samples exist too; else in the installed samples; else beside the program.
  // Each case in its own folder, which the paths compared name.
  void openDialogStartsWhereTheFilesAre() {
    const struct {
      QStringList made;  // files to write
      const char *program, *expected;
    } cases[] = {
        {{"a/build/old_no_titles.txt", "a/share/fiberview/samples/b.txt"}, "a/build", "a/build"},
        {{"b/share/fiberview/samples/b.txt", "b/bin/fiberview"},
         "b/bin",
         "b/share/fiberview/samples"},
        {{"c/bin/fiberview"}, "c/bin", "c/bin"}};
    for (const auto& c : cases) {
      for (const QString& file : c.made) writeFile(file, "0\n");
      QCOMPARE(QDir(openDialogFolder(dir.filePath(c.program), QString())).canonicalPath(),
               QDir(dir.filePath(c.expected)).canonicalPath());
    }
  }

  // The counts are taken when Read is pressed, even if the dialog is then cancelled; a count
  // the store cannot hold is refused before the dialog opens, and nothing is taken.
  void countsAreCheckedAgainstTheStore_data() {
    QTest::addColumn<QString>("concrete");
    QTest::addColumn<QString>("steel");
    QTest::addColumn<QString>("box");  // empty: accepted
    QTest::addColumn<int>("takenConcrete");
    QTest::addColumn<double>("takenSteel");
    const struct {
      const char *name, *concrete, *steel, *box;
      int takenConcrete;
      double takenSteel;
    } rows[] = {{"spaces and letters in the counts", " 3 6.5", "4.5abc", "", 36, 4.5},
                {"both at the limit", "32767.4", "32767.9", "", 32767, 32767.9},
                {"concrete beyond 16 bits", "40000%2", "4", "混凝土数量", 0, 0},
                {"steel 32768", "36", "32768", "钢筋数量", 0, 0},
                {"steel infinite", "36", "1e999", "钢筋数量", 0, 0}};
    for (const auto& r : rows) {
      QTest::newRow(r.name) << QString::fromUtf8(r.concrete) << QString::fromUtf8(r.steel)
                            << QString::fromUtf8(r.box) << r.takenConcrete << r.takenSteel;
    }
  }
  void countsAreCheckedAgainstTheStore() {
    QFETCH(QString, concrete);
    QFETCH(QString, steel);
    QFETCH(QString, box);
    QFETCH(int, takenConcrete);
    QFETCH(double, takenSteel);
    counts(concrete, steel);
    control<QRadioButton>("Option12")->setChecked(true);
    click("Command5");
    QCOMPARE(form->capturedOptions().concreteCount, std::int16_t(takenConcrete));
    QCOMPARE(form->capturedOptions().steelCount, takenSteel);
    QCOMPARE(form->capturedOptions().hasTitleLine, box.isEmpty());
    QCOMPARE(combo()->count(), 0);
    QCOMPARE(dialogs->dialogsShown, box.isEmpty() ? 1 : 0);
    QCOMPARE(dialogs->reports.size(), box.isEmpty() ? 0 : 1);
    if (box.isEmpty()) return;
    // The message quotes the box's text exactly, however it looks.
    const QString typed = box == QStringLiteral("钢筋数量") ? steel : concrete;
    for (const QString& part : {box, QStringLiteral("32767"), "“" + typed + "”"})
      QVERIFY2(dialogs->reports[0].contains(part), qPrintable(dialogs->reports[0]));
  }

  // A read replaces the caption, the list, the titles, the picture with its read-outs, and
  // the store, which a worker frees.
  void secondReadReplacesTheFirst() {
    QCOMPARE(form->windowTitle(), QStringLiteral("纤维截面查看器 — 作者：fiberview 项目组"));
    read(sample("old_no_titles.txt"));
    QCOMPARE(form->windowTitle(),
             QStringLiteral("old_no_titles.txt — 纤维截面查看器 — 作者：fiberview 项目组"));
    control<QRadioButton>("Option12")->setChecked(true);
    read(sample("old_titles.txt"));
    QCOMPARE(combo()->count(), 5);
    QCOMPARE(combo()->itemText(4), QStringLiteral(" 5 KZ3 CORNER 300x300, origin at corner"));
    // An untitled read after a titled one leaves no title behind.
    control<QRadioButton>("Option11")->setChecked(true);
    read(sample("old_no_titles.txt"));
    QCOMPARE(combo()->itemText(0), QStringLiteral(" 1"));
    QCOMPARE(form->store().sections.at(0).title, std::string());
    click("Command6");
    QVERIFY(!picture()->picture().discs.empty());
    const std::weak_ptr<const SectionStore> replaced = picture()->store();
    QVERIFY(!replaced.expired());
    read(writeFile(QStringLiteral("none.txt"), "0\n"));
    QCOMPARE(label("Label2"), QString());
    QCOMPARE(label("Label3"), QString());
    QCOMPARE(control<QLabel>("Label2")->accessibleName(), QStringLiteral("截面宽度"));
    QCOMPARE(pixelAt(2317, 1957), QColor(255, 255, 255));
    QThreadPool::globalInstance()->waitForDone();
    QVERIFY(replaced.expired());
    // The Open dialog starts in the folder of the last read.
    click("Command5");
    QCOMPARE(dialogs->lastFolder, dir.path());
  }

  // Drawing

  void drawShowsConcreteRedAndSteelBlackOverIt() {
    read(sample("old_no_titles.txt"));
    click("Command6");
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    // The rectangular column's fiber centres span 333.334 x 500 mm.
    QCOMPARE(label("Label2"), QStringLiteral(" 333.334"));
    QCOMPARE(label("Label3"), QStringLiteral(" 500"));
    // What is painted as text is also offered to screen readers.
    QCOMPARE(control<QLabel>("Label2")->accessibleName(), QStringLiteral("截面宽度 333.334"));
    QCOMPARE(control<QLabel>("Label3")->accessibleName(), QStringLiteral("截面高度 500"));
    QCOMPARE(picture()->accessibleDescription(),
             QStringLiteral("\nB=4.00E+02  H=6.00E+02  E0=3.00E+04\n双击或按 Ctrl+I "
                            "查看截面详图，按 Ctrl+T 检查全部截面"));
    const SectionPicture p = picture()->picture();
    // Fiber 15 sits in the middle of the section, clear of every bar.
    const Disc& concrete = p.discs[14];
    QCOMPARE(pixelAt(concrete.cx, concrete.cy), QColor(255, 0, 0));
    // A corner bar lies on top of a concrete fiber.
    const Disc& bar = p.discs[36];
    QCOMPARE(bar.kind, FiberKind::Steel);
    QCOMPARE(pixelAt(bar.cx, bar.cy), QColor(0, 0, 0));
    QCOMPARE(pixelAt(100, 3800), QColor(255, 255, 255));
    // The property line follows the version chosen when drawing, the title the file read.
    control<QRadioButton>("Option7")->setChecked(true);
    click("Command6");
    QCOMPARE(picture()->picture().properties.text, std::string("EA=  EIxx=  EIyy=0.00E+00"));
    QCOMPARE(picture()->picture().title.text, std::string());
  }

  void failedDrawingLeavesThePreviousPicture() {
    counts(QStringLiteral("1"), QStringLiteral("0"));
    read(writeFile(QStringLiteral("two.txt"),
                   "2\n1 1 1\n-50 80 400 0 0 0 0 0\n1 1 1\n5 5 -2 0 0 0 0 0\n"));
    click("Command6");
    const QImage before = picture()->grab().toImage();
    const QString width = label("Label2");

    // The read already warned of the value; drawing it is refused all the same.
    QCOMPARE(dialogs->reports.size(), 1);
    QVERIFY2(dialogs->reports[0].contains(QStringLiteral("第 2 节第 1 根混凝土纤维的面积为 -2")),
             qPrintable(dialogs->reports[0]));
    combo()->setCurrentIndex(1);
    click("Command6");
    QCOMPARE(dialogs->reports.mid(1),
             QStringList{QStringLiteral(
                 "第 2 节第 1 根混凝土纤维的面积为 -2，面积不能为负数，无法绘图。\n"
                 "这常常说明读取时的设置（混凝土 1 根，钢筋 0 根，“无说明行”，老版本）"
                 "与文件不符，各数值错了位。请检查设置后重新读取。")});
    QCOMPARE(form->windowTitle().left(13), QStringLiteral("two.txt (1/2)"));
    QCOMPARE(picture()->grab().toImage(), before);
    QCOMPARE(label("Label2"), width);

    // Typed text selects nothing, and drawing nothing is reported, not attempted.
    QTest::keyClicks(combo()->lineEdit(), QStringLiteral("x"));
    QCOMPARE(combo()->currentIndex(), -1);
    click("Command6");
    QCOMPARE(
        dialogs->reports.value(2),
        QStringLiteral("没有选中要绘制的节。列表里输入的文字不选择任何一节，请在列表中选择一节。"));
    QCOMPARE(picture()->grab().toImage(), before);
  }

  // The section list

  // A screen reader hears the list by its role, its text as the value, and every entry,
  // whether the popup is open or not.
  void sectionListOffersItsEntriesToScreenReaders() {
    read(sample("old_no_titles.txt"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo());
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("截面列表"));
    QCOMPARE(list->text(QAccessible::Value), QStringLiteral(" 1"));
    for (const bool open : {false, true}) {
      if (open) list->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
      QCOMPARE(combo()->view()->isVisible(), open);
      QAccessibleInterface* items = list->child(0);
      QVERIFY(items != nullptr);
      QCOMPARE(items->role(), QAccessible::List);
      QCOMPARE(items->parent()->object(), combo());
      QCOMPARE(items->childCount(), combo()->count());
      for (int i = 0; i < combo()->count(); ++i) {
        QCOMPARE(items->child(i)->role(), QAccessible::ListItem);
        QCOMPARE(items->child(i)->text(QAccessible::Name), combo()->itemText(i));
      }
      QCOMPARE(list->child(1)->object(), combo()->lineEdit());
    }
  }

  // Enter in the list selects what the typed text names: a section number, an entry, or
  // the only entry that holds it; otherwise nothing, as typed text always did.
  void typingFindsASection_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("chooseFirstProposal");
    QTest::addColumn<int>("selected");
    QTest::newRow("a section number") << "150" << false << 149;
    QTest::newRow("a whole entry") << " 7 S7-wall" << false << 6;
    QTest::newRow("part of one title, other case") << "s299" << false << 298;
    QTest::newRow("part of several titles") << "S29" << false << -1;
    QTest::newRow("first proposal for several") << "S29" << true << 28;
    QTest::newRow("a number beyond the list") << "301" << false << -1;
    QTest::newRow("nothing that matches") << "xyz" << false << -1;
  }
  void typingFindsASection() {
    QFETCH(QString, typed);
    QFETCH(bool, chooseFirstProposal);
    QFETCH(int, selected);
    QByteArray file = "300\n";
    for (int i = 1; i <= 300; ++i) file += "S" + QByteArray::number(i) + "-wall\n1 2 3\n";
    control<QRadioButton>("Option7")->setChecked(true);
    counts(QStringLiteral("0"), QStringLiteral("0"));
    read(writeFile(QStringLiteral("many.txt"), file));
    QCOMPARE(combo()->count(), 300);
    QVERIFY(activate());
    combo()->lineEdit()->setFocus();
    combo()->lineEdit()->selectAll();
    QTest::keyClicks(combo()->lineEdit(), typed);
    QCOMPARE(combo()->currentIndex(), -1);
    QWidget* proposals = combo()->completer()->popup();
    if (chooseFirstProposal) {
      QTRY_VERIFY(proposals->isVisible());
      QTest::keyClick(proposals, Qt::Key_Down);
      QTest::keyClick(proposals, Qt::Key_Return);
    } else {
      QTest::keyClick(proposals->isVisible() ? proposals : combo()->lineEdit(), Qt::Key_Return);
    }
    QCOMPARE(combo()->currentIndex(), selected);
    if (selected < 0) QCOMPARE(combo()->currentText(), typed);
    QVERIFY(picture()->picture().discs.empty());
  }

  // Previous and Next

  // A step redraws the section it lands on; with nothing to step from it says why.
  void previousAndNextStepAndRedraw_data() {
    QTest::addColumn<int>("start");  // -2: nothing read
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("advice");  // the report when the step is refused
    QTest::newRow("next from the first") << 0 << "Command8" << 1 << "";
    QTest::newRow("next on the last stays") << 4 << "Command8" << 4 << "";
    QTest::newRow("previous on the first stays") << 0 << "Command7" << 0 << "";
    QTest::newRow("previous from the last") << 4 << "Command7" << 3 << "";
    QTest::newRow("next with nothing selected") << -1 << "Command8" << 0 << "";
    QTest::newRow("previous with nothing selected")
        << -1 << "Command7" << -1 << "请在列表中选择一节";
    QTest::newRow("previous in an empty list") << -2 << "Command7" << -1 << "请先读取文件";
    QTest::newRow("next in an empty list") << -2 << "Command8" << -1 << "请先读取文件";
  }
  void previousAndNextStepAndRedraw() {
    QFETCH(int, start);
    QFETCH(QString, button);
    QFETCH(int, end);
    QFETCH(QString, advice);
    if (start > -2) {
      read(sample("old_no_titles.txt"));
      combo()->setCurrentIndex(start);
    }
    click(qPrintable(button));
    QCOMPARE(combo()->currentIndex(), end);
    if (!advice.isEmpty()) {
      QCOMPARE(dialogs->reports.size(), 1);
      QVERIFY2(dialogs->reports[0].contains(advice), qPrintable(dialogs->reports[0]));
      return;
    }
    QVERIFY(dialogs->reports.isEmpty());
    QCOMPARE(picture()->sectionNumber(), end + 1);
    QCOMPARE(picture()->picture().discs.size(), std::size_t{40});
  }

  // A disc covers its fiber's area at drawing scale, edge included, as far as pixels allow.
  void discsKeepTheirAreaOnScreen_data() {
    QTest::addColumn<double>("area");
    QTest::newRow("small bar, radius 2 px") << 490.9 * 0.0417;
    QTest::newRow("bar of the samples, radius 4 px") << 490.9 * 0.1667;
    QTest::newRow("large bar, radius 10 px") << 490.9 * 1.042;
  }
  void discsKeepTheirAreaOnScreen() {
    QFETCH(double, area);
    // Two dots of no area fix a 400 x 400 box, so the scale is 2349 / 400 twips per unit.
    counts(QStringLiteral("2"), QStringLiteral("1"));
    read(writeFile(QStringLiteral("bar.txt"),
                   "1\n1 1 1\n-200 -200 0 0 0 0 0 0\n"
                   "200 200 0 0 0 0 0 0\n0 0 " +
                       QByteArray::number(area, 'g', 17) + " 0 0\n"));
    click("Command6");
    const double scalePx = 2349.0 / 400.0 / kTwipsPerPixel;
    const double expected = area * scalePx * scalePx * M_PI / 3.14;
    const QImage image = picture()->grab().toImage();
    const QPoint centre = picture()->contentsRect().topLeft() + QPoint(2317 / 15, 1957 / 15);
    double covered = 0;
    for (int y = centre.y() - 15; y <= centre.y() + 15; ++y) {
      for (int x = centre.x() - 15; x <= centre.x() + 15; ++x) {
        covered += 1.0 - qGray(image.pixel(x, y)) / 255.0;
      }
    }
    QVERIFY2(
        std::abs(covered - expected) <= 0.06 * expected + 1.0,
        qPrintable(QStringLiteral("%1 px² painted, %2 px² at scale").arg(covered).arg(expected)));
  }

  void discCoveringTheAreaFillsIt() {
    counts(QStringLiteral("2"), QStringLiteral("0"));
    read(writeFile(QStringLiteral("huge.txt"),
                   "1\n1 1 1\n0 0 1e40 0 0 0 0 0\n1 1 1e40 0 0 0 0 0\n"));
    click("Command6");
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    for (const QPoint at :
         {QPoint(1, 1), QPoint(4620, 3900), QPoint(4620, 15), QPoint(2317, 1957)}) {
      QCOMPARE(pixelAt(at.x(), at.y()), QColor(255, 0, 0));
    }
  }

  // At its first size the controls stand where the layout table puts them, below the menu
  // bar; made larger, the drawing takes what the window gains, the read-outs follow its
  // edges, the list widens, and the rest stays.
  void controlsStandInPlaceAndTheDrawingGrowsWithTheWindow() {
    const struct {
      const char* name;
      QRect twips;
    } table[] = {
        {"Picture1", {4200, 120, 4695, 3975}},  {"Command5", {360, 2880, 1575, 495}},
        {"Combo1", {1320, 3720, 1575, 300}},    {"Command6", {2400, 2880, 1575, 495}},
        {"Frame3", {240, 240, 3615, 735}},      {"Label2", {5640, 4200, 1815, 255}},
        {"Label3", {8880, 1800, 1095, 255}},    {"Command7", {360, 3720, 855, 375}},
        {"Command8", {3000, 3720, 975, 375}},   {"Frame5", {240, 1080, 3615, 735}},
        {"TextSteel", {3240, 2040, 615, 375}},  {"Label1", {2400, 2160, 855, 375}},
        {"LabConcrete", {240, 2160, 975, 375}}, {"TextConcrete", {1320, 2040, 615, 375}},
    };
    auto* client = form->findChild<QWidget*>(QStringLiteral("Form1Client"));
    QCOMPARE(client->size(), QSize(665, 342));
    QCOMPARE(client->y(), form->findChild<QWidget*>(QStringLiteral("MenuBar"))->height());
    const auto pixels = [](const QRect& t) {
      return QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15);
    };
    QHash<QString, QRect> at;  // where each control stands
    for (const auto& c : table) {
      at[c.name] = pixels(c.twips);
      QCOMPARE(control<QWidget>(c.name)->geometry(), at[c.name]);
    }
    // The height read-out, rows 120 to 136 over the drawing's right edge, leaves the frame
    // whole. The rows are the client area's, below the menu bar.
    const QImage shown = client->grab().toImage();
    const int edge = picture()->geometry().right();
    QCOMPARE(shown.pixelColor(edge, 128), shown.pixelColor(edge, 60));
    // Long titles: the popup shows them whole, the list takes some of the width gained, and
    // 下一个 and the drawing's left edge make way.
    open(sample("new_titles.txt"));
    for (const QString& title : entries(combo())) {
      QVERIFY2(
          combo()->view()->minimumWidth() > combo()->view()->fontMetrics().horizontalAdvance(title),
          qPrintable(title));
    }
    const QSize grown(300, 200);
    form->resize(form->size() + grown);
    QTRY_COMPARE(client->size(), QSize(665, 342) + grown);
    const int widened = combo()->width() - 1575 / 15;
    QVERIFY(widened > 0 && widened <= grown.width() / 2);
    const int w = grown.width(), h = grown.height();
    at["Picture1"].adjust(widened, 0, w, h);
    at["Combo1"].adjust(0, 0, widened, 0);
    at["Label2"].translate((widened + w) / 2, h);
    at["Label3"].translate(w, h / 2);
    at["Command8"].translate(widened, 0);
    for (const auto& c : table) QCOMPARE(control<QWidget>(c.name)->geometry(), at[c.name]);
  }

  // What the settings keep comes back at the next start: the files opened, most recent
  // first, and the window's size.
  void settingsRememberRecentFilesAndTheWindowSize() {
    QSettings settings(dir.filePath(QStringLiteral("fiberview.conf")), QSettings::IniFormat);
    form->useSettings(&settings);
    open(sample("old_titles.txt"));
    open(sample("new_titles.txt"));
    open(sample("old_titles.txt"));
    form->resize(form->size() + QSize(120, 80));
    const QSize size = form->size();
    form->close();

    openWindow();
    form->useSettings(&settings);
    QCOMPARE(form->size(), size);
    auto* recent = form->findChild<QMenu*>(QStringLiteral("RecentFiles"));
    QStringList names;
    for (QAction* a : recent->actions()) names << a->text();
    QCOMPARE(names,
             (QStringList{QStringLiteral("old_titles.txt"), QStringLiteral("new_titles.txt")}));
    recent->actions().at(1)->trigger();
    QVERIFY(settle());
    QCOMPARE(QFileInfo(form->document().path()).fileName(), QStringLiteral("new_titles.txt"));
  }

  // Presses 10 ms apart each count: a button's own shortcut folded those within 100 ms.
  void quickPageKeysEachCount() {
    read(sample("old_no_titles.txt"));
    QVERIFY(activate());
    for (int i = 0; i < 3; ++i) QTest::keyClick(form.get(), Qt::Key_PageDown, {}, 10);
    QTRY_COMPARE(picture()->sectionNumber(), 4);
    QCOMPARE(combo()->currentIndex(), 3);
    for (int i = 0; i < 2; ++i) QTest::keyClick(form.get(), Qt::Key_PageUp, {}, 10);
    QTRY_COMPARE(picture()->sectionNumber(), 2);
  }

  // Reading without knowing the file's settings

  // A read that fails, or leaves fields over, offers the settings the file shows; the
  // answer decides what is read.
  void misfittingReadOffersTheSettingsTheFileShows_data() {
    QTest::addColumn<QString>("file");  // read as the window starts: old version, no titles
    QTest::addColumn<int>("steel");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("told");  // empty: nothing asked
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("steelRead");
    const QString leftOver = QStringLiteral("最后一节之后还有数据");
    const QString version = QStringLiteral("应为新版本，而不是老版本");
    QTest::newRow("fits: no warning") << "old_no_titles.txt" << 4 << false << "" << 5 << 4;
    QTest::newRow("one bar short, declined")
        << "old_no_titles.txt" << 3 << false << leftOver << 5 << 3;
    QTest::newRow("one bar short, accepted")
        << "old_no_titles.txt" << 3 << true << leftOver << 5 << 4;
    QTest::newRow("failed, declined") << "new_titles.txt" << 4 << false << version << 0 << 4;
    QTest::newRow("failed, accepted") << "new_titles.txt" << 4 << true << version << 5 << 4;
  }
  void misfittingReadOffersTheSettingsTheFileShows() {
    QFETCH(QString, file);
    QFETCH(int, steel);
    QFETCH(bool, answer);
    QFETCH(QString, told);
    QFETCH(int, sections);
    QFETCH(int, steelRead);
    dialogs->answers << answer;
    control<QLineEdit>("TextSteel")->setText(QString::number(steel));
    read(sample(qPrintable(file)));
    const int questions = told.isEmpty() ? 0 : 1;
    QCOMPARE(dialogs->questionsAsked, questions);
    QCOMPARE(dialogs->reports.size(), questions);
    if (questions > 0)
      QVERIFY2(dialogs->reports[0].contains(told), qPrintable(dialogs->reports[0]));
    QCOMPARE(dialogs->dialogsShown, 1);
    QCOMPARE(control<QRadioButton>("Option7")->isChecked(), answer && file == "new_titles.txt");
    QCOMPARE(combo()->count(), sections);
    if (sections > 0) {
      QCOMPARE(form->store().sections.at(0).steel.size(), static_cast<std::size_t>(steelRead));
    }
    QCOMPARE(control<QLineEdit>("TextSteel")->text(), QString::number(steelRead));
  }

  // Properties that are neither a size nor stiffnesses cannot tell the version, whether the
  // file is read with wrong counts or opened from outside with the counts it shows.
  void versionIsLeftToTheUser_data() {
    QTest::addColumn<int>("pick");
    QTest::addColumn<bool>("fromOutside");
    for (const bool fromOutside : {false, true}) {
      for (const int pick : {0, 1, -1}) {
        QTest::addRow("%s, %s", fromOutside ? "opened from outside" : "read",
                      pick < 0    ? "neither"
                      : pick == 0 ? "old"
                                  : "new")
            << pick << fromOutside;
      }
    }
  }
  void versionIsLeftToTheUser() {
    QFETCH(int, pick);
    QFETCH(bool, fromOutside);
    std::string bytes = testing_files::write({.titled = true, .sections = 1}, 4).bytes;
    const std::size_t properties = bytes.find('\n', bytes.find('\n') + 1) + 1;
    bytes.replace(properties, bytes.find('\n', properties) - properties, "1 2 3");
    dialogs->picks << pick;
    control<QRadioButton>("Option12")->setChecked(true);
    counts(QStringLiteral("30"), QStringLiteral("0"));
    const QString path = writeFile(QStringLiteral("untold.txt"), QByteArray::fromStdString(bytes));
    fromOutside ? open(path) : read(path);
    QCOMPARE(dialogs->questionsAsked, 1);
    QCOMPARE(dialogs->lastLabels.size(), 2);
    QVERIFY2(dialogs->reports[0].contains(QStringLiteral("看不出是哪个版本")),
             qPrintable(dialogs->reports[0]));
    QCOMPARE(control<QRadioButton>("Option7")->isChecked(), pick == 1);
    QCOMPARE(control<QLineEdit>("TextConcrete")->text(),
             pick < 0 ? QStringLiteral("30") : QStringLiteral("25"));
    // Declined from outside, nothing is read; otherwise the section is read as chosen.
    QCOMPARE(form->store().sections.size(), std::size_t{fromOutside && pick < 0 ? 0u : 1u});
    if (pick >= 0) QCOMPARE(form->store().version, pick == 1 ? FileVersion::New : FileVersion::Old);
  }

  // Opened from outside, a file is read with the settings its layout shows and its first
  // section is drawn; a drop anywhere counts, even on a box that takes dropped text.
  void fileOpenedFromOutsideIsReadWithItsOwnSettings_data() {
    QTest::addColumn<QString>("droppedOn");  // empty: the command line
    QTest::newRow("command line") << "";
    QTest::newRow("dropped on the window") << "Form1";
    QTest::newRow("dropped on a count box") << "TextSteel";
    QTest::newRow("dropped on the list") << "Combo1";
  }
  void fileOpenedFromOutsideIsReadWithItsOwnSettings() {
    QFETCH(QString, droppedOn);
    control<QLineEdit>("TextConcrete")->setText(QStringLiteral("10"));
    const QString path = sample("new_titles.txt");
    if (droppedOn.isEmpty()) {
      open(path);
    } else {
      QWidget* target = droppedOn == "Form1" ? form.get() : form->findChild<QWidget*>(droppedOn);
      if (auto* list = qobject_cast<QComboBox*>(target)) target = list->lineEdit();
      QVERIFY(dropFile(target, path));
      QVERIFY(settle());
    }
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QCOMPARE(dialogs->dialogsShown, 0);
    QVERIFY(control<QRadioButton>("Option7")->isChecked());
    QCOMPARE(control<QLineEdit>("TextConcrete")->text(), QStringLiteral("36"));
    QCOMPARE(control<QLineEdit>("TextSteel")->text(), QStringLiteral("4"));
    QCOMPARE(combo()->itemText(0), QStringLiteral(" 1 矩形柱 KZ1 400×600"));
    QCOMPARE(picture()->sectionNumber(), 1);
    QCOMPARE(label("Label3"), QStringLiteral(" 500"));
  }

  // The commands tell their shortcuts, and the drawing how to open the section explorer.
  void commandsAndTheDrawingTellWhatTheyOffer() {
    const std::pair<const char*, const char*> commands[] = {{"Command5", "ReadAction"},
                                                            {"Command6", "DrawAction"},
                                                            {"Command7", "PreviousAction"},
                                                            {"Command8", "NextAction"}};
    for (const auto& [name, actionName] : commands) {
      const auto* button = control<QPushButton>(name);
      const auto* action = form->findChild<QAction*>(QString::fromLatin1(actionName));
      QVERIFY2(action != nullptr && !action->shortcut().isEmpty(), name);
      QVERIFY2(button->toolTip().contains(action->shortcut().toString(QKeySequence::NativeText)),
               qPrintable(button->toolTip()));
      QCOMPARE(button->accessibleDescription(), button->toolTip());
    }
    const QString hint = QStringLiteral("双击或按 Ctrl+I 查看截面详图，按 Ctrl+T 检查全部截面");
    const QPoint at(20, 20);
    QHelpEvent help(QEvent::ToolTip, at, picture()->mapToGlobal(at));
    QCoreApplication::sendEvent(picture(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), hint);
  }

  // Ctrl+C copies the drawing once a click has put the focus on it: its inside, without
  // the frame, at twice the device pixels, with a line naming the file and the section.
  void clickOnTheDrawingThenCopy() {
    control<QRadioButton>("Option7")->setChecked(true);
    read(sample("new_titles.txt"));
    click("Command6");
    QVERIFY(activate());
    QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(QApplication::focusWidget(), picture());
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(form.get(), QKeySequence(Qt::CTRL | Qt::Key_C));
    const QImage image = QGuiApplication::clipboard()->image();
    const QRect inner = picture()->contentsRect();
    const qreal ratio = 2 * picture()->devicePixelRatioF();
    QCOMPARE(image.width(), qRound(inner.width() * ratio));
    QCOMPARE(image.text(QStringLiteral("Description")),
             QStringLiteral("new_titles.txt  第 1 节  矩形柱 KZ1 400×600"));
    // The drawing's first row is white paper, not the frame's grey edge.
    for (int x = 0; x < image.width(); x += 7) QCOMPARE(image.pixelColor(x, 0), QColor(Qt::white));
    // A bar of the section at its place, and the caption's ink below the drawing.
    const Disc bar = picture()->picture().discs[36];
    QCOMPARE(image.pixelColor(qRound(bar.cx / kTwipsPerPixel * ratio),
                              qRound(bar.cy / kTwipsPerPixel * ratio)),
             QColor(Qt::black));
    int ink = 0;
    for (int y = qRound(inner.height() * ratio); y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 128;
    }
    QVERIFY2(ink > 50, qPrintable(QString::number(ink)));
  }

  void commandLineIsParsed_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("file");
    using A = CommandLine::Action;
    QTest::newRow("nothing") << QStringList{"fiberview"} << int(A::Run) << "";
    QTest::newRow("a file") << QStringList{"fiberview", "KZ.txt"} << int(A::Run) << "KZ.txt";
    QTest::newRow("help") << QStringList{"fiberview", "--help"} << int(A::PrintHelp) << "";
    QTest::newRow("version") << QStringList{"fiberview", "-v"} << int(A::PrintVersion) << "";
    QTest::newRow("unknown option") << QStringList{"fiberview", "--x"} << int(A::Fail) << "";
    QTest::newRow("two files") << QStringList{"fiberview", "a", "b"} << int(A::Fail) << "";
    QTest::newRow("self-check") << QStringList{"fiberview", "--self-check", "KZ.txt"}
                                << int(A::SelfCheck) << "KZ.txt";
    QTest::newRow("self-check without a file")
        << QStringList{"fiberview", "--self-check"} << int(A::Fail) << "";
  }
  void commandLineIsParsed() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, file);
    const CommandLine line = parseCommandLine(arguments);
    QCOMPARE(int(line.action), action);
    QCOMPARE(line.file, file);
    QCOMPARE(line.error.isEmpty(), action != int(CommandLine::Action::Fail));
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
