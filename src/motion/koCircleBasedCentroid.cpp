#include "koMotionDetect.h"

#include "motion/koMotionMath.h"
#include "motion/koRegionHull.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>

namespace {

using Point = koRegionHull::Point;

// Per-thread working memory: the projected points and the hull's.
struct tCentroidScratch {
  std::vector<Point> points;
  koRegionHull::tWorkspace hull;
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
  Wm4::Vector3<float> u, v;
  koPerpendicularBasis(d, u, v);

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
  const size_t hullSize =
      koRegionHull::scaledHull(points.data(), n, Point(minA, minB), scale,
                               Point((maxA - minA) * scale, (maxB - minB) * scale), scratch.hull);
  const std::vector<Point>& hull = scratch.hull.hull;

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
