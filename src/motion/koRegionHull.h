#pragma once

// The convex hull of a contact region seen along a direction: the projected contact points,
// tens of thousands of them, reduced to the few dozen the region centre is fitted to.

#include <Wm4Foundation.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace koRegionHull {

using Point = Wm4::Vector2<float>;

// One thread's working memory, kept from call to call: fresh arrays of region size would cost
// an allocation and page faults per call.
struct tWorkspace {
  // The radix sort of the points' 64-bit keys takes at most six digits of this many bits.
  static constexpr int kMaxDigitBits = 11;
  std::vector<std::uint64_t> keys, sorted;
  std::array<std::array<std::uint32_t, 1u << kMaxDigitBits>, 6> digitCounts;
  // The result: hull[0..k) for the k scaledHull returns.
  std::vector<Point> hull;
};

// Moves points[0..n), n >= 1, by -origin and scales them by scale, in place, and writes their
// convex hull to workspace.hull: the one the monotone chain over all of them, sorted by x and then
// by y, computes in float arithmetic, every point that does not turn left dropped.
// Counter-clockwise from the least point, which is repeated at the end. box: the size of the
// scaled points' bounding box (width, height). Returns the hull's length.
size_t scaledHull(Point* points, size_t n, const Point& origin, float scale, const Point& box,
                  tWorkspace& workspace);

} // namespace koRegionHull
