#include "app/command_line.h"

#include <QCommandLineParser>
#include <charconv>
#include <string>

#include "data/section_store.h"

namespace fiberview {

namespace {

// Qt's own options, as QGuiApplication and QApplication document them: known here so that
// the command line is understood before Qt starts, and passed to Qt as they stand.
const char* const kQtOptionsWithValue[] = {"platform",    "platformpluginpath", "platformtheme",
                                           "plugin",      "qmljsdebugger",      "qwindowgeometry",
                                           "qwindowicon", "qwindowtitle",       "session",
                                           "display",     "geometry",           "style",
                                           "stylesheet",  "graphicssystem"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString usageHint() {
  return QStringLiteral("用 --help 查看用法。");
}

// The argument that named `name`, as typed: "--bogus" for --bogus=1, "-bogus" for -bogus.
QString asTyped(const QStringList& arguments, const QString& name) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--")) break;
    if (!a.startsWith(QLatin1Char('-'))) continue;
    const QString option = a.section(QLatin1Char('='), 0, 0);
    qsizetype dashes = 0;
    while (dashes < option.size() && option[dashes] == QLatin1Char('-')) ++dashes;
    if (option.mid(dashes) == name) return option;
  }
  return QStringLiteral("--") + name;
}

// A number as the C locale writes it, the whole text; none otherwise.
std::optional<double> parseNumber(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  double value = 0.0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

CommandLine failure(const QString& error) {
  CommandLine line;
  line.action = CommandLine::Action::Fail;
  line.error = error + usageHint();
  return line;
}

}  // namespace

QString parseFailureText(const QCommandLineParser& parser, const QStringList& arguments) {
  const QStringList unknown = parser.unknownOptionNames();
  if (!unknown.isEmpty()) {
    return QStringLiteral("未知选项“%1”。").arg(asTyped(arguments, unknown.first()));
  }
  // The other failures: an option that takes a value stands last, or one that takes none
  // is given one (--check=1).
  const QString last = arguments.value(arguments.size() - 1);
  if (last.startsWith(QLatin1Char('-')) && !last.contains(QLatin1Char('='))) {
    return QStringLiteral("选项“%1”后面缺少值。").arg(last);
  }
  for (const QString& a : arguments) {
    if (a.startsWith(QLatin1Char('-')) && a.contains(QLatin1Char('='))) {
      return QStringLiteral("选项“%1”不带值。").arg(a.section(QLatin1Char('='), 0, 0));
    }
  }
  return QStringLiteral("命令行有误。");
}

CommandLine parseCommandLine(const QStringList& arguments) {
  // Qt's own help and version options would answer in English; these answer in Chinese.
  QCommandLineParser parser;
  // Qt's options are words after one dash (-platform); so are these, which keeps -h and -v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const auto option = [&parser](const QStringList& names, bool takesValue = false) {
    QCommandLineOption o(names, QString(), takesValue ? QStringLiteral("值") : QString());
    parser.addOption(o);
    return o;
  };
  const auto help = option({QStringLiteral("h"), QStringLiteral("help")});
  const auto version = option({QStringLiteral("v"), QStringLiteral("version")});
  const auto selfCheck = option({QStringLiteral("self-check")});
  const auto check = option({QStringLiteral("check")});
  const auto old = option({QStringLiteral("old")});
  const auto newVersion = option({QStringLiteral("new")});
  const auto titles = option({QStringLiteral("titles")});
  const auto noTitles = option({QStringLiteral("no-titles")});
  const auto concrete = option({QStringLiteral("concrete")}, true);
  const auto steel = option({QStringLiteral("steel")}, true);
  const auto csv = option({QStringLiteral("csv")}, true);
  const auto json = option({QStringLiteral("json")}, true);
  const auto pdf = option({QStringLiteral("pdf")}, true);
  const auto onlyFindings = option({QStringLiteral("only-findings")});
  const auto quiet = option({QStringLiteral("quiet")});
  for (const char* name : kQtOptionsWithValue) option({QString::fromLatin1(name)}, true);
  for (const char* name : kQtFlags) option({QString::fromLatin1(name)});

