#include "koMotionDetect.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

using Point = Wm4::Vector2<float>;

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
// inside the quadrilateral of the four extreme points (lowest, rightmost, highest, leftmost): no
// such point is a hull vertex, and contact regions are dense, so the hull is then built from a
// few hundred points instead of tens of thousands. The margin keeps every point that rounding
// could put on the hull. Writes the keys of the kept points to keys and returns how many.
size_t scaleAndKeepOuterPoints(Point* points, size_t n, const Point& origin, float scale,
                               std::vector<std::uint64_t>& keys) {
  const auto scaled = [&](const Point& p) {
    return Point((p.X() - origin.X()) * scale, (p.Y() - origin.Y()) * scale);
  };
  points[0] = scaled(points[0]);
  Point lowest = points[0], rightmost = points[0], highest = points[0], leftmost = points[0];
  for (size_t i = 1; i < n; ++i) {
    const Point p = points[i] = scaled(points[i]);
    lowest = p.Y() < lowest.Y() ? p : lowest;
    rightmost = p.X() > rightmost.X() ? p : rightmost;
    highest = p.Y() > highest.Y() ? p : highest;
    leftmost = p.X() < leftmost.X() ? p : leftmost;
  }
  const Point corners[5] = {lowest, rightmost, highest, leftmost, lowest};
  const float margin = 1e-5f;
  if (keys.size() < n)
    keys.resize(n);
  size_t kept = 0;
  // All four tests and an unconditional write: slivers keep most points, and a branch on each
  // test would be mispredicted often.
  for (size_t i = 0; i < n; ++i) {
    const Point& p = points[i];
    bool inner = true;
    for (int k = 0; k < 4; ++k)
      inner &= cross(corners[k], corners[k + 1], p) > margin;
    keys[kept] = keyOf(p);
    kept += !inner;
  }
  return kept;
}

constexpr int maxDigitBits = 11;
using tDigitCounts = std::array<std::array<std::uint32_t, 1u << maxDigitBits>, 6>;

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

// Per-thread working memory of ComputeCircleBasedCentroid: contact regions hold tens of thousands
// of points, and fresh arrays of that size would cost an allocation and page faults per call.
struct tCentroidScratch {
  std::vector<Point> points, hull;
  std::vector<std::uint64_t> keys, sorted;
  tDigitCounts counts;
};

tCentroidScratch& centroidScratch() {
  thread_local tCentroidScratch scratch;
  return scratch;
}

} // namespace

// The centre is where the perpendicular bisectors of the hull edges meet best (length-weighted
// least squares), which for a round region is its circle's centre. quality is low when the hull
// is far from round (rmin / rmax) or when it is wide.
Wm4::Vector3<float> koMotionDetect::ComputeCircleBasedCentroid(
    const Wm4::Vector3<float>& d, std::vector<ko::koVertexBuffer*> buffers, float& quality) {
  const Wm4::Vector3<float> e = std::abs(d.Y()) > std::abs(d.X())
                                    ? Wm4::Vector3<float>(1.0f, 0.0f, 0.0f)
                                    : Wm4::Vector3<float>(0.0f, 1.0f, 0.0f);
  Wm4::Vector3<float> u = e - d.Dot(e) * d;
  u.Normalize();
  const Wm4::Vector3<float> v = d.Cross(u);

  tCentroidScratch& scratch = centroidScratch();
  std::vector<Point>& points = scratch.points;
  size_t n = 0;
  for (const ko::koVertexBuffer* buffer : buffers)
    n += buffer ? size_t(buffer->GetVertexQuantity()) : 0;
  quality = 0.0f;
  if (n == 0)
    return Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
  if (points.size() < n)
    points.resize(n);

  // min and max as std::min and std::max fold them from the first point on, so a tie between
  // the two zeros keeps the first one.
  float minA = 0.0f, maxA = 0.0f, minB = 0.0f, maxB = 0.0f, minC = 0.0f, maxC = 0.0f;
  size_t i = 0;
  for (const ko::koVertexBuffer* buffer : buffers) {
    const int count = buffer ? buffer->GetVertexQuantity() : 0;
    if (count == 0)
      continue;
    const Wm4::Vector3<float>* positions = &buffer->Position3(0);
    for (int j = 0; j < count; ++j, ++i) {
      const Wm4::Vector3<float>& P = positions[j];
      const float a = P.Dot(u), b = P.Dot(v), c = P.Dot(d);
      if (i == 0) {
        minA = maxA = a;
        minB = maxB = b;
        minC = maxC = c;
      }
      minA = std::min(minA, a);
      maxA = std::max(maxA, a);
      minB = std::min(minB, b);
      maxB = std::max(maxB, b);
      minC = std::min(minC, c);
      maxC = std::max(maxC, c);
      points[i] = Point(a, b);
    }
  }

  // Into the unit square, keeping the aspect ratio.
  const float extent = std::max(maxB - minB, maxA - minA);
  const float scale = extent > 0.0f ? 1.0f / extent : 0.0f;
  const size_t kept =
      scaleAndKeepOuterPoints(points.data(), n, Point(minA, minB), scale, scratch.keys);
  const std::vector<Point>& hull = scratch.hull;
  const std::uint64_t varying = differingBits(scratch.keys, kept);
  size_t hullSize = axisLineHull(scratch.keys, kept, varying, scratch.hull);
  if (hullSize == 0) {
    sortKeys(scratch.keys, kept, varying, scratch.sorted, scratch.counts);
    hullSize = convexHull(scratch.keys, kept, scratch.hull);
  }

  // Sum of L t t^T and of L (t t^T) m over the hull edges, t the unit direction, m the midpoint.
  float a11 = 0.0f, a12 = 0.0f, a22 = 0.0f, b1 = 0.0f, b2 = 0.0f, total = 0.0f;
  for (size_t i = 0; i + 1 < hullSize; ++i) {
    const Point edge = hull[i + 1] - hull[i];
    const float length = edge.Length();
    if (!(length > 0.0f))
      continue;
    const Point t = edge / length;
    const Point mid = 0.5f * (hull[i] + hull[i + 1]);
    const float along = t.Dot(mid);
    a11 += length * t.X() * t.X();
    a12 += length * t.X() * t.Y();
    a22 += length * t.Y() * t.Y();
    b1 += length * t.X() * along;
    b2 += length * t.Y() * along;
    total += length;
  }
  if (!(total > 0.0f))  // every vertex projects to one point: that point, with no quality
    return (minA * u) + (minB * v) + (0.5f * (minC + maxC)) * d;

  const float regularisation = 0.0001f;
  a11 = a11 / total + regularisation;
  a12 = a12 / total;
  a22 = a22 / total + regularisation;
  b1 /= total;
  b2 /= total;
  const float det = a11 * a22 - a12 * a12;
  const Point z((a22 * b1 - a12 * b2) / det, (a11 * b2 - a12 * b1) / det);

  float rMin = 0.0f, rMax = 0.0f, rSum = 0.0f;
  for (size_t i = 1; i < hullSize; ++i) {
    const float r = (hull[i] - z).Length();
    rMin = i == 1 ? r : std::min(rMin, r);
    rMax = std::max(rMax, r);
    rSum += r;
  }
  const float rMean = rSum / static_cast<float>(hullSize - 1);
  quality = std::min(rMin / rMax, 0.5f / rMean);

  return ((z.X() * extent + minA) * u) + ((z.Y() * extent + minB) * v) +
         (0.5f * (minC + maxC)) * d;
}
