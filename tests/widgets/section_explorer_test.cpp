#include "widgets/section_explorer.h"

#include <QAction>
#include <QClipboard>
#include <QGraphicsItem>
#include <QGraphicsPathItem>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableView>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include "plot/number_format.h"
#include "tests/app/window_fixture.h"
#include "widgets/section_plot_widget.h"
#include "widgets/section_report.h"
#include "widgets/section_view.h"

using namespace fiberview;

Q_DECLARE_METATYPE(fiberview::FiberKind)

class SectionExplorerTest : public WindowFixture {
  Q_OBJECT

 private:
  SectionExplorer* explorer() { return form->explorer(); }
  SectionView* view() { return explorer()->view(); }

  // Reads a sample with the window's default settings and draws section `number`.
  void draw(const char* file, int number) {
    read(sample(file));
    combo()->setCurrentIndex(number - 1);
    click("Command6");
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
  }
  void openByShortcut() {
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+I")));
    QVERIFY(explorer() != nullptr);
    // qWaitForWindowActive takes the main window's activation for its child window's.
    QTRY_COMPARE(QApplication::activeWindow(), explorer());
  }
  void explore(const char* file, int number) {
    draw(file, number);
    openByShortcut();
  }
  // Reads `bytes` with `concrete` and `steel` fibers a section, whatever the read warns of,
  // draws the first section and opens the explorer on it.
  void exploreFile(int concrete, int steel, const QByteArray& bytes) {
    counts(QString::number(concrete), QString::number(steel));
    read(writeFile(bytes));
    click("Command6");
    openByShortcut();
  }
  // The centre of a fiber's disc in the explorer's viewport.
  QPoint discInView(FiberRef fiber) {
    const QGraphicsItem* disc = view()->discItem(fiber);
    if (disc == nullptr) qFatal("fiber without a disc");
    return view()->mapFromScene(disc->pos());
  }

 private slots:

