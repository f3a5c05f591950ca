#include <ko/koBBox.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

struct Vec3d {
  double x, y, z;
  double operator[](int k) const { return k == 0 ? x : (k == 1 ? y : z); }
};

Vec3d sub(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3d cross(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Whether the axis separates the triangle (corners relative to the box centre) from a box of
// the given half sizes. A zero axis separates nothing.
bool separates(const Vec3d& axis, const Vec3d (&v)[3], const Vec3d& half) {
  const double p0 = dot(axis, v[0]);
  const double p1 = dot(axis, v[1]);
  const double p2 = dot(axis, v[2]);
  const double radius =
      half.x * std::fabs(axis.x) + half.y * std::fabs(axis.y) + half.z * std::fabs(axis.z);
  return std::min({p0, p1, p2}) > radius || std::max({p0, p1, p2}) < -radius;
}

} // namespace

koBBox::koBBox() : min(kInfinity, kInfinity, kInfinity), max(-kInfinity, -kInfinity, -kInfinity) {}

koBBox::koBBox(const Wm4::Vector3<float>& minCorner, const Wm4::Vector3<float>& maxCorner)
    : min(minCorner), max(maxCorner) {}

void koBBox::makeEmpty() { *this = koBBox(); }

bool koBBox::isEmpty() const { return !(min[0] <= max[0] && min[1] <= max[1] && min[2] <= max[2]); }

void koBBox::grow(const Wm4::Vector3<float>& point) {
  for (int k = 0; k < 3; ++k) {
    min[k] = std::min(min[k], point[k]);
    max[k] = std::max(max[k], point[k]);
  }
}

void koBBox::grow(const koBBox& other) {
  if (other.isEmpty())
    return;
  grow(other.min);
  grow(other.max);
}

koBBox koBBox::unite(const koBBox& a, const koBBox& b) {
  koBBox result = a;
  result.grow(b);
  return result;
}

koBBox koBBox::aroundTriangle(const Wm4::Vector3<float>& a, const Wm4::Vector3<float>& b,
                              const Wm4::Vector3<float>& c) {
  koBBox box;
  for (int k = 0; k < 3; ++k) {
    box.min[k] = std::min({a[k], b[k], c[k]});
    box.max[k] = std::max({a[k], b[k], c[k]});
  }
  return box;
}

bool koBBox::contains(const Wm4::Vector3<float>& point) const {
  return min[0] <= point[0] && point[0] <= max[0] && min[1] <= point[1] && point[1] <= max[1] &&
         min[2] <= point[2] && point[2] <= max[2];
}

bool koBBox::overlaps(const koBBox& other) const {
  if (isEmpty() || other.isEmpty())
    return false;
  for (int k = 0; k < 3; ++k)
    if (other.max[k] < min[k] || max[k] < other.min[k])
      return false;
  return true;
}

float koBBox::getMaxExtent(tAxis& axis) const {
  axis = eAxisX;
  if (isEmpty())
    return -kInfinity;
  float extent = max[0] - min[0];
  for (int k = 1; k < 3; ++k) {
    if (max[k] - min[k] > extent) {
      extent = max[k] - min[k];
      axis = static_cast<tAxis>(k);
    }
  }
  return extent;
}

bool koBBox::overlapsTriangle(const Wm4::Vector3<float>& a, const Wm4::Vector3<float>& b,
                              const Wm4::Vector3<float>& c) const {
  if (isEmpty())
    return false;
  // Box face normals: the triangle's own box against this one.
  for (int k = 0; k < 3; ++k) {
    if (std::min({a[k], b[k], c[k]}) > max[k] || std::max({a[k], b[k], c[k]}) < min[k])
      return false;
  }

  // In double, differences of float coordinates of comparable scale are exact and each product
  // is rounded once, so only configurations within a rounding error of touching can be misjudged.
  const Vec3d centre{0.5 * (double(min[0]) + max[0]), 0.5 * (double(min[1]) + max[1]),
                     0.5 * (double(min[2]) + max[2])};
  const Vec3d half{0.5 * (double(max[0]) - min[0]), 0.5 * (double(max[1]) - min[1]),
                   0.5 * (double(max[2]) - min[2])};
  const Vec3d v[3] = {sub(Vec3d{a[0], a[1], a[2]}, centre), sub(Vec3d{b[0], b[1], b[2]}, centre),
                      sub(Vec3d{c[0], c[1], c[2]}, centre)};
  const Vec3d edges[3] = {sub(v[1], v[0]), sub(v[2], v[1]), sub(v[0], v[2])};

  // The nine cross products of the box axes with the triangle edges. For a degenerate triangle
  // (a segment or a point) these, with the face normals, are still a complete set of axes.
  const Vec3d boxAxes[3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
  for (const Vec3d& axis : boxAxes)
    for (const Vec3d& edge : edges)
      if (separates(cross(axis, edge), v, half))
        return false;

  // The triangle's plane.
  return !separates(cross(edges[0], edges[1]), v, half);
}
