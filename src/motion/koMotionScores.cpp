#include "koMotionDetect.h"

#include "motion/koDirectionScan.h"
#include "motion/koMotionMath.h"

namespace {

// The regularisation of the 2x2 system of the axis point (0.001 in single precision).
constexpr double kAxisPointRegularisation = 0.0010000000474974513;

} // namespace

double koMotionDetect::getSingleDisassemblyDirectionScore(const Wm4::Vector3<double>& d) const {
  // Through the expanded polynomial, so the score of a sample is bit for bit the one the scan
  // of computeRemovalDirection minimises.
  return evaluateUnmountPolynomial(expandUnmountPolynomial(*this), d);
}

double koMotionDetect::getSingleTranslationScore(const Wm4::Vector3<double>& d) const {
  return koSymmetricForm(translationTensor, d, d) / totalWeight;
}

// With the normalised sums: E0 = a^T C a, the linear term g_i = sum_k a_k (M_k[i] . a) and the
// quadratic term Q(a), restricted to the plane across the axis; the best offset s of the axis in
// that plane solves the regularised 2x2 system, and the score is the remaining energy.
double koMotionDetect::getSingleRotationScore(const Wm4::Vector3<double>& axis,
                                              Wm4::Vector3<double>& point,
                                              const tSingleRotAxisSystem& system) const {
  const Wm4::Vector3<double>& a = axis;
  const double e0 = koSymmetricForm(system.momentTensor, a, a);

  Wm4::Vector3<double> g(0.0, 0.0, 0.0);
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k)
      g[i] += a[k] * (system.lineMoment[k](i, 0) * a.X() + system.lineMoment[k](i, 1) * a.Y() +
                      system.lineMoment[k](i, 2) * a.Z());

  const double monomials[6] = {a.X() * a.X(), a.Y() * a.Y(), a.Z() * a.Z(),
                               a.X() * a.Y(), a.X() * a.Z(), a.Y() * a.Z()};
  double q[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (int m = 0; m < 6; ++m)
    for (int e = 0; e < 6; ++e)
      q[e] += monomials[m] * system.axisForm[m][e];

  Wm4::Vector3<double> u1, u2;
  koPerpendicularBasis(a, u1, u2);
  const double h11 = koSymmetricForm(q, u1, u1);
  const double h12 = koSymmetricForm(q, u1, u2);
  const double h22 = koSymmetricForm(q, u2, u2);
  const double r1 = u1.Dot(g), r2 = u2.Dot(g);

  double s1, s2;
  if (h11 * h22 - h12 * h12 != 0.0) {
    const double k11 = h11 + kAxisPointRegularisation, k22 = h22 + kAxisPointRegularisation;
    const double det = k11 * k22 - h12 * h12;
    s1 = (k22 * r1 - h12 * r2) / det;
    s2 = (k11 * r2 - h12 * r1) / det;
  } else {
    // H has no inverse: its adjugate times r, undivided.
    s1 = h22 * r1 - h12 * r2;
    s2 = h11 * r2 - h12 * r1;
  }

  point = center + radius * (s1 * u1 + s2 * u2);
  return e0 - 2.0 * (r1 * s1 + r2 * s2) + (h11 * s1 * s1 + 2.0 * h12 * s1 * s2 + h22 * s2 * s2);
}