  if (!parser.parse(arguments)) return failure(parseFailureText(parser, arguments));

  CommandLine line;
  line.platformGiven = parser.isSet(QStringLiteral("platform"));
  const QStringList files = parser.positionalArguments();
  if (parser.isSet(help)) {
    line.action = CommandLine::Action::PrintHelp;
    return line;
  }
  if (parser.isSet(version)) {
    line.action = CommandLine::Action::PrintVersion;
    return line;
  }
  const QList<QCommandLineOption> checkOnly = {
      old, newVersion, titles, noTitles, concrete, steel, csv, json, pdf, onlyFindings, quiet};
  if (!parser.isSet(check)) {
    for (const QCommandLineOption& o : checkOnly) {
      if (parser.isSet(o)) {
        return failure(QStringLiteral("选项“%1”只能与 --check 同用。")
                           .arg(asTyped(arguments, o.names().first())));
      }
    }
    if (files.size() > 1) return failure(QStringLiteral("一次只能打开一个文件。"));
    line.file = files.value(0);
    if (parser.isSet(selfCheck)) {
      if (files.isEmpty()) return failure(QStringLiteral("--self-check 需要一个文件。"));
      line.action = CommandLine::Action::SelfCheck;
    }
    return line;
  }

  if (parser.isSet(selfCheck)) return failure(QStringLiteral("--check 不能与 --self-check 同用。"));
  if (parser.isSet(old) && parser.isSet(newVersion)) {
    return failure(QStringLiteral("--old 和 --new 只能选一个。"));
  }
  if (parser.isSet(titles) && parser.isSet(noTitles)) {
    return failure(QStringLiteral("--titles 和 --no-titles 只能选一个。"));
  }
  if (parser.isSet(newVersion) && parser.isSet(noTitles)) {
    return failure(QStringLiteral("新版本的每节都有说明行，--new 不能与 --no-titles 同用。"));
  }
  CheckRequest& request = line.check;
  GivenSettings& given = request.settings;
  if (parser.isSet(old)) given.version = FileVersion::Old;
  if (parser.isSet(newVersion)) given.version = FileVersion::New;
  if (parser.isSet(titles)) given.titled = true;
  if (parser.isSet(noTitles)) given.titled = false;
  if (parser.isSet(concrete)) {
    bool ok = false;
    const int n = parser.value(concrete).trimmed().toInt(&ok);
    if (!ok || n < 0 || n > kMaxFibers) {
      return failure(QStringLiteral("--concrete 的值“%1”不对：应为 0 到 %2 之间的整数。")
                         .arg(parser.value(concrete))
                         .arg(kMaxFibers));
    }
    given.concrete = n;
  }
  if (parser.isSet(steel)) {
    const std::optional<double> n = parseNumber(parser.value(steel));
    if (!n || !(*n >= 0.0) || steelFibersToRead(*n) > kMaxFibers) {
      return failure(QStringLiteral("--steel 的值“%1”不对：应为 0 到 %2 之间的数。")
                         .arg(parser.value(steel))
                         .arg(kMaxFibers));
    }
    given.steel = *n;
  }
  // After the values: "--steel FILE" took the file as its value, which is the mistake to name.
  if (files.isEmpty()) return failure(QStringLiteral("--check 需要至少一个文件。"));
  request.files = files;
  request.csv = parser.value(csv);
  request.json = parser.value(json);
  request.pdf = parser.value(pdf);
  for (const QCommandLineOption& o : {csv, json, pdf}) {
    if (parser.isSet(o) && parser.value(o).isEmpty()) {
      return failure(
          QStringLiteral("选项“%1”需要一个文件名。").arg(asTyped(arguments, o.names().first())));
    }
  }
  if (files.size() > 1 && (parser.isSet(csv) || parser.isSet(pdf))) {
    return failure(QStringLiteral("--csv 和 --pdf 只能用于一个文件；检查多个文件时请用 --json。"));
  }
  request.onlyFindings = parser.isSet(onlyFindings);
  request.quiet = parser.isSet(quiet);
  line.action = CommandLine::Action::Check;
  return line;
}

