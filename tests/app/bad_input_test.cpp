// Files that are not what the Read command expects, chosen in its dialog after a good file
// was read and a section selected. A bad file is refused with a message that says what went
// wrong and where, and the store, the section list and the selection stay as they were. The
// few odd files that are fine (CR line ends, a DOS end-of-file mark, no sections) read in
// full. Large inputs are made here at run time rather than kept in the repository.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/form1.h"
#include "window_fixture.h"

using namespace fiberview;

namespace {

// How a row's input reaches the dialog.
enum class Made {
  AsWritten,        // `bytes` written to a file
  CraftedFile,      // `bytes` names a file in the crafted test files
  HundredMBTitle,   // a new-version file whose first title line is 100 MB long
  Folder,           // a folder instead of a file
  DanglingLink,     // a symbolic link to a file that does not exist
  ReadFailsOnDisk,  // a file that opens but whose first read fails (EIO)
};

// Two new-version sections of 2 concrete and 1 steel fiber each, with titles A and B.
const char kTwoSections[] =
    "2\nA\n1 2 3\n1 1 1 0 0 0 0 0\n2 2 2 0 0 0 0 0\n9 9 9 0 0\n"
    "B\n1 2 3\n1 1 1 0 0 0 0 0\n2 2 2 0 0 0 0 0\n9 9 9 0 0\n";

// `count` sections without fibers, titled T1, T2, ... when `titled`.
QByteArray sectionsWithoutFibers(int count, bool titled) {
  QByteArray out = QByteArray::number(count) + '\n';
  for (int i = 1; i <= count; ++i) {
    if (titled) out += 'T' + QByteArray::number(i) + '\n';
    out += "400 300 30000\n";
  }
  return out;
}

QStringList listOf(int count, bool titled) {
  QStringList out;
  for (int i = 1; i <= count; ++i) {
    out << (titled ? QStringLiteral(" %1 T%1").arg(i) : QStringLiteral(" %1").arg(i));
  }
  return out;
}

// The settings a file is read with.
struct Settings {
  bool newVersion = false, titles = false;
  const char *concrete = "0", *steel = "0";
};

// A file chosen in the dialog, the settings it is read with, and what must follow.
struct Choice {
  Made made;
  QByteArray bytes;
  Settings settings;
  QString kind;      // words the message must hold; empty: the read succeeds
  int line, column;  // 0: the message names no position
  QStringList list;  // the section list after a read that succeeds
};

}  // namespace

Q_DECLARE_METATYPE(Choice)

class BadInputTest : public WindowFixture {
  Q_OBJECT

 private:
  QString inputPath(Made made, const QByteArray& bytes) {
    switch (made) {
      case Made::AsWritten:  // under a name that messages must quote exactly, '%' and all
        return writeFile(QStringLiteral("KZ%2C1 柱.txt"), bytes);
      case Made::CraftedFile:
        return QStringLiteral(FIBERVIEW_TEST_DATA "/") + QString::fromLatin1(bytes);
      case Made::HundredMBTitle:
        return writeFile(QStringLiteral("long_line.txt"),
                         "1\n" + QByteArray(100 << 20, 'x') + "\n1 2 3\n");
      case Made::Folder:
        return dir.path();
      case Made::DanglingLink: {
        const QString link = dir.filePath(QStringLiteral("dangling.txt"));
        QFile::remove(link);
        if (!QFile::link(dir.filePath(QStringLiteral("gone.txt")), link)) qFatal("no link");
        return link;
      }
      case Made::ReadFailsOnDisk:
        // Reading a process's own memory at address 0 fails with EIO, even for root, for
        // whom no permission bits stop a read.
        return QStringLiteral("/proc/self/mem");
    }
    return {};
  }

  static void failure(const char* name, const QByteArray& bytes, const char* kind, int line,
                      int column, Settings settings = {}, Made made = Made::AsWritten) {
    QTest::newRow(name) << Choice{made, bytes, settings, QString::fromUtf8(kind), line, column, {}};
  }
  static void success(const char* name, const QByteArray& bytes, const QStringList& list,
                      Settings settings = {}, Made made = Made::AsWritten) {
    QTest::newRow(name) << Choice{made, bytes, settings, {}, 0, 0, list};
  }

 private slots:

