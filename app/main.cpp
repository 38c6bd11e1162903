#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Qt's own dialogs (the Open dialog, the message box buttons) speak Chinese too.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  // A CJK font at a size whose captions fit the window's fixed boxes.
  QFont font(QStringLiteral("WenQuanYi Micro Hei"), 9);
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
  fiberview::Form1 window;
  window.show();
  return QApplication::exec();
}
