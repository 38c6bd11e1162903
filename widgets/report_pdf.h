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
#include "widgets/report_text.h"

class QIODevice;
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

// A4 upright, 15 mm margins, painted in points (kReportDpi).
void setUpReportWriter(QPdfWriter& writer, const QString& title);

// Writes the report to `device`. `rows` are the verdicts of every section of `store`, and
// `regions` their concrete regions; `pages` the 1-based numbers of the sections that get a page, in
// order. `proceed` is called with the number of pages done after each page; when it returns false
// the report stops there and Cancelled is returned. Failed when the PDF could not be written.
// The pages are made ready on workers, on every core, a few pages ahead of the calling thread,
// which paints them in order.
WriteStep writeReportPdf(QIODevice& device, const SectionStore& store, const ReportFile& file,
                         const std::vector<SectionRow>& rows, const SectionRegions& regions,
                         const std::vector<int>& pages, const std::function<bool(int)>& proceed);

}  // namespace fiberview
