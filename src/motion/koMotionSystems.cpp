#include "koMotionDetect.h"

#include "motion/koMotionMath.h"
#include "motion/koMotionPointFold.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>

namespace {

Wm4::Vector3<double> toDouble(const Wm4::Vector3<float>& v) {
  return Wm4::Vector3<double>(v.X(), v.Y(), v.Z());
}

// Exponents of the axis monomials ax^2, ay^2, az^2, ax ay, ax az, ay az (the blocks of axisForm)
// and the entries Q00, Q01, Q02, Q11, Q12, Q22 (the positions within a block).
constexpr int kAxisMonomials[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
constexpr int kEntries[6][2] = {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 2}};

} // namespace

void koMotionDetect::PushTensorProduct(Wm4::Matrix3<double>& m, const Wm4::Vector3<double>& x,
                                       const Wm4::Vector3<double>& y, double weight) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      m(i, j) += weight * x[i] * y[j];
}

void koMotionDetect::pushPointToSingleTranslationSystem(const Wm4::Vector3<double>&,
                                                        const Wm4::Vector3<double>& normal,
                                                        double weight) {
  koPushSymmetric(translationTensor, normal, weight);
  translationNormalSum += weight * normal;
  translationWeight += weight;
}

void koMotionDetect::pushPointToSingleUnmountAxisSystem(const Wm4::Vector3<double>& normal,
                                                        double weight) {
  const double x = normal.X(), y = normal.Y(), z = normal.Z();
  const double q[6] = {x * x, y * y, z * z, (x + y) * (x + y), (x + z) * (x + z), (y + z) * (y + z)};
  koPushSymmetric(unmountTensor, normal, weight);
  for (int k = 0; k < 6; ++k) {
    unmountCubic[k] += (weight * q[k]) * normal;
    koPushSymmetric(unmountQuartic[k], normal, weight * q[k]);
  }
}

void koMotionDetect::pushPointToSingleRotationSystem(const Wm4::Vector3<double>& position,
                                                     const Wm4::Vector3<double>& normal,
                                                     double weight, tSingleRotAxisSystem& system) {
  const Wm4::Vector3<double> c = normal.Cross(position);
  koPushSymmetric(system.momentTensor, c, weight);
  // K v = n x v.
  const double K[3][3] = {{0.0, -normal.Z(), normal.Y()},
                          {normal.Z(), 0.0, -normal.X()},
                          {-normal.Y(), normal.X(), 0.0}};
  for (int k = 0; k < 3; ++k)
    PushTensorProduct(system.lineMoment[k], Wm4::Vector3<double>(K[k][0], K[k][1], K[k][2]), c,
                      weight);
  // (K a)_r (K a)_s = sum over p, q of K[r][p] K[s][q] a_p a_q, gathered per axis monomial.
  for (int m = 0; m < 6; ++m) {
    const int p = kAxisMonomials[m][0], q = kAxisMonomials[m][1];
    for (int e = 0; e < 6; ++e) {
      const int r = kEntries[e][0], s = kEntries[e][1];
      double coefficient = K[r][p] * K[s][q];
      if (p != q)
        coefficient += K[r][q] * K[s][p];
      system.axisForm[m][e] += weight * coefficient;
    }
  }
}

void koMotionDetect::centerSystems() {
  for (const ko::koVertexBuffer* buffer : contactBuffers) {
    const int n = buffer->GetVertexQuantity();
    for (int j = 0; j < n; ++j) {
      const double w = buffer->PSize1(j);
      weightedPositionSum += w * toDouble(buffer->Position3(j));
      totalWeight += w;
    }
    vertexCount += static_cast<unsigned int>(n);
  }
  // Without weight there is no centre; the origin keeps every later quotient finite.
  if (totalWeight != 0.0)
    center = weightedPositionSum / totalWeight;

  koMotionFoldSums sums(*this);
  for (size_t i = 0; i < contactBuffers.size(); ++i)
    koFoldContactPoints(*contactBuffers[i], i, center, sums);
  sums.storeTo(*this);
  radius = std::sqrt(sums.largestSquare);

  // As if built from positions divided by the radius and weights divided by the total weight.
  // A zero radius leaves zero moments (every c = n x p is 0) and a zero weight empty sums.
  const double weight = totalWeight != 0.0 ? totalWeight : 1.0;
  const double scale = radius > 0.0 ? radius : 1.0;
  for (tSingleRotAxisSystem* system : {&rotSystemNormals, &rotSystemFaceNormals}) {
    for (auto& block : system->axisForm)
      for (double& v : block)
        v /= weight;
    for (Wm4::Matrix3<double>& m : system->lineMoment)
      m /= weight * scale;
    for (double& v : system->momentTensor)
      v /= weight * scale * scale;
    system->cacheValid = false;
  }
  translationCacheValid = false;
}
