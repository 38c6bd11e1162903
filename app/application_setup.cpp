#include "app/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace fiberview {

void setUpApplication() {
  auto* qtTexts = new QTranslator(qApp);
  if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(qtTexts);
  }
  QFont font(QStringLiteral("WenQuanYi Micro Hei"), 9);
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
}

}  // namespace fiberview
