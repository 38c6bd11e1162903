#include "plot/concrete_region.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <tuple>

#include "plot/geos_handle.h"

namespace fiberview {

namespace {

using Polygon = std::vector<Point>;

// A cell of the Voronoi diagram more than this times its fiber's area reaches past the mesh.
constexpr double kOversizeCell = 1.45;
// A cell that reaches this many times farther on one side of its fiber than on the other
// runs past the mesh on that side.
constexpr double kLopsided = 2.0;
// The cosine of the widest angle between two edges that run out of the mesh side by side;
// a corner's two edges part at a right angle.
constexpr double kNarrowOpening = 0.3;
// How many cell sizes apart two sites may lie and still be next to each other.
constexpr double kNextCell = 3.0;
// A region whose cells cover this share of its box is the box; a file rounds its
// coordinates, to a few digits.
constexpr double kFillsBox = 1.0 - 1e-4;

Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
Point operator*(double k, Point a) {
  return {k * a.x, k * a.y};
}
double dot(Point a, Point b) {
  return a.x * b.x + a.y * b.y;
}
double cross(Point a, Point b) {
  return a.x * b.y - a.y * b.x;
}
double length(Point a) {
  return std::hypot(a.x, a.y);
}

double signedArea(const Polygon& p) {
  double twice = 0.0;
  for (std::size_t i = 0, n = p.size(); i < n; ++i) twice += cross(p[i], p[(i + 1) % n]);
  return twice / 2.0;
}

Point centroid(const Polygon& p) {
  double twice = 0.0;
  Point sum;
  for (std::size_t i = 0, n = p.size(); i < n; ++i) {
    const double c = cross(p[i], p[(i + 1) % n]);
    twice += c;
    sum = sum + c * (p[i] + p[(i + 1) % n]);
  }
  return twice != 0.0 ? (1.0 / (3.0 * twice)) * sum : p.front();
}

// The part of the convex polygon `p` where n·x ≤ k.
Polygon clipped(const Polygon& p, Point n, double k) {
  Polygon out;
  out.reserve(p.size() + 1);
  for (std::size_t i = 0, m = p.size(); i < m; ++i) {
    const Point a = p[i];
    const Point b = p[(i + 1) % m];
    const double da = dot(n, a) - k;
    const double db = dot(n, b) - k;
    if (da <= 0.0) out.push_back(a);
    if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0)) {
      // On an edge of the bounding box both ends share a coordinate, and so does the cut.
      const double t = da / (da - db);
      out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
    }
  }
  return out;
}

// The part of `p` within `h` of `c` along the unit `axis`, on both sides.
Polygon band(const Polygon& p, Point c, Point axis, double h) {
  const Polygon once = clipped(p, axis, dot(axis, c) + h);
  return clipped(once, -1.0 * axis, -dot(axis, c) + h);
}

struct Site {
  Point at;  // about the region's origin
  double area = 0.0;
};

// Why a step that GEOS does failed: the step, then GEOS's own words when it gave any.
std::string geosFailure(const char* step, const GeosHandle& geos) {
  std::string out = step;
  if (!geos.lastError().empty()) out += "：" + geos.lastError();
  return out;
}

