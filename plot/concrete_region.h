// The region a section's concrete fibers stand for, rebuilt from the mesh itself.
//
// Each concrete fiber stands for one cell of the mesh the file was written from, with the
// fiber at the cell's centre and the fiber's area as the cell's area. The region takes as
// each fiber's cell its Voronoi cell among the concrete fibers (the neighbours from GEOS's
// Delaunay triangulation): inside a mesh that is the mesh's own cell, whatever its shape.
// A cell that runs out of the mesh, or that is more than 45 % larger than its fiber (at a
// hole, in a notch), is cut back:
//   - where it runs out between the edges it shares with two near neighbours, and those
//     edges part by well under a right angle (along a grid's side, round a ring's rim),
//     each edge ends half a cell beyond its two fibers, the cell's depth taken as their
//     areas over their spacing, plus the sagitta of a rim. Both cells end the edge at the
//     same point, so the outline has no notches. Where the two edges part more widely,
//     as at a corner or at the end of a wall one fiber thick, the cell is cut square to
//     each edge at its end instead;
//   - what is still open or too large (notches, holes, corners next to a notch), in the
//     frame of its nearest
//     neighbour or of the way it opens, whichever matches the fiber's area better: along an
//     axis open on one side, or reaching more than twice as far on one side as on the
//     other, the far side is cut as far from the fiber as the near side lies; along an axis
//     open on both sides, the cell becomes a band centred on the fiber with its area.
// Rectangles meshed in cells of any aspect come out exact, and a wall one fiber thick as
// thick as its fibers' areas say; rings come out as polygons with a corner on the rim at
// every edge fiber, their area within a few per cent of the circle's.
//
// Coordinates are in the file's length unit. A fiber takes part when its x, y and area are
// finite and its area is above 0; fibers at one centre share one cell of their summed area.
// The work is done about the centre of the fibers' box, so that a section far from the
// origin keeps its digits. Building the region takes O(n log n) time for n fibers.
//
// The geometry library GEOS does part of the work; where it, or the arithmetic, cannot
// cope with the fibers (coordinates some 1e150 apart, say), the region is empty and says
// why.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/section_store.h"
#include "plot/geometry.h"

namespace fiberview {

// A closed ring of points; the last point does not repeat the first.
using Ring = std::vector<Point>;

// One connected piece of a region: its outer ring, anticlockwise, and its holes, clockwise.
struct RegionPolygon {
  Ring outer;
  std::vector<Ring> holes;
};

// A region as polygons, or why they could not be made.
struct RegionOutline {
  std::vector<RegionPolygon> polygons;
  std::string failure;  // as ConcreteRegion::failure(); empty when the polygons were made
};

class ConcreteRegion {
 public:
  ConcreteRegion() = default;  // the region of no fibers: empty
  explicit ConcreteRegion(const Section& section);

  bool empty() const { return cells_.empty(); }
  // Why fibers that take part made no region, for the user: a Chinese phrase that fits
  // after a colon, ending with GEOS's own message (in English) when GEOS failed. Empty when
  // the region was made, and for a section with no fiber that takes part.
  const std::string& failure() const { return failure_; }
  // The area of the region, the sum of its cells' areas.
  double area() const { return area_; }
  // The box of the region; none when it is empty.
  const std::optional<Extent>& extent() const { return extent_; }
  // Whether the region fills its box: one axis-aligned rectangle, without holes.
  bool isRectangle() const { return rectangle_; }

  // Whether `p` lies in the region or on its edge, to within a billionth of the section's
  // size. O(1) for the meshes engineers write.
  bool contains(Point p) const;

  // The edges between the region and what lies outside it, holes included, as segments in
  // no particular order: what a drawing of the region strokes. O(n) for n fibers.
  std::vector<std::pair<Point, Point>> boundary() const;

  // The region as polygons, each cell joined to its neighbours; holes smaller than the
  // smallest fiber's cell are gaps between cells and are filled. No polygons for an empty
  // region, and none with the reason in `failure` when GEOS fails. Each call computes it
  // afresh, at some hundred times the cost of building the region.
  RegionOutline outline() const;

 private:
  std::string failure_;
  Point origin_;                           // the centre of the fibers' box
  std::vector<std::vector<Point>> cells_;  // convex, anticlockwise, about origin_
  double area_ = 0.0;
  double smallestCell_ = 0.0;
  double tolerance_ = 0.0;
  std::optional<Extent> extent_;  // in the file's coordinates
  bool rectangle_ = false;
  // A grid of buckets over the region's box, each listing the cells that overlap it.
  Extent gridBox_;  // about origin_
  int columns_ = 0;
  int rows_ = 0;
  std::vector<int> bucketStart_;  // columns_ × rows_ + 1 offsets into bucketCells_
  std::vector<int> bucketCells_;
};

// The version of the geometry library the regions are built with (GEOS), for the About box.
std::string geometryLibraryVersion();

// The concrete regions of a file's sections, by section number − 1; built once per file and
// shared by whatever shows or reports them.
using SectionRegions = std::vector<std::shared_ptr<const ConcreteRegion>>;

}  // namespace fiberview
