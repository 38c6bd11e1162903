#include "widgets/report_pdf.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QFuture>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <deque>

#include "plot/concrete_region.h"
#include "plot/number_format.h"
#include "widgets/section_figure.h"
#include "widgets/section_report.h"
#include "widgets/section_table_model.h"

namespace fiberview {

namespace {

constexpr double kFigureHeight = 270.0;
constexpr int kHeadingFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
const QRectF kHeadingRoom(0, 0, kReportWidth, 60);

void firstPage(QPainter& painter, const SectionStore& store, const ReportFile& file,
               const std::vector<SectionRow>& rows, int pageCount) {
  painter.setFont(reportFont(16, true));
  painter.drawText(QRectF(0, 0, kReportWidth, 30), Qt::AlignLeft | Qt::AlignTop,
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
    html += QStringLiteral("<h4>有问题的截面</h4>") + reportListHtml(flagged);
    if (more > 0) html += QStringLiteral("<p>另有 %1 节。</p>").arg(more);
  }
  drawReportHtml(painter, html, 40, 10);
}

// A section's page worked out on a worker, ready to paint: everything but the painting.
struct SectionPage {
  QString heading;
  SectionFigure figure;
  ReportText text;
};

SectionPage sectionPage(const SectionStore& store, const SectionRow& row,
                        const ConcreteRegion& region) {
  const Section& section = *store.section(row.number);
  SectionPage page;
  page.heading = sectionHeading(store, row.number);
  // Where the painter will set the heading.
  QImage device = reportLayoutDevice();
  const QRectF used = QFontMetricsF(reportFont(12, true), &device)
                          .boundingRect(kHeadingRoom, kHeadingFlags, page.heading);
  const QRectF figure(0, used.bottom() + 8, kReportWidth, kFigureHeight);
  page.figure = sectionFigure(section, region, figure, flaggedFibers(row), 1.0);

  std::vector<ReportBlock> text{{ReportBlock::Heading, QStringLiteral("检查"), {}}};
  QStringList findings = findingSentences(row);
  if (findings.isEmpty()) findings << noFindingsText();
  for (const QString& finding : findings) text.push_back({ReportBlock::Item, finding, {}});
  if (row.sameAs != 0) {
    text.push_back(
        {ReportBlock::Note, QStringLiteral("纤维与第 %1 节相同，标题不同。").arg(row.sameAs), {}});
  }
  for (const SummaryLine& line : summaryLines(store, section, region)) {
    if (line.kind == SummaryLine::Row) {
      text.push_back({ReportBlock::Row, line.cells.value(0), line.cells.value(1)});
    } else {
      text.push_back({line.kind == SummaryLine::Heading ? ReportBlock::Heading : ReportBlock::Note,
                      line.cells.join(QLatin1Char(' ')),
                      {}});
    }
  }
  page.text = layOutReportBlocks(text, figure.bottom() + 10, 8.5);
  return page;
}

void paintSectionPage(QPainter& painter, const SectionPage& page, ReportFonts& fonts) {
  painter.setFont(reportFont(12, true));
  painter.drawText(kHeadingRoom, kHeadingFlags, page.heading);
  painter.setPen(QPen(Qt::lightGray, 0.5));
  painter.drawRect(page.figure.target);
  painter.setPen(Qt::black);
  paintSectionFigure(painter, page.figure);
  drawReportText(painter, page.text, fonts);
}

}  // namespace

void setUpReportWriter(QPdfWriter& writer, const QString& title) {
  writer.setResolution(kReportDpi);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(42.5, 42.5, 42.5, 42.5), QPageLayout::Point));
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("fiberview"));
}

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
  setUpReportWriter(writer, QStringLiteral("纤维截面检查报告 — %1").arg(file.name));
  QPainter painter;
  if (!painter.begin(&writer)) return WriteStep::Failed;
  firstPage(painter, store, file, rows, static_cast<int>(pages.size()));
  // The workers stay a few pages ahead, enough to keep them busy while this thread paints,
  // few enough that the pages waiting take little memory. Leaving early, the pool waits for
  // the pages under way, which use the caller's store, rows and regions.
  QThreadPool workers;
  const auto ahead = static_cast<std::size_t>(4 * workers.maxThreadCount());
  std::deque<QFuture<SectionPage>> coming;
  auto next = pages.begin();
  ReportFonts fonts;
  int done = 0;
  while (next != pages.end() || !coming.empty()) {
    for (; next != pages.end() && coming.size() < ahead; ++next) {
      const auto i = static_cast<std::size_t>(*next) - 1;
      coming.push_back(QtConcurrent::run(&workers, [&store, &row = rows[i], &region = *regions[i]] {
        return sectionPage(store, row, region);
      }));
    }
    const SectionPage page = coming.front().takeResult();
    coming.pop_front();
    writer.newPage();
    paintSectionPage(painter, page, fonts);
    if (!proceed(++done)) {
      painter.end();
      return WriteStep::Cancelled;
    }
  }
  return painter.end() ? WriteStep::Done : WriteStep::Failed;
}

}  // namespace fiberview