// The Delaunay neighbours of each site, from the edges of the triangulation. `sites` are
// sorted by x, then y, and distinct. Sites on one line have no triangles: each is then the
// neighbour of the next in that order, which is the order along the line. When GEOS fails,
// as it does on sites more than about 1e150 apart or closer than 1e-150, it returns none
// and says why in `failure`.
std::vector<std::vector<int>> delaunayNeighbours(const std::vector<Site>& sites,
                                                 std::string& failure) {
  const auto n = sites.size();
  std::vector<std::vector<int>> out(n);
  const auto link = [&out](int a, int b) {
    out[static_cast<std::size_t>(a)].push_back(b);
    out[static_cast<std::size_t>(b)].push_back(a);
  };
  bool linked = false;
  if (n >= 3) {
    GeosHandle& geos = GeosHandle::forThisThread();
    const GEOSContextHandle_t c = geos.context();
    geos.clearError();
    std::vector<GeosGeometry> points;
    points.reserve(n);
    for (const Site& s : sites)
      points.push_back(geos.own(GEOSGeom_createPointFromXY_r(c, s.at.x, s.at.y)));
    const GeosGeometry all = geos.collect(GEOS_MULTIPOINT, std::move(points));
    const GeosGeometry edges =
        geos.own(all ? GEOSDelaunayTriangulation_r(c, all.get(), 0.0, 1) : nullptr);
    if (!edges) {
      failure = geosFailure("GEOS 未能求出纤维的三角剖分", geos);
      return {};
    }
    const auto indexOf = [&sites](double x, double y) {
      const auto it = std::lower_bound(
          sites.begin(), sites.end(), Point{x, y},
          [](const Site& s, Point p) { return std::tie(s.at.x, s.at.y) < std::tie(p.x, p.y); });
      return it != sites.end() && it->at.x == x && it->at.y == y
                 ? static_cast<int>(it - sites.begin())
                 : -1;
    };
    const int count = GEOSGetNumGeometries_r(c, edges.get());
    for (int i = 0; i < count; ++i) {
      const GEOSCoordSequence* seq =
          GEOSGeom_getCoordSeq_r(c, GEOSGetGeometryN_r(c, edges.get(), i));
      double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
      if (seq == nullptr || !GEOSCoordSeq_getXY_r(c, seq, 0, &x0, &y0) ||
          !GEOSCoordSeq_getXY_r(c, seq, 1, &x1, &y1)) {
        continue;
      }
      const int a = indexOf(x0, y0);
      const int b = indexOf(x1, y1);
      if (a >= 0 && b >= 0 && a != b) {
        link(a, b);
        linked = true;
      }
    }
  }
  if (!linked) {
    for (std::size_t i = 1; i < n; ++i) link(static_cast<int>(i - 1), static_cast<int>(i));
  }
  return out;
}

// A Voronoi cell as it is built: its points, and for each point the neighbour on whose
// bisector the edge to the next point lies, or -1 for an edge of the bounding box.
struct VoronoiCell {
  Polygon points;
  std::vector<int> edgeOf;
};

// The part of `v` where n·x ≤ k, the cut's edge lying on the bisector with `neighbour`,
// into `out`, whose storage is reused.
void clipCell(const VoronoiCell& v, Point n, double k, int neighbour, VoronoiCell& out) {
  out.points.clear();
  out.edgeOf.clear();
  for (std::size_t i = 0, m = v.points.size(); i < m; ++i) {
    const Point a = v.points[i];
    const Point b = v.points[(i + 1) % m];
    const double da = dot(n, a) - k;
    const double db = dot(n, b) - k;
    const auto at = [&] {
      const double t = da / (da - db);
      return Point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
    };
    if (da <= 0.0) {
      out.points.push_back(a);
      out.edgeOf.push_back(v.edgeOf[i]);
      if (db > 0.0) {
        out.points.push_back(at());
        out.edgeOf.push_back(neighbour);
      }
    } else if (db < 0.0) {
      out.points.push_back(at());
      out.edgeOf.push_back(v.edgeOf[i]);
    }
  }
}

// Where a cell runs out of the mesh between the edges it shares with two neighbours: the
// neighbours, and the edges' directions, away from the cell's fiber.
struct Opening {
  int before = -1;
  int after = -1;
  Point in;
  Point out;
  bool narrow = false;  // the edges part by well under a right angle
  double angle() const {
    return std::acos(std::clamp(dot(in, out) / (length(in) * length(out)), -1.0, 1.0));
  }
};

// The openings of `v` between the edges it shares with two neighbours next to it; an edge
// across a notch is left to cutInFrame.
std::vector<Opening> openingsOf(const VoronoiCell& v, const std::vector<Site>& sites,
                                std::size_t i) {
  std::vector<Opening> out;
  const std::size_t m = v.points.size();
  const Site& s = sites[i];
  const auto near = [&](int j) {
    const Site& t = sites[static_cast<std::size_t>(j)];
    return length(t.at - s.at) <= kNextCell * std::sqrt(std::max(s.area, t.area));
  };
  for (std::size_t e = 0; e < m; ++e) {
    const std::size_t before = (e + m - 1) % m;
    if (v.edgeOf[e] >= 0 || v.edgeOf[before] < 0) continue;
    std::size_t f = e;
    for (std::size_t steps = 0; v.edgeOf[f] < 0 && steps < m; ++steps) f = (f + 1) % m;
    if (v.edgeOf[f] < 0) continue;
    Opening o{v.edgeOf[before], v.edgeOf[f], v.points[e] - v.points[before],
              v.points[f] - v.points[(f + 1) % m]};
    o.narrow = dot(o.in, o.out) > kNarrowOpening * length(o.in) * length(o.out);
    if (near(o.before) && near(o.after)) out.push_back(o);
  }
  return out;
}

