#include "app/form1.h"

#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/twips.h"
#include "plot/section_plot_widget.h"

using namespace fiberview;

namespace {

// Answers the Open dialog from a queue and records what the window reported.
class FakeDialogs final : public UserDialogs {
 public:
  QStringList nextFiles;  // an empty entry cancels the dialog
  QStringList reports;
  int dialogsShown = 0;
  QString lastFolder, lastFilter, lastTitle;

  QString chooseFile(const QString& folder, const QString& filter, const QString& title) override {
    ++dialogsShown;
    lastFolder = folder;
    lastFilter = filter;
    lastTitle = title;
    return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
  }
  void reportFailure(const QString& message) override { reports << message; }
};

QString sample(const char* name) {
  return QStringLiteral(FIBERVIEW_SAMPLES "/") + QString::fromLatin1(name);
}

QStringList entries(QComboBox* combo) {
  QStringList out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Form1> form;
  FakeDialogs* dialogs = nullptr;
  QTemporaryDir dir;

  template <typename T>
  T* control(const char* name) {
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }
  QComboBox* combo() { return control<QComboBox>("Combo1"); }
  SectionPlotWidget* picture() { return control<SectionPlotWidget>("Picture1"); }
  QString label(const char* name) { return control<QLabel>(name)->text(); }
  void click(const char* button) {
    QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
  }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write a test file");
    f.write(bytes);
    return f.fileName();
  }

  void read(const QString& path) {
    dialogs->nextFiles << path;
    click("Command5");
  }

  // The colour at a point of the drawing area given in twips of its inner area.
  QColor pixelAt(double xTwips, double yTwips) {
    const QImage image = picture()->grab().toImage();
    const QPoint inner = picture()->contentsRect().topLeft();
    return image.pixelColor(inner.x() + qRound(xTwips / kTwipsPerPixel),
                            inner.y() + qRound(yTwips / kTwipsPerPixel));
  }

