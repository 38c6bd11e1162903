#include "widgets/report_text.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <algorithm>

namespace fiberview {

namespace {

// Adds the glyphs of `layout`, whose origin is at `origin`, to `runs`, joining them to the
// run before where the font stays.
void addGlyphs(const QTextLayout& layout, QPointF origin, std::vector<ReportText::Run>& runs) {
  for (int i = 0; i < layout.lineCount(); ++i) {
    for (const QGlyphRun& glyphs : layout.lineAt(i).glyphRuns()) {
      const QRawFont raw = glyphs.rawFont();
      const ReportTextFont font{raw.familyName(), raw.pixelSize(), raw.weight(), raw.style()};
      if (runs.empty() || !(runs.back().font == font)) runs.push_back({font, {}, {}});
      ReportText::Run& run = runs.back();
      run.glyphs += glyphs.glyphIndexes();
      for (const QPointF& p : glyphs.positions()) run.positions.append(p + origin);
    }
  }
}

// The disc before the first line of a list item, the size of a bullet character: about a
// third of the em across, its right edge a space before the text, centred on the glyphs'
// middle height.
QRectF bulletBefore(const QTextLine& first, QPointF origin, const QFontMetricsF& metrics,
                    double em) {
  const double size = 0.36 * em;
  const double right =
      origin.x() + first.naturalTextRect().left() - metrics.horizontalAdvance(QLatin1Char(' '));
  const double middle =
      origin.y() + first.y() + first.ascent() - (metrics.ascent() - metrics.descent()) / 2;
  return {right - size, middle - size / 2, size, size};
}

// QTextDocument takes vertical margins and tab positions in pixels of 96 to the inch, which
// it scales to the paint device; horizontal margins it takes in the device's own units.
double pixels(double points) {
  return points * 96.0 / kReportDpi;
}

// A document laid out on the reports' device, in the report font of `points`, without
// margins; `build` fills it before it is first laid out.
template <typename Build>
ReportText layOut(double top, double points, const Build& build) {
  QImage device = reportLayoutDevice();
  QTextDocument doc;
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  layout->setPaintDevice(&device);
  doc.setDefaultFont(reportFont(points));
  doc.setDocumentMargin(0);
  build(doc, device);
  doc.setTextWidth(kReportWidth);
  const double room = kReportHeight - top;
  double scale = 1.0;
  for (int i = 0; i < 3 && doc.size().height() * scale > room; ++i) {
    scale = std::min(scale, room / doc.size().height());
    doc.setTextWidth(kReportWidth / scale);
  }
  scale = std::min(scale, room / doc.size().height());

  ReportText text;
  text.top = top;
  text.scale = scale;
  text.clip = QRectF(0, 0, kReportWidth / scale, room / scale);
  text.height = doc.size().height() * scale;
  const QFontMetricsF metrics(doc.defaultFont(), &device);
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    const QTextLayout* lines = block.layout();
    if (lines == nullptr || lines->lineCount() == 0) continue;
    const QRectF box = layout->blockBoundingRect(block);
    if (!box.intersects(text.clip)) continue;
    addGlyphs(*lines, box.topLeft(), text.runs);
    if (block.textList() != nullptr) {
      text.bullets.push_back(bulletBefore(lines->lineAt(0), box.topLeft(), metrics, points));
    }
  }
  return text;
}

// The spacing of ReportBlocks, in points: what HTML gives headings, lists and paragraphs
// (12 pixels above and below, the larger of two neighbours' margins counting between them),
// and tables of cells padded by one pixel and their columns 12 pixels apart.
constexpr double kParagraphGap = 9.0;
constexpr double kCellPadding = 0.75;
constexpr double kColumnGap = 9.0;
// Rows stand this far apart, and the paragraph after them this much further off.
constexpr double kRowGap = 2.0;
constexpr double kAfterRows = kRowGap - kCellPadding;

}  // namespace