// Where the edge between the cells of sites `a` and `b` ends when it runs out of the mesh
// along `ray`: half a cell beyond the two sites, a cell's depth taken as its area over the
// sites' spacing, plus the sagitta of a rim whose cells open by `angle`. It depends on the
// two sites alone, so both cells end the edge at the very same point and meet without a
// notch.
Point edgeEnd(const Site& a, const Site& b, Point ray, double angle) {
  const Site& first = std::tie(a.at.x, a.at.y) < std::tie(b.at.x, b.at.y) ? a : b;
  const Site& second = &first == &a ? b : a;
  const Point d = second.at - first.at;
  const double spacing = length(d);
  Point along{-d.y / spacing, d.x / spacing};
  if (dot(along, ray) < 0.0) along = -1.0 * along;
  const double depth =
      (first.area + second.area) / (4.0 * spacing) + spacing / 2.0 * std::tan(angle / 4.0);
  return 0.5 * (first.at + second.at) + depth * along;
}

// `v` cut at each of its openings: a narrow one along the line joining its two edges' ends,
// a wide one, as at a corner, square to each edge at its end, so that a corner cell meets
// its neighbours' faces. `angles` holds each site's narrow opening's angle, 0 for a site
// without one.
Polygon cutAtEdgeEnds(const VoronoiCell& v, const std::vector<Opening>& openings,
                      const std::vector<Site>& sites, const std::vector<double>& angles,
                      std::size_t i) {
  Polygon p = v.points;
  for (const Opening& o : openings) {
    const auto end = [&](int j, Point ray) {
      const auto k = static_cast<std::size_t>(j);
      return edgeEnd(sites[i], sites[k], ray, (angles[i] + angles[k]) / 2.0);
    };
    const Point a = end(o.before, o.in);
    const Point b = end(o.after, o.out);
    // Keeps the side of the line through `at` square to `n` where the site lies.
    const auto keep = [&](Point n, Point at) {
      const double side = dot(n, sites[i].at - at);
      if (side == 0.0) return;
      if (side > 0.0) n = -1.0 * n;
      p = clipped(p, n, dot(n, at));
    };
    if (o.narrow) {
      keep({b.y - a.y, a.x - b.x}, a);
    } else {
      keep(o.in, a);
      keep(o.out, b);
    }
  }
  return p;
}

// A Voronoi cell cut from a large box, with what the box hides: the directions in which
// the true cell runs on without end.
class Cell {
 public:
  Cell(Polygon polygon, double box) : polygon_(std::move(polygon)) {
    const auto onBox = [box](Point p) { return std::abs(p.x) >= box || std::abs(p.y) >= box; };
    for (std::size_t i = 0, m = polygon_.size(); i < m; ++i) {
      const Point a = polygon_[i];
      const Point b = polygon_[(i + 1) % m];
      const bool alongBox =
          (a.x == b.x && std::abs(a.x) >= box) || (a.y == b.y && std::abs(a.y) >= box);
      if (alongBox) continue;
      if (onBox(b)) rays_.push_back((1.0 / length(b - a)) * (b - a));
      if (onBox(a)) rays_.push_back((1.0 / length(a - b)) * (a - b));
    }
    // The box itself, the cell of a lone site, runs on every way.
    if (rays_.empty() && std::any_of(polygon_.begin(), polygon_.end(), onBox)) {
      rays_ = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
    }
  }

  const Polygon& polygon() const { return polygon_; }
  bool bounded() const { return rays_.empty(); }

  // How far the cell reaches from `c` along the unit `d`; none when it runs on without end.
  std::optional<double> reach(Point c, Point d) const {
    for (const Point r : rays_) {
      if (dot(r, d) > 1e-9) return std::nullopt;
    }
    double most = -HUGE_VAL;
    for (const Point p : polygon_) most = std::max(most, dot(p - c, d));
    return most;
  }

