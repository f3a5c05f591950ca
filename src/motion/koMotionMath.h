#pragma once

#include "Wm4Foundation.h"

#include <cmath>
#include <cstddef>
#include <utility>

// Small vector helpers shared by the motion analysis.

// A unit pair (u1, u2) completing the unit vector a to a right-handed frame: u1 from the x axis,
// or from the y axis when a leans more towards y than towards x.
template <typename Real>
inline void koPerpendicularBasis(const Wm4::Vector3<Real>& a, Wm4::Vector3<Real>& u1,
                                 Wm4::Vector3<Real>& u2) {
  const Wm4::Vector3<Real> e = std::abs(a.Y()) > std::abs(a.X()) ? Wm4::Vector3<Real>(1, 0, 0)
                                                                 : Wm4::Vector3<Real>(0, 1, 0);
  u1 = e - a.Dot(e) * a;
  u1.Normalize();
  u2 = a.Cross(u1);
}

// x^T S x for S stored as xx, xy, xz, yy, yz, zz.
inline double koSymmetricForm(const double s[6], const Wm4::Vector3<double>& x,
                              const Wm4::Vector3<double>& y) {
  return s[0] * x.X() * y.X() + s[1] * (x.X() * y.Y() + x.Y() * y.X()) +
         s[2] * (x.X() * y.Z() + x.Z() * y.X()) + s[3] * x.Y() * y.Y() +
         s[4] * (x.Y() * y.Z() + x.Z() * y.Y()) + s[5] * x.Z() * y.Z();
}

// s += w x x^T, stored as xx, xy, xz, yy, yz, zz.
inline void koPushSymmetric(double s[6], const Wm4::Vector3<double>& x, double w) {
  s[0] += w * x.X() * x.X();
  s[1] += w * x.X() * x.Y();
  s[2] += w * x.X() * x.Z();
  s[3] += w * x.Y() * x.Y();
  s[4] += w * x.Y() * x.Z();
  s[5] += w * x.Z() * x.Z();
}

// Orders three entries by key, ascending, swapping only on strictly greater keys (so equal keys
// keep their order and a NaN key stays where it is).
template <typename T, typename Key>
void koStableSort3(T (&items)[3], Key key) {
  if (key(items[1]) > key(items[2]))
    std::swap(items[1], items[2]);
  if (key(items[0]) > key(items[1]))
    std::swap(items[0], items[1]);
  if (key(items[1]) > key(items[2]))
    std::swap(items[1], items[2]);
}

// The great circle across a direction is sampled about as densely as the sphere is: N samples
// over the sphere's area 4 pi leave 2 pi sqrt(N / (4 pi)) of them along a circle's length 2 pi.
inline unsigned int koGreatCircleSize(size_t noSphereSamples) {
  const double pi = 3.141592653589793;
  return static_cast<unsigned int>(2.0 * pi *
                                   std::sqrt(static_cast<double>(noSphereSamples) / (4.0 * pi)));
}

// Sample i of m on the circle spanned by the unit pair (u1, u2).
inline Wm4::Vector3<double> koGreatCircleDirection(const Wm4::Vector3<double>& u1,
                                                   const Wm4::Vector3<double>& u2, unsigned int i,
                                                   unsigned int m) {
  const double angle = 2.0 * 3.141592653589793 * static_cast<double>(i) / static_cast<double>(m);
  return std::cos(angle) * u1 + std::sin(angle) * u2;
}
