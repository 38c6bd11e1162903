// Fiber data files for the benchmarks, written at run time into the system's temporary
// folder so that nothing large lives in the repository.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fiberview::bench {

// A path in the temporary folder, unique to this process; the file is removed when the
// object goes.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string_view stem);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes an old-version file without title lines, as the Korvex code writes it for
// rectangular reinforced-concrete columns: the section count, then per section a line
// "H B E0" (mm and N/mm2), `concrete` lines of 8 values for a grid of concrete fibers
// covering the section and `steel` lines of 5 values for bars along the stirrups. Every
// section has its own size, so no two sections repeat. Lines end in CR LF; the lines are
// streamed to the file, so writing takes little memory whatever the size.
// Returns the number of bytes written, or 0 when the file could not be written.
std::uintmax_t writeOldFormatFile(const std::string& path, int sections, int concrete, int steel);

// The largest file of the format's first readers, still the common large file: 2000 sections
// of 100 concrete and 100 steel fibers, 33 MB.
inline constexpr int kLargestSections = 2000;
inline constexpr int kLargestFibers = 100;

}  // namespace fiberview::bench
