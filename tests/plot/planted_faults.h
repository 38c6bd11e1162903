// A file of 2000 sections as a model of a building has them: four column types, each of them
// 500 times, with two bar sizes among the rectangular ones, and three planted faults. Old
// version, no title lines, 36 concrete and 8 steel fibers per section.
#pragma once

#include <cmath>
#include <string>

#include "data/section_store.h"

namespace fiberview::testing {

inline constexpr int kPlantedSections = 2000;
inline constexpr int kBarOutsideRound = 136;   // a round column with a bar out of its concrete
inline constexpr int kMissingCornerBar = 842;  // a corner bar of area 0
inline constexpr int kWrongB = 1502;           // B of 800 for a column 500 wide
inline constexpr double kPi = 3.14159265358979;

// Rectangles b x h in 6 x 6 cells, 8 bars at a cover of 40; or a round column of diameter
// 600 in 3 rings of 12 cells with 8 bars on a circle of radius 250.
inline Section plantedSection(int number) {
  Section s;
  const int type = (number - 1) % 4;
  const double bar = (type == 1 && number % 8 < 4) ? 314.2 : 490.9;
  if (type == 3) {
    s.properties = {600.0, 600.0, 30000.0};
    for (int ring = 0; ring < 3; ++ring) {
      const double r0 = 100.0 * ring;
      const double r1 = r0 + 100.0;
      const double area = kPi * (r1 * r1 - r0 * r0) / 12.0;
      const double rc = 2.0 / 3.0 * (r1 * r1 * r1 - r0 * r0 * r0) / (r1 * r1 - r0 * r0);
      for (int k = 0; k < 12; ++k) {
        const double a = (k + 0.5) * kPi / 6.0;
        s.concrete.push_back({rc * std::cos(a), rc * std::sin(a), area, 1, -30, 0.002, 0.0035, 0});
      }
    }
    for (int k = 0; k < 8; ++k) {
      const double a = k * kPi / 4.0;
      s.steel.push_back({250.0 * std::cos(a), 250.0 * std::sin(a), bar, 2, 400});
    }
  } else {
    const double b = type == 0 ? 400.0 : type == 1 ? 500.0 : 600.0;
    const double h = type == 2 ? 600.0 : b + 100.0 * type;
    s.properties = {h, b, 30000.0};
    for (int i = 0; i < 6; ++i) {
      for (int j = 0; j < 6; ++j) {
        s.concrete.push_back({-b / 2 + (j + 0.5) * b / 6, -h / 2 + (i + 0.5) * h / 6, b * h / 36, 1,
                              -30, 0.002, 0.0035, 0});
      }
    }
    const double x = b / 2 - 40;
    const double y = h / 2 - 40;
    for (const auto& [px, py] :
         {std::pair{-x, -y}, {x, -y}, {x, y}, {-x, y}, {0.0, -y}, {x, 0.0}, {0.0, y}, {-x, 0.0}}) {
      s.steel.push_back({px, py, bar, 2, 400});
    }
  }
  // Inside the box of the concrete, outside its circle: only the region tells.
  if (number == kBarOutsideRound) s.steel[2] = {250.0, 250.0, bar, 2, 400};
  if (number == kMissingCornerBar) s.steel[0][2] = 0.0;
  if (number == kWrongB) s.properties[1] = 800.0;
  return s;
}

inline SectionStore plantedStore() {
  SectionStore store;
  for (int n = 1; n <= kPlantedSections; ++n) store.sections.push_back(plantedSection(n));
  return store;
}

// The store as an old-version file without title lines.
inline std::string plantedFileText() {
  std::string text = std::to_string(kPlantedSections) + "\n";
  const auto number = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return std::string(buf);
  };
  for (int n = 1; n <= kPlantedSections; ++n) {
    const Section s = plantedSection(n);
    for (const Value& v : s.properties) text += number(std::get<double>(v)) + " ";
    text += "\n";
    for (const auto& f : s.concrete) {
      for (double v : f) text += number(v) + " ";
      text += "\n";
    }
    for (const auto& f : s.steel) {
      for (double v : f) text += number(v) + " ";
      text += "\n";
    }
  }
  return text;
}

}  // namespace fiberview::testing
