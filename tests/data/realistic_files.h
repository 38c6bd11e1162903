// Fiber data files as engineers' models produce them, written in memory for the tests: the
// shapes they mesh, in mm or m, near or far from the origin, with realistic further values
// (one material a region, or the mixed grades real models carry), titles of text or of
// numbers, and the line layouts analysis programs write.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/section_store.h"

namespace fiberview::testing_files {

enum class Shape { Rectangle, Wall, Circle, Ring, LShape, Box, SteelOnly };
enum class Lines {
  OneFiberALine,
  Wrapped4,  // every record wrapped at 4 numbers a line
  Wrapped5,  // every record wrapped at 5 numbers a line
  Stream6,   // a section's numbers streamed 6 a line across records
};
enum class Materials {
  Uniform,  // one concrete for the core, one for the cover, one steel
  // Grades as models mix them: several concretes in one section, a confined core, bars of
  // two grades and now and then one bar of a third, material numbers 1 to 9, strengths
  // written with either sign, further values that are 0 in some files
  Mixed,
};

struct FileRecipe {
  Shape shape = Shape::Rectangle;
  FileVersion version = FileVersion::Old;
  bool titled = false;
  bool numericTitles = false;
  Lines lines = Lines::OneFiberALine;
  bool metres = false;
  bool farFromOrigin = false;
  bool crlf = false;
  bool commas = false;
  int sections = 3;
  int size = 5;  // the mesh's divisions along each side (rings: rings; walls: length)
  int bars = 8;
  int extraRows = 0;  // rectangles: rows beyond `size`
  Materials materials = Materials::Uniform;
};

struct Written {
  std::string bytes;
  ReadOptions truth;
};

namespace detail {

struct Fiber {
  double x, y, area, ownX, ownY;  // ownX/ownY: the fiber's own second moments
};

struct Mesh {
  std::vector<Fiber> concrete;
  std::vector<Fiber> steel;
  double width = 0, height = 0;
};

inline Mesh grid(double b, double h, int nx, int ny, const std::vector<bool>& keep) {
  Mesh m;
  m.width = b, m.height = h;
  const double w = b / nx, d = h / ny;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      if (!keep.empty() && !keep[static_cast<std::size_t>(j * nx + i)]) continue;
      m.concrete.push_back({-b / 2 + (i + 0.5) * w, -h / 2 + (j + 0.5) * d, w * d,
                            w * d * d * d / 12, d * w * w * w / 12});
    }
  }
  return m;
}

inline void barsOnRectangle(Mesh& m, double b, double h, int bars, double cover, double dia) {
  const double area = M_PI * dia * dia / 4;
  const double bx = b / 2 - cover, hy = h / 2 - cover;
  // Bars around the perimeter of the stirrup, evenly by length.
  const double perimeter = 4 * (bx + hy);
  for (int k = 0; k < bars; ++k) {
    double t = perimeter * k / bars;
    double x, y;
    if (t < 2 * bx) {
      x = -bx + t, y = -hy;
    } else if ((t -= 2 * bx) < 2 * hy) {
      x = bx, y = -hy + t;
    } else if ((t -= 2 * hy) < 2 * bx) {
      x = bx - t, y = hy;
    } else {
      t -= 2 * bx;
      x = -bx, y = hy - t;
    }
    m.steel.push_back({x, y, area, 0, 0});
  }
}

