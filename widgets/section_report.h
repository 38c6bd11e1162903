// What the section explorer says about a section in words: its heading, its summary
// figures and its check findings. Figures are written with figureNumber, in the file's units.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "data/section_store.h"
#include "plot/section_summary.h"

namespace fiberview {

// What the explorer shows before anything is drawn.
QString emptyExplorerText();

// "第 5 节", the title when the file has titles, then the version read and its three
// properties as the drawing writes them.
QString sectionHeading(const SectionStore& store, int number);

// One line of the summary: a heading, a row of cells, or a note of one sentence.
struct SummaryLine {
  enum Kind { Heading, Row, Note };
  Kind kind = Row;
  QStringList cells;  // one cell for a heading or a note
};

// The summary of `section`, read from `store`, whose concrete region is `region`: counts,
// areas and the reinforcement ratio, centroids, second moments about the centroids,
// extents, and the region's area and extent. After an old-version read it compares B and
// H with the region's width and height, and B × H with its area where the region is a
// rectangle; after a new-version read it names the axes the stiffnesses fit and the moduli
// they imply. It says in words what cannot be compared.
std::vector<SummaryLine> summaryLines(const SectionStore& store, const Section& section,
                                      const ConcreteRegion& region);

// One finding of checkSection as a sentence, e.g. "第 2 根与第 5 根混凝土纤维重合".
QString findingText(const Finding& finding);

// What the check list says when checkSection finds nothing.
QString noFindingsText();
// Why a section's concrete region could not be made, as ConcreteRegion::failure() gives it.
QString regionFailureText(const std::string& reason);

}  // namespace fiberview
