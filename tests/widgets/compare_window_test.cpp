#include "widgets/compare_window.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <cmath>

#include "tests/app/compare_files.h"
#include "tests/app/window_fixture.h"
#include "tests/widgets/csv_fields.h"
#include "widgets/compare_table_model.h"
#include "widgets/compare_view.h"

using namespace fiberview;

namespace {

// The share of points on a circle of `radius` pixels round `centre` that are near `colour`.
double ringShare(const QImage& image, QPointF centre, double radius, const QColor& colour) {
  int near = 0;
  constexpr int kPoints = 72;
  for (int i = 0; i < kPoints; ++i) {
    const double a = 2 * M_PI * i / kPoints;
    bool found = false;
    for (double r = radius - 1.5; r <= radius + 1.5 && !found; r += 0.5) {
      const QColor c =
          image.pixelColor((centre + QPointF(r * std::cos(a), r * std::sin(a))).toPoint());
      found = std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                  std::abs(c.blue() - colour.blue()) <
              60;
    }
    near += found;
  }
  return near / double(kPoints);
}

}  // namespace

class CompareWindowTest : public WindowFixture {
  Q_OBJECT

 private:
  bool compared(CompareWindow* w) {
    return QTest::qWaitFor([w] { return !w->isWorking() && w->model()->rowCount() > 0; }, 30000);
  }
  int selectedRow(CompareWindow* w) { return w->table()->selectionModel()->currentIndex().row(); }
  QString export_(CompareWindow* w, const char* button, const QString& name) {
    const QString path = dir.filePath(name);
    dialogs->nextSaveFiles << path;
    QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    if (!QTest::qWaitFor([w] { return !w->isWorking(); }, 60000)) return {};
    return path;
  }

