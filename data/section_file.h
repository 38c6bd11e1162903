// The two readers of a fiber data file, old and new version.
//
// Fields, in order: the section count N; then for each section an optional title (always
// in the new version, in the old one only with title lines), three properties (new: EA,
// EIxx, EIyy; old: H, B, E0), 8 values per concrete fiber and 5 per steel fiber. The file
// does not say how many fibers a section has: the counts come from ReadOptions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "data/feedback.h"
#include "data/field_reader.h"
#include "data/section_store.h"

namespace fiberview {

// Which field was being read when a read failed.
enum class FieldRole {
  None,           // not inside a field (opening the file, checking the options)
  SectionCount,   // the first field of the file
  Title,          // the title of `section`
  Property,       // property `value` (1 to 3) of `section`
  ConcreteValue,  // value `value` (1 to 8) of concrete fiber `fiber` of `section`
  SteelValue,     // value `value` (1 to 5) of steel fiber `fiber` of `section`
};

struct ReadError {
  ReadFailure kind = ReadFailure::File;
  // Meaningless for TooManyFibers, Cancelled, and a File failure other than ReadFailed.
  TextPosition where{};
  FieldRole role = FieldRole::None;
  int section = 0;
  int fiber = 0;
  int value = 0;
  std::string found{};  // UTF-8, as FieldError::found
  int limit = 0;
  FileError file{};  // with File
  // For MemoryBudget: bytes the store would take, and the budget it exceeds.
  std::uint64_t memoryNeeded = 0;
  std::uint64_t memoryBudget = 0;
};

using ReadResult = std::variant<SectionStore, ReadError>;

// How a caller follows and stops a read, which may run on another thread.
struct ReadControl {
  // The read reports the bytes read so far and the source's size (0 when unknown) between
  // sections, at most every 1/256 of the file, and stops between two sections, failing with
  // Cancelled, once it is cancelled; the half-read store is freed before the read returns.
  Feedback* feedback = nullptr;
  // The most memory, in bytes, the store may take; 0 takes readMemoryBudget().
  std::uint64_t memoryBudget = 0;
  // A source of at least this many bytes that can be read in parts is read in two at once;
  // 0 takes kSplitReadFrom where the machine has two cores or more.
  std::uint64_t splitFrom = 0;
};

inline constexpr std::uint64_t kSplitReadFrom = std::uint64_t{8} << 20;

// Where a section seems to begin in `bytes`, a part of a file read from its middle: the
// start of the first line that stands where a section's first line stands when the file
// puts each record on a line of its own (a title, the properties, each fiber). A guess only,
// which the reader confirms; nullopt where no line looks so.
std::optional<std::size_t> likelySectionStart(std::string_view bytes, const ReadOptions& options);

// The memory a store of `sections` sections of `concrete` + `steel` fibers takes, in bytes,
// titles aside: sections x (8 x concrete + 5 x steel) x 8, plus each section's own record.
std::uint64_t storeBytes(int sections, int concrete, int steel);

// The memory a read may use: three quarters of what the system reports available
// (MemAvailable), so that a read never drives the machine out of memory. 0 when unknown,
// which sets no bound.
std::uint64_t readMemoryBudget();

// Reads a whole file into a new store. Nothing outside the result is touched, so a failed
// or cancelled read leaves the caller's store as it was. A store that would exceed the
// budget is refused with MemoryBudget at the section count, before any of it is allocated;
// titles count against the budget as they are read.
ReadResult readSectionFile(const std::string& path, const ReadOptions& options,
                           const ReadControl& control = {});

// The same over any byte source; the reader behind readSectionFile.
ReadResult readSections(ByteSource& source, const ReadOptions& options,
                        const ReadControl& control = {});

}  // namespace fiberview
