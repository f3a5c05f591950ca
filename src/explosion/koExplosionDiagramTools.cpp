#include "explosion/koExplosionDiagramTools.h"

#include <algorithm>

namespace koExplosionTools {

Wm4::Vector3<float> intersectionCentre(const DirectionSet& set, const Prism& p, const Prism& q) {
  // Normal equations of sum_k (dot(v_k, x) - m_k)^2, m_k the middle of the two prisms' common
  // slab k. Scaling by 3 / trace keeps the determinant comparable with the zero tolerance.
  Wm4::Matrix3<double> normal(true);
  Wm4::Vector3<double> rightSide(0.0, 0.0, 0.0);
  for (int k = 0; k < 5; ++k) {
    const double middle = 0.5 * (double(std::max(p.pairs[k].min, q.pairs[k].min)) +
                                 double(std::min(p.pairs[k].max, q.pairs[k].max)));
    const Wm4::Vector3<double> v(set.directions[k].X(), set.directions[k].Y(),
                                 set.directions[k].Z());
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column)
        normal(row, column) += v[row] * v[column];
    rightSide += v * middle;
  }
  const double trace = normal(0, 0) + normal(1, 1) + normal(2, 2);
  if (trace > 0.0) {
    normal *= 3.0 / trace;
    rightSide *= 3.0 / trace;
  }
  // A singular system (degenerate direction set) gives the zero matrix and so the origin.
  const Wm4::Vector3<double> x =
      normal.Inverse(Wm4::Math<double>::ZERO_TOLERANCE) * rightSide;
  return Wm4::Vector3<float>(static_cast<float>(x.X()), static_cast<float>(x.Y()),
                             static_cast<float>(x.Z()));
}

} // namespace koExplosionTools