  void toolTipNamesTheTopmostFiber_data() {
    QTest::addColumn<bool>("inExplorer");
    QTest::addColumn<FiberKind>("kind");
    QTest::addColumn<int>("fiber");
    QTest::addColumn<QString>("expected");
    const QString bar =
        QStringLiteral("钢筋纤维 1\nx = -150，y = -250\n面积 = 490.8739\n其他值：2, 400");
    const QString middle = QStringLiteral(
        "混凝土纤维 15\nx = -33.333，y = -50\n面积 = 6666.6667\n其他值：1, -30, 0.002, 0.0035, 0");
    // The main drawing's tooltips end with the way to the explorer.
    const QString hint =
        "\n\n" + QStringLiteral("双击或按 Ctrl+I 查看截面详图，按 Ctrl+T 检查全部截面");
    QTest::newRow("main drawing, bar over concrete")
        << false << FiberKind::Steel << 1 << bar + hint;
    QTest::newRow("main drawing, concrete") << false << FiberKind::Concrete << 15 << middle + hint;
    QTest::newRow("explorer, bar over concrete") << true << FiberKind::Steel << 1 << bar;
  }
  void toolTipNamesTheTopmostFiber() {
    QFETCH(bool, inExplorer);
    QFETCH(FiberKind, kind);
    QFETCH(int, fiber);
    QFETCH(QString, expected);
    draw("old_no_titles.txt", 1);
    QWidget* target = picture();
    QPoint at;
    if (inExplorer) {
      openByShortcut();
      target = view()->viewport();
      at = discInView({kind, fiber});
    } else {
      const SectionPicture p = picture()->picture();
      const auto disc = std::find_if(p.discs.begin(), p.discs.end(), [&](const Disc& d) {
        return d.kind == kind && d.fiber == fiber;
      });
      QVERIFY(disc != p.discs.end());
      at = picture()->twipsToWidget().map(QPointF(disc->cx, disc->cy)).toPoint();
    }
    QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &help);
    QTRY_COMPARE(QToolTip::text(), expected);
  }

  // Before any drawing the section window opens empty; it follows the drawing until a read
  // clears it, and a double click on the drawing opens it once, however often it comes.
  void opensOnceAndFollowsTheDrawing() {
    const auto heading = [this] {
      return explorer()->findChild<QLabel*>("ExplorerHeading")->text();
    };
    openByShortcut();
    QCOMPARE(explorer()->sectionNumber(), 0);
    QVERIFY2(heading().startsWith(emptyExplorerText()), qPrintable(heading()));
    draw("old_no_titles.txt", 5);
    QCOMPARE(explorer()->sectionNumber(), 5);
    QVERIFY2(heading().startsWith(QStringLiteral("第 5 节")), qPrintable(heading()));
    QCOMPARE(explorer()->table()->model()->rowCount(), 40);
    explorer()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(form->explorer(), nullptr);

    QTest::mouseDClick(picture(), Qt::LeftButton);
    QTest::mouseDClick(picture(), Qt::LeftButton);
    QCOMPARE(form->findChildren<SectionExplorer*>().size(), 1);
    QVERIFY(explorer()->isVisible() && explorer()->isWindow());
    QCOMPARE(explorer()->sectionNumber(), 5);
    read(sample("old_no_titles.txt"));
    QCOMPARE(explorer()->sectionNumber(), 0);
    QCOMPARE(explorer()->table()->model()->rowCount(), 0);
  }

  void selectionIsSharedByTableDrawingAndChecks_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<FiberKind>("kind");
    QTest::addColumn<int>("fiber");
    QTest::newRow("table row, steel") << "table" << FiberKind::Steel << 2;  // after 3 concrete
    QTest::newRow("click on a disc") << "drawing" << FiberKind::Concrete << 2;
    QTest::newRow("click on a bar over concrete") << "drawing" << FiberKind::Steel << 1;
    QTest::newRow("finding") << "checks" << FiberKind::Steel << 2;
  }
  void selectionIsSharedByTableDrawingAndChecks() {
    QFETCH(QString, from);
    QFETCH(FiberKind, kind);
    QFETCH(int, fiber);
    // Concrete 3 lies on concrete 1, bar 1 on concrete 1 and has no area, bar 2 lies far out.
    exploreFile(3, 2,
                "1\n300 300 30000\n0 0 100 0 0 0 0 0\n100 0 100 0 0 0 0 0\n"
                "0 0 100 0 0 0 0 0\n0 0 0 0 0\n500 500 10 0 0\n");
    auto* checks = explorer()->findChild<QListWidget*>("ExplorerChecks");
    QStringList findings;
    for (int i = 0; i < checks->count(); ++i) findings << checks->item(i)->text();
    // The section's own issues follow its fibers', as in the table of every section.
    QCOMPARE(findings,
             (QStringList{"第 1 根与第 3 根混凝土纤维重合", "第 1 根钢筋纤维面积为 0",
                          "第 2 根钢筋在混凝土范围之外", "混凝土区域的宽度与 B 相差 -33.3 %",
                          "混凝土区域的高度与 H 相差 -99.3 %"}));

    const FiberRef wanted{kind, fiber};
    if (from == QLatin1String("table")) {
      QTableView* table = explorer()->table();
      const QRect row = table->visualRect(table->model()->index(3 + fiber - 1, 0));
      QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
    } else if (from == QLatin1String("drawing")) {
      QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, discInView(wanted));
    } else {
      checks->setCurrentRow(2);
    }
    QCOMPARE(view()->shownSelection(), std::vector<FiberRef>{wanted});
    QCOMPARE(explorer()->selectedFiber(), std::optional<FiberRef>(wanted));

    // A click beside every disc selects nothing, in both.
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(view()->shownSelection(), std::vector<FiberRef>{});
    QCOMPARE(explorer()->selectedFiber(), std::nullopt);
  }

  void tableSortsNumbersAsNumbers() {
    explore("old_no_titles.txt", 1);
    QTableView* table = explorer()->table();
    const auto cell = [table](int row, int column) {
      return table->model()->index(row, column).data().toString();
    };
    table->sortByColumn(2, Qt::AscendingOrder);  // x; as text "-100" would come first
    QCOMPARE(cell(0, 2), QStringLiteral("-166.667"));
    QCOMPARE(cell(39, 2), QStringLiteral("166.667"));
    table->sortByColumn(7, Qt::AscendingOrder);  // 值6, which bars do not have
    QCOMPARE(cell(35, 0), QStringLiteral("混凝土"));
    QCOMPARE(cell(36, 7), QString());
  }

  // The summary's rows, each as its cells joined by spaces.
  QStringList summaryRows() {
    auto* tree = explorer()->findChild<QTreeWidget*>("ExplorerSummary");
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      QStringList cells;
      for (int c = 0; c < tree->columnCount(); ++c) {
        if (!tree->topLevelItem(i)->text(c).isEmpty()) cells << tree->topLevelItem(i)->text(c);
      }
      rows << cells.join(' ');
    }
    return rows;
  }

  // Each statement sets like beside like: the round column of the samples is right, so no
  // B × H stands beside its area, and the stiffnesses are divided by figures about the axes
  // they were taken about.
  void summaryComparesLikeWithLike_data() {
    QTest::addColumn<bool>("newVersion");
    QTest::addColumn<QByteArray>("file");  // a crafted file when it does not name a sample
    QTest::addColumn<int>("section");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("old version, round column")
        << false << QByteArray("old_titles.txt") << 3
        << QStringList{"36 根", "形状 不是矩形", "B 与区域宽度 文件 600，区域 601.15",
                       "H 与区域高度 文件 600，区域 601.15",
                       "混凝土区域不是矩形，B × H "
                       "是它外接矩形的面积而不是截面的面积，所以不与区域面积比较。"}
        << QStringList{"-21.5 %", "B × H 与"};
    QTest::newRow("old version, rectangle")
        << false << QByteArray("old_titles.txt") << 1
        << QStringList{"形状 矩形", "B × H 与区域面积 文件 240000，区域 240000.3", "相差 0.0 %"}
        << QStringList{};
    QTest::newRow("new version, corner column about the origin")
        << true << QByteArray("new_titles.txt") << 5
        << QStringList{"刚度所取的轴 过坐标原点，平行于 x、y", "EA / ΣAc 30000\n",
                       "EIxx / Ixx 30000.1864802", "EIyy / Iyy 30000.1864802"}
        << QStringList{"B × H"};
    QTest::newRow("old version, B as text")
        << false << QByteArray("1\n300, abc, 30000\n0 0 100 0 0 0 0 0\n") << 1
        << QStringList{"文件中 B 是文字“abc”，不是数字，无法与纤维比较。"} << QStringList{"B × H"};
  }
  void summaryComparesLikeWithLike() {
    QFETCH(bool, newVersion);
    QFETCH(QByteArray, file);
    QFETCH(int, section);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);
    control<QRadioButton>(newVersion ? "Option7" : "Option6")->setChecked(true);
    if (file.endsWith(".txt")) {
      control<QRadioButton>("Option12")->setChecked(true);
      explore(file.constData(), section);
    } else {
      exploreFile(1, 0, file);
    }
    const QString text = summaryRows().join('\n');
    for (const QString& e : expected) QVERIFY2(text.contains(e), qPrintable(e + "\n" + text));
    for (const QString& a : absent) QVERIFY2(!text.contains(a), qPrintable(a + "\n" + text));
  }

  // Ten million units from the origin, at the deepest zoom: the table tells fibers one unit
  // apart, the ruler's labels differ, a drag pans and a selected disc comes into view.
  void worksFarFromTheOriginAtTheDeepestZoom() {
    exploreFile(3, 1,
                "1\n3 2 30000\n10000000 10000000 1 1 0 0 0 0\n10000001 10000000 1 1 0 0 0 0\n"
                "10000002 10000000 1 1 0 0 0 0\n10000001.5 10000000.3 0.01 2 0\n");
    QTableView* table = explorer()->table();
    QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("10000000"));
    QCOMPARE(table->model()->index(1, 2).data().toString(), QStringLiteral("10000001"));
    QVERIFY(table->columnWidth(2) >=
            table->fontMetrics().horizontalAdvance(QStringLiteral("10000001.5")));

    for (int i = 0; i < 40; ++i) view()->zoomIn();
    QStringList labels;
    for (const double v : view()->visibleTicks(Qt::Horizontal)) {
      labels << QString::fromStdString(tickText(v, view()->tickStep(Qt::Horizontal)));
    }
    QVERIFY2(labels.size() >= 2 && labels.removeDuplicates() == 0, qPrintable(labels.join(' ')));
    // Neighbouring labels do not overlap, and the left ruler is wide enough for its own.
    const QFontMetrics metrics(view()->font());
    const double apart = view()->tickStep(Qt::Horizontal) / view()->pixelSize();
    for (const QString& label : labels) QVERIFY(metrics.horizontalAdvance(label) < apart);
    const double up = view()->tickStep(Qt::Vertical);
    for (const double v : view()->visibleTicks(Qt::Vertical)) {
      const QString label = QString::fromStdString(tickText(v, up));
      QVERIFY2(metrics.horizontalAdvance(label) < view()->viewport()->x(), qPrintable(label));
    }

    const FiberRef bar{FiberKind::Steel, 1};
    const FiberRef farEnd{FiberKind::Concrete, 3};
    for (const FiberRef f : {farEnd, bar}) {
      explorer()->selectFiber(f);
      QVERIFY2(view()->viewport()->rect().contains(discInView(f)),
               qPrintable(QString::number(f.fiber)));
      QCOMPARE(view()->shownSelection(), std::vector<FiberRef>{f});
    }
    const QPoint from = view()->viewport()->rect().center();
    const QPointF before = view()->sectionAt(from);
    QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view()->viewport(), from + QPoint(40, 0));
    QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, from + QPoint(40, 0));
    QCOMPARE(qRound((before.x() - view()->sectionAt(from).x()) / view()->pixelSize()), 40);
  }

  void copiesSelectedRowsForASpreadsheet() {
    explore("old_no_titles.txt", 1);
    QTableView* table = explorer()->table();
    explorer()->selectFiber(FiberRef{FiberKind::Concrete, 2});
    table->selectionModel()->select(table->model()->index(37, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(view()->shownSelection().size(), 2u);
    table->setFocus();
    QTest::keySequence(table, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("类型\t编号\tx\ty\t面积\t值4\t值5\t值6\t值7\t值8\n"
                            "混凝土\t2\t-100\t-250\t6666.6667\t1\t-30\t0.002\t0.0035\t0\n"
                            "钢筋\t2\t150\t-250\t490.8739\t2\t400\t\t\t\n"));
  }

  // Each material number its own colour, named with its count in the legend; the main
  // window keeps red and black.
  void coloursByMaterialWithALegend() {
    explore("old_no_titles.txt", 1);
    explorer()->findChild<QAction*>(QStringLiteral("ColourByMaterialAction"))->trigger();
    auto* legend = explorer()->findChild<QLabel*>(QStringLiteral("MaterialLegend"));
    QVERIFY(legend->isVisible());
    QCOMPARE(legend->accessibleName(),
             QStringLiteral("材料图例：材料 1：混凝土 36 根；材料 2：钢筋 4 根"));
    const QImage image = view()->viewport()->grab().toImage();
    const QPoint at = discInView({FiberKind::Concrete, 8}) * image.devicePixelRatio();
    QCOMPARE(image.pixelColor(at), materialColour(0));
    QCOMPARE(image.pixelColor(discInView({FiberKind::Steel, 1}) * image.devicePixelRatio()),
             materialColour(1));
  }

  // The region the check used is drawn, and a title is shown as it is written.
  void drawsTheRegionAndShowsTitlesAsText() {
    control<QRadioButton>("Option7")->setChecked(true);
    exploreFile(1, 0, "1\n<b>KZ1</b>\n1e9 1e13 1e13\n0 0 90000 1 0 0 0 0\n");
    auto* heading = explorer()->findChild<QLabel*>("ExplorerHeading");
    QCOMPARE(heading->textFormat(), Qt::PlainText);
    QVERIFY2(heading->text().contains(QStringLiteral("<b>KZ1</b>")), qPrintable(heading->text()));
    const QRectF region =
        qgraphicsitem_cast<QGraphicsPathItem*>(view()->regionItem())->path().boundingRect();
    QCOMPARE(qRound(region.width()), 300);
    QCOMPARE(qRound(region.height()), 300);
  }

  void zoomKeepsThePointUnderTheCursorAndFitReturns_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<double>("factor");
    QTest::newRow("Ctrl+=") << "Ctrl+=" << 1.25;
    QTest::newRow("Ctrl+-") << "Ctrl+-" << 0.8;
    QTest::newRow("wheel forward two steps") << "240" << 1.25;
    QTest::newRow("wheel back one step") << "-120" << 1 / std::sqrt(1.25);
  }
  void zoomKeepsThePointUnderTheCursorAndFitReturns() {
    QFETCH(QString, how);
    QFETCH(double, factor);
    explore("old_no_titles.txt", 5);
    const QTransform fitted = view()->transform();
    const QPoint at = view()->viewport()->rect().center() + QPoint(60, -40);
    const QPointF before = view()->sectionAt(at);
    if (how.startsWith(QLatin1String("Ctrl"))) {
      QTest::keySequence(explorer(), QKeySequence(how));
    } else {
      QWheelEvent wheel(at, view()->viewport()->mapToGlobal(at), {}, QPoint(0, how.toInt()),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view()->viewport(), &wheel);
      // Within a pixel: scrolling moves by whole pixels.
      const QPointF drift = view()->sectionAt(at) - before;
      QVERIFY2(drift.manhattanLength() <= 2 * view()->pixelSize(),
               qPrintable(QStringLiteral("%1, %2").arg(drift.x()).arg(drift.y())));
    }
    QCOMPARE(view()->transform().m11(), fitted.m11() * factor);
    QTest::keySequence(explorer(), QKeySequence(QStringLiteral("Ctrl+0")));
    QCOMPARE(view()->transform(), fitted);
  }

  // The drawing fits the fibers, not the origin: a square fills the view alike in
  // millimetres, metres and kilometres, and fibers far out fit even where discs have no size.
  void fitsTheFibers_data() {
    QTest::addColumn<QByteArray>("fibers");  // concrete fibers, one a line
    QTest::addColumn<bool>("square");        // of side 150 between the centres
    for (const double unit : {1.0, 1e-3, 1e-6}) {
      QByteArray file;
      for (const auto& [x, y] : {std::pair{-75, -75}, {75, -75}, {-75, 75}, {75, 75}}) {
        file += QByteArray::number(x * unit, 'g', 17) + ' ' +
                QByteArray::number(y * unit, 'g', 17) + ' ' +
                QByteArray::number(22500 * unit * unit, 'g', 17) + " 1 0 0 0 0\n";
      }
      QTest::addRow("square, unit %g", unit) << file << true;
    }
    QTest::newRow("discs") << QByteArray("5000 9000 400 0 0 0 0 0\n5100 9050 400 0 0 0 0 0\n")
                           << false;
    QTest::newRow("points in a row")
        << QByteArray("5000 9000 0 0 0 0 0 0\n5100 9000 0 0 0 0 0 0\n") << false;
    QTest::newRow("one point twice")
        << QByteArray("5000 9000 0 0 0 0 0 0\n5000 9000 0 0 0 0 0 0\n") << false;
  }
  void fitsTheFibers() {
    QFETCH(QByteArray, fibers);
    QFETCH(bool, square);
    exploreFile(static_cast<int>(fibers.count('\n')), 0, "1\n300 300 30000\n" + fibers);
    const QRect shown = view()->viewport()->rect();
    for (int fiber = 1; fiber <= fibers.count('\n'); ++fiber) {
      const QPoint at = discInView({FiberKind::Concrete, fiber});
      QVERIFY2(shown.adjusted(10, 10, -10, -10).contains(at),
               qPrintable(QStringLiteral("fiber %1 at %2, %3").arg(fiber).arg(at.x()).arg(at.y())));
    }
    if (square) {
      const double across =
          discInView({FiberKind::Concrete, 2}).x() - discInView({FiberKind::Concrete, 1}).x();
      const double share = across / view()->viewport()->width();
      QVERIFY2(share > 0.3 && share < 0.6, qPrintable(QString::number(share)));
    } else {
      QVERIFY(view()->pixelSize() < 10);
    }
  }

  // The main drawing's copy is checked with the window; this is the explorer's.
  void copiesThePictureAtTwiceTheDevicePixelsWithACaption() {
    QGuiApplication::clipboard()->clear();
    explore("old_no_titles.txt", 1);
    const QPoint bar = discInView({FiberKind::Steel, 1}) + view()->viewport()->pos();
    view()->setFocus();
    QTest::keySequence(view(), QKeySequence::Copy);
    const QImage image = QGuiApplication::clipboard()->image();
    const qreal ratio = 2 * view()->devicePixelRatioF();
    QCOMPARE(image.width(), qRound(view()->width() * ratio));
    QCOMPARE(image.pixelColor((QPointF(bar) * ratio).toPoint()), QColor(0, 0, 0));
    QCOMPARE(image.text(QStringLiteral("Description")),
             QStringLiteral("old_no_titles.txt  第 1 节"));
  }
};

QTEST_MAIN(SectionExplorerTest)
#include "section_explorer_test.moc"
