// The text of the PDF reports: the page's room, the font, and HTML laid out to fill the page
// from a given height down, smaller where it would not fit.
//
// Laying text out is most of the work of a report page, so a report lays out the text of
// coming pages on workers while one thread paints. Qt's layout ties its glyphs to the font
// engines of the thread that made them, and those engines may not be used by two threads at
// once; what crosses threads here is plain data instead: the glyphs of each run with their
// positions and a description of their font, which the painting thread turns into fonts of
// its own (ReportFonts). Drawn so, the PDF holds the same glyphs at the same places as it
// would from the laid-out document itself.
#pragma once

#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <map>
#include <tuple>
#include <vector>

class QPainter;

namespace fiberview {

// The reports are painted in points: 72 to the inch.
inline constexpr int kReportDpi = 72;
// The page's room inside its margins, in points: A4 less 15 mm each side.
inline constexpr double kReportWidth = 595.0 - 2 * 42.5;
inline constexpr double kReportHeight = 842.0 - 2 * 42.5;

// The reports' CJK font, which the PDF embeds, so that its text stays selectable.
QFont reportFont(double points, bool bold = false);
// A paint device of the reports' resolution, to lay text out or measure it on any thread:
// laid out on it, text takes the same glyphs and places as on the PDF writer, which belongs
// to the painting thread.
QImage reportLayoutDevice();
// `items` as a list, each escaped.
QString reportListHtml(const QStringList& items);

// A font as a run of laid-out text used it, by what any thread can find it again by.
struct ReportTextFont {
  QString family;
  double pixelSize = 0.0;  // in points, the report's pixels
  int weight = QFont::Normal;
  QFont::Style style = QFont::StyleNormal;

  friend bool operator<(const ReportTextFont& a, const ReportTextFont& b) {
    return std::tie(a.family, a.pixelSize, a.weight, a.style) <
           std::tie(b.family, b.pixelSize, b.weight, b.style);
  }
  friend bool operator==(const ReportTextFont&, const ReportTextFont&) = default;
};

// Text laid out for a page, ready to draw.
struct ReportText {
  // Glyphs of one font in the order of the text, at their baseline positions in the
  // text's own frame (before `scale`).
  struct Run {
    ReportTextFont font;
    QList<quint32> glyphs;
    QList<QPointF> positions;
  };
  std::vector<Run> runs;
  std::vector<QRectF> bullets;  // the discs before list items, in the same frame
  double top = 0.0;             // where the text starts on the page, in points
  double scale = 1.0;           // drawn at this scale
  QRectF clip;                  // the room on the page, in the text's frame
  double height = 0.0;          // on the page, in points
};

// Lays out `html` in the report font of `points` from `top` down to the foot of the page,
// smaller where it would not fit: laid out wider and drawn smaller, the text keeps its lines
// and fills the page's width. Any thread may call it.
ReportText layOutReportHtml(const QString& html, double top, double points);

// One paragraph of a page's text: a heading (bold), a list item, a note, or a row of a label
// and a value. The values of consecutive rows line up in a column right of their widest
// label, as in a table of two columns without borders.
struct ReportBlock {
  enum Kind { Heading, Item, Note, Row };
  Kind kind = Note;
  QString text;   // a row's label
  QString value;  // a row's value
};

// Lays out `blocks` as layOutReportHtml lays out HTML, in the same look as the HTML of
// headings, lists, paragraphs and tables, in a fraction of the time: a table is laid out cell
// by cell, and several times over to find its columns, where rows here are one paragraph
// each with a tab before the value.
ReportText layOutReportBlocks(const std::vector<ReportBlock>& blocks, double top, double points);

// The fonts of one painting thread for the runs of laid-out text. Use it on that thread only.
class ReportFonts {
 public:
  const QRawFont& rawFont(const ReportTextFont& font);

 private:
  std::map<ReportTextFont, QRawFont> fonts_;
};

// Draws `text` with `painter`, whose thread `fonts` belong to.
void drawReportText(QPainter& painter, const ReportText& text, ReportFonts& fonts);

// Lays out `html` and draws it at once (layOutReportHtml); returns the height used.
double drawReportHtml(QPainter& painter, const QString& html, double top, double points);

}  // namespace fiberview
