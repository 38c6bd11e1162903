#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/form1.h"

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const fiberview::CommandLine line = fiberview::parseCommandLine(arguments);
  switch (line.action) {
    case fiberview::CommandLine::Action::PrintHelp:
      std::fputs(fiberview::helpText().toLocal8Bit().constData(), stdout);
      return 0;
    case fiberview::CommandLine::Action::PrintVersion:
      std::fputs(fiberview::versionText().toLocal8Bit().constData(), stdout);
      return 0;
    case fiberview::CommandLine::Action::Fail:
      std::fprintf(stderr, "%s\n", line.error.toLocal8Bit().constData());
      return 2;
    case fiberview::CommandLine::Action::Run:
      break;
  }

  QApplication app(argc, argv);
  fiberview::setUpApplication();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/io.github.fiberview.FiberView.svg")));
  fiberview::Form1 window;
  window.show();
  if (!line.file.isEmpty()) window.openFile(line.file);
  return QApplication::exec();
}