 private slots:
  void init() {
    auto fake = std::make_unique<FakeDialogs>();
    dialogs = fake.get();
    form = std::make_unique<Form1>(std::move(fake));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  void cleanup() { form.reset(); }

  void startsWithDefaults() {
    QVERIFY(control<QRadioButton>("Option6")->isChecked());
    QVERIFY(!control<QRadioButton>("Option7")->isChecked());
    QVERIFY(control<QRadioButton>("Option11")->isChecked());
    QVERIFY(!control<QRadioButton>("Option12")->isChecked());
    QCOMPARE(control<QLineEdit>("TextConcrete")->text(), QStringLiteral("36"));
    QCOMPARE(control<QLineEdit>("TextSteel")->text(), QStringLiteral("4"));
    QCOMPARE(combo()->count(), 0);
    QCOMPARE(combo()->currentIndex(), -1);
    QCOMPARE(combo()->currentText(), QStringLiteral("Combo1"));
    QCOMPARE(label("Label2"), QStringLiteral("Label2"));
    QCOMPARE(label("Label3"), QStringLiteral("Label3"));
  }

  void openDialogOffersTextFilesInProgramFolder() {
    click("Command5");
    QCOMPARE(dialogs->dialogsShown, 1);
    QCOMPARE(dialogs->lastFolder, QCoreApplication::applicationDirPath());
    QCOMPARE(dialogs->lastFilter, QStringLiteral("文本文件 (*.txt)"));
    QCOMPARE(dialogs->lastTitle, QStringLiteral("打开文件"));
  }

  void capturesSettingsEvenWhenTheDialogIsCancelled() {
    control<QLineEdit>("TextConcrete")->setText(QStringLiteral(" 3 6.5"));
    control<QLineEdit>("TextSteel")->setText(QStringLiteral("4.5abc"));
    control<QRadioButton>("Option12")->setChecked(true);
    click("Command5");
    QCOMPARE(form->capturedOptions().concreteCount, std::int16_t{36});
    QCOMPARE(form->capturedOptions().steelCount, 4.5);
    QVERIFY(form->capturedOptions().hasTitleLine);
    QVERIFY(dialogs->reports.isEmpty());
    QCOMPARE(combo()->count(), 0);
  }

  void refusesCountsTheStoreCannotHold_data() {
    QTest::addColumn<QString>("concrete");
    QTest::addColumn<QString>("steel");
    QTest::addColumn<QString>("box");
    QTest::newRow("concrete 101") << "101"
                                  << "4"
                                  << "混凝土数量";
    QTest::newRow("concrete beyond 16 bits") << "40000"
                                             << "4"
                                             << "混凝土数量";
    QTest::newRow("concrete far negative") << "-40000"
                                           << "4"
                                           << "混凝土数量";
    QTest::newRow("steel 101") << "36"
                               << "101"
                               << "钢筋数量";
    QTest::newRow("steel infinite") << "36"
                                    << "1e999"
                                    << "钢筋数量";
  }
  void refusesCountsTheStoreCannotHold() {
    QFETCH(QString, concrete);
    QFETCH(QString, steel);
    QFETCH(QString, box);
    control<QLineEdit>("TextConcrete")->setText(concrete);
    control<QLineEdit>("TextSteel")->setText(steel);
    click("Command5");
    QCOMPARE(dialogs->dialogsShown, 0);
    QCOMPARE(dialogs->reports.size(), 1);
    QVERIFY2(dialogs->reports[0].contains(box), qPrintable(dialogs->reports[0]));
    QVERIFY2(dialogs->reports[0].contains(QStringLiteral("100")), qPrintable(dialogs->reports[0]));
    // Nothing was taken from the window.
    QCOMPARE(form->capturedOptions().concreteCount, std::int16_t{0});
    QCOMPARE(form->capturedOptions().steelCount, 0.0);
  }

  void acceptsCountsAtTheLimit() {
    control<QLineEdit>("TextConcrete")->setText(QStringLiteral("100.5"));
    control<QLineEdit>("TextSteel")->setText(QStringLiteral("100.9"));
    click("Command5");
    QVERIFY(dialogs->reports.isEmpty());
    QCOMPARE(form->capturedOptions().concreteCount, std::int16_t{100});
  }

  void readListsEverySectionAndSelectsTheFirst() {
    read(sample("old_no_titles.txt"));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QCOMPARE(entries(combo()), (QStringList{" 1", " 2", " 3", " 4", " 5"}));
    QCOMPARE(combo()->currentIndex(), 0);
  }

  void titlesShowInEitherEncoding() {
    control<QRadioButton>("Option7")->setChecked(true);
    read(sample("new_titles_gbk.txt"));
    const QStringList gbk = entries(combo());
    read(sample("new_titles.txt"));
    QCOMPARE(entries(combo()), gbk);
    QCOMPARE(gbk.value(0), QStringLiteral(" 1 矩形柱 KZ1 400×600"));
  }

  void secondReadReplacesTheFirst() {
    read(sample("old_no_titles.txt"));
    control<QRadioButton>("Option12")->setChecked(true);
    read(sample("old_titles.txt"));
    QCOMPARE(combo()->count(), 5);
    QCOMPARE(combo()->itemText(4), QStringLiteral(" 5 KZ3 CORNER 300x300, origin at corner"));
    // An untitled read after a titled one leaves no title behind.
    control<QRadioButton>("Option11")->setChecked(true);
    read(sample("old_no_titles.txt"));
    QCOMPARE(combo()->itemText(0), QStringLiteral(" 1"));
    QCOMPARE(form->store().sections.at(0).title, std::string());

    read(writeFile("empty.txt", "0\n"));
    QCOMPARE(combo()->count(), 0);
    QCOMPARE(combo()->currentIndex(), -1);
    QVERIFY(dialogs->reports.isEmpty());
  }

  void failedReadChangesNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("count mismatch")
        << QByteArray("2\n1 2 3\n1 1 1 0 0 0 0 0\n9 9 9 0 0\n1 2 3\n1 1 B 0 0 0 0 0\n")
        << QStringLiteral(
               "第 6 行，第 5 列：读取第 2 节第 1 根混凝土纤维的第 3 "
               "个值时，应为数字，实际为“B”。\n"
               "请检查纤维数量（混凝土 1 根，钢筋 1 根）和“无说明行”选项是否与文件相符。");
    QTest::newRow("file ends early")
        << QByteArray("1\n1 2 3\n1 1 1 0\n")
        << QStringLiteral(
               "第 4 行，第 1 列：读取第 1 节第 1 根混凝土纤维的第 5 "
               "个值时，文件已经结束，还缺少数据。\n"
               "请检查纤维数量（混凝土 1 根，钢筋 1 根）和“无说明行”选项是否与文件相符。");
    QTest::newRow("too many sections")
        << QByteArray("2001\n")
        << QStringLiteral(
               "第 1 行，第 1 列：读取节数（文件的第一个数）时，节数为 2001，最多只能有 2000 节。");
  }
  void failedReadChangesNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    read(sample("old_no_titles.txt"));
    combo()->setCurrentIndex(2);
    const QStringList before = entries(combo());

    control<QLineEdit>("TextConcrete")->setText(QStringLiteral("1"));
    control<QLineEdit>("TextSteel")->setText(QStringLiteral("1"));
    const QString path = writeFile(QStringLiteral("bad.txt"), bytes);
    read(path);

    QCOMPARE(dialogs->reports.size(), 1);
    QVERIFY2(dialogs->reports[0].contains(QDir::toNativeSeparators(path)),
             qPrintable(dialogs->reports[0]));
    QVERIFY2(dialogs->reports[0].endsWith(expected), qPrintable(dialogs->reports[0]));
    QCOMPARE(entries(combo()), before);
    QCOMPARE(combo()->currentIndex(), 2);
    QCOMPARE(form->store().sections.size(), std::size_t{5});
    QCOMPARE(form->store().sections.at(0).concrete.size(), std::size_t{36});
  }

  void unopenableFileIsReportedWithTheReason() {
    read(dir.path());
    QCOMPARE(dialogs->reports.size(), 1);
    QVERIFY2(dialogs->reports[0].contains(QStringLiteral("文件夹")),
             qPrintable(dialogs->reports[0]));
    read(dir.filePath(QStringLiteral("gone.txt")));
    QVERIFY2(dialogs->reports.value(1).contains(QStringLiteral("文件不存在")),
             qPrintable(dialogs->reports.value(1)));
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
