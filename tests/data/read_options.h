// The settings of a read, as the tests write them.
#pragma once

#include <cstdint>

#include "data/section_store.h"

namespace fiberview {

inline ReadOptions readOptions(FileVersion version, bool titled, int concrete, double steel) {
  ReadOptions o;
  o.version = version;
  o.hasTitleLine = titled;
  o.concreteCount = static_cast<std::int16_t>(concrete);
  o.steelCount = steel;
  return o;
}

}  // namespace fiberview
