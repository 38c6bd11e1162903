#include "bench/naive_reader.h"

#include <locale.h>

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

// std::stod reads with the C library's locale, which QApplication takes from the
// environment; a port that is a plain program reads in the "C" locale, where the decimal
// mark is '.'. Holds that locale for the calling thread while it lives.
class ClassicNumbers {
 public:
  ClassicNumbers()
      : classic_(newlocale(LC_NUMERIC_MASK, "C", locale_t{})), previous_(uselocale(classic_)) {}
  ~ClassicNumbers() {
    uselocale(previous_);
    freelocale(classic_);
  }
  ClassicNumbers(const ClassicNumbers&) = delete;
  ClassicNumbers& operator=(const ClassicNumbers&) = delete;

 private:
  locale_t classic_;
  locale_t previous_;
};

}  // namespace

bool readNaive(const std::string& path, int concrete, int steel, NaiveStore& out) {
  const ClassicNumbers classic;
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
