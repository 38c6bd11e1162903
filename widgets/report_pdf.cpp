#include "widgets/report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <algorithm>

#include "plot/concrete_region.h"
#include "plot/number_format.h"
#include "widgets/section_figure.h"
#include "widgets/section_report.h"
#include "widgets/section_table_model.h"

namespace fiberview {

namespace {

// Page geometry in points (the writer's resolution is 72 dpi): A4 less 15 mm margins.
constexpr double kWidth = 595.0 - 2 * 42.5;
constexpr double kHeight = 842.0 - 2 * 42.5;
constexpr double kFigureHeight = 270.0;

QFont reportFont(double points, bool bold = false) {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Draws `html` from `top` down to the foot of the page, smaller where it would not fit;
// returns the height used.
double drawHtml(QPainter& painter, QPdfWriter& writer, const QString& html, double top,
                double points) {
  QTextDocument doc;
  doc.documentLayout()->setPaintDevice(&writer);
  doc.setDefaultFont(reportFont(points));
  doc.setDocumentMargin(0);
  doc.setTextWidth(kWidth);
  doc.setHtml(html);
  const double room = kHeight - top;
  double scale = 1.0;
  // Laid out wider and drawn smaller, the text keeps its lines and fills the page's width.
  for (int i = 0; i < 3 && doc.size().height() * scale > room; ++i) {
    scale = std::min(scale, room / doc.size().height());
    doc.setTextWidth(kWidth / scale);
  }
  scale = std::min(scale, room / doc.size().height());
  painter.save();
  painter.translate(0, top);
  painter.scale(scale, scale);
  doc.drawContents(&painter, QRectF(0, 0, kWidth / scale, room / scale));
  painter.restore();
  return doc.size().height() * scale;
}

QString listHtml(const QStringList& items) {
  QString html = QStringLiteral("<ul style=\"margin-left: 0; -qt-list-indent: 1\">");
  for (const QString& s : items) html += QStringLiteral("<li>%1</li>").arg(s.toHtmlEscaped());
  return html + QStringLiteral("</ul>");
}

// The explorer's summary as tables under headings; every cell is escaped, since titles and
// text properties come from the file.
QString summaryHtml(const std::vector<SummaryLine>& lines) {
  QString html;
  bool inTable = false;
  const auto closeTable = [&] {
    if (inTable) html += QStringLiteral("</table>");
    inTable = false;
  };
  for (const SummaryLine& line : lines) {
    if (line.kind == SummaryLine::Row) {
      if (!inTable) html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
      inTable = true;
      html += QStringLiteral("<tr>");
      for (const QString& cell : line.cells) {
        html +=
            QStringLiteral("<td style=\"padding-right: 12px\">%1</td>").arg(cell.toHtmlEscaped());
      }
      html += QStringLiteral("</tr>");
      continue;
    }
    closeTable();
    const QString tag =
        line.kind == SummaryLine::Heading ? QStringLiteral("h4") : QStringLiteral("p");
    html +=
        QStringLiteral("<%1>%2</%1>").arg(tag, line.cells.join(QLatin1Char(' ')).toHtmlEscaped());
  }
  closeTable();
  return html;
}

void firstPage(QPainter& painter, QPdfWriter& writer, const SectionStore& store,
               const ReportFile& file, const std::vector<SectionRow>& rows, int pageCount) {
  painter.setFont(reportFont(16, true));
  painter.drawText(QRectF(0, 0, kWidth, 30), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("纤维截面检查报告"));
  int concrete = 0;
  int steel = 0;
  for (const Section& s : store.sections) {
    concrete += static_cast<int>(s.concrete.size());
    steel += static_cast<int>(s.steel.size());
  }
  const QLocale c = QLocale::c();
  QString html = QStringLiteral("<table cellpadding=\"2\">");
  const auto row = [&html](const QString& label, const QString& value) {
    html += QStringLiteral("<tr><td style=\"padding-right: 12px\">%1</td><td>%2</td></tr>")
                .arg(label.toHtmlEscaped(), value.toHtmlEscaped());
  };
  row(QStringLiteral("文件"), file.name);
  row(QStringLiteral("大小"), QStringLiteral("%1 字节").arg(file.size));
  row(QStringLiteral("修改时间"), c.toString(file.modified, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
  row(QStringLiteral("读取设置"), file.settings);
  row(QStringLiteral("截面数"), QString::number(store.sections.size()));
  row(QStringLiteral("纤维数"), QStringLiteral("混凝土 %1，钢筋 %2").arg(concrete).arg(steel));
  row(QStringLiteral("检查结果"), tableStatusText(rows));
  row(QStringLiteral("本报告"), QStringLiteral("%1 节各占一页").arg(pageCount));
  html += QStringLiteral("</table>");
  QStringList flagged;
  constexpr int kListed = 40;
  int more = 0;
  for (const SectionRow& r : rows) {
    if (!r.hasFindings()) continue;
    if (flagged.size() == kListed) {
      ++more;
      continue;
    }
    QString name = QStringLiteral("第 %1 节").arg(r.number);
    if (!r.title.empty()) name += QLatin1Char(' ') + QString::fromStdString(r.title);
    flagged << name + QStringLiteral("：") + findingKindsText(r);
  }
  if (!flagged.isEmpty()) {
    html += QStringLiteral("<h4>有问题的截面</h4>") + listHtml(flagged);
    if (more > 0) html += QStringLiteral("<p>另有 %1 节。</p>").arg(more);
  }
  drawHtml(painter, writer, html, 40, 10);
}

void sectionPage(QPainter& painter, QPdfWriter& writer, const SectionStore& store,
                 const SectionRow& row, const ConcreteRegion& region) {
  const Section& section = *store.section(row.number);
  painter.setFont(reportFont(12, true));
  QRectF used;
  painter.drawText(QRectF(0, 0, kWidth, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   sectionHeading(store, row.number), &used);
  const double figureTop = used.bottom() + 8;
  const QRectF figure(0, figureTop, kWidth, kFigureHeight);
  painter.setPen(QPen(Qt::lightGray, 0.5));
  painter.drawRect(figure);
  painter.setPen(Qt::black);
  paintSectionFigure(painter, section, region, figure, flaggedFibers(row), 1.0);

  QStringList findings = findingSentences(row);
  if (findings.isEmpty()) findings << noFindingsText();
  QString html = QStringLiteral("<h4>检查</h4>") + listHtml(findings);
  if (row.sameAs != 0) {
    html += QStringLiteral("<p>纤维与第 %1 节相同，标题不同。</p>").arg(row.sameAs);
  }
  html += summaryHtml(summaryLines(store, section, region));
  drawHtml(painter, writer, html, figure.bottom() + 10, 8.5);
}

}  // namespace

ReportFile reportFile(const FileDocument& document) {
  if (document.path().isEmpty()) return {};
  return reportFile(document.path(), document.readWith());
}

ReportFile reportFile(const QString& path, const ReadOptions& readWith) {
  ReportFile file;
  const QFileInfo info(path);
  file.name = info.fileName();
  file.folder = info.absolutePath();
  file.size = info.size();
  file.modified = info.lastModified();
  file.settings = QString::fromUtf8(describe(readWith.version).name);
  if (readWith.version == FileVersion::Old) {
    file.settings +=
        readWith.hasTitleLine ? QStringLiteral("，有说明行") : QStringLiteral("，无说明行");
  }
  file.settings += QStringLiteral("，混凝土数量 %1，钢筋数量 %2")
                       .arg(QString::number(readWith.concreteCount),
                            QString::fromStdString(numberText(readWith.steelCount)).trimmed());
  return file;
}

WriteStep writeReportPdf(QIODevice& device, const SectionStore& store, const ReportFile& file,
                         const std::vector<SectionRow>& rows, const SectionRegions& regions,
                         const std::vector<int>& pages, const std::function<bool(int)>& proceed) {
  QPdfWriter writer(&device);
  writer.setResolution(72);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(42.5, 42.5, 42.5, 42.5), QPageLayout::Point));
  writer.setTitle(QStringLiteral("纤维截面检查报告 — %1").arg(file.name));
  writer.setCreator(QStringLiteral("fiberview"));
  QPainter painter;
  if (!painter.begin(&writer)) return WriteStep::Failed;
  firstPage(painter, writer, store, file, rows, static_cast<int>(pages.size()));
  int done = 0;
  for (int number : pages) {
    writer.newPage();
    const auto i = static_cast<std::size_t>(number) - 1;
    sectionPage(painter, writer, store, rows[i], *regions[i]);
    if (!proceed(++done)) {
      painter.end();
      return WriteStep::Cancelled;
    }
  }
  return painter.end() ? WriteStep::Done : WriteStep::Failed;
}

}  // namespace fiberview
