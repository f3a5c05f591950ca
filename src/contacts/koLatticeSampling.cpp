#include "contacts/koLatticeSampling.h"

#include <algorithm>
#include <cmath>

namespace {

using Point = Wm4::Vector2<double>;

constexpr double HalfSqrt3 = 0.8660254;
constexpr double TwoOverSqrt3 = 1.1547005;
constexpr double MinimumHeight = 0.01;

double cross(const Point& u, const Point& v) { return u.X() * v.Y() - u.Y() * v.X(); }

// Edge k runs from corner k to corner k + 1.
struct Triangle {
  Point p[3];
  // p[k + 1] - p[k], set once the corners are final.
  Point edge[3];
  // +1 for a counter-clockwise triangle, -1 for a clockwise one.
  double orientation;
  double area2;

  // Twice the area of (p[k], p[k + 1], q), positive on the triangle's side of edge k.
  double side(int k, const Point& q) const { return orientation * cross(edge[k], q - p[k]); }
};

// Whether anything of the cell remains after clipping it by the triangle's open half-planes,
// one edge after another (Sutherland-Hodgman, each corner's side taken once per edge).
bool clipsToSomething(const Point cell[3], const Triangle& triangle) {
  // A triangle clipped by three half-planes keeps at most 6 corners.
  Point buffers[2][6];
  const Point* in = cell;
  int n = 3;
  for (int k = 0; k < 3; ++k) {
    double side[6];
    bool allIn = true, anyIn = false;
    for (int i = 0; i < n; ++i) {
      side[i] = triangle.side(k, in[i]);
      allIn = allIn && side[i] > 0.0;
      anyIn = anyIn || side[i] > 0.0;
    }
    if (allIn)
      continue; // the polygon stays as it is
    if (!anyIn)
      return false;
    Point* out = in == buffers[0] ? buffers[1] : buffers[0];
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const int j = i + 1 < n ? i + 1 : 0;
      if (side[i] > 0.0)
        out[m++] = in[i];
      if ((side[i] > 0.0) != (side[j] > 0.0))
        out[m++] = in[i] + (in[j] - in[i]) * (side[i] / (side[i] - side[j]));
    }
    in = out;
    n = m;
  }
  return true;
}

} // namespace

koLatticeSampler::Cell koLatticeSampler::child(const Refined& parent, size_t which) {
  const Point* c = parent.corner;
  const Point* m = parent.middle;
  switch (which) {
  case 0:
    return {{c[0], m[0], m[2]}};
  case 1:
    return {{m[0], c[1], m[1]}};
  case 2:
    return {{m[2], m[1], c[2]}};
  default:
    return {{m[0], m[1], m[2]}};
  }
}

int koLatticeSampler::sample(const Wm4::Vector2<float> corners[3], int count,
                             std::vector<Wm4::Vector3<double>>& weights) {
  weights.clear();
  Triangle triangle;
  for (int k = 0; k < 3; ++k)
    triangle.p[k] = Point(corners[k].X(), corners[k].Y());

  double lengths[3];
  for (int k = 0; k < 3; ++k)
    lengths[k] = (triangle.p[(k + 1) % 3] - triangle.p[k]).Length();
  int longest = 0;
  for (int k = 1; k < 3; ++k)
    if (lengths[k] > lengths[longest])
      longest = k;
  const Point base = triangle.p[longest];
  const Point edge = triangle.p[(longest + 1) % 3] - base;
  Point& apex = triangle.p[(longest + 2) % 3];
  const double length = edge.Length();
  const double height = cross(edge, apex - base) / length;
  // Written so that non-finite corners fail as well.
  if (!(length > 0.0 && std::fabs(height) > 0.0 && std::isfinite(length)))
    return 0;
  if (std::fabs(height) < MinimumHeight * length) {
    const Point away = Point(-edge.Y(), edge.X()) * ((height > 0.0 ? 1.0 : -1.0) / length);
    apex += away * (MinimumHeight * length - std::fabs(height));
  }
  for (int k = 0; k < 3; ++k)
    triangle.edge[k] = triangle.p[(k + 1) % 3] - triangle.p[k];
  const double signedArea2 = cross(triangle.p[1] - triangle.p[0], triangle.p[2] - triangle.p[0]);
  triangle.orientation = signedArea2 < 0.0 ? -1.0 : 1.0;
  triangle.area2 = std::fabs(signedArea2);

  // Lattice coordinates (y, sqrt(3)/2 x - y/2) measure along the two lattice directions; lattice
  // point (i, j) at cell size c is i c (1/2, sqrt(3)/2) + j c (1, 0), whose lattice coordinates
  // are (i, j) c sqrt(3)/2. The level puts the box's larger side between 1/2 and 2 lattice units.
  double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
  for (const Point& p : triangle.p) {
    const double lattice[2] = {p.Y(), HalfSqrt3 * p.X() - 0.5 * p.Y()};
    for (int axis = 0; axis < 2; ++axis) {
      low[axis] = std::min(low[axis], lattice[axis]);
      high[axis] = std::max(high[axis], lattice[axis]);
    }
  }
  const int level = static_cast<int>(-std::log2(std::max(high[0] - low[0], high[1] - low[1])));
  const double scale = std::ldexp(1.0, level);
  const double i0 = std::floor(low[0] * scale), i1 = std::ceil(high[0] * scale);
  const double j0 = std::floor(low[1] * scale), j1 = std::ceil(high[1] * scale);
  const double m = std::max(i1 - i0, j1 - j0);
  const double cellSize = std::ldexp(1.0, -level) * TwoOverSqrt3;
  auto latticePoint = [&](double i, double j) {
    return Point(cellSize * (0.5 * i + j), cellSize * HalfSqrt3 * i);
  };

  // The parallelogram over the box, cut along its short diagonal into two counter-clockwise cells.
  // Cells are taken in breadth-first order: after the two roots come the four children of each
  // refined cell in turn, made only when reached.
  const Cell roots[2] = {
      {{latticePoint(i0, j0), latticePoint(i0, j0 + m), latticePoint(i0 + m, j0)}},
      {{latticePoint(i0, j0 + m), latticePoint(i0 + m, j0 + m), latticePoint(i0 + m, j0)}}};
  mRefined.clear();
  for (size_t head = 0;
       head < 2 + 4 * mRefined.size() && static_cast<int>(weights.size()) < count; ++head) {
    const Cell cell = head < 2 ? roots[head] : child(mRefined[(head - 2) / 4], (head - 2) % 4);
    if (!clipsToSomething(cell.corner, triangle))
      continue;
    Refined refined;
    for (int k = 0; k < 3; ++k) {
      const Point& from = cell.corner[k];
      const Point& to = cell.corner[(k + 1) % 3];
      refined.corner[k] = from;
      refined.middle[k] = (from + to) * 0.5;
      // Neighbouring cells run along a shared edge in opposite directions: only the cell that
      // rises along it takes its midpoint.
      if (!(to.Y() > from.Y()) || static_cast<int>(weights.size()) >= count)
        continue;
      const Point& middle = refined.middle[k];
      const double side0 = triangle.side(0, middle), side1 = triangle.side(1, middle),
                   side2 = triangle.side(2, middle);
      if (side0 > 0.0 && side1 > 0.0 && side2 > 0.0)
        weights.emplace_back(side1 / triangle.area2, side2 / triangle.area2,
                             side0 / triangle.area2);
    }
    mRefined.push_back(refined);
  }
  return static_cast<int>(weights.size());
}