QFont reportFont(double points, bool bold) {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QImage reportLayoutDevice() {
  QImage device(1, 1, QImage::Format_Mono);
  const int dotsPerMeter = static_cast<int>(kReportDpi / 0.0254 + 0.5);
  device.setDotsPerMeterX(dotsPerMeter);
  device.setDotsPerMeterY(dotsPerMeter);
  return device;
}

QString reportListHtml(const QStringList& items) {
  QString html = QStringLiteral("<ul style=\"margin-left: 0; -qt-list-indent: 1\">");
  for (const QString& s : items) html += QStringLiteral("<li>%1</li>").arg(s.toHtmlEscaped());
  return html + QStringLiteral("</ul>");
}

ReportText layOutReportHtml(const QString& html, double top, double points) {
  return layOut(top, points, [&](QTextDocument& doc, QImage&) { doc.setHtml(html); });
}

ReportText layOutReportBlocks(const std::vector<ReportBlock>& blocks, double top, double points) {
  return layOut(top, points, [&](QTextDocument& doc, QImage& device) {
    // Laid out only once it is whole: a document with a width lays itself out anew as each
    // paragraph goes in.
    doc.setPageSize(QSizeF(0, 0));
    const QFontMetricsF metrics(doc.defaultFont(), &device);
    // Text that ends in rows ends as far below them as the paragraph after them would start.
    if (!blocks.empty() && blocks.back().kind == ReportBlock::Row) {
      QTextFrameFormat frame = doc.rootFrame()->frameFormat();
      frame.setBottomMargin(kAfterRows);
      doc.rootFrame()->setFrameFormat(frame);
    }
    QTextCursor cursor(&doc);
    QTextList* list = nullptr;
    double valueAt = 0.0;  // where the values of the rows under way start
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const ReportBlock& b = blocks[i];
      const bool afterRow = i > 0 && blocks[i - 1].kind == ReportBlock::Row;
      const bool beforeRow = i + 1 < blocks.size() && blocks[i + 1].kind == ReportBlock::Row;
      QTextBlockFormat format;
      QTextCharFormat chars;
      QString text = b.text;
      if (b.kind == ReportBlock::Row) {
        if (!afterRow) {
          double widest = 0.0;
          for (std::size_t j = i; j < blocks.size() && blocks[j].kind == ReportBlock::Row; ++j) {
            widest = std::max(widest, metrics.horizontalAdvance(blocks[j].text));
          }
          valueAt = kCellPadding + widest + kColumnGap + kCellPadding;
        }
        // The label starts at the padding and a tab takes the value to its column, under
        // which the value's further lines hang.
        format.setLeftMargin(valueAt);
        format.setTextIndent(kCellPadding - valueAt);
        format.setTabPositions(
            {QTextOption::Tab(pixels(valueAt - kCellPadding), QTextOption::LeftTab)});
        format.setTopMargin(pixels(afterRow ? kRowGap : kCellPadding));
        text += QLatin1Char('\t') + b.value;
      } else {
        const bool inList =
            b.kind == ReportBlock::Item && i > 0 && blocks[i - 1].kind == ReportBlock::Item;
        const bool listGoesOn = b.kind == ReportBlock::Item && i + 1 < blocks.size() &&
                                blocks[i + 1].kind == ReportBlock::Item;
        format.setTopMargin(pixels(inList     ? 0.0
                                   : afterRow ? kParagraphGap + kAfterRows
                                              : kParagraphGap));
        format.setBottomMargin(pixels(listGoesOn || beforeRow ? 0.0 : kParagraphGap));
        if (b.kind == ReportBlock::Heading) chars.setFontWeight(QFont::Bold);
      }
      if (i == 0) {
        cursor.setBlockFormat(format);
        cursor.setBlockCharFormat(chars);
      } else {
        cursor.insertBlock(format, chars);
      }
      cursor.insertText(text, chars);
      if (b.kind != ReportBlock::Item) {
        list = nullptr;
      } else if (list == nullptr) {
        QTextListFormat bullets;
        bullets.setIndent(1);
        bullets.setStyle(QTextListFormat::ListDisc);
        list = cursor.createList(bullets);
      } else {
        list->add(cursor.block());
      }
    }
  });
}

const QRawFont& ReportFonts::rawFont(const ReportTextFont& font) {
  auto it = fonts_.find(font);
  if (it == fonts_.end()) {
    QFont request(font.family);
    request.setWeight(static_cast<QFont::Weight>(font.weight));
    request.setStyle(font.style);
    request.setPointSizeF(font.pixelSize);
    const QImage device = reportLayoutDevice();
    it = fonts_.emplace(font, QRawFont::fromFont(QFont(request, &device))).first;
  }
  return it->second;
}

void drawReportText(QPainter& painter, const ReportText& text, ReportFonts& fonts) {
  painter.save();
  painter.translate(0, text.top);
  painter.scale(text.scale, text.scale);
  painter.setClipRect(text.clip);
  painter.setPen(Qt::black);
  for (const ReportText::Run& run : text.runs) {
    QGlyphRun glyphs;
    glyphs.setRawFont(fonts.rawFont(run.font));
    glyphs.setGlyphIndexes(run.glyphs);
    glyphs.setPositions(run.positions);
    painter.drawGlyphRun(QPointF(), glyphs);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const QRectF& bullet : text.bullets) painter.drawEllipse(bullet);
  painter.restore();
}

double drawReportHtml(QPainter& painter, const QString& html, double top, double points) {
  ReportFonts fonts;
  const ReportText text = layOutReportHtml(html, top, points);
  drawReportText(painter, text, fonts);
  return text.height;
}

}  // namespace fiberview
