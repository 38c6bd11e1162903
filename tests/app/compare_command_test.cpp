#include "app/compare_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <utility>

#include "tests/app/compare_files.h"
#include "tests/widgets/csv_fields.h"
#include "widgets/compare_table_model.h"

using namespace fiberview;

class CompareCommandTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

  QString write(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write");
    return f.fileName();
  }
  int run(const QStringList& arguments) {
    return runCompare(QStringList{QStringLiteral("fiberview"), QStringLiteral("--compare")} +
                      arguments);
  }
  // Runs with standard output or error (`stream`, 1 or 2) in a file; returns what went there.
  QByteArray runInto(int stream, const QStringList& arguments, int& status) {
    const QString path = dir.filePath(QStringLiteral("stream.txt"));
    std::fflush(stream == 1 ? stdout : stderr);
    const int saved = ::dup(stream);
    const int file =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, stream);
    ::close(file);
    status = run(arguments);
    std::fflush(stream == 1 ? stdout : stderr);
    ::dup2(saved, stream);
    ::close(saved);
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

 private slots:
  void initTestCase() {
    std::vector<Section> old = {column(1), column(2), column(3)};
    write(QStringLiteral("old.txt"), fileText(old));
    old[1].steel[2][2] = 314;
    write(QStringLiteral("new.txt"), fileText(old));
    // Properties that are neither sizes nor stiffnesses: a titled file of no telling version.
    write(QStringLiteral("untold.txt"),
          "1\nA\n1 1 1\n0 0 100 1 -30 0.002 0.0035 0\n5 5 100 1 -30 0.002 0.0035 0\n");
  }

  void exitStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::newRow("same") << QStringList{"old.txt", "old.txt"} << 0;
    QTest::newRow("differ") << QStringList{"old.txt", "new.txt"} << 1;
    QTest::newRow("one file") << QStringList{"old.txt"} << 2;
    QTest::newRow("tolerance not a number")
        << QStringList{"old.txt", "new.txt", "--tolerance", "x"} << 2;
    QTest::newRow("missing file") << QStringList{"old.txt", "none.txt"} << 3;
    QTest::newRow("version untold") << QStringList{"untold.txt", "old.txt"} << 4;
    // The reading options of --check apply to both files.
    QTest::newRow("version given") << QStringList{"untold.txt", "untold.txt", "--new"} << 0;
    QTest::newRow("counts that do not fit the file")
        << QStringList{"old.txt", "old.txt", "--concrete", "35"} << 3;
    QTest::newRow("output that cannot be written")
        << QStringList{"old.txt", "new.txt", "--csv", "/proc/self/比较.csv"} << 5;
    QTest::newRow("count not a number")
        << QStringList{"old.txt", "new.txt", "--concrete", "x"} << 2;
  }
  void exitStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    for (QString& a : arguments) {
      if (a.endsWith(QStringLiteral(".txt"))) a = dir.filePath(a);
    }
    QCOMPARE(run(arguments), exit);
  }

  // Mistakes on the command line are told in the words --check uses.
  void usageMistakesInChinese() {
    const QString old = dir.filePath(QStringLiteral("old.txt"));
    for (const auto& [arguments, told] :
         {std::pair{QStringList{old, old, QStringLiteral("--bogus")}, "未知选项“--bogus”"},
          std::pair{QStringList{old, old, QStringLiteral("--csv")}, "选项“--csv”后面缺少值"},
          std::pair{QStringList{old, old, QStringLiteral("--concrete")},
                    "选项“--concrete”后面缺少值"}}) {
      int status = -1;
      const QString message = QString::fromLocal8Bit(runInto(2, arguments, status));
      QCOMPARE(status, 2);
      QVERIFY2(message.contains(QString::fromUtf8(told)), qPrintable(message));
    }
  }

  void jsonAndCsvReadBack() {
    const QString json = dir.filePath(QStringLiteral("out.json"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QCOMPARE(run({dir.filePath(QStringLiteral("old.txt")), dir.filePath(QStringLiteral("new.txt")),
                  QStringLiteral("--json"), json, QStringLiteral("--csv"), csv}),
             1);
    QFile j(json);
    QVERIFY(j.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(j.readAll()).object();
    QCOMPARE(root[QStringLiteral("version")].toInt(), 1);
    QCOMPARE(root[QStringLiteral("matching")].toString(), QStringLiteral("title"));
    QCOMPARE(root[QStringLiteral("counts")].toObject()[QStringLiteral("changed")].toInt(), 1);
    const QJsonObject second = root[QStringLiteral("sections")].toArray()[1].toObject();
    QCOMPARE(second[QStringLiteral("status")].toString(), QStringLiteral("changed"));
    const QJsonObject change = second[QStringLiteral("changes")].toArray()[0].toObject();
    QCOMPARE(change[QStringLiteral("code")].toString(), QStringLiteral("fiber-resized"));
    QCOMPARE(change[QStringLiteral("oldFiber")].toInt(), 3);
    QCOMPARE(change[QStringLiteral("before")].toDouble(), 492.9);
    QCOMPARE(change[QStringLiteral("after")].toDouble(), 314.0);
    QCOMPARE(
        second[QStringLiteral("figuresAfter")].toObject()[QStringLiteral("steelArea")].toDouble(),
        3 * 492.9 + 314);

    // "-" is standard output, which then holds the JSON alone.
    int status = -1;
    const QByteArray printed =
        runInto(1,
                {dir.filePath(QStringLiteral("old.txt")), dir.filePath(QStringLiteral("new.txt")),
                 QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("--quiet")},
                status);
    QCOMPARE(status, 1);
    QCOMPARE(QJsonDocument::fromJson(printed).object(), root);

    QFile c(csv);
    QVERIFY(c.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(c.readAll().mid(3)));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[2].mid(0, CompareTableModel::kChanges),
             (QStringList{"2", "KZ2", "2", "KZ2", "改变"}));
  }
};

QTEST_MAIN(CompareCommandTest)
#include "compare_command_test.moc"
