// A reference reader written the way an ordinary port would: whitespace-separated words
// from an std::ifstream, each converted with std::stod. It lives here only as the yardstick
// for the real reader; it knows no commas, quotes, titles, encodings or error positions.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace fiberview::bench {

struct NaiveSection {
  double h = 0.0;
  double b = 0.0;
  double e0 = 0.0;
  std::vector<std::array<double, 8>> concrete;
  std::vector<std::array<double, 5>> steel;
};

struct NaiveStore {
  std::vector<NaiveSection> sections;
};

// Reads an old-version file without title lines: N, then per section H B E0, 8 values per
// concrete fiber and 5 per steel fiber, with '.' as the decimal mark whatever the locale.
// Returns false when the file cannot be opened, ends early or holds a word that is not a
// number.
bool readNaive(const std::string& path, int concrete, int steel, NaiveStore& out);

}  // namespace fiberview::bench
