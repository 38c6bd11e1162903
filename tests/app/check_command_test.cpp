// fiberview --check run as a script runs it: the built program, without a display, its exit
// statuses and messages, and its outputs read back and set against the window's.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <limits>

#include "app/check_json.h"
#include "tests/app/window_fixture.h"
#include "tests/plot/planted_faults.h"
#include "widgets/all_sections_window.h"
#include "widgets/section_table_model.h"

using namespace fiberview;

namespace {

struct Run {
  int status = -1;
  QString out;
  QString err;
};

// The environment of a script on a machine without a display.
QProcessEnvironment withoutDisplay() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    env.remove(QString::fromLatin1(name));
  }
  env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
  return env;
}

Run run(const QStringList& arguments) {
  QProcess p;
  p.setProcessEnvironment(withoutDisplay());
  p.start(QStringLiteral(FIBERVIEW_PROGRAM), arguments);
  if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return {};
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList findingTexts(const QJsonValue& section) {
  QStringList out;
  for (const QJsonValue& f : section[QLatin1String("findings")].toArray()) {
    out << f[QLatin1String("text")].toString();
  }
  return out;
}

}  // namespace

class CheckCommandTest : public WindowFixture {
  Q_OBJECT

 private:
  // The sample with titles, its first section stated 800 wide for a region 400 wide.
  QString findingsFile() {
    QByteArray text = contents(sample("old_titles.txt"));
    text.replace("\n600, 400, 30000", "\n600, 800, 30000");
    return writeFile(QStringLiteral("wrong B.txt"), text);
  }

