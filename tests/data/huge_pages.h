// Whether the system was asked to back a piece of memory with huge pages, as it reports in
// /proc/self/smaps: the mapping that holds the address lists "hg" among its VmFlags.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>

namespace fiberview {

inline bool advisedForHugePages(const void* p) {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    std::uintptr_t start = 0, end = 0;
    // Each mapping begins with its range, "start-end", in hexadecimal.
    if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " ", &start, &end) == 2) {
      inside = start <= address && address < end;
    } else if (inside && line.starts_with("VmFlags:")) {
      return (line + " ").find(" hg ") != std::string::npos;
    }
  }
  return false;
}

// Whether the kernel has transparent huge pages at all; without them it takes no advice.
inline bool systemHasHugePages() {
  return std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled").good();
}

}  // namespace fiberview
