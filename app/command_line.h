// The program's command line: fiberview [--help] [--version] [文件].
#pragma once

#include <QString>
#include <QStringList>

namespace fiberview {

struct CommandLine {
  enum class Action { Run, PrintHelp, PrintVersion, Fail };
  Action action = Action::Run;
  QString file;   // the file to read at start, if one is named
  QString error;  // Chinese, for Fail
};

// Parses the arguments, the program's name first. Needs no QApplication, so that --help
// and --version answer without a display.
CommandLine parseCommandLine(const QStringList& arguments);

QString helpText();
QString versionText();

}  // namespace fiberview
