#include "bench/naive_reader.h"

#include <fstream>
#include <stdexcept>

namespace fiberview::bench {

namespace {

// std::stod throws on a word that is no number; the caller turns that into false.
bool next(std::ifstream& in, std::string& word, double& value) {
  if (!(in >> word)) return false;
  value = std::stod(word);
  return true;
}

}  // namespace

bool readNaive(const std::string& path, int concrete, int steel, NaiveStore& out) {
  std::ifstream in(path);
  if (!in) return false;
  std::string word;
  try {
    double count = 0.0;
    if (!next(in, word, count) || count < 0.0) return false;
    out.sections.assign(static_cast<std::size_t>(count), NaiveSection{});
    for (NaiveSection& s : out.sections) {
      if (!next(in, word, s.h) || !next(in, word, s.b) || !next(in, word, s.e0)) return false;
      s.concrete.resize(static_cast<std::size_t>(concrete));
      for (auto& fiber : s.concrete) {
        for (double& v : fiber) {
          if (!next(in, word, v)) return false;
        }
      }
      s.steel.resize(static_cast<std::size_t>(steel));
      for (auto& fiber : s.steel) {
        for (double& v : fiber) {
          if (!next(in, word, v)) return false;
        }
      }
    }
  } catch (const std::logic_error&) {
    return false;
  }
  return true;
}

}  // namespace fiberview::bench
