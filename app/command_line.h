// The program's command line: fiberview [--help] [--version] [--self-check] [文件], after Qt's
// own options (-platform, -style, -session, ...).
#pragma once

#include <QString>
#include <QStringList>

namespace fiberview {

struct CommandLine {
  enum class Action { Run, PrintHelp, PrintVersion, SelfCheck, Fail };
  Action action = Action::Run;
  QString file;   // the file to read at start, if one is named
  QString error;  // Chinese, for Fail
};

// Parses the arguments, the program's name first. Needs no QApplication, so that --help
// and --version can answer without a display; Qt's own options are refused as unknown, so
// parse again what QApplication leaves of them. --self-check needs a file.
CommandLine parseCommandLine(const QStringList& arguments);

QString helpText();
QString versionText();

}  // namespace fiberview
