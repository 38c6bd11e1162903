// What the section explorer says about a section in words: its heading, its summary
// figures and its check findings. Numbers are written with shortNumber, in the file's units.
#pragma once

#include <QString>

#include "data/section_store.h"
#include "plot/section_summary.h"

namespace fiberview {

// What the explorer shows before anything is drawn.
QString emptyExplorerText();

// "第 5 节", the title when the file has titles, then the version read and its three
// properties as the drawing writes them.
QString sectionHeading(const SectionStore& store, int number);

// The summary of `section`, read from `store`, as rich text: counts, areas and the
// reinforcement ratio, centroids, second moments about the centroids and extents. After an
// old-version read it compares B × H, B and H with the concrete; after a new-version read it
// sets EA, EIxx and EIyy as read beside ΣAc, Ixx and Iyy of the concrete.
QString summaryHtml(const SectionStore& store, const Section& section);

// One finding of checkSection as a sentence, e.g. "第 2 根与第 5 根混凝土纤维重合".
QString findingText(const Finding& finding);

// What the check list says when checkSection finds nothing.
QString noFindingsText();

}  // namespace fiberview
