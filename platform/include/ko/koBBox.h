#pragma once

#include <Wm4Foundation.h>

// An axis-aligned box of floats: the points p with min <= p <= max in every component. Edges
// and corners belong to the box. The empty box has min = (+inf, +inf, +inf) and
// max = (-inf, -inf, -inf), so that growing it by a point gives that point's box; any box with
// min > max in some component is empty.
class koBBox {
public:
  enum tAxis { eAxisX = 0, eAxisY = 1, eAxisZ = 2 };

  Wm4::Vector3<float> min;
  Wm4::Vector3<float> max;

  // The empty box.
  koBBox();
  koBBox(const Wm4::Vector3<float>& minCorner, const Wm4::Vector3<float>& maxCorner);

  // Back to the empty box.
  void makeEmpty();
  bool isEmpty() const;

  // Grows the box to hold the point.
  void grow(const Wm4::Vector3<float>& point);
  // Grows the box to hold the other box (the union); an empty box changes nothing.
  void grow(const koBBox& other);
  // The smallest box holding both.
  static koBBox unite(const koBBox& a, const koBBox& b);
  // The box of a triangle's three corners.
  static koBBox aroundTriangle(const Wm4::Vector3<float>& a, const Wm4::Vector3<float>& b,
                               const Wm4::Vector3<float>& c);

  bool contains(const Wm4::Vector3<float>& point) const;
  // True when the boxes share a point (touching counts); false if either is empty.
  bool overlaps(const koBBox& other) const;

  // The largest edge length, with the axis it lies along in `axis` (the lower axis on a tie).
  // Negative (-inf) for the empty box, with axis X.
  float getMaxExtent(tAxis& axis) const;

  // True when the triangle (corners a, b, c, possibly degenerate) shares a point with the box,
  // touching included; false for the empty box. Exact separating-axis test (Akenine-Moller):
  // the box's three face normals, the triangle's normal and the nine cross products of box axes
  // with triangle edges, evaluated in double precision.
  bool overlapsTriangle(const Wm4::Vector3<float>& a, const Wm4::Vector3<float>& b,
                        const Wm4::Vector3<float>& c) const;
};
