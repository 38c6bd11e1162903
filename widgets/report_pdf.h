// The report of a whole file as a PDF for A4 paper: a first page about the file and the
// check, then one page per chosen section with its drawing, properties, figures and
// findings. Text is set in a CJK font that the PDF embeds, so it stays selectable.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

#include "data/section_store.h"
#include "document/file_document.h"
#include "plot/section_row.h"
#include "widgets/file_export.h"

class QFont;
class QIODevice;
class QPainter;
class QPdfWriter;

namespace fiberview {

struct ReportFile {
  QString name;    // the file's name, without its folder
  QString folder;  // where the file is, for the Save dialog to start in
  qint64 size = 0;
  QDateTime modified;
  QString settings;  // the reading settings in words
};

// The open file of `document` as the report describes it.
ReportFile reportFile(const FileDocument& document);
// The file at `path`, read with `readWith`, as the report describes it.
ReportFile reportFile(const QString& path, const ReadOptions& readWith);

// The page's room inside its margins, in points: A4 less 15 mm each side.
inline constexpr double kReportWidth = 595.0 - 2 * 42.5;
inline constexpr double kReportHeight = 842.0 - 2 * 42.5;

// A4 upright, 15 mm margins, painted in points (72 dpi).
void setUpReportWriter(QPdfWriter& writer, const QString& title);
// The reports' CJK font, which the PDF embeds, so that its text stays selectable.
QFont reportFont(double points, bool bold = false);
// Draws `html` from `top` down to the foot of the page, smaller where it would not fit;
// returns the height used.
double drawReportHtml(QPainter& painter, QPdfWriter& writer, const QString& html, double top,
                      double points);
// `items` as a list, each escaped.
QString reportListHtml(const QStringList& items);

// Writes the report to `device`. `rows` are the verdicts of every section of `store`, and
// `regions` their concrete regions; `pages` the 1-based numbers of the sections that get a page, in
// order. `proceed` is called with the number of pages done after each page; when it returns false
// the report stops there and Cancelled is returned. Failed when the PDF could not be written.
WriteStep writeReportPdf(QIODevice& device, const SectionStore& store, const ReportFile& file,
                         const std::vector<SectionRow>& rows, const SectionRegions& regions,
                         const std::vector<int>& pages, const std::function<bool(int)>& proceed);

}  // namespace fiberview
