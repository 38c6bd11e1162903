#include "widgets/compare_report.h"

#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include "widgets/compare_figure.h"
#include "widgets/compare_text.h"

namespace fiberview {

namespace {

constexpr double kFigureHeight = 300.0;
// The first page names this many differing sections, then says how many more there are.
constexpr int kListed = 40;

QString fiberCounts(const SectionStore& store) {
  long long concrete = 0, steel = 0;
  for (const Section& s : store.sections) {
    concrete += static_cast<long long>(s.concrete.size());
    steel += static_cast<long long>(s.steel.size());
  }
  return QStringLiteral("混凝土 %1，钢筋 %2").arg(concrete).arg(steel);
}

// "第 3 节 KZ3" in one file, or "—" where the section is not in it.
QString sectionName(const SectionStore& store, int number) {
  const Section* s = store.section(number);
  if (s == nullptr) return QStringLiteral("—");
  QString name = QStringLiteral("第 %1 节").arg(number);
  if (store.titled) name += QLatin1Char(' ') + QString::fromStdString(s->title);
  return name;
}

QString rowName(const SectionStore& before, const SectionStore& after,
                const SectionComparison& row) {
  return QStringLiteral("旧：%1　新：%2（%3）")
      .arg(sectionName(before, row.before), sectionName(after, row.after), statusName(row.status));
}

void firstPage(QPainter& painter, const SectionStore& before, const ReportFile& beforeFile,
               const SectionStore& after, const ReportFile& afterFile,
               const Comparison& comparison) {
  painter.setFont(reportFont(16, true));
  painter.drawText(QRectF(0, 0, kReportWidth, 30), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("两个文件的比较"));
  const QLocale c = QLocale::c();
  QString html = QStringLiteral(
      "<table cellpadding=\"2\"><tr><td></td><td>旧文件</td>"
      "<td>新文件</td></tr>");
  const auto row = [&html](const QString& label, const QString& a, const QString& b) {
    html += QStringLiteral(
                "<tr><td style=\"padding-right: 12px\">%1</td><td style=\""
                "padding-right: 12px\">%2</td><td>%3</td></tr>")
                .arg(label.toHtmlEscaped(), a.toHtmlEscaped(), b.toHtmlEscaped());
  };
  const auto time = [&c](const ReportFile& f) {
    return c.toString(f.modified, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  };
  row(QStringLiteral("文件"), beforeFile.name, afterFile.name);
  row(QStringLiteral("文件夹"), beforeFile.folder, afterFile.folder);
  row(QStringLiteral("大小"), QStringLiteral("%1 字节").arg(beforeFile.size),
      QStringLiteral("%1 字节").arg(afterFile.size));
  row(QStringLiteral("修改时间"), time(beforeFile), time(afterFile));
  row(QStringLiteral("读取设置"), beforeFile.settings, afterFile.settings);
  row(QStringLiteral("截面数"), QString::number(before.sections.size()),
      QString::number(after.sections.size()));
  row(QStringLiteral("纤维数"), fiberCounts(before), fiberCounts(after));
  html += QStringLiteral("</table><p>%1</p><p>%2</p>")
              .arg(matchingText(comparison).toHtmlEscaped(),
                   compareStatusText(comparison).toHtmlEscaped());
  QStringList differing;
  int more = 0;
  for (const SectionComparison& r : comparison.sections) {
    if (r.status == SectionStatus::Same) continue;
    if (differing.size() == kListed) {
      ++more;
      continue;
    }
    differing << rowName(before, after, r) + QStringLiteral("：") +
                     changeSummary(r, before.version);
  }
  if (!differing.isEmpty()) {
    html += QStringLiteral("<h4>不同的截面</h4>") + reportListHtml(differing);
    if (more > 0) html += QStringLiteral("<p>另有 %1 节。</p>").arg(more);
  }
  drawReportHtml(painter, html, 40, 10);
}

void sectionPage(QPainter& painter, const SectionStore& before, const SectionStore& after,
                 const SectionComparison& row) {
  painter.setFont(reportFont(12, true));
  QRectF used;
  painter.drawText(QRectF(0, 0, kReportWidth, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   rowName(before, after, row), &used);
  const QRectF figure(0, used.bottom() + 8, kReportWidth, kFigureHeight);
  painter.setPen(QPen(Qt::lightGray, 0.5));
  painter.drawRect(figure);
  painter.setPen(Qt::black);
  painter.setFont(reportFont(7));
  paintComparisonFigure(painter, before.section(row.before), after.section(row.after), row, figure);
  drawReportHtml(
      painter,
      QStringLiteral("<h4>变化</h4>") + reportListHtml(changeSentences(row, before.version)),
      figure.bottom() + 10, 8.5);
}

}  // namespace

WriteStep writeComparisonPdf(QIODevice& device, const SectionStore& before,
                             const ReportFile& beforeFile, const SectionStore& after,
                             const ReportFile& afterFile, const Comparison& comparison,
                             const std::function<bool(int)>& proceed) {
  QPdfWriter writer(&device);
  setUpReportWriter(
      writer, QStringLiteral("两个文件的比较 — %1 与 %2").arg(beforeFile.name, afterFile.name));
  QPainter painter;
  if (!painter.begin(&writer)) return WriteStep::Failed;
  firstPage(painter, before, beforeFile, after, afterFile, comparison);
  int done = 0;
  for (const SectionComparison& row : comparison.sections) {
    if (row.status == SectionStatus::Same) continue;
    writer.newPage();
    sectionPage(painter, before, after, row);
    if (!proceed(++done)) {
      painter.end();
      return WriteStep::Cancelled;
    }
  }
  return painter.end() ? WriteStep::Done : WriteStep::Failed;
}

}  // namespace fiberview