QByteArray platformFor(const CommandLine& line) {
  if (line.platformGiven || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return {};
  const bool display =
      !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  const bool offscreen = line.action == CommandLine::Action::Check ||
                         (line.action == CommandLine::Action::SelfCheck && !display);
  return offscreen ? QByteArrayLiteral("offscreen") : QByteArray();
}

QString helpText() {
  return QStringLiteral(
      "用法：fiberview [选项] [文件]\n"
      "      fiberview --check [读取设置] [输出] 文件…\n"
      "纤维截面查看器：读取 Korvex 纤维截面文件，逐个绘出截面。\n"
      "给出文件时，程序按文件的排列识别版本、说明行和纤维数量，再读取它。\n\n"
      "选项：\n"
      "  -h, --help     显示本帮助\n"
      "  -v, --version  显示版本\n"
      "  --self-check   打开文件并绘出第一节，检查绘图、窗口图标、中文字体和 Qt 的中文\n"
      "                 文字，每项打印一行，全部通过时退出状态为 0；不写任何文件\n"
      "  --check        不开窗口，检查每个文件的全部截面，如同“全部截面”窗口：每个文件\n"
      "                 打印一行状态（如“文件：2000 节，其中 3 节有问题”），有问题的截面\n"
      "                 每节再打印一行：编号、标题和问题。不需要显示器\n\n"
      "--check 的读取设置（未给出的按文件的排列识别）：\n"
      "  --old, --new           老版本或新版本\n"
      "  --titles, --no-titles  老版本的每节有或没有说明行（新版本总有）\n"
      "  --concrete N           每节的混凝土纤维数\n"
      "  --steel N              每节的钢筋纤维数\n"
      "--check 的输出（先写入临时文件，写完整才换上，不会留下写了一半的文件）：\n"
      "  --csv 文件       表格，与“全部截面”的“导出表格”相同；只用于一个文件\n"
      "  --json 文件      各节的数值和问题，供其他程序读取；文件为 - 时写到标准输出，\n"
      "                   这时标准输出只有 JSON\n"
      "  --pdf 文件       报告，与“全部截面”的“导出报告”相同；只用于一个文件\n"
      "  --only-findings  各输出只含有问题的截面\n"
      "  --quiet          不显示进度（进度只在标准错误是终端、且一步超过半秒时显示）\n\n"
      "--check 的退出状态（检查多个文件时取其中最大的）：\n"
      "  0    没有截面有问题\n"
      "  1    有截面有问题\n"
      "  2    命令行有误\n"
      "  3    文件无法读取（原因及行号、列号写到标准错误）\n"
      "  4    读取设置无法从文件识别、又没有给出，或给出的设置与文件不符\n"
      "       （可能的设置或警告写到标准错误）\n"
      "  5    输出文件无法写入\n"
      "  130  按 Ctrl+C 中止\n\n"
      "  --compare 旧文件 新文件 [--tolerance D] [--by-number] [--csv 输出] [--json 输出]\n"
      "                 [--pdf 输出]\n"
      "                 比较两个文件，不开窗口：相同时退出状态为 0，不同为 1，用法错误为 2，\n"
      "                 文件无法读取为 3，读取设置无法判断为 4，输出无法写入为 5，按 Ctrl+C\n"
      "                 中止为 130；--json - 把 JSON 单独写到标准输出；--check 的读取设置\n"
      "                 （--old、--new、--titles、--no-titles、--concrete、--steel）用于两个文件\n"
      "Qt 自己的选项（如 -platform offscreen、-style Fusion）也可使用。\n");
}

QString versionText() {
  return QStringLiteral("纤维截面查看器（fiberview）%1\n").arg(QStringLiteral(FIBERVIEW_VERSION));
}

}  // namespace fiberview