inline Mesh mesh(const FileRecipe& s, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const auto round50 = [](double v) { return std::round(v / 50) * 50; };
  const int n = s.size;
  const double dia = std::vector<double>{16, 20, 22, 25}[rng() % 4];
  Mesh m;
  switch (s.shape) {
    case Shape::Rectangle: {
      const double b = round50(300 + 600 * u(rng)), h = round50(300 + 900 * u(rng));
      m = grid(b, h, n, n + s.extraRows, {});
      barsOnRectangle(m, b, h, s.bars, 40, dia);
      break;
    }
    case Shape::Wall: {
      const double t = round50(150 + 150 * u(rng)), l = round50(1500 + 4500 * u(rng));
      m = grid(l, t, n, 1, {});
      for (int k = 0; k < s.bars; ++k) {
        const double x = -l / 2 + 50 + (l - 100) * (k / 2 + 0.5) / std::max(1, s.bars / 2);
        m.steel.push_back({x, (k % 2 ? 1 : -1) * (t / 2 - 30), M_PI * dia * dia / 4, 0, 0});
      }
      break;
    }
    case Shape::Circle:
    case Shape::Ring: {
      const double r = round50(250 + 400 * u(rng));
      const double inner = s.shape == Shape::Ring ? r * 0.6 : 0.0;
      const int sectors = 8;
      m.width = m.height = 2 * r;
      for (int i = 0; i < n; ++i) {
        const double r0 = inner + (r - inner) * i / n, r1 = inner + (r - inner) * (i + 1) / n;
        const double rc = (r0 + r1) / 2, area = M_PI * (r1 * r1 - r0 * r0) / sectors;
        for (int k = 0; k < sectors; ++k) {
          const double a = 2 * M_PI * (k + 0.5) / sectors;
          m.concrete.push_back(
              {rc * std::cos(a), rc * std::sin(a), area, area * area / 12, area * area / 12});
        }
      }
      for (int k = 0; k < s.bars; ++k) {
        const double a = 2 * M_PI * k / s.bars;
        m.steel.push_back(
            {(r - 50) * std::cos(a), (r - 50) * std::sin(a), M_PI * dia * dia / 4, 0, 0});
      }
      break;
    }
    case Shape::LShape:
    case Shape::Box: {
      const double b = round50(600 + 600 * u(rng)), h = round50(600 + 600 * u(rng));
      std::vector<bool> keep(static_cast<std::size_t>(n * n), true);
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const bool out = s.shape == Shape::LShape ? (i >= n / 2 && j >= n / 2)
                                                    : (i > 0 && i < n - 1 && j > 0 && j < n - 1);
          if (out) keep[static_cast<std::size_t>(j * n + i)] = false;
        }
      }
      m = grid(b, h, n, n, keep);
      // The bars stand at the corners of the cells kept, one per cell at its corner.
      for (int k = 0; k < s.bars; ++k) {
        const Fiber& f = m.concrete[static_cast<std::size_t>(k) % m.concrete.size()];
        m.steel.push_back({f.x - 10, f.y - 10, M_PI * dia * dia / 4, 0, 0});
      }
      break;
    }
    case Shape::SteelOnly: {
      // A welded I-section meshed in steel fibers: two flanges and a web.
      const double b = round50(200 + 200 * u(rng)), h = round50(300 + 500 * u(rng));
      const double tf = 20, tw = 12;
      const int per = std::max(1, s.bars / 3);
      for (int k = 0; k < per; ++k) {
        const double x = -b / 2 + (k + 0.5) * b / per;
        m.steel.push_back({x, h / 2 - tf / 2, b / per * tf, 0, 0});
        m.steel.push_back({x, -h / 2 + tf / 2, b / per * tf, 0, 0});
      }
      const int web = s.bars - 2 * per;
      for (int k = 0; k < web; ++k) {
        const double y = -(h / 2 - tf) + (k + 0.5) * (h - 2 * tf) / web;
        m.steel.push_back({0, y, (h - 2 * tf) / web * tw, 0, 0});
      }
      m.width = b, m.height = h;
      break;
    }
  }
  return m;
}

// Written with to_chars, whatever the locale: the window tests also run under one whose
// decimal mark is a comma.
inline std::string number(double v, std::chars_format form = std::chars_format::general,
                          int precision = 6) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, v, form, precision).ptr);
}

inline std::string stiffness(double v) {
  return number(v, std::chars_format::scientific, 4);
}

// The further values of one concrete: its material number, strength, the strain at the
// strength, the ultimate strain and the tensile strength.
struct Concrete {
  std::string values[5];
};

// The further values a file's fibers carry, by region: concrete of the cover, of a core and
// of a second grade in the same section; bars of the main grade, of a second one, and one
// odd bar.
struct MaterialSet {
  Concrete cover, core, band;
  double coreExtent = 0.35;  // the core's half sides, as a share of the section's sides
  bool hasBand = false;      // the concrete of the outer tenth on one side is another grade
  std::string bars[3][2];
  int secondGradeBars = 0;  // the first bars of each section take the second grade
  bool oddBar = false;      // some sections hold one bar of a third grade
};