  // The direction the cell is open in, or leans towards when bounded; none when it has none.
  std::optional<Point> openDirection(Point c, double scale) const {
    Point sum;
    if (bounded()) {
      sum = centroid(polygon_) - c;
      if (length(sum) <= 1e-6 * scale) return std::nullopt;
    } else {
      for (const Point r : rays_) sum = sum + r;
      if (length(sum) <= 1e-6) return std::nullopt;
    }
    return (1.0 / length(sum)) * sum;
  }

 private:
  Polygon polygon_;
  std::vector<Point> rays_;
};

// The part of `p` in a band about `c` across the unit `axis` with the area `area`; `p` is
// convex and at least that large. The area grows with the band's half-width piecewise
// quadratically, so regula falsi (the Illinois variant) finds it in a few steps.
Polygon bandOfArea(const Polygon& p, Point c, Point axis, double area, double widest) {
  const auto excess = [&](double h) { return signedArea(band(p, c, axis, h)) - area; };
  double lo = 0.0, flo = -area;
  double hi = std::sqrt(area), fhi = excess(hi);
  while (fhi < 0.0 && hi < widest) {
    lo = hi;
    flo = fhi;
    hi = std::min(4.0 * hi, widest);
    fhi = excess(hi);
  }
  if (fhi <= 0.0) return band(p, c, axis, hi);
  int side = 0;
  double h = hi;
  for (int step = 0; step < 60; ++step) {
    h = (lo * fhi - hi * flo) / (fhi - flo);
    const double f = excess(h);
    if (std::abs(f) <= 1e-12 * area || hi - lo <= 1e-12 * hi) break;
    if ((f < 0.0) == (flo < 0.0)) {
      lo = h;
      flo = f;
      if (side == -1) fhi /= 2;
      side = -1;
    } else {
      hi = h;
      fhi = f;
      if (side == 1) flo /= 2;
      side = 1;
    }
  }
  return band(p, c, axis, h);
}

// `cell` cut back in the frame of the unit `u` and its normal, as the header describes.
// An axis open on one side is cut first: a wedge that opens outward is then bounded, and
// no longer looks open across.
Polygon cutInFrame(const Cell& cell, Point c, Point u, double area, double box) {
  const Point axes[] = {u, Point{-u.y, u.x}};
  Polygon p = cell.polygon();
  for (int pass = 0; pass < 2; ++pass) {
    const Cell now(p, box);
    bool cut = false;
    for (const Point axis : axes) {
      const std::optional<double> ahead = now.reach(c, axis);
      const std::optional<double> behind = now.reach(c, -1.0 * axis);
      if (ahead.has_value() != behind.has_value()) {
        p = band(p, c, axis, ahead ? *ahead : *behind);
        cut = true;
      }
    }
    if (!cut) break;
  }
  const Cell now(p, box);
  std::vector<Point> open;
  for (const Point axis : axes) {
    const std::optional<double> ahead = now.reach(c, axis);
    const std::optional<double> behind = now.reach(c, -1.0 * axis);
    if (!ahead && !behind) {
      open.push_back(axis);
    } else if (ahead && behind &&
               std::max(*ahead, *behind) > kLopsided * std::min(*ahead, *behind)) {
      // A mesh's own cells are about as deep on both sides of their fibers; only a cell
      // that runs on into a notch or a hole is much deeper on one side.
      p = band(p, c, axis, std::min(*ahead, *behind));
    }
  }
  if (open.size() == 2) {
    const double half = std::sqrt(area) / 2.0;
    return band(band(p, c, open[0], half), c, open[1], half);
  }
  if (open.size() == 1 && signedArea(p) > area) return bandOfArea(p, c, open[0], area, box);
  return p;
}

}  // namespace

