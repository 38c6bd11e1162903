#include <QApplication>
#include <QFont>

#include "app/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // A CJK font at a size whose captions fit the window's fixed boxes.
  QFont font(QStringLiteral("WenQuanYi Micro Hei"), 9);
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
  fiberview::Form1 window;
  window.show();
  return QApplication::exec();
}
