#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QXmlStreamReader>
#include <QtTest>
#include <charconv>

#include "tests/app/window_fixture.h"
#include "tests/plot/planted_faults.h"
#include "tests/widgets/csv_fields.h"
#include "widgets/all_sections_window.h"
#include "widgets/file_export.h"
#include "widgets/section_explorer.h"
#include "widgets/section_report.h"
#include "widgets/section_table_model.h"
#include "widgets/section_view.h"
#include "widgets/widget_image.h"
#include "widgets/window_placement.h"

using namespace fiberview;

namespace {

// What a spreadsheet would take for the start of a formula.
bool startsFormula(const QString& text) {
  return !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front());
}

// The text of the <title> of an SVG, once the whole document has parsed; "error: ..." when it
// does not.
QString svgTitle(const QByteArray& svg) {
  QXmlStreamReader xml(svg);
  QString title;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title") {
      title = xml.readElementText();
    }
  }
  return xml.hasError() ? QStringLiteral("error: ") + xml.errorString() : title;
}

// The significant digits of a number's text, from its first digit not 0 to its last.
qsizetype significantDigits(QByteArray number) {
  number = number.left(number.indexOf('e'));
  number.replace(".", "").replace("-", "");
  while (number.startsWith('0')) number.remove(0, 1);
  while (number.endsWith('0')) number.chop(1);
  return number.size();
}

}  // namespace

class AllSectionsTest : public WindowFixture {
  Q_OBJECT

 private:
  AllSectionsWindow* table() { return form->allSectionsWindow(); }

