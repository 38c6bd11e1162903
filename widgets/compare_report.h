// The report of a comparison as a PDF for A4 paper: a first page about both files and how
// their sections were matched, then one page per section that differs, with its drawing
// and its changes.
#pragma once

#include <functional>

#include "data/section_store.h"
#include "plot/section_compare.h"
#include "widgets/file_export.h"
#include "widgets/report_pdf.h"

class QIODevice;

namespace fiberview {

// Writes the report to `device`: `comparison` of `before` (described by `beforeFile`) with
// `after`. `proceed` is called with the number of section pages done after each; when it
// returns false the report stops there and Cancelled is returned. Failed when the PDF could
// not be written.
WriteStep writeComparisonPdf(QIODevice& device, const SectionStore& before,
                             const ReportFile& beforeFile, const SectionStore& after,
                             const ReportFile& afterFile, const Comparison& comparison,
                             const std::function<bool(int)>& proceed);

}  // namespace fiberview
