#include "motion/koDirectionScan.h"

namespace {

// Exponents (x, y, z) of the quadratic monomials in the stored order xx, xy, xz, yy, yz, zz, and
// how often each appears in a symmetric quadratic form.
constexpr int kQuadratic[6][3] = {{2, 0, 0}, {1, 1, 0}, {1, 0, 1}, {0, 2, 0}, {0, 1, 1}, {0, 0, 2}};
constexpr double kFormFactor[6] = {1.0, 2.0, 2.0, 1.0, 2.0, 1.0};

// c_k(d) = (dx^2 - dx dy - dx dz, dy^2 - dx dy - dy dz, dz^2 - dx dz - dy dz, dx dy, dx dz, dy dz)
// over the quadratic monomials in stored order; sum_k c_k(d) q_k(T) = (T . d)^2.
constexpr double kSquareWeights[6][6] = {{1, -1, -1, 0, 0, 0}, {0, -1, 0, 1, -1, 0},
                                         {0, 0, -1, 0, -1, 1}, {0, 1, 0, 0, 0, 0},
                                         {0, 0, 1, 0, 0, 0},   {0, 0, 0, 0, 1, 0}};

// The exponents of the coefficients in the order evaluateUnmountPolynomial reads them.
constexpr int kHornerOrder[31][3] = {
    {4, 0, 0}, {3, 0, 0}, {3, 1, 0}, {3, 0, 1}, {2, 0, 0}, {2, 1, 0}, {2, 2, 0}, {2, 1, 1},
    {2, 0, 1}, {2, 0, 2}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 2, 1}, {1, 1, 1}, {1, 1, 2},
    {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {0, 2, 0}, {0, 3, 0}, {0, 4, 0}, {0, 3, 1}, {0, 2, 1},
    {0, 2, 2}, {0, 1, 1}, {0, 1, 2}, {0, 1, 3}, {0, 0, 2}, {0, 0, 3}, {0, 0, 4}};

} // namespace

// The score is sum w (t^2 + 2 t^3 + t^4) with t = T . d: the quadratic form of unmountTensor,
// plus twice sum_k c_k(d) (unmountCubic_k . d), plus sum_k c_k(d) (d^T unmountQuartic_k d).
// Multiplying out the monomials of c_k(d) gives the coefficient of every monomial.
koUnmountPolynomial expandUnmountPolynomial(const koMotionDetect& motion) {
  double e[5][5][5] = {};
  auto add = [&e](const int* a, const int* b, double v) {
    e[a[0] + b[0]][a[1] + b[1]][a[2] + b[2]] += v;
  };
  constexpr int kNone[3] = {0, 0, 0};
  constexpr int kAxis[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  for (int n = 0; n < 6; ++n)
    add(kQuadratic[n], kNone, kFormFactor[n] * motion.unmountTensor[n]);
  for (int k = 0; k < 6; ++k) {
    for (int m = 0; m < 6; ++m) {
      const double weight = kSquareWeights[k][m];
      if (weight == 0.0)
        continue;
      for (int j = 0; j < 3; ++j)
        add(kQuadratic[m], kAxis[j], 2.0 * weight * motion.unmountCubic[k][j]);
      for (int n = 0; n < 6; ++n)
        add(kQuadratic[m], kQuadratic[n], weight * kFormFactor[n] * motion.unmountQuartic[k][n]);
    }
  }

  koUnmountPolynomial p;
  for (int i = 0; i < 31; ++i)
    p.c[i] = e[kHornerOrder[i][0]][kHornerOrder[i][1]][kHornerOrder[i][2]];
  return p;
}