  // Opens `file` when one is given, then 全部截面 with Ctrl+T, and waits for its check to end.
  void openTable(const QString& file = {}) {
    if (!file.isEmpty()) open(file);
    QVERIFY(activate());
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+T")));
    QVERIFY(table() != nullptr);
    QVERIFY(checked());
  }
  bool checked() {
    return QTest::qWaitFor([this] { return form->document().checkedAll(); }, 30000);
  }
  void readPlanted() {
    open(writeFile(QByteArray::fromStdString(testing::plantedFileText())));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QCOMPARE(form->store().sections.size(), std::size_t{2000});
  }
  QList<int> shownSections() {
    QList<int> out;
    const QAbstractItemModel* m = table()->table()->model();
    for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, 0).data().toInt();
    return out;
  }
  QString status() { return table()->findChild<QLabel*>(QStringLiteral("TableStatus"))->text(); }
  // The sample of the old version with titles, under a name and with titles that break XML
  // unescaped and that a spreadsheet would run as formulas.
  QString markupTitles() {
    QFile in(sample("old_titles.txt"));
    if (!in.open(QIODevice::ReadOnly)) qFatal("no sample");
    QByteArray text = in.readAll();
    text.replace("KZ1 RECT 400x600", "=HYPERLINK(1) KZ1&KZ2<3>")
        .replace("KZ2 SQUARE 500x500", "+1+2")
        .replace("YZ1 CIRCLE D600", "@SUM(1,2)")
        .replace("Q1 WALL 1200x200", "-1F Q1");
    return writeFile(QStringLiteral("a&b<c>.txt"), text);
  }
  // Exports the table as CSV and reads it back.
  QList<QStringList> exportedTable() {
    const QString path = dir.filePath(QStringLiteral("表格.csv"));
    dialogs->nextSaveFiles << path;
    QTest::mouseClick(table()->findChild<QPushButton*>(QStringLiteral("ExportTable")),
                      Qt::LeftButton);
    QFile f(path);
    if (!dialogs->reports.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    return bytes.startsWith("\xEF\xBB\xBF") ? parseCsv(QString::fromUtf8(bytes.mid(3)))
                                            : QList<QStringList>{};
  }
  // Starts the report of what the table shows into `path`.
  void startReport(const QString& path) {
    dialogs->nextSaveFiles << path;
    QTest::mouseClick(table()->findChild<QPushButton*>(QStringLiteral("ExportReport")),
                      Qt::LeftButton);
  }
  void waitForReport() {
    if (!table()->isWorking()) return;
    QSignalSpy done(table(), &AllSectionsWindow::reportFinished);
    QVERIFY(done.wait(120000));
  }

 private slots:

  void titleSearchMatchesPartOfTitles() {
    openTable(sample("new_titles.txt"));
    auto* search = table()->findChild<QLineEdit*>(QStringLiteral("TitleSearch"));
    const QString title = QString::fromStdString(form->store().sections[2].title);
    search->setText(title.mid(1, 2));
    QVERIFY(shownSections().contains(3));
    QVERIFY(shownSections().size() < 5);
    search->clear();
    QCOMPARE(shownSections().size(), 5);
  }

  // A row is drawn through the sort, by Enter or a double click, and not by a single click.
  void activatingARowDrawsItThroughTheSort() {
    openTable(sample("old_titles.txt"));
    QTableView* view = table()->table();
    view->sortByColumn(SectionTableModel::kNumber, Qt::DescendingOrder);
    // Row 1 of 5 is section 4 in descending order.
    const QRect cell = view->visualRect(view->model()->index(1, SectionTableModel::kTitle));
    QSignalSpy activated(table(), &AllSectionsWindow::sectionActivated);
    // A double click is a click and then a second press that the view sees as doubled.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(activated.count(), 1);
    QCOMPARE(picture()->sectionNumber(), 4);
    QCOMPARE(combo()->currentIndex(), 3);
    view->setFocus();
    view->selectionModel()->setCurrentIndex(
        view->model()->index(4, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(picture()->sectionNumber(), 1);
  }

  void csvTextThatCouldRunAsAFormulaIsText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");  // the value of the export role; none when empty
    QTest::addColumn<QString>("field");
    const char* const rows[][4] = {
        {"=", "=HYPERLINK(\"x\")", "", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+", "+1+2", "", "'+1+2"},
        {"-", "-1F KZ1", "", "'-1F KZ1"},
        {"@", "@SUM(1,2)", "", "\"'@SUM(1,2)\""},
        {"tab", "\tKZ1", "", "'\tKZ1"},
        {"CR", "\rKZ1", "", "\"'\rKZ1\""},
        {"inside", "KZ1=KZ2-3", "", "KZ1=KZ2-3"},
        {"number", "-4.0 %", "-0.04", "-0.04"},
    };
    for (const auto& r : rows) {
      QTest::newRow(r[0]) << QString::fromLatin1(r[1]) << QString::fromLatin1(r[2])
                          << QString::fromLatin1(r[3]);
    }
  }
  void csvTextThatCouldRunAsAFormulaIsText() {
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QString, field);
    QStandardItemModel model(1, 1);
    model.setHorizontalHeaderLabels({QStringLiteral("-")});
    model.setData(model.index(0, 0), text);
    if (!number.isEmpty()) model.setData(model.index(0, 0), number, Qt::UserRole);
    QCOMPARE(csvText(model, Qt::UserRole, {0}), "\xEF\xBB\xBF'-\r\n" + field.toUtf8() + "\r\n");
  }

  // The CSV holds the columns the table shows; values read as read, computed figures to 12
  // significant digits, and text that no spreadsheet runs as a formula. The report holds a
  // page for each section with its title.
  void exportsHoldTheTableAndEveryTitle_data() {
    QTest::addColumn<QString>("file");
    for (const char* name :
         {"old_no_titles.txt", "old_titles.txt", "new_titles.txt", "new_titles_gbk.txt"}) {
      QTest::newRow(name) << sample(name);
    }
    QTest::newRow("titles like markup and formulas") << markupTitles();
  }
  void exportsHoldTheTableAndEveryTitle() {
    QFETCH(QString, file);
    openTable(file);
    QTableView* view = table()->table();
    view->sortByColumn(SectionTableModel::kSteelArea, Qt::DescendingOrder);
    const QList<QStringList> lines = exportedTable();
    const QAbstractItemModel* m = view->model();
    QCOMPARE(lines.size(), m->rowCount() + 1);
    QList<int> shown;
    QStringList headers;
    for (int c = 0; c < m->columnCount(); ++c) {
      if (view->isColumnHidden(c)) continue;
      shown << c;
      headers << m->headerData(c, Qt::Horizontal).toString();
    }
    QCOMPARE(lines[0], headers);
    for (int r = 0; r < m->rowCount(); ++r) {
      QCOMPARE(lines[r + 1].size(), shown.size());
      for (int k = 0; k < shown.size(); ++k) {
        const QModelIndex i = m->index(r, shown[k]);
        const QString cell = lines[r + 1][k];
        const QVariant value = i.data(SectionTableModel::kSortRole);
        if (!i.data(SectionTableModel::kExportRole).isValid()) {
          const QString text = i.data().toString();
          QCOMPARE(cell, startsFormula(text) ? QLatin1Char('\'') + text : text);
          continue;
        }
        if (value.typeId() != QMetaType::Double) continue;
        const QByteArray number = cell.toLatin1();
        double back = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), back);
        QVERIFY2(ec == std::errc() && end == number.data() + number.size(), number.constData());
        const bool read =
            shown[k] >= SectionTableModel::kProperty1 && shown[k] <= SectionTableModel::kProperty3;
        const double v = value.toDouble();
        if (read || v == 0.0) {
          QCOMPARE(back, v);
        } else {
          QVERIFY2(std::abs(back - v) <= 5e-12 * std::abs(v) || (std::abs(v) < 5e-13 && back == 0),
                   number.constData());
          QVERIFY2(significantDigits(number) <= 12, number.constData());
        }
      }
    }

    const QString path = dir.filePath(QStringLiteral("报告.pdf"));
    startReport(path);
    waitForReport();
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QString text;
    readPdfText(path, text);
    QCOMPARE(text.count(QStringLiteral("\f")), 6);  // the first page and one per section
    QVERIFY(text.contains(QFileInfo(file).fileName()));
    QVERIFY(text.contains(QStringLiteral("5节，")));
    for (int n = 1; n <= 5; ++n) {
      const QString title =
          QString::fromStdString(form->store().section(n)->title).remove(QLatin1Char(' '));
      QVERIFY2(text.contains(QStringLiteral("第%1节").arg(n)), qPrintable(text));
      QVERIFY2(text.contains(title), qPrintable(title));
    }
  }

  void cancelledReportLeavesTheOldFile() {
    readPlanted();
    openTable();
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    {
      QFile old(path);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("earlier");
    }
    startReport(path);
    QVERIFY(table()->isWorking());
    auto* progress = table()->findChild<QProgressBar*>(QStringLiteral("WorkProgress"));
    QVERIFY(progress->isVisible());
    // The window answers while the report is written: typing reaches the search box.
    auto* search = table()->findChild<QLineEdit*>(QStringLiteral("TitleSearch"));
    QTest::keyClicks(search, QStringLiteral("KZ"));
    QCOMPARE(search->text(), QStringLiteral("KZ"));
    QTRY_VERIFY(progress->value() > 0);
    QVERIFY(table()->isWorking());
    QTest::mouseClick(table()->findChild<QPushButton*>(QStringLiteral("CancelWork")),
                      Qt::LeftButton);
    QVERIFY(!table()->isWorking());
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    // The worker stops at its next page and drops what it wrote.
    QTest::qWait(500);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("earlier"));
    // Nor a temporary file beside it.
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("report*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("report.pdf")});
    QVERIFY(!progress->isVisible());
  }

  // The check of the 2,000 sections runs off the window thread. Cancelled halfway, it leaves
  // nothing to export, which would say all is well, and offers to check again; once done,
  // the filter shows only the planted faults, and a new read empties the table and checks
  // the new file.
  void cancelledCheckExportsNothingAndOffersToCheckAgain() {
    readPlanted();
    QVERIFY(activate());
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+T")));
    // The shortcut returned with the check still under way, and the bar shows it.
    QVERIFY(table()->isWorking());
    QVERIFY(table()->findChild<QProgressBar*>(QStringLiteral("WorkProgress"))->isVisible());
    QTest::mouseClick(table()->findChild<QPushButton*>(QStringLiteral("CancelWork")),
                      Qt::LeftButton);
    QVERIFY(!table()->isWorking());
    for (const char* name : {"ExportTable", "ExportReport"}) {
      QVERIFY2(!table()->findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled(), name);
    }
    QVERIFY(!status().contains(QStringLiteral("未发现问题")));
    auto* again = table()->findChild<QPushButton*>(QStringLiteral("CheckAgain"));
    QVERIFY(again->isVisible());
    QTest::mouseClick(again, Qt::LeftButton);
    QVERIFY(checked());
    QCOMPARE(status(), QStringLiteral("2000 节，其中 3 节有问题"));
    QVERIFY(table()->findChild<QPushButton*>(QStringLiteral("ExportReport"))->isEnabled());

    QCOMPARE(table()->table()->model()->rowCount(), 2000);
    auto* findingsOnly = table()->findChild<QCheckBox*>(QStringLiteral("FindingsOnly"));
    findingsOnly->click();
    QCOMPARE(shownSections(),
             (QList<int>{testing::kBarOutsideRound, testing::kMissingCornerBar, testing::kWrongB}));
    QCOMPARE(table()->table()->model()->index(2, SectionTableModel::kFindings).data().toString(),
             QStringLiteral("混凝土区域的宽度与 B 相差 -37.5 %"));
    // A descending sort keeps the filter.
    table()->table()->sortByColumn(SectionTableModel::kNumber, Qt::DescendingOrder);
    QCOMPARE(shownSections().first(), testing::kWrongB);
    QVERIFY(status().endsWith(QStringLiteral("显示 3 节")));
    findingsOnly->click();
    open(sample("old_no_titles.txt"));
    QVERIFY(checked());
    QCOMPARE(table()->table()->model()->rowCount(), 5);
    QCOMPARE(status(), QStringLiteral("5 节，未发现问题"));
  }

  // One section for each kind of finding, among clean ones of the same concrete: every
  // window, export and report states the same verdict on each.
  void everyViewStatesTheSameFindings() {
    SectionStore store;
    store.titled = true;
    for (int n = 1; n <= 16; ++n) {
      Section s = testing::plantedSection(1);
      s.title = n >= 2 && n <= 7 && n != 5 ? "KZ" + std::to_string(n) : "KZ1";
      store.sections.push_back(s);
    }
    auto& sections = store.sections;
    sections[1].steel[2][0] = 1000.0;                    // a bar outside the concrete
    sections[2].steel[0][2] = 0.0;                       // a bar of area 0
    sections[3].steel[5][2] *= 10.0;                     // one bar ten times too big
    sections[4].properties[1] = 800.0;                   // B of 800 for a column 400 wide
    for (auto& bar : sections[5].steel) bar[2] = 314.2;  // another design of bars
    sections[6].concrete.clear();
    sections[6].steel.clear();
    sections[7].title = "KZ1 另一个";  // the same fibers as section 1 under another title
    const std::vector<QStringList> expected = {
        {},
        {QStringLiteral("第 3 根钢筋在混凝土范围之外")},
        {QStringLiteral("第 1 根钢筋纤维面积为 0"), QStringLiteral("ΣAs")},
        {QStringLiteral("第 6 根钢筋的面积与其余钢筋不同"), QStringLiteral("ΣAs")},
        {QStringLiteral("混凝土区域的宽度与 B 相差")},
        {QStringLiteral("ΣAs = 2513.6，同样混凝土的 12 节为 3927.2")},
        {QStringLiteral("本节没有纤维")},
        {},
    };
    form->document().setFile(dir.filePath(QStringLiteral("模型.txt")), ReadOptions{},
                             std::make_shared<const SectionStore>(std::move(store)));
    QVERIFY(settle());
    openTable();
    const QList<QStringList> csv = exportedTable();
    QCOMPARE(csv.size(), 17);
    const QString path = dir.filePath(QStringLiteral("报告.pdf"));
    startReport(path);
    waitForReport();
    QString text;
    readPdfText(path, text);
    const QStringList pages = text.split('\f');
    QCOMPARE(pages.size(), 18);  // the first page, one per section, and after the last
    click("Command6");
    form->findChild<QAction*>(QStringLiteral("ExploreAction"))->trigger();

    for (int n = 1; n <= static_cast<int>(expected.size()); ++n) {
      const QStringList& wanted = expected[static_cast<std::size_t>(n) - 1];
      const QString where = QStringLiteral("第 %1 节").arg(n);
      combo()->setCurrentIndex(n - 1);
      click("Command6");
      QStringList checks;
      auto* list = form->explorer()->findChild<QListWidget*>(QStringLiteral("ExplorerChecks"));
      for (int i = 0; i < list->count(); ++i) checks << list->item(i)->text();
      if (wanted.isEmpty()) QCOMPARE(checks, QStringList{noFindingsText()});
      QCOMPARE(checks.size(), std::max<qsizetype>(wanted.size(), 1));
      for (qsizetype i = 0; i < wanted.size(); ++i) {
        QVERIFY2(checks[i].startsWith(wanted[i]), qPrintable(where + checks.join('|')));
        QVERIFY2(pages[n].contains(QString(checks[i]).remove(' ')), qPrintable(where));
      }
      const SectionRow& verdict = form->document().verdict(n);
      const std::vector<FiberRef> flagged = flaggedFibers(verdict);
      QCOMPARE(form->explorer()->view()->ringed(), flagged);
      const QModelIndex row = table()->model()->index(n - 1, SectionTableModel::kFindings);
      QCOMPARE(row.siblingAtColumn(SectionTableModel::kFindingCount).data().toInt(), wanted.size());
      const QString kinds = row.data().toString();
      QCOMPARE(kinds.isEmpty(), wanted.isEmpty());
      QVERIFY2(csv[n].contains(kinds), qPrintable(where + csv[n].join(',')));
      // Section 5 differs only in its properties; a twin is no finding.
      QCOMPARE(verdict.sameAs, n == 1 || n == 5 ? 8 : n == 8 ? 1 : 0);
    }
  }

  void unwritableFolderLeavesNoFileAndSaysWhy() {
    openTable(sample("old_titles.txt"));
    const QString folder = dir.filePath(QStringLiteral("只读"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    // Permissions do not stop root; nobody creates files in /proc.
    const QString target = QFileInfo(folder).isWritable() ? QStringLiteral("/proc/self") : folder;
    dialogs->nextSaveFiles << target + QStringLiteral("/t.csv");
    QTest::mouseClick(table()->findChild<QPushButton*>(QStringLiteral("ExportTable")),
                      Qt::LeftButton);
    startReport(target + QStringLiteral("/r.pdf"));
    waitForReport();
    QCOMPARE(dialogs->reports.size(), 2);
    for (const QString& message : dialogs->reports) {
      QVERIFY2(message.startsWith(QStringLiteral("无法写入文件“")), qPrintable(message));
    }
    QVERIFY(!QFile::exists(target + QStringLiteral("/t.csv")));
    QVERIFY(!QFile::exists(target + QStringLiteral("/r.pdf")));
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }

  // The main window's commands answer in the section window and in 全部截面 too.
  void shortcutsActInEveryWindow_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("keys");
    for (const char* window : {"main", "explorer", "table"}) {
      for (const char* keys : {"PgDown", "PgUp", "F5", "Ctrl+O", "Ctrl+I", "Ctrl+T"}) {
        QTest::addRow("%s in %s", keys, window) << QString::fromLatin1(window) << keys;
      }
    }
  }
  void shortcutsActInEveryWindow() {
    QFETCH(QString, window);
    QFETCH(QString, keys);
    open(sample("old_titles.txt"));
    combo()->setCurrentIndex(2);
    click("Command6");
    form->findChild<QAction*>(QStringLiteral("ExploreAction"))->trigger();
    openTable();
    if (keys == QLatin1String("F5")) combo()->setCurrentIndex(4);  // chosen, not drawn
    QWidget* target = window == QLatin1String("main") ? static_cast<QWidget*>(form.get())
                      : window == QLatin1String("explorer")
                          ? static_cast<QWidget*>(form->explorer())
                          : static_cast<QWidget*>(table());
    target->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(target));
    dialogs->nextFiles << sample("new_titles.txt");
    QTest::keySequence(target, QKeySequence(keys));
    QVERIFY(settle());
    const FileDocument& document = form->document();
    if (keys == QLatin1String("PgDown") || keys == QLatin1String("PgUp")) {
      const int expected = keys == QLatin1String("PgDown") ? 4 : 2;  // from section 3
      QCOMPARE(document.currentSection(), expected);
      QCOMPARE(form->explorer()->sectionNumber(), expected);
      QCOMPARE(table()->selectedSection(), expected);
    } else if (keys == QLatin1String("F5")) {
      QCOMPARE(document.currentSection(), 5);
    } else if (keys == QLatin1String("Ctrl+O")) {
      QCOMPARE(dialogs->dialogsShown, 1);
      QCOMPARE(QFileInfo(document.path()).fileName(), QStringLiteral("new_titles.txt"));
    } else {
      QWidget* shown = keys == QLatin1String("Ctrl+I") ? static_cast<QWidget*>(form->explorer())
                                                       : static_cast<QWidget*>(table());
      QTRY_COMPARE(QApplication::activeWindow(), shown);
    }
  }

  // A file dropped on 全部截面 opens as one dropped on the main window; a double click on a
  // row brings the main window, which draws it, forward.
  void dropOnTheTableOpensAndDoubleClickBringsTheMainWindowForward() {
    openTable(sample("old_titles.txt"));
    QVERIFY(dropFile(table(), sample("new_titles.txt")));
    QVERIFY(settle());
    QCOMPARE(QFileInfo(form->document().path()).fileName(), QStringLiteral("new_titles.txt"));
    QVERIFY(checked());
    QTableView* view = table()->table();
    const QRect cell = view->visualRect(view->model()->index(2, SectionTableModel::kTitle));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(picture()->sectionNumber(), 3);
    QTRY_COMPARE(QApplication::activeWindow(), form.get());
  }

  // The new windows, at their first sizes, beside the main window on two common screens
  // wherever a window manager may have put it.
  void newWindowsOpenBesideTheMainWindowAndOnTheScreen_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("roomBeside");
    for (const QRect screen : {QRect(0, 0, 1366, 768 - 40), QRect(0, 0, 1600, 1000 - 40)}) {
      const QSize mainSize(665 + 2, 342 + 24 + 30);
      const QPoint centred = screen.center() - QPoint(mainSize.width(), mainSize.height()) / 2;
      for (const QPoint at : {QPoint(0, 0), QPoint(40, 60), centred,
                              screen.bottomRight() - QPoint(mainSize.width(), mainSize.height())}) {
        for (const QSize size : {QSize(900 + 2, 600 + 30), QSize(1180 + 2, 600 + 30)}) {
          QTest::addRow("%dx%d, main at %d,%d, %dx%d", screen.width(), screen.height(), at.x(),
                        at.y(), size.width(), size.height())
              << screen << QRect(at, mainSize) << size << (at != centred);
        }
      }
    }
  }
  void newWindowsOpenBesideTheMainWindowAndOnTheScreen() {
    QFETCH(QRect, screen);
    QFETCH(QRect, main);
    QFETCH(QSize, size);
    const QSize smallest(480, 320);
    const QRect placed = placeBeside(main, size, screen, smallest);
    QVERIFY(screen.contains(placed));
    // A main window in a corner leaves room beside it; one in the middle of these screens
    // does not, and is covered as little as can be.
    QFETCH(bool, roomBeside);
    if (roomBeside) {
      QVERIFY(!placed.intersects(main));
      QVERIFY(placed.width() >= smallest.width() && placed.height() >= smallest.height());
    }
  }

  void picturesSaveAsPngAndSvg() {
    open(markupTitles());
    click("Command6");
    auto* save = form->findChild<QAction*>(QStringLiteral("SavePictureAction"));
    QVERIFY(save != nullptr);
    dialogs->nextSaveFiles << dir.filePath(QStringLiteral("a.png"))
                           << dir.filePath(QStringLiteral("a.SVG"));
    save->trigger();
    save->trigger();
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    const QImage png(dir.filePath(QStringLiteral("a.png")));
    // The copied picture: the drawing without its frame, and the caption's line.
    QCOMPARE(png.size(), pictureSize(*picture(), picture()->contentsRect()) * 2);
    const QString caption = QStringLiteral("a&b<c>.txt  第 1 节  =HYPERLINK(1) KZ1&KZ2<3>");
    QCOMPARE(png.text(QStringLiteral("Description")), caption);
    QFile svg(dir.filePath(QStringLiteral("a.SVG")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray xml = svg.readAll();
    QCOMPARE(svgTitle(xml), caption);
    // 36 concrete and 4 steel discs as vector shapes.
    QVERIFY2(xml.count("<ellipse") + xml.count("<circle") >= 40, xml.left(2000).constData());

    // The explorer's drawing offers the same in its context menu.
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+I")));
    QVERIFY(form->explorer() != nullptr);
    auto* inExplorer =
        form->explorer()->findChild<QAction*>(QStringLiteral("ExplorerSavePictureAction"));
    QVERIFY(inExplorer != nullptr);
    dialogs->nextSaveFiles << dir.filePath(QStringLiteral("b.svg"));
    inExplorer->trigger();
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QFile explorerSvg(dir.filePath(QStringLiteral("b.svg")));
    QVERIFY(explorerSvg.open(QIODevice::ReadOnly));
    const QByteArray shapes = explorerSvg.readAll();
    QCOMPARE(svgTitle(shapes), caption);
    QVERIFY(shapes.count("<ellipse") + shapes.count("<circle") >= 40);
  }
};

QTEST_MAIN(AllSectionsTest)
#include "all_sections_test.moc"
