// The region hull against the plain monotone chain over every point, on seeded regions of the
// kinds contact analysis meets: dense patches, discs and rings, slivers a few rounding steps thick,
// exactly collinear sets, grids full of equal coordinates, points crowded into a corner, and tiny
// sets. Both must agree point for point, the float decisions of the chain included.

#include "motion/koMotionMath.h"
#include "motion/koRegionHull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using Point = koRegionHull::Point;

float draw(std::mt19937& random, float low, float high) {
  return low + (high - low) * float(random() % 100001u) / 100000.0f;
}

std::vector<Point> region(std::mt19937& random, int round) {
  const int kind = round % 8;
  const int count = kind == 6 ? 1 + int(random() % 5u) : 1 + int(random() % 8000u);
  const float length = draw(random, 0.5f, 20.0f), width = draw(random, 1e-6f, 2.0f);
  const float step = std::nextafter(length, 100.0f) - length;
  // For the last kind: a flat patch seen nearly or exactly edge-on, thick only by the rounding of
  // the projection.
  const float turn = draw(random, 0.0f, 6.2831853f), tilt = draw(random, 0.0f, 1e-6f);
  Wm4::Vector3<float> d(std::cos(turn), std::sin(turn), random() % 2 ? 0.0f : tilt);
  d.Normalize();
  Wm4::Vector3<float> u, v;
  koPerpendicularBasis(d, u, v);
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    const float along = draw(random, -length, length), angle = draw(random, 0.0f, 6.2831853f);
    if (kind == 0)  // patch
      points.emplace_back(along, draw(random, -width, width));
    else if (kind == 1)  // disc or ring
      points.emplace_back(length * std::cos(angle) * draw(random, width / 2.1f, 1.0f),
                          length * std::sin(angle) * draw(random, width / 2.1f, 1.0f));
    else if (kind == 2)  // sliver: rows a few rounding steps apart, one side tilted
      points.emplace_back(along, length + float(random() % 4u) * step + along * 1e-7f);
    else if (kind == 3)  // exactly on a line, both zeros across it
      points.emplace_back(random() % 2 ? 0.0f : -0.0f, along);
    else if (kind == 4)  // grid with repeats
      points.emplace_back(float(random() % 40u) * 0.25f, float(random() % 7u) * width);
    else if (kind == 5)  // crowded towards a corner
      points.emplace_back(length * std::pow(draw(random, 0, 1), 9.0f),
                          width * std::pow(draw(random, 0, 1), 9.0f));
    else if (kind == 6)  // a few points, often the same one
      points.emplace_back(float(random() % 3u), float(random() % 2u));
    else {
      const float power = float(1 + 8 * (round / 8 % 2));  // uniform, or crowded towards a corner
      const Wm4::Vector3<float> p(length * std::pow(draw(random, 0, 1), power),
                                  width * length * std::pow(draw(random, 0, 1), power), 0.0f);
      points.emplace_back(p.Dot(u), p.Dot(v));
    }
  }
  return points;
}

float cross(const Point& o, const Point& a, const Point& b) {
  return (a.X() - o.X()) * (b.Y() - o.Y()) - (a.Y() - o.Y()) * (b.X() - o.X());
}

// Every point sorted by x, then y (the two zeros equal), through the lower and the upper chain.
std::vector<Point> monotoneChain(std::vector<Point> points) {
  for (Point& p : points)
    p = Point(p.X() + 0.0f, p.Y() + 0.0f);
  std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
    return a.X() < b.X() || (a.X() == b.X() && a.Y() < b.Y());
  });
  std::vector<Point> hull;
  for (const Point& p : points) {
    while (hull.size() >= 2 && cross(hull[hull.size() - 2], hull.back(), p) <= 0.0f)
      hull.pop_back();
    hull.push_back(p);
  }
  const size_t lower = hull.size() + 1;
  for (size_t i = points.size() - 1; i-- > 0;) {
    while (hull.size() >= lower && cross(hull[hull.size() - 2], hull.back(), points[i]) <= 0.0f)
      hull.pop_back();
    hull.push_back(points[i]);
  }
  return hull;
}

} // namespace

TEST(koRegionHull, SeededRegionsGiveTheHullOfEveryPoint) {
  std::mt19937 random(2024);
  koRegionHull::tWorkspace workspace;
  for (int round = 0; round < 800; ++round) {
    std::vector<Point> points = region(random, round);
    Point low = points[0], high = points[0];
    for (const Point& p : points) {
      low = Point(std::min(low.X(), p.X()), std::min(low.Y(), p.Y()));
      high = Point(std::max(high.X(), p.X()), std::max(high.Y(), p.Y()));
    }
    const float extent = std::max(high.X() - low.X(), high.Y() - low.Y());
    const float scale = extent > 0.0f ? 1.0f / extent : 0.0f;
    const Point box((high.X() - low.X()) * scale, (high.Y() - low.Y()) * scale);
    std::vector<Point> scaled;
    for (const Point& p : points)
      scaled.emplace_back((p.X() - low.X()) * scale, (p.Y() - low.Y()) * scale);

    const size_t size = koRegionHull::scaledHull(points.data(), points.size(), low, scale, box,
                                                 workspace);
    const std::vector<Point> hull(workspace.hull.begin(), workspace.hull.begin() + size);
    ASSERT_EQ(hull, monotoneChain(scaled)) << "round " << round;
  }
}