inline MaterialSet materials(Materials kind, double stress, std::mt19937& rng) {
  MaterialSet m;
  if (kind == Materials::Uniform) {
    m.cover = {{"2", number(-30 * stress), "0.002", "0.0035", "0"}};
    m.core = {{"1", number(-35.2 * stress), "0.002", "0.008", "0"}};
    for (auto& bar : m.bars) bar[0] = "3", bar[1] = number(400 * stress);
    return m;
  }
  // Characteristic strengths of the common grades, and cube strengths some models write.
  const double grades[] = {20.1, 23.4, 26.8, 29.6, 32.4, 35.5, 38.5, 41.5, 44.5, 50.2, 30, 40};
  const double yields[] = {300, 335, 400, 452.5, 500};
  std::vector<int> numbers = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::shuffle(numbers.begin(), numbers.end(), rng);
  const double sign = rng() % 4 == 0 ? 1.0 : -1.0;
  const bool peakZero = rng() % 5 == 0;
  // The tensile strength: 0 everywhere, given everywhere, or given for the core alone.
  const auto tension = rng() % 3;
  const std::string ultimate = rng() % 2 ? "0.0033" : "0.0035";
  const auto concrete = [&](std::size_t grade, int number_, const std::string& strain,
                            bool tensionGiven) {
    const double fck = grades[grade];
    const double ft = std::round(0.26 * std::pow(fck, 2.0 / 3.0) * 100) / 100;
    return Concrete{{std::to_string(number_), number(sign * fck * stress), peakZero ? "0" : "0.002",
                     strain, tensionGiven ? number(ft * stress) : "0"}};
  };
  const std::size_t cover = rng() % std::size(grades);
  m.cover = concrete(cover, numbers[0], ultimate, tension == 1);
  // A confined core of the same or a stronger grade.
  const std::size_t core = rng() % 2 ? cover : rng() % std::size(grades);
  m.core = concrete(core, numbers[1], rng() % 2 ? "0.01" : ultimate, tension != 0);
  m.coreExtent = 0.1 * static_cast<double>(1 + rng() % 4);
  m.hasBand = rng() % 3 == 0;
  m.band = concrete(rng() % std::size(grades), numbers[2], ultimate, tension == 1);
  std::size_t grade[3] = {rng() % std::size(yields), rng() % std::size(yields), 0};
  // The odd bar is often of the grade that is not a whole number, or among many that are.
  grade[2] = rng() % 2 ? (grade[0] == 3 ? 2 : 3) : rng() % std::size(yields);
  for (std::size_t g = 0; g < 3; ++g) {
    m.bars[g][0] = std::to_string(numbers[3 + g]);
    m.bars[g][1] = number(yields[grade[g]] * stress);
  }
  m.secondGradeBars = rng() % 2 ? 1 + static_cast<int>(rng() % 6) : 0;
  m.oddBar = rng() % 3 != 0;
  return m;
}

}  // namespace detail