 private slots:
  // Without a display: every answer and exit status, the message where the reason goes, and
  // standard error empty when the check goes through (no progress off a terminal).
  void exitStatusesAndMessages_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // a pattern standard output must match
    QTest::addColumn<QString>("err");  // a pattern standard error must match; the
                                       // window of --self-check leaves it to Qt
    const auto row = [](const char* name, QStringList arguments, int status, const char* out,
                        const char* err) {
      QTest::newRow(name) << arguments << status << QString::fromUtf8(out)
                          << QString::fromUtf8(err);
    };
    row("help", {"--help"}, 0, "--check.*--only-findings.*130", "^$");
    row("unknown option after Qt's own", {"-style", "Fusion", "--bogus=1", "@clean"}, 2, "^$",
        "^未知选项“--bogus”");
    row("option without its value", {"--check", "@clean", "--concrete"}, 2, "^$",
        "“--concrete”后面缺少值");
    row("file taken as a count's value", {"--check", "--steel", "@clean"}, 2, "^$",
        "--steel 的值“.*old_titles.txt”不对");
    row("csv of two files", {"--check", "@clean", "@clean", "--csv", "@dir/t.csv"}, 2, "^$",
        "只能用于一个文件");
    row("check option alone", {"--json", "-", "@clean"}, 2, "^$", "“--json”只能与 --check");
    row("self-check after Qt's own option", {"-style", "Fusion", "--self-check", "@gbk"}, 0,
        "通过.*中文字体", "");
    row("clean file", {"--check", "@clean"}, 0, "old_titles.txt：5 节，未发现问题\n$", "^$");
    row("file with findings", {"--check", "@findings"}, 1,
        "wrong B.txt：5 节，其中 1 节有问题\n  第 1 节 KZ1 RECT 400x600：混凝土区域的宽度与 B "
        "相差 -50.0 %\n$",
        "^$");
    row("no such file", {"--check", "@dir/none.txt"}, 3, "^$", "无法打开文件“.*none.txt”");
    row("cut short, settings given",
        {"--check", "--old", "--titles", "--concrete", "36", "--steel", "4", "@cut"}, 3, "^$",
        "第 \\d+ 行，第 \\d+ 列：读取第 2 节");
    row("a field too long for any settings", {"--check", "@long"}, 3, "^$",
        "无法读取文件“.*long.txt”：第 2 行有一项过长");
    // Nothing fits a file cut short, but its first section shows how to read it up to the cut.
    row("cut short, settings untold", {"--check", "@cut"}, 3, "^$",
        "第 \\d+ 行，第 \\d+ 列：读取第 2 节.*文件已经结束.*按第 1 节各行的排列读取：--old "
        "--titles --concrete 36 --steel 4");
    row("settings given do not fit", {"--check", "--steel", "3", "@untitled"}, 4, "^$",
        "可能与文件不符。\n按文件的数值，可以这样读取：\n  --old --no-titles --concrete 36 --steel "
        "4\n$");
    row("unwritable output", {"--check", "@findings", "--json", "@dir/none/t.json"}, 5,
        "5 节，其中 1 节有问题", "^无法写入文件“.*t.json”");
    row("highest status of several", {"--check", "@findings", "@dir/none.txt", "@clean"}, 3,
        "wrong B.txt：.*old_titles.txt：5 节，未发现问题", "^无法打开文件");
  }
  void exitStatusesAndMessages() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QByteArray cut = contents(sample("old_titles.txt"));
    cut.truncate(5000);
    const QMap<QString, QString> files = {
        {QStringLiteral("@clean"), sample("old_titles.txt")},
        {QStringLiteral("@untitled"), sample("old_no_titles.txt")},
        {QStringLiteral("@gbk"), sample("new_titles_gbk.txt")},
        {QStringLiteral("@findings"), findingsFile()},
        {QStringLiteral("@cut"), writeFile(QStringLiteral("cut.txt"), cut)},
        {QStringLiteral("@long"),
         writeFile(QStringLiteral("long.txt"), "1\n" + QByteArray(300000, '7'))},
        {QStringLiteral("@dir"), dir.path()}};
    for (QString& a : arguments) {
      for (auto f = files.begin(); f != files.end(); ++f) a.replace(f.key(), f.value());
    }
    const Run r = run(arguments);
    QCOMPARE(r.status, status);
    const auto matches = [](const QString& text, const QString& pattern) {
      return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)
          .match(text)
          .hasMatch();
    };
    QVERIFY2(matches(r.out, out), qPrintable(r.out));
    QVERIFY2(matches(r.err, err), qPrintable(r.err));
  }

  // The same file gives the same findings in the command line's output and JSON, and the same
  // CSV and report as the window's 导出表格 and 导出报告; the JSON and the CSV read back, and
  // the report names every title.
  void outputsAreTheWindows_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("onlyFindings");
    QTest::addColumn<QStringList>("codes");  // of the findings, in section order
    QTest::newRow("titled, a wrong B")
        << findingsFile() << false << QStringList{QStringLiteral("width-mismatch")};
    QTest::newRow("2000 sections, three faults, only those")
        << writeFile(QByteArray::fromStdString(testing::plantedFileText())) << true
        << QStringList{QStringLiteral("steel-outside-concrete"), QStringLiteral("zero-area"),
                       QStringLiteral("width-mismatch")};
  }
  void outputsAreTheWindows() {
    QFETCH(QString, file);
    QFETCH(bool, onlyFindings);
    QFETCH(QStringList, codes);
    const QString csv = dir.filePath(QStringLiteral("命令行.csv"));
    const QString pdf = dir.filePath(QStringLiteral("命令行.pdf"));
    QStringList arguments = {
        QStringLiteral("--check"), file, QStringLiteral("--json"), QStringLiteral("-"),
        QStringLiteral("--csv"),   csv,  QStringLiteral("--pdf"),  pdf};
    if (onlyFindings) arguments << QStringLiteral("--only-findings");
    const Run r = run(arguments);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err, QString());
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(json[QLatin1String("version")].toInt(), 1);
    const QJsonValue entry = json[QLatin1String("files")][0];
    QCOMPARE(entry[QLatin1String("path")].toString(), file);
    QVERIFY(contents(pdf).startsWith("%PDF"));

    open(file);
    QVERIFY(activate());
    QTest::keySequence(form.get(), QKeySequence(QStringLiteral("Ctrl+T")));
    AllSectionsWindow* window = form->allSectionsWindow();
    QVERIFY(QTest::qWaitFor([this] { return form->document().checkedAll(); }, 60000));
    window->findChild<QCheckBox*>(QStringLiteral("FindingsOnly"))->setChecked(onlyFindings);
    dialogs->nextSaveFiles << dir.filePath(QStringLiteral("窗口.csv"))
                           << dir.filePath(QStringLiteral("窗口.pdf"));
    window->exportTable();
    QSignalSpy reported(window, &AllSectionsWindow::reportFinished);
    window->exportReport();
    QVERIFY(reported.wait(120000));
    QVERIFY2(dialogs->reports.isEmpty(), qPrintable(dialogs->reports.join('\n')));
    QCOMPARE(contents(csv), contents(dir.filePath(QStringLiteral("窗口.csv"))));
    QString report, windowReport;
    readPdfText(pdf, report);
    readPdfText(dir.filePath(QStringLiteral("窗口.pdf")), windowReport);
    QCOMPARE(report, windowReport);

    const QJsonArray sections = entry[QLatin1String("sections")].toArray();
    QCOMPARE(sections.size(), window->filter()->rowCount());
    QCOMPARE(entry[QLatin1String("sectionCount")].toInt(), form->document().sectionCount());
    // Without the JSON on standard output, the findings are printed, a line a section.
    const QString printed = run({QStringLiteral("--check"), file}).out;
    QStringList found;
    for (const QJsonValue& s : sections) {
      const int n = s[QLatin1String("number")].toInt();
      const SectionRow& verdict = form->document().verdict(n);
      QCOMPARE(findingTexts(s), findingSentences(verdict));
      if (verdict.hasFindings()) {
        const QString title = s[QLatin1String("title")].toString();
        const QString line =
            QStringLiteral("  第 %1 节%2：%3\n")
                .arg(QString::number(n), title.isEmpty() ? QString() : QLatin1Char(' ') + title,
                     findingSentences(verdict).join(QStringLiteral("；")));
        QVERIFY2(printed.contains(line), qPrintable(printed));
      }
      for (const QJsonValue& f : s[QLatin1String("findings")].toArray()) {
        found << f[QLatin1String("code")].toString();
      }
      // Read values exactly, as the table's export writes them.
      const double b = s[QLatin1String("properties")][QLatin1String("B")].toDouble();
      QCOMPARE(b, std::get<double>(verdict.properties[0]));
      const QString title = QString::fromStdString(verdict.title).remove(QLatin1Char(' '));
      QVERIFY2(report.contains(QStringLiteral("第%1节").arg(n)) && report.contains(title),
               qPrintable(title));
    }
    QCOMPARE(found, codes);
  }

  // Each kind of finding has its code and parameters beside its sentence: one section for
  // each, among clean ones of the same concrete.
  void everyFindingHasItsCode() {
    SectionStore store;
    store.titled = true;
    for (int n = 1; n <= 24; ++n) store.sections.push_back(testing::plantedSection(1));
    auto& s = store.sections;
    s[1].steel[2][0] = 1000.0;
    s[2].steel[0][2] = 0.0;
    s[3].steel[5][2] *= 10.0;
    s[4].properties[1] = 800.0;
    for (auto& bar : s[5].steel) bar[2] = 314.2;
    s[6].concrete.clear();
    s[6].steel.clear();
    s[7].concrete[3][4] = std::numeric_limits<double>::infinity();
    s[8].concrete[2][2] = -1.0;
    s[9].steel[1] = s[9].steel[0];
    // Parameters in the order of their names; a fiber as its kind and number.
    const QStringList expected[] = {
        {},
        {"steel-outside-concrete fiber=steel 3 x=1000 y=160"},
        {"zero-area fiber=steel 1", "steel-area-outlier common=3927.2 sharing=18 steelArea=3436.3"},
        {"odd-bar area=4909 fiber=steel 6",
         "steel-area-outlier common=3927.2 sharing=18 steelArea=8345.3"},
        {"width-mismatch measured=400 relative=-0.5 stated=800"},
        {"steel-area-outlier common=3927.2 sharing=18 steelArea=2513.6"},
        {"no-fibers"},
        {"value-not-finite fiber=concrete 4 value=5"},
        {"negative-area area=-1 fiber=concrete 3"},
        {"coincident-fibers fiber=steel 2 otherFiber=1 x=-160 y=-160"},
    };
    Feedback feedback;
    const auto rows = checkFile(store, feedback);
    QVERIFY(rows);
    QJsonParseError error;
    const QJsonDocument entry = QJsonDocument::fromJson(
        checkedFileJson(QStringLiteral("m.txt"), ReadOptions{}, store, *rows, false), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
      const QJsonValue section = entry[QLatin1String("sections")][i];
      QStringList codes;
      for (const QJsonValue& f : section[QLatin1String("findings")].toArray()) {
        QString c = f[QLatin1String("code")].toString();
        for (const QString& key : f.toObject().keys()) {
          if (key == QLatin1String("code") || key == QLatin1String("text")) continue;
          const QJsonValue v = f[key];
          c += QLatin1Char(' ') + key + QLatin1Char('=') +
               (v.isObject() ? v[QLatin1String("kind")].toString() + QLatin1Char(' ') +
                                   QString::number(v[QLatin1String("number")].toInt())
                             : QString::number(v.toDouble(), 'g', 5));
        }
        codes << c;
      }
      QCOMPARE(codes, expected[i]);
      QCOMPARE(findingTexts(section), findingSentences((*rows)[static_cast<std::size_t>(i)]));
    }
  }

  // An output that names a pipe (or a device such as /dev/null) is written into, never
  // replaced by a file of its name.
  void outputIntoAPipe() {
    const QString pipe = dir.filePath(QStringLiteral("out.pipe"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    // Open before the program runs, so that its open does not wait and a file renamed over
    // the pipe leaves this end empty rather than stuck.
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    const Run r =
        run({QStringLiteral("--check"), sample("old_titles.txt"), QStringLiteral("--json"), pipe});
    char buffer[65536];
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    QCOMPARE(r.status, 0);
    QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    QVERIFY(n > 0);
    QCOMPARE(QJsonDocument::fromJson(QByteArray(buffer, n))[QLatin1String("version")].toInt(), 1);
  }

  // On a terminal a long step shows its progress; Ctrl+C stops the report, leaves the file it
  // would replace as it was, and no temporary file.
  void ctrlCStopsAndWritesNothingHalf() {
    const QList<QByteArray> lines = contents(sample("old_no_titles.txt")).split('\n');
    QByteArray text = "2000\n";
    for (int n = 0; n < 2000; ++n) text += lines.mid(1, 41).join('\n') + '\n';
    const QString input = writeFile(QStringLiteral("2000.txt"), text);
    const QString report = writeFile(QStringLiteral("报告.pdf"), "earlier");
    int terminal = -1;
    int errors = -1;
    // A root made for a build may have no pseudo-terminals (no /dev/pts): nothing to see
    // progress on there.
    if (openpty(&terminal, &errors, nullptr, nullptr, nullptr) != 0) {
      QSKIP("no pseudo-terminal here to show progress on");
    }
    QVERIFY(fcntl(terminal, F_SETFL, O_NONBLOCK) == 0);
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.setChildProcessModifier([errors] { dup2(errors, STDERR_FILENO); });
    p.start(QStringLiteral(FIBERVIEW_PROGRAM),
            {QStringLiteral("--check"), input, QStringLiteral("--pdf"), report});
    ::close(errors);
    // Stopped once the report's progress shows, which is half a second into the report.
    QByteArray shown;
    const QByteArray reporting = QStringLiteral("正在写入报告").toUtf8();
    QVERIFY(QTest::qWaitFor(
        [&] {
          char buffer[4096];
          const ssize_t n = ::read(terminal, buffer, sizeof buffer);
          if (n > 0) shown.append(buffer, n);
          const qsizetype at = shown.indexOf(reporting);
          return at >= 0 && shown.indexOf('%', at) > at;
        },
        120000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    ::close(terminal);
    QCOMPARE(p.exitCode(), 130);
    QCOMPARE(contents(report), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("报告*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("报告.pdf")});
  }
};

QTEST_MAIN(CheckCommandTest)
#include "check_command_test.moc"
