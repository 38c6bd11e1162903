// The program's command line: fiberview [--help] [--version] [--self-check] [文件], or
// fiberview --check [选项] 文件…, with Qt's own options (-platform, -style, -session, ...)
// anywhere among them.
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;
#include <optional>

#include "data/file_version.h"

namespace fiberview {

// The reading settings given on the command line; the others are told from the file.
struct GivenSettings {
  std::optional<FileVersion> version;
  std::optional<bool> titled;
  std::optional<int> concrete;
  std::optional<double> steel;  // as typed, like the window's box: 4.5 reads four bars
};

// What `fiberview --check` is asked to do. An output path is empty when not asked for; a
// JSON path of "-" is standard output.
struct CheckRequest {
  QStringList files;
  GivenSettings settings;
  QString csv;
  QString json;
  QString pdf;
  bool onlyFindings = false;
  bool quiet = false;
};

struct CommandLine {
  enum class Action { Run, PrintHelp, PrintVersion, SelfCheck, Check, Fail };
  Action action = Action::Run;
  QString file;                // the file to read at start, if one is named
  CheckRequest check;          // for Check
  bool platformGiven = false;  // Qt's -platform is among the arguments
  QString error;               // Chinese, for Fail
};

// Parses the arguments, the program's name first. Needs no QApplication, so that every
// answer that opens no window comes without a display. Qt's own options are known and
// left to Qt. An unknown option is quoted as typed.
CommandLine parseCommandLine(const QStringList& arguments);

// Why `parser` could not parse `arguments` (the program's name first), in Chinese.
QString parseFailureText(const QCommandLineParser& parser, const QStringList& arguments);

// The Qt platform the program should start with: "offscreen" for --check, which opens no
// window, and for --self-check where there is no display (neither DISPLAY nor
// WAYLAND_DISPLAY); empty where Qt should choose, and always where a platform was named
// (-platform, or QT_QPA_PLATFORM).
QByteArray platformFor(const CommandLine& line);

QString helpText();
QString versionText();

}  // namespace fiberview
