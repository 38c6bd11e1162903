#include "plot/section_scale.h"

#include <algorithm>
#include <cmath>

#include "plot/number_format.h"

namespace fiberview {

namespace {

// The fiber files size their fibers against 3.14 rather than pi, and the drawing follows
// them.
constexpr double kDiscAreaFactor = 3.14;
constexpr double kFill = 0.6;
constexpr double kPropertyLineY = 200.0;

template <typename Fiber>
bool checkFibers(const FiberList<Fiber>& fibers, FiberKind kind, int section, PlotError& error) {
  for (std::size_t j = 0; j < fibers.size(); ++j) {
    const Fiber& f = fibers[j];
    error = {PlotFailure::NotFinite, section, kind, static_cast<int>(j) + 1, 0.0};
    for (int v = 0; v < 3; ++v) {
      if (!std::isfinite(f[static_cast<std::size_t>(v)])) {
        error.value = f[static_cast<std::size_t>(v)];
        return false;
      }
    }
    if (f[2] < 0.0) {
      error.kind = PlotFailure::NegativeArea;
      error.value = f[2];
      return false;
    }
  }
  return true;
}

struct Box {
  double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;

  template <typename Fiber>
  void add(const FiberList<Fiber>& fibers) {
    for (const Fiber& f : fibers) {
      xmin = std::min(xmin, f[0]);
      xmax = std::max(xmax, f[0]);
      ymin = std::min(ymin, f[1]);
      ymax = std::max(ymax, f[1]);
    }
  }
};

template <typename Fiber>
void addDiscs(const FiberList<Fiber>& fibers, FiberKind kind, double scale, double cx0, double cy0,
              std::vector<Disc>& out) {
  int number = 0;
  for (const Fiber& f : fibers) {
    out.push_back(
        {cx0 + scale * f[0], cy0 + scale * -f[1], discRadius(f[2]) * scale, kind, ++number});
  }
}

// The labelled properties, in the order of the version shown. A file read as the other
// version has none of these: the first two show empty and the third, a number, as 0.
std::string propertyLine(const SectionStore& store, const Section& s, FileVersion shown) {
  const VersionDescription& version = describe(shown);
  std::string line;
  for (const int i : version.shownOrder) {
    const auto index = static_cast<std::size_t>(i);
    if (!line.empty()) line += "  ";
    line += version.propertyNames[index];
    line += '=';
    if (store.version == shown) {
      line += propertyText(s.properties[index]);
    } else if (index == 2) {
      line += scientificText(0.0);
    }
  }
  return line;
}

}  // namespace

double discRadius(double area) {
  return std::sqrt(area) / std::sqrt(kDiscAreaFactor);
}

bool coversArea(const Disc& d, double width, double height) {
  const double dx = std::max(std::abs(d.cx), std::abs(width - d.cx));
  const double dy = std::max(std::abs(d.cy), std::abs(height - d.cy));
  return dx * dx + dy * dy <= d.radius * d.radius;
}

std::optional<Disc> discAt(const SectionPicture& picture, double x, double y, double tolerance) {
  for (auto d = picture.discs.rbegin(); d != picture.discs.rend(); ++d) {
    const double reach = d->radius + tolerance;
    const double dx = x - d->cx;
    const double dy = y - d->cy;
    if (dx * dx + dy * dy <= reach * reach) return *d;
  }
  return std::nullopt;
}

PlotResult scaleSection(const SectionStore& store, int index, int width, int height,
                        FileVersion shown) {
  if (index == 0) return PlotError{PlotFailure::NothingSelected};
  const Section* s = store.section(index);
  if (s == nullptr) return PlotError{PlotFailure::NoSuchSection, index};

  PlotError error;
  if (!checkFibers(s->concrete, FiberKind::Concrete, index, error) ||
      !checkFibers(s->steel, FiberKind::Steel, index, error)) {
    return error;
  }

  Box box;
  box.add(s->concrete);
  box.add(s->steel);
  const double boxWidth = box.xmax - box.xmin;
  const double boxHeight = box.ymax - box.ymin;
  if (!std::isfinite(boxWidth) || !std::isfinite(boxHeight)) {
    return PlotError{PlotFailure::TooLarge, index};
  }

  // A box that is flat in one direction takes its scale from the other; a box with no
  // extent at all draws no disc of any size, so its scale does not matter.
  // An extent too small to divide by counts as none.
  double scaleX = boxWidth > 0.0 ? width * kFill / boxWidth : 0.0;
  double scaleY = boxHeight > 0.0 ? height * kFill / boxHeight : 0.0;
  if (!std::isfinite(scaleX)) scaleX = 0.0;
  if (!std::isfinite(scaleY)) scaleY = 0.0;
  double scale = 0.0;
  if (scaleX > 0.0 && scaleY > 0.0) {
    scale = scaleX > scaleY ? scaleY : scaleX;
  } else {
    scale = std::max(scaleX, scaleY);
  }

  SectionPicture picture;
  picture.scale = scale;
  if (scale > 0.0) {
    const double cx0 = width / 2.0;
    const double cy0 = height / 2.0;
    picture.discs.reserve(s->concrete.size() + s->steel.size());
    addDiscs(s->concrete, FiberKind::Concrete, scale, cx0, cy0, picture.discs);
    addDiscs(s->steel, FiberKind::Steel, scale, cx0, cy0, picture.discs);
    // A huge area in a tiny box gives a disc no painter can draw. A finite one is fine:
    // every centre lies within a tenth of the area's size of it, so a disc much larger
    // than the area covers it whole, and painters fill the area for such a disc.
    for (const Disc& d : picture.discs) {
      if (!std::isfinite(d.radius)) return PlotError{PlotFailure::TooLarge, index};
    }
  }

  const double textX = width / 8.0;
  picture.title = {store.titled ? sectionListText(index, *s, true) : std::string(), textX, 0.0};
  picture.properties = {propertyLine(store, *s, shown), textX, kPropertyLineY};
  picture.widthText = numberText(boxWidth);
  picture.heightText = numberText(boxHeight);
  return picture;
}

}  // namespace fiberview
