#include "bench/fiber_files.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fiberview::bench {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kCover = 40.0;  // mm from the concrete face to the bar centres

struct Point {
  double x = 0.0;
  double y = 0.0;
};

// The point at arc length `s` along the rectangle of half-sizes hx, hy, walking
// anticlockwise from its bottom-left corner.
Point alongPerimeter(double hx, double hy, double s) {
  const double w = 2.0 * hx;
  const double h = 2.0 * hy;
  if (s < w) return {-hx + s, -hy};
  s -= w;
  if (s < h) return {hx, -hy + s};
  s -= h;
  if (s < w) return {hx - s, hy};
  s -= w;
  return {-hx, hy - s};
}

// Bar j of `count` along the stirrups: the four corners first, then the others spread
// evenly over the perimeter.
Point barCentre(double hx, double hy, int j, int count) {
  const Point corners[] = {{-hx, -hy}, {hx, -hy}, {hx, hy}, {-hx, hy}};
  if (j < 4) return corners[j];
  const double perimeter = 4.0 * (hx + hy);
  return alongPerimeter(hx, hy, (j - 4 + 0.5) * perimeter / (count - 4));
}

// The fields of a line, each right-aligned in `width` characters as printf's "%*d" and
// "%*.*f" align them. to_chars rather than printf: printf writes the decimal mark of the
// locale, which QApplication takes from the environment, and the readers want a '.'.
void appendAligned(std::string& line, const char* first, const char* last, std::size_t width) {
  const auto length = static_cast<std::size_t>(last - first);
  if (length < width) line.append(width - length, ' ');
  line.append(first, length);
}

void appendInt(std::string& line, int value, std::size_t width) {
  char text[16];
  appendAligned(line, text, std::to_chars(text, text + sizeof text, value).ptr, width);
}

void appendFixed(std::string& line, double value, std::size_t width, int decimals) {
  // Every value written here is below 1e6, far from what 64 characters can hold.
  char text[64];
  const char* const end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  appendAligned(line, text, end, width);
}

}  // namespace

TemporaryFile::TemporaryFile(std::string_view stem) {
  const std::filesystem::path name =
      "fiberview-bench-" + std::to_string(::getpid()) + "-" + std::string(stem) + ".txt";
  path_ = (std::filesystem::temp_directory_path() / name).string();
}

TemporaryFile::~TemporaryFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::uintmax_t writeOldFormatFile(const std::string& path, int sections, int concrete, int steel) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                             &std::fclose);
  if (!file) return 0;
  std::FILE* out = file.get();

  const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(concrete))));
  const int rows = std::max(1, (concrete + columns - 1) / columns);

  std::string line;
  const auto writeLine = [&] {
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
    line.clear();
  };

  appendInt(line, sections, 6);
  writeLine();
  for (int i = 1; i <= sections; ++i) {
    const double b = 300.0 + 50.0 * (i % 9);
    const double h = 400.0 + 50.0 * (i % 13);
    const double e0 = 30000.0 + 500.0 * (i % 5);
    appendFixed(line, h, 10, 1);
    appendFixed(line, b, 10, 1);
    appendFixed(line, e0, 12, 1);
    writeLine();

    // Concrete: a grid over the whole section; fibers inside the stirrups are confined.
    const double cellWidth = b / columns;
    const double cellHeight = h / rows;
    const double strength = -(30.0 + 5.0 * (i % 3));
    for (int j = 0; j < concrete; ++j) {
      const double x = -b / 2.0 + (j % columns + 0.5) * cellWidth;
      const double y = -h / 2.0 + (j / columns + 0.5) * cellHeight;
      const bool confined = std::abs(x) < b / 2.0 - kCover && std::abs(y) < h / 2.0 - kCover;
      appendFixed(line, x, 14, 6);
      appendFixed(line, y, 14, 6);
      appendFixed(line, cellWidth * cellHeight, 16, 6);
      appendInt(line, 1, 6);
      appendFixed(line, strength, 14, 4);
      appendFixed(line, 0.002, 14, 6);
      appendFixed(line, confined ? 0.0050 : 0.0033, 14, 6);
      appendInt(line, confined ? 1 : 0, 6);
      writeLine();
    }

    // Steel: 25 mm bars at the corners, 20 mm bars between them.
    for (int j = 0; j < steel; ++j) {
      const Point p = barCentre(b / 2.0 - kCover, h / 2.0 - kCover, j, steel);
      const double diameter = j < 4 ? 25.0 : 20.0;
      appendFixed(line, p.x, 14, 6);
      appendFixed(line, p.y, 14, 6);
      appendFixed(line, kPi * diameter * diameter / 4.0, 16, 6);
      appendInt(line, 2, 6);
      appendFixed(line, 400.0, 14, 4);
      writeLine();
    }
  }

  const long size = std::ftell(out);
  if (std::ferror(out) || size <= 0) return 0;
  if (std::fflush(out) != 0) return 0;
  return static_cast<std::uintmax_t>(size);
}

}  // namespace fiberview::bench
