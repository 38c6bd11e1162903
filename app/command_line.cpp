#include "app/command_line.h"

#include <QCommandLineParser>

namespace fiberview {

CommandLine parseCommandLine(const QStringList& arguments) {
  // Qt's own help and version options would answer in English; these answer in Chinese.
  QCommandLineParser parser;
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("显示帮助"));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("显示版本"));
  const QCommandLineOption check(QStringLiteral("self-check"),
                                 QStringLiteral("检查程序能否读取并绘出文件"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(check);
  parser.addPositionalArgument(QStringLiteral("文件"), QStringLiteral("要读取的纤维数据文件"));

  CommandLine line;
  if (!parser.parse(arguments)) {
    line.action = CommandLine::Action::Fail;
    const QStringList unknown = parser.unknownOptionNames();
    line.error = unknown.isEmpty()
                     ? parser.errorText()
                     : QStringLiteral("未知选项“%1”。用 --help 查看用法。").arg(unknown.first());
    return line;
  }
  if (parser.isSet(help)) {
    line.action = CommandLine::Action::PrintHelp;
  } else if (parser.isSet(version)) {
    line.action = CommandLine::Action::PrintVersion;
  } else if (parser.positionalArguments().size() > 1) {
    line.action = CommandLine::Action::Fail;
    line.error = QStringLiteral("一次只能打开一个文件。用 --help 查看用法。");
  } else if (!parser.positionalArguments().isEmpty()) {
    line.file = parser.positionalArguments().first();
    if (parser.isSet(check)) line.action = CommandLine::Action::SelfCheck;
  } else if (parser.isSet(check)) {
    line.action = CommandLine::Action::Fail;
    line.error = QStringLiteral("--self-check 需要一个文件。用 --help 查看用法。");
  }
  return line;
}

QString helpText() {
  return QStringLiteral(
      "用法：fiberview [选项] [文件]\n"
      "纤维截面查看器：读取 Korvex 纤维截面文件，逐个绘出截面。\n"
      "给出文件时，程序按文件的排列识别版本、说明行和纤维数量，再读取它。\n\n"
      "选项：\n"
      "  -h, --help     显示本帮助\n"
      "  -v, --version  显示版本\n"
      "  --self-check   打开文件并绘出第一节，检查绘图、窗口图标、中文字体和 Qt 的中文\n"
      "                 文字，每项打印一行，全部通过时退出状态为 0；不写任何文件\n"
      "  --compare 旧文件 新文件 [--tolerance D] [--by-number] [--csv 输出] [--json 输出]\n"
      "                 [--pdf 输出]\n"
      "                 比较两个文件，不开窗口：相同时退出状态为 0，不同为 1，用法错误为 2，\n"
      "                 文件无法读取为 3，读取设置无法判断为 4\n"
      "Qt 自己的选项（如 -platform offscreen、-style Fusion）也可使用。\n");
}

QString versionText() {
  return QStringLiteral("纤维截面查看器（fiberview）%1\n").arg(QStringLiteral(FIBERVIEW_VERSION));
}

}  // namespace fiberview
