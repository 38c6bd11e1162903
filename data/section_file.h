// The two readers of a fiber data file, old and new version.
//
// Fields, in order: the section count N; then for each section an optional title (always
// in the new version, in the old one only with title lines), three properties (new: EA,
// EIxx, EIyy; old: H, B, E0), 8 values per concrete fiber and 5 per steel fiber. The file
// does not say how many fibers a section has: the counts come from ReadOptions.
#pragma once

#include <string>
#include <variant>

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
  ReadFailure kind = ReadFailure::CannotOpen;
  TextPosition where;  // meaningless for CannotOpen, NotAFile and TooManyFibers
  FieldRole role = FieldRole::None;
  int section = 0;
  int fiber = 0;
  int value = 0;
  std::string found;  // UTF-8, as FieldError::found
  int limit = 0;
  int systemError = 0;
};

using ReadResult = std::variant<SectionStore, ReadError>;

// Reads a whole file into a new store. Nothing outside the result is touched, so a failed
// read leaves the caller's store as it was.
ReadResult readSectionFile(const std::string& path, const ReadOptions& options);

// The same over any byte source; the reader behind readSectionFile.
ReadResult readSections(ByteSource& source, const ReadOptions& options);

}  // namespace fiberview
