#include <QApplication>
#include <QIcon>
#include <QSettings>
#include <cstdio>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/compare_command.h"
#include "app/form1.h"
#include "app/self_check.h"

namespace {

// Answers --help and --version; nothing for the other actions.
bool answered(const fiberview::CommandLine& line) {
  if (line.action == fiberview::CommandLine::Action::PrintHelp) {
    std::fputs(fiberview::helpText().toLocal8Bit().constData(), stdout);
    return true;
  }
  if (line.action == fiberview::CommandLine::Action::PrintVersion) {
    std::fputs(fiberview::versionText().toLocal8Bit().constData(), stdout);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // A comparison runs without a window and parses its own options.
  if (fiberview::isCompareCommand(arguments)) return fiberview::runCompare(arguments);
  // --help and --version answer before there is a QApplication, so without a display too.
  if (answered(fiberview::parseCommandLine(arguments))) return 0;

  // QApplication takes its own options (-platform, -style, -session, ...) out first.
  QApplication app(argc, argv);
  const fiberview::CommandLine line = fiberview::parseCommandLine(QApplication::arguments());
  if (answered(line)) return 0;
  if (line.action == fiberview::CommandLine::Action::Fail) {
    std::fprintf(stderr, "%s\n", line.error.toLocal8Bit().constData());
    return 2;
  }
  fiberview::setUpApplication();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/io.github.fiberview.FiberView.svg")));
  if (line.action == fiberview::CommandLine::Action::SelfCheck) {
    return fiberview::selfCheck(line.file);
  }
  // ~/.config/fiberview/fiberview.conf
  QSettings settings(QStringLiteral("fiberview"), QStringLiteral("fiberview"));
  fiberview::Form1 window;
  window.useSettings(&settings);
  window.show();
  if (!line.file.isEmpty()) window.openFile(line.file);
  return QApplication::exec();
}
