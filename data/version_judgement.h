// Tells a file's version from the roles its sections' properties play: the old version's
// give the section's height and width, the new version's its stiffnesses.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <span>

#include "data/section_store.h"

namespace fiberview {

// Sections whose properties tell the version, where detection proposes a layout and where
// checkValues checks a read.
inline constexpr std::size_t kSectionsForVersion = 64;

// How a version was told from the properties.
enum class VersionSign {
  NoTitles,    // only one version reads a file without title lines
  Properties,  // every section whose properties fit one version's roles fits the same one
  NoEvidence,  // no section's properties fit any version's roles (no fibers, or odd values)
  Mixed,       // some sections fit one version, others another
};

struct VersionFinding {
  std::optional<FileVersion> version;
  VersionSign sign = VersionSign::NoEvidence;
  int sectionsFitting = 0;  // with Properties: how many sections fit the version
  int firstSection = 0;     // with Properties: the first of them
  int otherSection = 0;     // with Mixed: the first section that fits another version
};

// Tells the version by the roles of each version's properties in up to `most` sections spread
// evenly over `sections`: a version that gives the size fits where the properties are the
// height and width of all fibers, taken as squares of their areas or, where no version fits
// those, as cells as long and as thick as the spacing of their centres gives them, both within
// a factor of 3; one that gives stiffnesses fits where EIxx/EA and EIyy/EA are Ixx/A and Iyy/A
// of the fibers (each with its own cell's inertia, so a wall one fiber thick has both), about
// the centroid or the origin, within a factor of 3. Lengths and stiffnesses differ by orders of
// magnitude, so at most one version fits a realistic section.
VersionFinding judgeVersion(std::span<const Section> sections,
                            std::size_t most = std::numeric_limits<std::size_t>::max());

}  // namespace fiberview