ConcreteRegion::ConcreteRegion(const Section& section) {
  std::vector<Site> sites;
  sites.reserve(section.concrete.size());
  double xmin = HUGE_VAL, xmax = -HUGE_VAL, ymin = HUGE_VAL, ymax = -HUGE_VAL, largest = 0.0;
  for (const ConcreteFiber& f : section.concrete) {
    if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2]) || !(f[2] > 0.0)) {
      continue;
    }
    sites.push_back({{f[0], f[1]}, f[2]});
    xmin = std::min(xmin, f[0]);
    xmax = std::max(xmax, f[0]);
    ymin = std::min(ymin, f[1]);
    ymax = std::max(ymax, f[1]);
    largest = std::max(largest, f[2]);
  }
  if (sites.empty()) return;
  origin_ = {xmin / 2 + xmax / 2, ymin / 2 + ymax / 2};
  const double scale = std::max(xmax - xmin, ymax - ymin) + std::sqrt(largest);
  // Far enough that every cell of the mesh closes well inside it.
  const double box = 8.0 * scale;
  if (!std::isfinite(box)) {
    failure_ = "纤维坐标相距过远，超出了数的范围";
    return;
  }
  tolerance_ = 1e-9 * scale;

  for (Site& s : sites) s.at = s.at - origin_;
  std::sort(sites.begin(), sites.end(), [](const Site& a, const Site& b) {
    return std::tie(a.at.x, a.at.y) < std::tie(b.at.x, b.at.y);
  });
  // Fibers at one centre make one cell of their summed area.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    if (kept > 0 && sites[kept - 1].at.x == sites[i].at.x &&
        sites[kept - 1].at.y == sites[i].at.y) {
      sites[kept - 1].area += sites[i].area;
    } else {
      sites[kept++] = sites[i];
    }
  }
  sites.resize(kept);

  const std::vector<std::vector<int>> neighbours = delaunayNeighbours(sites, failure_);
  if (!failure_.empty()) return;
  const Polygon boxCorners{{-box, -box}, {box, -box}, {box, box}, {-box, box}};
  cells_.reserve(sites.size());
  smallestCell_ = HUGE_VAL;
  // Every site's Voronoi cell and openings first: where two cells meet at the mesh's rim,
  // both need the openings of the two.
  std::vector<VoronoiCell> voronoi(sites.size());
  std::vector<std::vector<Opening>> openings(sites.size());
  std::vector<double> angles(sites.size(), 0.0);
  std::vector<Point> nearest(sites.size(), Point{1.0, 0.0});
  VoronoiCell cell;
  VoronoiCell spare;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    const Site& s = sites[i];
    cell.points.assign(boxCorners.begin(), boxCorners.end());
    cell.edgeOf.assign(4, -1);
    double nearestDistance = HUGE_VAL;
    for (const int j : neighbours[i]) {
      const Point other = sites[static_cast<std::size_t>(j)].at;
      const Point n = other - s.at;
      clipCell(cell, n, dot(n, 0.5 * (s.at + other)), j, spare);
      std::swap(cell, spare);
      if (length(n) < nearestDistance) {
        nearestDistance = length(n);
        nearest[i] = (1.0 / length(n)) * n;
      }
    }
    openings[i] = openingsOf(cell, sites, i);
    for (const Opening& o : openings[i]) {
      if (o.narrow) angles[i] = o.angle();
    }
    voronoi[i] = cell;
  }
  for (std::size_t i = 0; i < sites.size(); ++i) {
    const Site& s = sites[i];
    const Cell cell(cutAtEdgeEnds(voronoi[i], openings[i], sites, angles, i), box);
    Polygon shape = cell.polygon();
    if (!cell.bounded() || signedArea(shape) > kOversizeCell * s.area) {
      shape = cutInFrame(cell, s.at, nearest[i], s.area, box);
      const std::optional<Point> open = cell.openDirection(s.at, std::sqrt(s.area));
      if (open && std::abs(cross(*open, nearest[i])) > 0.02 &&
          std::abs(dot(*open, nearest[i])) > 0.02) {
        // The nearest neighbour's frame is exact for a grid; the other must do clearly better.
        Polygon other = cutInFrame(cell, s.at, *open, s.area, box);
        const double miss = std::abs(signedArea(shape) - s.area);
        if (miss > 1e-3 * s.area && std::abs(signedArea(other) - s.area) < miss / 2) {
          shape = std::move(other);
        }
      }
    }
    const double a = signedArea(shape);
    if (shape.size() < 3 || !(a > 0.0)) continue;
    area_ += a;
    smallestCell_ = std::min(smallestCell_, a);
    cells_.push_back(std::move(shape));
  }
  if (cells_.empty()) {
    failure_ = "纤维太小，算出的单元面积都为 0";
    return;
  }

  Extent local{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
  for (const Polygon& c : cells_) {
    for (const Point p : c) {
      local.xmin = std::min(local.xmin, p.x);
      local.xmax = std::max(local.xmax, p.x);
      local.ymin = std::min(local.ymin, p.y);
      local.ymax = std::max(local.ymax, p.y);
    }
  }
  extent_ = Extent{local.xmin + origin_.x, local.xmax + origin_.x, local.ymin + origin_.y,
                   local.ymax + origin_.y};
  rectangle_ = area_ >= kFillsBox * local.width() * local.height();

  gridBox_ = local;
  const double n = static_cast<double>(cells_.size());
  const double aspect = local.width() / std::max(local.height(), 1e-12 * scale);
  columns_ = static_cast<int>(std::clamp(std::round(std::sqrt(n * aspect)), 1.0, n));
  rows_ = static_cast<int>(std::clamp(std::ceil(n / columns_), 1.0, n));
  const auto column = [this](double x) {
    const double k = (x - gridBox_.xmin) / gridBox_.width() * columns_;
    return std::clamp(static_cast<int>(std::isfinite(k) ? k : 0.0), 0, columns_ - 1);
  };
  const auto row = [this](double y) {
    const double k = (y - gridBox_.ymin) / gridBox_.height() * rows_;
    return std::clamp(static_cast<int>(std::isfinite(k) ? k : 0.0), 0, rows_ - 1);
  };
  // Two passes over the cells' boxes: count each bucket's cells, then place them.
  bucketStart_.assign(static_cast<std::size_t>(columns_ * rows_ + 1), 0);
  const auto eachBucket = [&](const Polygon& c, auto&& visit) {
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const Point p : c) {
      x0 = std::min(x0, p.x);
      x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y);
      y1 = std::max(y1, p.y);
    }
    for (int r = row(y0 - tolerance_); r <= row(y1 + tolerance_); ++r) {
      for (int k = column(x0 - tolerance_); k <= column(x1 + tolerance_); ++k)
        visit(r * columns_ + k);
    }
  };
  for (const Polygon& c : cells_) {
    eachBucket(c, [this](int b) { ++bucketStart_[static_cast<std::size_t>(b) + 1]; });
  }
  for (std::size_t b = 1; b < bucketStart_.size(); ++b) bucketStart_[b] += bucketStart_[b - 1];
  bucketCells_.resize(static_cast<std::size_t>(bucketStart_.back()));
  std::vector<int> next(bucketStart_.begin(), bucketStart_.end() - 1);
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    eachBucket(cells_[i], [&](int b) {
      bucketCells_[static_cast<std::size_t>(next[static_cast<std::size_t>(b)]++)] =
          static_cast<int>(i);
    });
  }
}

