// The figures of one section and the checks of its fibers, for the window that explores a
// section.
//
// Coordinates are in the file's own length unit, areas in its square, second moments in its
// fourth power. Fibers are numbered from 1 within their kind, and a fiber's values from 1 in
// file order: x, y, area, then the further values.
#pragma once

#include <optional>
#include <vector>

#include "data/section_store.h"
#include "plot/concrete_region.h"
#include "plot/geometry.h"

namespace fiberview {

// The figures of the fibers of one kind. A fiber enters them only when its x, y and area
// are finite and its area is not negative; any other fiber is counted in `leftOut` and
// named by checkSection. The further values enter no figure.
struct KindSummary {
  int count = 0;    // fibers read
  int leftOut = 0;  // of those, the fibers that enter no figure below
  double area = 0.0;
  // The area-weighted centroid; none when the area is 0 or the weighted sums exceed the
  // range of a double.
  std::optional<Point> centroid;
  // Second moments of area about the centroid, ΣA·(y − ȳ)² and ΣA·(x − x̄)²; present with
  // the centroid. They may be infinite when they exceed the range of a double.
  std::optional<double> ixx;
  std::optional<double> iyy;
  // The same about the origin, ΣA·y² and ΣA·x²; present with the centroid.
  std::optional<double> ixxOrigin;
  std::optional<double> iyyOrigin;
  // The box of the fiber centres; none when no fiber enters the figures.
  std::optional<Extent> extent;
};

struct SectionSummary {
  KindSummary concrete;
  KindSummary steel;
  // ΣAs / ΣAc; none when ΣAc is 0 or the ratio exceeds the range of a double.
  std::optional<double> reinforcementRatio;
  // The area-weighted centroid of both kinds together, each bar at its own area in addition
  // to the concrete's (the concrete areas as read are not reduced by the bars); none as for
  // the centroid of one kind. There are no second moments of both kinds together: adding them
  // needs the ratio of the two materials' stiffnesses, which is not the summary's to choose.
  std::optional<Point> centroid;
  // The box of all fiber centres that enter the figures.
  std::optional<Extent> extent;
};

SectionSummary summarizeSection(const Section& section);

// A material number, a fiber's fourth value, and how many fibers of each kind carry it.
struct MaterialCount {
  double number = 0.0;
  int concrete = 0;
  int steel = 0;
};

// The material numbers of `section`, ascending, each once; a fourth value that is not
// finite names no material.
std::vector<MaterialCount> countMaterials(const Section& section);

// A figure stated by the file beside the same figure measured on the fibers.
struct Difference {
  double stated = 0.0;
  double measured = 0.0;
  // (measured − stated) / |stated|, so 0.05 means the fibers measure 5 % more; none when
  // the stated figure is 0 or either figure is not finite.
  std::optional<double> relative;
};

// The old version's width B and height H against the concrete region.
struct DimensionComparison {
  // B and H against the region's width and height; none for an empty region.
  std::optional<Difference> width;
  std::optional<Difference> height;
  // B × H against the region's area, only where the region is a rectangle: for any other
  // shape B × H is the area of its box, not of the section.
  std::optional<Difference> area;
};

// `b` and `h` are the old-version properties B and H as numbers; a property that was read
// as text has no number to compare, so the caller does not ask.
DimensionComparison compareWithDimensions(const ConcreteRegion& region, double b, double h);

// Which axes a file's bending stiffnesses are taken about.
enum class StiffnessAxes {
  Origin,    // the file's x and y axes
  Centroid,  // axes through the concrete's centroid, parallel to x and y
  Both,      // the concrete's centroid lies at the origin, so the two are one
};

// The moduli a new-version file implies: its stiffnesses over the concrete's own figures.
// For a sound file they agree, to within what the bars add, and give the concrete's modulus.
struct StiffnessComparison {
  StiffnessAxes axes = StiffnessAxes::Both;
  // The concrete's second moments about those axes.
  std::optional<double> ixx;
  std::optional<double> iyy;
  // EA / ΣAc, EIxx / Ixx and EIyy / Iyy; none where the divisor is 0 or a figure is not
  // finite.
  std::optional<double> fromArea;
  std::optional<double> fromIxx;
  std::optional<double> fromIyy;
};

// The axes are those about which the two bending moduli come nearer the axial one; `ea`,
// `eixx` and `eiyy` are the new-version properties as numbers.
StiffnessComparison compareWithStiffnesses(const SectionSummary& summary, double ea, double eixx,
                                           double eiyy);

// In the order in which checkSection lists the findings of one fiber.
enum class CheckKind {
  NotFinite,     // value number `value` is infinite or not a number
  NegativeArea,  // a finite area below 0
  ZeroArea,      // an area of 0
  // The fiber's centre equals that of the lower-numbered fiber `otherFiber` of the same
  // kind. Of several fibers at one centre, each names the first of them. A bar over a
  // concrete fiber is how reinforcement is modelled, so fibers of different kinds are not
  // compared.
  Coincident,
  // The bar's centre lies outside the region of the concrete (ConcreteRegion), which
  // reaches half a cell past the edge fibers, so a bar in an edge fiber's cover is inside.
  // A section without concrete fibers of some area has nothing to be outside of.
  SteelOutsideConcrete,
};

struct Finding {
  CheckKind kind = CheckKind::NotFinite;
  FiberKind fiberKind = FiberKind::Concrete;
  int fiber = 0;       // 1-based
  int otherFiber = 0;  // 1-based, of the same kind, for Coincident; 0 otherwise
  int value = 0;       // 1-based value number for NotFinite; 0 otherwise
};

// The findings of every check on `section`, concrete fibers first, then steel, each kind
// by fiber number and within a fiber in the order of CheckKind. A fiber whose x or y is not
// finite is reported for that and takes part in no other check but the area checks. A
// section without findings gives an empty list.
std::vector<Finding> checkSection(const Section& section);
// The same with the section's concrete region built already.
std::vector<Finding> checkSection(const Section& section, const ConcreteRegion& region);

}  // namespace fiberview
