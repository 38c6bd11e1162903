// What differs between the versions of the fiber data file, described once per version.
// The reader, the messages and the drawing take what they need from here.
#pragma once

#include <array>

namespace fiberview {

enum class FileVersion { Old, New };

// Bounds of the data model: a file needing more is refused by the readers.
inline constexpr int kMaxTitledSections = 1000;
inline constexpr int kMaxSections = 2000;
inline constexpr int kMaxFibers = 100;

struct VersionDescription {
  FileVersion version;
  const char* name;  // as the window's option names it
  // The three section properties in file order. The first two may hold text; the third
  // is always a number, so an unread third property shows as 0.
  std::array<const char*, 3> propertyNames;
  // The order in which the drawing's property line shows them (indices into the above).
  std::array<int, 3> shownOrder;
  // Whether every section has a title line; otherwise the window's option decides.
  bool alwaysTitled;
  // How many sections a file may hold, with and without title lines.
  int titledSectionLimit;
  int untitledSectionLimit;

  // What each property means, as an index into propertyNames, or -1 where the version
  // does not give it: the section's size (a length) or its stiffnesses (modulus times
  // area, modulus times second moment about the x and the y axis).
  int widthProperty;
  int heightProperty;
  int axialStiffnessProperty;
  int stiffnessXXProperty;
  int stiffnessYYProperty;

  int sectionLimit(bool titled) const { return titled ? titledSectionLimit : untitledSectionLimit; }
  constexpr bool readsWithoutTitles() const { return !alwaysTitled; }
  constexpr bool givesSize() const { return widthProperty >= 0 && heightProperty >= 0; }
  constexpr bool givesStiffness() const {
    return axialStiffnessProperty >= 0 && stiffnessXXProperty >= 0 && stiffnessYYProperty >= 0;
  }
};

inline constexpr VersionDescription kFileVersions[] = {
    // The old version writes the height before the width but shows the width first.
    {FileVersion::Old,
     "老版本",
     {"H", "B", "E0"},
     {1, 0, 2},
     false,
     kMaxTitledSections,
     kMaxSections,
     1,
     0,
     -1,
     -1,
     -1},
    {FileVersion::New,
     "新版本",
     {"EA", "EIxx", "EIyy"},
     {0, 1, 2},
     true,
     kMaxTitledSections,
     kMaxTitledSections,
     -1,
     -1,
     0,
     1,
     2},
};

inline constexpr const VersionDescription& describe(FileVersion version) {
  return kFileVersions[static_cast<int>(version)];
}

// The version a file without title lines must be read with: the first that reads one.
inline constexpr FileVersion versionWithoutTitles() {
  for (const VersionDescription& v : kFileVersions) {
    if (v.readsWithoutTitles()) return v.version;
  }
  return kFileVersions[0].version;
}

}  // namespace fiberview
