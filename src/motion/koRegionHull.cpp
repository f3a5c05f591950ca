#include "motion/koRegionHull.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <utility>

namespace koRegionHull {

namespace {

// > 0 when o, a, b turn left.
float cross(const Point& o, const Point& a, const Point& b) {
  return (a.X() - o.X()) * (b.Y() - o.Y()) - (a.Y() - o.Y()) * (b.X() - o.X());
}

// A key whose unsigned order is the order of the float (both zeros as +0).
std::uint32_t orderedBits(float value) {
  std::uint32_t bits;
  const float canonical = value == 0.0f ? 0.0f : value;
  std::memcpy(&bits, &canonical, sizeof(bits));
  return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

float fromOrderedBits(std::uint32_t bits) {
  bits = (bits & 0x80000000u) ? (bits & 0x7FFFFFFFu) : ~bits;
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

// The point of a key (x bits, y bits); sorting the keys sorts the points by x, then y.
std::uint64_t keyOf(const Point& p) {
  return (std::uint64_t(orderedBits(p.X())) << 32) | orderedBits(p.Y());
}

Point pointOf(std::uint64_t key) {
  return Point(fromOrderedBits(std::uint32_t(key >> 32)), fromOrderedBits(std::uint32_t(key)));
}

// Moves the points by -origin and scales them by scale; then drops the points that lie well
// inside the quadrilateral of the points extreme along the diagonals of their box: no such point
// is a hull vertex, and contact regions are dense, so the hull is then built from a few hundred
// points instead of tens of thousands. Diagonals, not axes, so that the corners of rectangular and
// of long thin regions are cut off too. The margin, a share of the box's area, keeps every point
// that rounding could put on the hull: a cross product's rounding error grows with that area.
// Writes the keys of the kept points to keys and returns how many.
size_t scaleAndKeepOuterPoints(Point* points, size_t n, const Point& origin, float scale,
                               const Point& box, std::vector<std::uint64_t>& keys) {
  const auto scaled = [&](const Point& p) {
    return Point((p.X() - origin.X()) * scale, (p.Y() - origin.Y()) * scale);
  };
  const auto rising = [&box](const Point& p) { return p.X() * box.Y() + p.Y() * box.X(); };
  const auto falling = [&box](const Point& p) { return p.X() * box.Y() - p.Y() * box.X(); };
  // Counter-clockwise from the lower right: lower right, upper right, upper left, lower left.
  points[0] = scaled(points[0]);
  Point extreme[4];
  std::fill_n(extreme, 4, points[0]);
  for (size_t i = 1; i < n; ++i) {
    const Point p = points[i] = scaled(points[i]);
    extreme[0] = falling(p) > falling(extreme[0]) ? p : extreme[0];
    extreme[1] = rising(p) > rising(extreme[1]) ? p : extreme[1];
    extreme[2] = falling(p) < falling(extreme[2]) ? p : extreme[2];
    extreme[3] = rising(p) < rising(extreme[3]) ? p : extreme[3];
  }
  // The quadrilateral without repeated corners, its edges taken round again to fill four tests:
  // fewer than three corners enclose nothing, as no point passes both ways of an edge.
  Point corners[4];
  int noCorners = 0;
  for (const Point& p : extreme)
    if (noCorners == 0 || p != corners[noCorners - 1])
      corners[noCorners++] = p;
  if (noCorners > 1 && corners[noCorners - 1] == corners[0])
    --noCorners;
  Point from[4], edge[4];
  for (int k = 0; k < 4; ++k) {
    from[k] = corners[k % noCorners];
    edge[k] = corners[(k + 1) % noCorners] - from[k];
  }
  const float margin = 1e-5f * box.X() * box.Y();
  // Whether each of four points lies well inside all four edges (the cross product of the edge
  // and the point above the margin); a coordinate that is not a number fails every test, so such
  // a point is kept.
  using tLanes = float __attribute__((vector_size(16)));
  const auto inner = [&](const tLanes& x, const tLanes& y) {
    const auto side = [&](int k) {
      return edge[k].X() * (y - from[k].Y()) - edge[k].Y() * (x - from[k].X()) > margin;
    };
    return side(0) & side(1) & side(2) & side(3);
  };
  if (keys.size() < n)
    keys.resize(n);
  // Four points at a time; a block whose points are all inner, the common case in the middle of a
  // region, writes nothing. Otherwise every key is written and only the kept ones advance.
  size_t kept = 0, i = 0;
  for (; i + 4 <= n; i += 4) {
    const tLanes x = {points[i].X(), points[i + 1].X(), points[i + 2].X(), points[i + 3].X()};
    const tLanes y = {points[i].Y(), points[i + 1].Y(), points[i + 2].Y(), points[i + 3].Y()};
    const auto inside = inner(x, y);
    if (inside[0] & inside[1] & inside[2] & inside[3])
      continue;
    for (int j = 0; j < 4; ++j) {
      keys[kept] = keyOf(points[i + size_t(j)]);
      kept += inside[j] == 0;
    }
  }
  for (; i < n; ++i) {  // the last points one at a time, in lane 0
    keys[kept] = keyOf(points[i]);
    kept += inner(tLanes{points[i].X()}, tLanes{points[i].Y()})[0] == 0;
  }
  return kept;
}

constexpr int maxDigitBits = tWorkspace::kMaxDigitBits;
using tDigitCounts = decltype(koRegionHull::tWorkspace::digitCounts);

// The bits in which keys[0..n) differ from one another.
std::uint64_t differingBits(const std::vector<std::uint64_t>& keys, size_t n) {
  std::uint64_t varying = 0;
  for (size_t i = 1; i < n; ++i)
    varying |= keys[i] ^ keys[0];
  return varying;
}

// Sorts keys[0..n) in linear time: an LSD radix sort over the bits in which the keys differ
// (varying), in at most six digits of up to 11 bits. Equal points are equal keys, so the order is
// the one any sort by (x, y) gives.
void sortKeys(std::vector<std::uint64_t>& keys, size_t n, std::uint64_t varying,
              std::vector<std::uint64_t>& sorted, tDigitCounts& counts) {
  if (varying == 0)
    return;
  const int low = __builtin_ctzll(varying), width = 64 - __builtin_clzll(varying) - low;
  const int noPasses = (width + maxDigitBits - 1) / maxDigitBits;
  const int digitBits = (width + noPasses - 1) / noPasses;
  const std::uint64_t digitMask = (std::uint64_t(1) << digitBits) - 1;
  if (sorted.size() < n)
    sorted.resize(n);
  for (int pass = 0; pass < noPasses; ++pass)
    std::fill_n(counts[pass].begin(), std::size_t(1) << digitBits, 0u);
  for (size_t i = 0; i < n; ++i)
    for (int pass = 0; pass < noPasses; ++pass)
      ++counts[pass][(keys[i] >> (low + pass * digitBits)) & digitMask];
  for (int pass = 0; pass < noPasses; ++pass) {
    std::uint32_t* histogram = counts[pass].data();
    const int shift = low + pass * digitBits;
    if (std::find(histogram, histogram + digitMask + 1, n) != histogram + digitMask + 1)
      continue;
    std::uint32_t offset = 0;
    for (size_t d = 0; d <= digitMask; ++d)
      offset += std::exchange(histogram[d], offset);
    for (size_t i = 0; i < n; ++i)
      sorted[histogram[(keys[i] >> shift) & digitMask]++] = keys[i];
    keys.swap(sorted);
  }
}

// Monotone chain over the points of keys sorted by x, then y: the lower chain, then the upper
// one, dropping every point that does not turn left. Writes the hull to hull[0..k) and returns k;
// the last point repeats the first.
size_t convexHull(const std::vector<std::uint64_t>& sortedKeys, size_t n,
                  std::vector<Point>& hull) {
  if (hull.size() < 2 * n)
    hull.resize(2 * n);
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) {
    const Point p = pointOf(sortedKeys[i]);
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0.0f)
      --k;
    hull[k++] = p;
  }
  const size_t lower = k + 1;
  for (size_t i = n - 1; i-- > 0;) {
    const Point p = pointOf(sortedKeys[i]);
    while (k >= lower && cross(hull[k - 2], hull[k - 1], p) <= 0.0f)
      --k;
    hull[k++] = p;
  }
  return k;
}

// When the n >= 2 points share x, or all share y, every cross product the monotone chain forms
// is (0 * dy) - (dx * 0), a zero as long as the differences are finite: each point pops the one
// before it, and the chain returns the least point, the greatest one and the least again,
// whatever lies between. Writes that hull and returns 3, or returns 0 when the points are not on
// such a line (or a coordinate is too large for that argument). varying: the bits in which the
// keys differ.
size_t axisLineHull(const std::vector<std::uint64_t>& keys, size_t n, std::uint64_t varying,
                    std::vector<Point>& hull) {
  if (n < 2)
    return 0;
  if ((varying >> 32) != 0 && (varying & 0xFFFFFFFFu) != 0)
    return 0;
  const auto [least, greatest] = std::minmax_element(keys.begin(), keys.begin() + n);
  const Point low = pointOf(*least), high = pointOf(*greatest);
  const float bound = 1e18f;
  for (float coordinate : {low.X(), low.Y(), high.X(), high.Y()})
    if (!(std::abs(coordinate) <= bound))
      return 0;
  if (hull.size() < 3)
    hull.resize(3);
  hull[0] = hull[2] = low;
  hull[1] = high;
  return 3;
}

} // namespace

size_t scaledHull(Point* points, size_t n, const Point& origin, float scale, const Point& box,
                  tWorkspace& workspace) {
  assert(n >= 1);
  const size_t kept = scaleAndKeepOuterPoints(points, n, origin, scale, box, workspace.keys);
  const std::uint64_t varying = differingBits(workspace.keys, kept);
  const size_t hullSize = axisLineHull(workspace.keys, kept, varying, workspace.hull);
  if (hullSize != 0)
    return hullSize;
  sortKeys(workspace.keys, kept, varying, workspace.sorted, workspace.digitCounts);
  return convexHull(workspace.keys, kept, workspace.hull);
}

} // namespace koRegionHull
