// Two revisions of a small titled model, as the comparison's tests write them to files.
#pragma once

#include <QByteArray>
#include <array>
#include <string>
#include <variant>
#include <vector>

#include "data/section_store.h"

namespace fiberview {

// A column of 400 × 600 titled KZk: six concrete fibers and four bars.
inline Section column(int k) {
  Section s;
  s.title = "KZ" + std::to_string(k);
  s.properties = {600.0, 400.0, 30000.0 + k};
  for (int i = 0; i < 6; ++i) {
    s.concrete.push_back(
        {-133.0 + 133.0 * (i % 3), i < 3 ? -150.0 : 150.0, 40000, 1, -30, 0.002, 0.0035, 0});
  }
  for (double x : {-160.0, 160.0}) {
    for (double y : {-260.0, 260.0}) s.steel.push_back({x, y, 490.9 + k, 3, 400});
  }
  return s;
}

// An old-version file with title lines, one fiber a line.
inline QByteArray fileText(const std::vector<Section>& sections) {
  QByteArray out = QByteArray::number(sections.size()) + '\n';
  const auto line = [&out](const auto& values) {
    for (double v : values) out += QByteArray::number(v, 'g', 17) + ' ';
    out += '\n';
  };
  for (const Section& s : sections) {
    out += QByteArray::fromStdString(s.title) + '\n';
    line(std::array<double, 3>{std::get<double>(s.properties[0]), std::get<double>(s.properties[1]),
                               std::get<double>(s.properties[2])});
    for (const auto& f : s.concrete) line(f);
    for (const auto& f : s.steel) line(f);
  }
  return out;
}

}  // namespace fiberview
