#include <QApplication>

#include "app/application_setup.h"
#include "app/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  fiberview::setUpApplication();
  fiberview::Form1 window;
  window.show();
  return QApplication::exec();
}