// One file as `recipe` says, its sections varying in size; `truth` holds its settings.
inline Written write(const FileRecipe& recipe, unsigned draw) {
  using namespace detail;
  std::mt19937 rng(draw);
  const double unit = recipe.metres ? 0.001 : 1.0;  // a length in the file's unit
  const double stress = recipe.metres ? 1000.0 : 1.0;
  const double ec = 30000 * stress, es = 200000 * stress;
  const std::string eol = recipe.crlf ? "\r\n" : "\n";
  const std::string sep = recipe.commas ? "," : " ";
  const bool titled = recipe.titled || recipe.version == FileVersion::New;
  // Drawn apart from the meshes, so that a file of uniform materials stays as it was.
  std::mt19937 materialDraw(draw ^ 0x5bd1e995u);
  const MaterialSet materialSet = materials(recipe.materials, stress, materialDraw);
  Written out;
  out.bytes = std::to_string(recipe.sections) + eol;
  for (int k = 0; k < recipe.sections; ++k) {
    Mesh m = mesh(recipe, rng);
    const double ox = recipe.farFromOrigin ? 25000.0 : 0.0,
                 oy = recipe.farFromOrigin ? -8000.0 : 0.0;
    if (titled) {
      if (recipe.numericTitles) {
        out.bytes += number(m.height) + " " + number(m.width) + eol;
      } else {
        out.bytes += "KZ" + std::to_string(k + 1) + " 第" + std::to_string(k % 5 + 1) + "层" + eol;
      }
    }
    std::vector<std::vector<std::string>> records;
    if (recipe.version == FileVersion::Old) {
      records.push_back({number(m.height * unit), number(m.width * unit), number(ec)});
    } else {
      double ea = 0, ax = 0, ay = 0;
      const auto each = [&](auto&& f) {
        for (const Fiber& c : m.concrete) f(c, ec);
        for (const Fiber& s : m.steel) f(s, es);
      };
      each([&](const Fiber& f, double e) {
        ea += e * f.area, ax += e * f.area * f.x, ay += e * f.area * f.y;
      });
      const double cx = ax / ea, cy = ay / ea;
      double eixx = 0, eiyy = 0;
      each([&](const Fiber& f, double e) {
        eixx += e * (f.area * (f.y - cy) * (f.y - cy) + f.ownX);
        eiyy += e * (f.area * (f.x - cx) * (f.x - cx) + f.ownY);
      });
      records.push_back({stiffness(ea * unit * unit), stiffness(eixx * std::pow(unit, 4)),
                         stiffness(eiyy * std::pow(unit, 4))});
    }
    for (const Fiber& f : m.concrete) {
      const double extent = materialSet.coreExtent;
      const bool core = std::abs(f.x) < m.width * extent && std::abs(f.y) < m.height * extent;
      const Concrete& c = core                                         ? materialSet.core
                          : materialSet.hasBand && f.x > 0.4 * m.width ? materialSet.band
                                                                       : materialSet.cover;
      records.push_back(
          {number((f.x + ox) * unit), number((f.y + oy) * unit), number(f.area * unit * unit)});
      records.back().insert(records.back().end(), std::begin(c.values), std::end(c.values));
    }
    const std::size_t oddBar = materialSet.oddBar && rng() % 2 == 0 && !m.steel.empty()
                                   ? rng() % m.steel.size()
                                   : m.steel.size();
    for (std::size_t j = 0; j < m.steel.size(); ++j) {
      const Fiber& f = m.steel[j];
      const auto& grade = j == oddBar                                         ? materialSet.bars[2]
                          : static_cast<int>(j) < materialSet.secondGradeBars ? materialSet.bars[1]
                                                                              : materialSet.bars[0];
      records.push_back({number((f.x + ox) * unit), number((f.y + oy) * unit),
                         number(f.area * unit * unit), grade[0], grade[1]});
    }
    const int width = recipe.lines == Lines::Wrapped4 ? 4 : recipe.lines == Lines::Wrapped5 ? 5 : 6;
    int onLine = 0;
    for (const auto& r : records) {
      for (std::size_t v = 0; v < r.size(); ++v) {
        if (onLine > 0) out.bytes += sep;
        out.bytes += r[v];
        ++onLine;
        const bool recordEnds = v + 1 == r.size();
        const bool lineEnds = recipe.lines == Lines::OneFiberALine ? recordEnds
                              : recipe.lines == Lines::Stream6     ? onLine == width
                                                                   : recordEnds || onLine == width;
        if (lineEnds) {
          out.bytes += eol;
          onLine = 0;
        }
      }
    }
    if (onLine != 0) out.bytes += eol;
    out.truth.concreteCount = static_cast<std::int16_t>(m.concrete.size());
    out.truth.steelCount = static_cast<double>(m.steel.size());
  }
  out.truth.version = recipe.version;
  out.truth.hasTitleLine = titled;
  return out;
}

// The recipe of realistic file number `i`: every shape, version, title kind, line layout,
// unit and placement in turn, with sizes that keep within the store's limits.
inline FileRecipe realisticRecipe(unsigned i) {
  std::mt19937 rng(i * 7919u + 17u);
  FileRecipe s;
  s.shape = static_cast<Shape>(i % 7);
  s.version = (i / 7) % 2 ? FileVersion::New : FileVersion::Old;
  s.titled = s.version == FileVersion::New || (i / 14) % 2 == 0;
  s.numericTitles = s.titled && rng() % 4 == 0;
  s.lines = static_cast<Lines>(rng() % 4);
  s.metres = rng() % 3 == 0;
  s.farFromOrigin = rng() % 4 == 0;
  s.crlf = rng() % 2 == 0;
  s.commas = rng() % 5 == 0;
  s.sections = 1 + static_cast<int>(rng() % 6);
  s.extraRows = static_cast<int>(rng() % 3);
  s.size = 2 + static_cast<int>(rng() % 7);
  s.bars = s.shape == Shape::SteelOnly ? 6 + static_cast<int>(rng() % 20)
                                       : 4 + 2 * static_cast<int>(rng() % 6);
  if (s.shape == Shape::Wall) {
    // Slices of ordinary walls, down to a fortieth of their thickness.
    const int slices[] = {4 + static_cast<int>(rng() % 20), 40, 200};
    s.size = slices[rng() % 3];
  }
  return s;
}

// The same with mixed materials, at the size of real models: meshes of up to some 400 fibers
// and up to 26 bars.
inline FileRecipe mixedRecipe(unsigned i) {
  FileRecipe s = realisticRecipe(i);
  std::mt19937 rng(i * 104729u + 3u);
  s.materials = Materials::Mixed;
  if (s.shape != Shape::Wall && s.shape != Shape::SteelOnly) {
    s.size = 2 + static_cast<int>(rng() % 19);
    s.bars = 4 + 2 * static_cast<int>(rng() % 12);
  }
  return s;
}

}  // namespace fiberview::testing_files
