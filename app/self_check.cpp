#include "app/self_check.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <cstdio>
#include <memory>

#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "widgets/section_plot_widget.h"

namespace fiberview {

namespace {

// How long the first section may take to appear.
constexpr int kDrawingTimeoutMs = 10000;

bool report(bool passed, const QString& what, const QString& found) {
  const QString line =
      QStringLiteral("%1  %2：%3\n")
          .arg(passed ? QStringLiteral("通过") : QStringLiteral("失败"), what, found);
  std::fputs(line.toLocal8Bit().constData(), stdout);
  return passed;
}

bool drewFirstSection(Form1& window, const ScriptedDialogs& dialogs, const QString& file) {
  auto* picture = window.findChild<SectionPlotWidget*>(QStringLiteral("Picture1"));
  QElapsedTimer clock;
  clock.start();
  while (picture->sectionNumber() == 0 && dialogs.reports.isEmpty() &&
         clock.elapsed() < kDrawingTimeoutMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  const QString what = QStringLiteral("读取 %1 并绘出第一节").arg(QFileInfo(file).fileName());
  if (!dialogs.reports.isEmpty()) return report(false, what, dialogs.reports.join('\n'));
  if (picture->sectionNumber() != 1) return report(false, what, QStringLiteral("没有绘出截面"));
  const QImage image = picture->grab(picture->contentsRect()).toImage();
  qsizetype red = 0, black = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (c == qRgb(255, 0, 0)) ++red;
      if (c == qRgb(0, 0, 0)) ++black;
    }
  }
  return report(red > 0 && black > 0, what,
                QStringLiteral("红色 %1 像素，黑色 %2 像素").arg(red).arg(black));
}

}  // namespace

int selfCheck(const QString& file) {
  auto dialogs = std::make_unique<ScriptedDialogs>();
  const ScriptedDialogs& answered = *dialogs;
  Form1 window(std::move(dialogs));
  window.show();
  window.openFile(file);
  bool passed = drewFirstSection(window, answered, file);

  const bool icon = !QApplication::windowIcon().pixmap(32, 32).isNull();
  passed &= report(icon, QStringLiteral("窗口图标"),
                   icon ? QStringLiteral("已载入") : QStringLiteral("无法绘出（缺少 SVG 插件？）"));
  const QString family = QFontInfo(QApplication::font()).family();
  passed &= report(family == QApplication::font().family(), QStringLiteral("中文字体"),
                   QStringLiteral("要求 %1，实得 %2").arg(QApplication::font().family(), family));
  const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
  passed &= report(cancel != QLatin1String("Cancel"), QStringLiteral("Qt 对话框的中文文字"),
                   QStringLiteral("“Cancel”显示为“%1”").arg(cancel));
  return passed ? 0 : 1;
}

}  // namespace fiberview