bool ConcreteRegion::contains(Point p) const {
  if (cells_.empty() || !std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  const Point q = p - origin_;
  if (q.x < gridBox_.xmin - tolerance_ || q.x > gridBox_.xmax + tolerance_ ||
      q.y < gridBox_.ymin - tolerance_ || q.y > gridBox_.ymax + tolerance_) {
    return false;
  }
  const int k = std::clamp(static_cast<int>((q.x - gridBox_.xmin) / gridBox_.width() * columns_), 0,
                           columns_ - 1);
  const int r =
      std::clamp(static_cast<int>((q.y - gridBox_.ymin) / gridBox_.height() * rows_), 0, rows_ - 1);
  const auto b = static_cast<std::size_t>(r * columns_ + k);
  for (int i = bucketStart_[b]; i < bucketStart_[b + 1]; ++i) {
    const Polygon& c = cells_[static_cast<std::size_t>(bucketCells_[static_cast<std::size_t>(i)])];
    bool inside = true;
    for (std::size_t j = 0, m = c.size(); j < m && inside; ++j) {
      // An edge shorter than the tolerance, left where several cells meet at one corner,
      // has a direction made of rounding: it says nothing about the side.
      const Point edge = c[(j + 1) % m] - c[j];
      const double l = length(edge);
      inside = l < tolerance_ || cross(edge, q - c[j]) >= -tolerance_ * l;
    }
    if (inside) return true;
  }
  return false;
}

std::vector<std::pair<Point, Point>> ConcreteRegion::boundary() const {
  // A cell's edge, or a part of it, is on the boundary when the region does not go on just
  // beyond it. A neighbour cut short shares only part of an edge, so each edge is judged in
  // quarters.
  constexpr int kParts = 4;
  std::vector<std::pair<Point, Point>> out;
  const double step = 1e3 * tolerance_;
  for (const Polygon& c : cells_) {
    for (std::size_t j = 0, m = c.size(); j < m; ++j) {
      const Point a = c[j];
      const Point edge = c[(j + 1) % m] - a;
      const double l = length(edge);
      if (!(l > 0.0)) continue;
      const Point outward{edge.y / l * step, -edge.x / l * step};
      bool joining = false;  // whether the last segment is this edge's previous quarter
      for (int k = 0; k < kParts; ++k) {
        const Point from = a + (static_cast<double>(k) / kParts) * edge;
        const Point to = a + (static_cast<double>(k + 1) / kParts) * edge;
        const bool outer = !contains(0.5 * (from + to) + outward + origin_);
        if (outer && joining) {
          out.back().second = to + origin_;
        } else if (outer) {
          out.push_back({from + origin_, to + origin_});
        }
        joining = outer;
      }
    }
  }
  return out;
}

RegionOutline ConcreteRegion::outline() const {
  RegionOutline out;
  if (cells_.empty()) return out;
  GeosHandle& geos = GeosHandle::forThisThread();
  const GEOSContextHandle_t c = geos.context();
  geos.clearError();
  std::vector<GeosGeometry> polygons;
  polygons.reserve(cells_.size());
  for (const Polygon& cell : cells_) {
    std::vector<double> xy;
    xy.reserve(2 * cell.size() + 2);
    for (const Point p : cell) {
      xy.push_back(p.x);
      xy.push_back(p.y);
    }
    xy.push_back(cell.front().x);
    xy.push_back(cell.front().y);
    // Each call takes over what the one before made, even when it fails.
    GEOSCoordSequence* seq =
        GEOSCoordSeq_copyFromBuffer_r(c, xy.data(), static_cast<unsigned>(cell.size() + 1), 0, 0);
    GEOSGeometry* ring = seq ? GEOSGeom_createLinearRing_r(c, seq) : nullptr;
    polygons.push_back(geos.own(ring ? GEOSGeom_createPolygon_r(c, ring, nullptr, 0) : nullptr));
  }
  const GeosGeometry all = geos.collect(GEOS_MULTIPOLYGON, std::move(polygons));
  // Neighbouring cells meet along lines they compute each on its own; snapping to a grid a
  // billionth of the section's size makes them meet exactly.
  const GeosGeometry joined =
      geos.own(all ? GEOSUnaryUnionPrec_r(c, all.get(), tolerance_) : nullptr);
  if (!joined) {
    out.failure = geosFailure("GEOS 未能把纤维的单元并成轮廓", geos);
    return out;
  }

  // A ring about the origin of the file, and its area, taken before the shift keeps its digits.
  const auto ringOf = [&](const GEOSGeometry* ring, bool anticlockwise, double& area) {
    Ring points;
    const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(c, ring);
    unsigned size = 0;
    if (seq == nullptr || !GEOSCoordSeq_getSize_r(c, seq, &size) || size < 4) return points;
    for (unsigned i = 0; i + 1 < size; ++i) {
      double x = 0, y = 0;
      GEOSCoordSeq_getXY_r(c, seq, i, &x, &y);
      points.push_back({x, y});
    }
    area = std::abs(signedArea(points));
    if ((signedArea(points) > 0.0) != anticlockwise) std::reverse(points.begin(), points.end());
    for (Point& p : points) p = p + origin_;
    return points;
  };
  for (int i = 0, n = GEOSGetNumGeometries_r(c, joined.get()); i < n; ++i) {
    const GEOSGeometry* piece = GEOSGetGeometryN_r(c, joined.get(), i);
    if (GEOSGeomTypeId_r(c, piece) != GEOS_POLYGON) continue;
    RegionPolygon polygon;
    double area = 0.0;
    polygon.outer = ringOf(GEOSGetExteriorRing_r(c, piece), true, area);
    if (polygon.outer.empty()) continue;
    for (int h = 0, holes = GEOSGetNumInteriorRings_r(c, piece); h < holes; ++h) {
      Ring hole = ringOf(GEOSGetInteriorRingN_r(c, piece, h), false, area);
      // A gap smaller than the smallest cell is where two cut cells fail to meet.
      if (!hole.empty() && area >= smallestCell_) polygon.holes.push_back(std::move(hole));
    }
    out.polygons.push_back(std::move(polygon));
  }
  return out;
}

std::string geometryLibraryVersion() {
  return GEOSversion();
}

}  // namespace fiberview
