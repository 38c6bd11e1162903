#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QSettings>
#include <cstdio>
#include <memory>

#include "app/application_setup.h"
#include "app/check_command.h"
#include "app/command_line.h"
#include "app/compare_command.h"
#include "app/form1.h"
#include "app/self_check.h"

namespace {

void print(const QString& text, std::FILE* to) {
  std::fputs(text.toLocal8Bit().constData(), to);
}

// Qt's own notes (in English, such as "XDG_RUNTIME_DIR not set" on a server) are not for the
// user of a check, whose standard error a script may read; a fatal error still ends it.
void dropQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) print(message + QLatin1Char('\n'), stderr);
}

// --check opens no window; a report needs fonts and a painter, so a GUI application on the
// offscreen platform, and without one a core application, which starts faster.
int check(int argc, char* argv[], const fiberview::CheckRequest& request) {
  qInstallMessageHandler(dropQtNotes);
  std::unique_ptr<QCoreApplication> app;
  if (request.pdf.isEmpty()) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  return fiberview::runCheck(request);
}

}  // namespace

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // A comparison runs without a window and parses its own options.
  if (fiberview::isCompareCommand(arguments)) return fiberview::runCompare(arguments);
  // Everything but the window answers before Qt connects to a display, so without one too.
  const fiberview::CommandLine line = fiberview::parseCommandLine(arguments);
  switch (line.action) {
    case fiberview::CommandLine::Action::PrintHelp:
      print(fiberview::helpText(), stdout);
      return 0;
    case fiberview::CommandLine::Action::PrintVersion:
      print(fiberview::versionText(), stdout);
      return 0;
    case fiberview::CommandLine::Action::Fail:
      print(line.error + QLatin1Char('\n'), stderr);
      return fiberview::kUsageError;
    default:
      break;
  }
  if (const QByteArray platform = fiberview::platformFor(line); !platform.isEmpty()) {
    qputenv("QT_QPA_PLATFORM", platform);
  }
  if (line.action == fiberview::CommandLine::Action::Check) return check(argc, argv, line.check);

  // QApplication takes its own options (-platform, -style, -session, ...) out first.
  QApplication app(argc, argv);
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