 private slots:
  // Ctrl+D compares the open file with one chosen; the status line, the filter, the search,
  // paging through the changed sections, both exports and another file on either side.
  void comparesTheOpenFileWithAnother() {
    std::vector<Section> old;
    for (int k = 1; k <= 6; ++k) old.push_back(column(k));
    std::vector<Section> revised = old;
    revised[1].steel[0][0] += 50;
    revised[4].steel[2][2] = 314;
    revised.pop_back();
    revised.insert(revised.begin() + 2, column(9));
    revised[2].title = "KZ3A";
    open(writeFile(QStringLiteral("old.txt"), fileText(old)));
    dialogs->nextFiles << writeFile(QStringLiteral("new.txt"), fileText(revised));
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+D")));
    QVERIFY(QTest::qWaitFor([this] { return form->compareWindow() != nullptr; }, 30000));
    CompareWindow* w = form->compareWindow();
    QVERIFY(compared(w));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));

    auto* status = w->findChild<QLabel*>(QStringLiteral("CompareStatus"));
    const QString line = QStringLiteral("旧文件 6 节，新文件 6 节：新增 1，删除 1，改变 2，相同 3");
    QCOMPARE(status->text(), line);
    QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), line);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(w->table());
    QCOMPARE(table->text(QAccessible::Name), QStringLiteral("比较表"));
    QCOMPARE(table->tableInterface()->rowCount(), 7);
    QCOMPARE(
        table->tableInterface()->cellAt(2, CompareTableModel::kAfterTitle)->text(QAccessible::Name),
        QStringLiteral("KZ3A"));

    // The first changed row is selected; Page Down and Page Up step over the same ones.
    QVERIFY(QTest::qWaitForWindowActive(w));
    QList<int> rows{selectedRow(w)};
    for (Qt::Key key :
         {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp}) {
      QTest::keyClick(w->table(), key);
      rows << selectedRow(w);
    }
    QCOMPARE(rows, (QList<int>{1, 2, 5, 6, 6, 5}));

    auto* changedOnly = w->findChild<QCheckBox*>(QStringLiteral("ChangedOnly"));
    QCOMPARE(QAccessible::queryAccessibleInterface(changedOnly)->text(QAccessible::Name),
             QStringLiteral("只显示不同的截面"));
    changedOnly->setChecked(true);
    QCOMPARE(w->filter()->rowCount(), 4);
    QCOMPARE(status->text(), line + QStringLiteral("；显示 4 节"));
    w->findChild<QLineEdit*>(QStringLiteral("TitleSearch"))->setText(QStringLiteral("kz3"));
    QCOMPARE(w->filter()->rowCount(), 1);
    changedOnly->setChecked(false);
    QCOMPARE(w->filter()->rowCount(), 2);
    w->findChild<QLineEdit*>(QStringLiteral("TitleSearch"))->clear();

    QFile csv(export_(w, "ExportTable", QStringLiteral("比较.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QStringList> cells = parseCsv(QString::fromUtf8(csv.readAll().mid(3)));
    QCOMPARE(cells.size(), 8);
    QStringList statuses;
    for (const QStringList& r : cells.mid(1)) statuses << r[CompareTableModel::kStatus];
    QCOMPARE(statuses.join(' '), QStringLiteral("相同 改变 新增 相同 相同 改变 删除"));
    QCOMPARE(cells[7].mid(0, 4), (QStringList{"6", "KZ6", "", ""}));
    QCOMPARE(cells[2][CompareTableModel::kChanges], QStringLiteral("钢筋 1 移动 50"));

    const QString pdf = export_(w, "ExportReport", QStringLiteral("比较.pdf"));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QString text;
    readPdfText(pdf, text);
    QCOMPARE(text.count(QStringLiteral("\f")), 5);  // the first page and one per difference
    QVERIFY2(text.contains(QString(line).remove(QLatin1Char(' '))), qPrintable(text));
    for (const char* shown :
         {"第2节KZ2", "第3节KZ3A", "第5节KZ5", "第6节KZ6", "old.txt", "new.txt"}) {
      QVERIFY2(text.count(QString::fromUtf8(shown)) >= 1, shown);
    }

    // Another old file: one that cannot be read is reported and changes nothing; the new
    // file read as the old one compares the same, and the main window keeps its file.
    const auto choose = [&](const char* button, const QString& path) {
      dialogs->nextFiles << path;
      QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    };
    choose("ChooseOldFile", dir.filePath(QStringLiteral("missing.txt")));
    QTRY_COMPARE(dialogs->reports.size(), 1);
    QCOMPARE(status->text(), line);
    choose("ChooseOldFile", dir.filePath(QStringLiteral("new.txt")));
    QTRY_COMPARE(status->text(),
                 QStringLiteral("旧文件 6 节，新文件 6 节：新增 0，删除 0，改变 0，相同 6"));
    QCOMPARE(QFileInfo(form->document().path()).fileName(), QStringLiteral("old.txt"));
    choose("ChooseNewFile", form->document().path());
    QTRY_COMPARE(status->text(), line);
    QCOMPARE(w->windowTitle(), QStringLiteral("两个文件的比较 — new.txt 与 old.txt"));
  }

  // Each kind of change has its ring on the drawing, in its colour, round the fiber.
  void theDrawingMarksEachKindOfChange() {
    SectionStore before;
    before.titled = true;
    before.sections = {column(1)};
    SectionStore after = before;
    Section& s = after.sections[0];
    s.concrete[0][0] += 40;                     // moved
    s.concrete[1][2] = 30000;                   // resized
    s.concrete[2][3] = 2;                       // another material
    s.steel[1] = {0, 600, 490.9 + 1, 3, 400};   // removed where it stood, added where it stands
    s.steel.push_back({-400, 0, 201, 3, 400});  // added
    FileDocument old;
    old.setFile(QStringLiteral("old.txt"), {}, std::make_shared<SectionStore>(before));
    auto* revised = new FileDocument;
    revised->setFile(QStringLiteral("new.txt"), {}, std::make_shared<SectionStore>(after));
    CompareWindow w(old, revised, *dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(compared(&w));
    const CompareView* view = w.view();
    QMap<CompareMark, int> kinds;
    for (const MarkShape& m : view->marks()) ++kinds[m.mark];
    QCOMPARE(kinds, (QMap<CompareMark, int>{{CompareMark::Added, 2},
                                            {CompareMark::Removed, 1},
                                            {CompareMark::Moved, 1},
                                            {CompareMark::Resized, 1},
                                            {CompareMark::ValuesChanged, 1}}));
    QTest::qWait(50);  // the window lays out the drawing after the comparison shows
    const QImage image = view->viewport()->grab().toImage();
    const double scale = view->transform().m11();
    for (const MarkShape& m : view->marks()) {
      const double radius = m.discRadius * scale + 3 + 3 * m.ring;
      const double share =
          ringShare(image, view->viewportPoint(m.at), radius, compareMarkColour(m.mark));
      QVERIFY2(share > 0.5, qPrintable(compareMarkName(m.mark) + QString::number(share)));
    }
  }
};

QTEST_MAIN(CompareWindowTest)
#include "compare_window_test.moc"