  void badFileIsRefusedAndLeavesTheWindowAsItWas_data() {
    QTest::addColumn<Choice>("choice");
    const Settings samples{.concrete = "36", .steel = "4"};  // the window's first counts
    const Settings newVersion{.newVersion = true};

    failure("empty file", "", "读取节数（文件的第一个数）时，文件已经结束", 1, 1, samples);
    failure("UTF-16 with byte order mark", "utf16le_bom.txt", "UTF-16", 1, 1,
            {.newVersion = true, .concrete = "2"}, Made::CraftedFile);
    failure("UTF-16 without byte order mark", QByteArray("1\0\r\0\n\0", 6), "应为数字，实际为“1?”",
            1, 1);

    // A number cut by the end of the file still reads; the next field finds the end.
    failure("truncated in a number", "1\n400 300 30000\n1 2 3.1",
            "第 1 节第 1 根混凝土纤维的第 4 个值时，文件已经结束", 3, 8, {.concrete = "1"});
    failure("truncated in a quoted title", "1\n\"KZ1, 400",
            "第 1 节的说明行时，以引号开头的说明行没有配对的引号", 2, 1, newVersion);
    failure("ends at the DOS end mark before the last section",
            QByteArray("3\n1 2 3\n1 2 3\n\x1A") + "1 2 3\n",
            "第 3 节的第 1 个截面特性（H）时，文件已经结束", 4, 1);

    failure("section count -1", "-1\n400 300 30000\n", "不能为负数", 1, 1);
    success("section count 0 empties the list", "0\n", {});
    failure("section count 32767 beyond memory", "32767\n",
            "读入这些截面约需 111.7 GB 内存，超过了本机可供读取的约", 1, 1,
            {.concrete = "32767", .steel = "32767"});
    failure("section count 40000", "40000\n", "节数“40000”超出 0 到 32767 的范围", 1, 1);
    success("1001 titled sections", sectionsWithoutFibers(1001, true), listOf(1001, true),
            newVersion);
    success("1001 old-version titled sections", sectionsWithoutFibers(1001, true),
            listOf(1001, true), {.titles = true});
    success("32767 sections without titles", sectionsWithoutFibers(32767, false),
            listOf(32767, false));

    // The steel fiber takes the second concrete fiber's values and the rest of its line
    // becomes the next title, so a concrete value lands on that title.
    failure("counts too small for the file", kTwoSections,
            "第 2 节第 1 根混凝土纤维的第 3 个值时，应为数字，实际为“B”。\n"
            "请检查读取设置（混凝土 1 根，钢筋 1 根，新版本）是否与文件相符。",
            7, 1, {.newVersion = true, .concrete = "1", .steel = "1"});
    failure("100 MB line", {}, "这一项过长", 2, 1, newVersion, Made::HundredMBTitle);

    failure("folder chosen", {}, "选中的是文件夹，不是文件", 0, 0, samples, Made::Folder);
    failure("dangling link chosen", {}, "”：文件不存在。", 0, 0, samples, Made::DanglingLink);
    failure("file the system cannot read", {}, "读取文件时出错", 1, 1, samples,
            Made::ReadFailsOnDisk);

    success("CR-only line ends", "2\rKZ1\r1 2 3\r1 1 1 0 0 0 0 0\rKZ2\r4 5 6\r2 2 2 0 0 0 0 0\r",
            {QStringLiteral(" 1 KZ1"), QStringLiteral(" 2 KZ2")},
            {.titles = true, .concrete = "1"});
    // After the mark come bytes that are no UTF-8; read, they would turn the titles into
    // GBK mojibake.
    success("DOS end mark ends the file", "dos_end_mark.txt",
            {QStringLiteral(" 1 矩形柱 KZ1"), QStringLiteral(" 2 圆柱 KZ2")},
            {.titles = true, .concrete = "1"}, Made::CraftedFile);
  }

  void badFileIsRefusedAndLeavesTheWindowAsItWas() {
    QFETCH(Choice, choice);
    const auto& [made, bytes, settings, kind, line, column, list] = choice;
    if (made == Made::ReadFailsOnDisk && !QFile::exists(QStringLiteral("/proc/self/mem"))) {
      QSKIP("no /proc on this system");
    }

    read(QStringLiteral(FIBERVIEW_SAMPLES "/old_no_titles.txt"));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QCOMPARE(combo()->count(), 5);
    combo()->setCurrentIndex(2);
    const std::shared_ptr<const SectionStore> storeBefore = form->document().store();
    const QStringList listBefore = entries(combo());

    control<QRadioButton>(settings.newVersion ? "Option7" : "Option6")->setChecked(true);
    control<QRadioButton>(settings.titles ? "Option12" : "Option11")->setChecked(true);
    counts(settings.concrete, settings.steel);
    const QString path = inputPath(made, bytes);
    // The read's progress, due after its delay, must not come up over the message.
    form->setProgressDelay(20);
    bool progressOverMessage = false;
    dialogs->whileShown = [&] {
      // A loop of its own, as a message box runs: it leaves deferred deletions alone.
      QEventLoop shown;
      QTimer::singleShot(60, &shown, &QEventLoop::quit);
      shown.exec();
      for (const QProgressDialog* p : form->findChildren<QProgressDialog*>()) {
        progressOverMessage = progressOverMessage || p->isVisible();
      }
    };
    read(path);
    QVERIFY(!progressOverMessage);

    if (kind.isEmpty()) {
      QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
      QCOMPARE(entries(combo()), list);
      QCOMPARE(form->store().sections.size(), static_cast<std::size_t>(list.size()));
      QCOMPARE(combo()->currentIndex(), list.isEmpty() ? -1 : 0);
      return;
    }

    QCOMPARE(dialogs->reports.size(), 1);
    const QString message = dialogs->reports[0];
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
    QVERIFY2(message.contains(kind), qPrintable(message));
    const QString where = QStringLiteral("第 %1 行，第 %2 列").arg(line).arg(column);
    if (line > 0) {
      QVERIFY2(message.contains(where), qPrintable(message));
    } else {
      QVERIFY2(!message.contains(QStringLiteral(" 行，第 ")), qPrintable(message));
    }
    QCOMPARE(form->document().store(), storeBefore);
    QCOMPARE(entries(combo()), listBefore);
    QCOMPARE(combo()->currentIndex(), 2);
  }
};

QTEST_MAIN(BadInputTest)
#include "bad_input_test.moc"
