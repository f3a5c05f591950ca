#include "koMotionDetect.h"

#include "motion/koMotionMath.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>

namespace {

// sin 10 degrees: a pair blocks a direction when its normal component along it exceeds this.
constexpr double kBlockingSine = 0.17364817766201762;
// 10 degrees in radians, the largest angle a rotation may turn.
constexpr double kLargestDeviation = 0.17453292519943295;

Wm4::Vector3<double> toDouble(const Wm4::Vector3<float>& v) {
  return Wm4::Vector3<double>(v.X(), v.Y(), v.Z());
}

unsigned int noPairs(const ko::koVertexBuffer& buffer) {
  return static_cast<unsigned int>(buffer.GetVertexQuantity()) / 2u;
}

} // namespace

bool koMotionDetect::validateTranslation(const Wm4::Vector3<double>& d, double& score) const {
  score = 0.0;
  unsigned int pairs = 0, blocking = 0;
  for (size_t i = 0; i < contactBuffers.size(); ++i) {
    const ko::koVertexBuffer& buffer = *contactBuffers[i];
    // Side B's buffer sees side A move the other way.
    const Wm4::Vector3<double> dd = i % 2u == 0 ? d : -d;
    const unsigned int n = noPairs(buffer);
    for (unsigned int k = 0; k < n; ++k) {
      const int v = static_cast<int>(2u * k);
      // Below 0 both faces part along dd; 0 is sliding; above 0 one face pushes into the other.
      const double x = std::min(toDouble(buffer.TCoord3(0, v)).Dot(dd),
                                -toDouble(buffer.TCoord3(0, v + 1)).Dot(dd));
      const double w = buffer.PSize1(v);
      score += x <= 0.0 ? w * (1.0 + x) * (1.0 + x) : w;
      if (x > kBlockingSine)
        ++blocking;
    }
    pairs += n;
  }
  return blocking < getValidSampleBound(pairs);
}

bool koMotionDetect::validateTranslation(const Wm4::Vector3<double>& d) const {
  unsigned int pairs = 0, blocking = 0;
  for (const ko::koVertexBuffer* buffer : contactBuffers) {
    const unsigned int n = noPairs(*buffer);
    for (unsigned int k = 0; k < n; ++k) {
      const int v = static_cast<int>(2u * k);
      const double along = std::min(std::abs(toDouble(buffer->TCoord3(0, v)).Dot(d)),
                                    std::abs(toDouble(buffer->TCoord3(0, v + 1)).Dot(d)));
      if (along > kBlockingSine)
        ++blocking;
    }
    pairs += n;
  }
  return blocking < getValidSampleBound(pairs);
}

bool koMotionDetect::validateRotation(const Wm4::Vector3<double>& axis,
                                      const Wm4::Vector3<double>& point, double angle) const {
  const double limit = std::sin(angle);
  unsigned int counted = 0, blocking = 0;
  for (const ko::koVertexBuffer* buffer : contactBuffers) {
    const unsigned int n = noPairs(*buffer);
    for (unsigned int k = 0; k < n; ++k) {
      // g: the sine between a vertex's normal and the circle the rotation moves the vertex on,
      // undefined on the axis. The measure starts from the first vertex (0 when undefined) and
      // is lowered to the second vertex's g when that one is defined.
      double measure = 0.0;
      bool defined = false;
      for (int v = static_cast<int>(2u * k); v < static_cast<int>(2u * k + 2u); ++v) {
        const Wm4::Vector3<double> t = (toDouble(buffer->Position3(v)) - point).Cross(axis);
        const double length = t.Length();
        if (!(length > 0.0))
          continue;
        const double g = std::abs(toDouble(buffer->Normal3(v)).Dot(t)) / length;
        measure = v % 2 == 0 ? g : std::min(measure, g);
        defined = true;
      }
      if (!defined)
        continue;
      ++counted;
      if (measure > limit)
        ++blocking;
    }
  }
  return blocking < getValidSampleBound(counted);
}

// How widely the contact region surrounds the axis: the region's extents along the principal
// directions of its projection across the axis, compared with where the axis pierces it.
double koMotionDetect::computeMaxAngleDeviation(const Wm4::Vector3<double>& axis,
                                                const Wm4::Vector3<double>& point) const {
  Wm4::Vector3<double> u1, u2;
  koPerpendicularBasis(axis, u1, u2);

  // Weighted means and covariance of (t, s) = (P . u1, P . u2) over both vertices of every pair.
  double weight = 0.0, meanT = 0.0, meanS = 0.0;
  for (const ko::koVertexBuffer* buffer : contactBuffers)
    for (int v = 0; v < static_cast<int>(2u * noPairs(*buffer)); ++v) {
      const Wm4::Vector3<double> P = toDouble(buffer->Position3(v));
      const double w = buffer->PSize1(v);
      weight += w;
      meanT += w * P.Dot(u1);
      meanS += w * P.Dot(u2);
    }
  if (weight != 0.0) {
    meanT /= weight;
    meanS /= weight;
  }
  double ctt = 0.0, cts = 0.0, css = 0.0;
  for (const ko::koVertexBuffer* buffer : contactBuffers)
    for (int v = 0; v < static_cast<int>(2u * noPairs(*buffer)); ++v) {
      const Wm4::Vector3<double> P = toDouble(buffer->Position3(v));
      const double w = buffer->PSize1(v);
      const double t = P.Dot(u1) - meanT, s = P.Dot(u2) - meanS;
      ctt += w * t * t;
      cts += w * t * s;
      css += w * s * s;
    }
  // Principal directions of the symmetric 2x2 covariance: e1 the major one, e2 across it.
  const double angle = 0.5 * std::atan2(2.0 * cts, ctt - css);
  const double e1t = std::cos(angle), e1s = std::sin(angle);

  double low1 = 0.0, high1 = 0.0, low2 = 0.0, high2 = 0.0;
  bool first = true;
  for (const ko::koVertexBuffer* buffer : contactBuffers)
    for (int v = 0; v < static_cast<int>(2u * noPairs(*buffer)); ++v) {
      const Wm4::Vector3<double> P = toDouble(buffer->Position3(v));
      const double t = P.Dot(u1) - meanT, s = P.Dot(u2) - meanS;
      const double c1 = t * e1t + s * e1s, c2 = -t * e1s + s * e1t;
      low1 = first ? c1 : std::min(low1, c1);
      high1 = first ? c1 : std::max(high1, c1);
      low2 = first ? c2 : std::min(low2, c2);
      high2 = first ? c2 : std::max(high2, c2);
      first = false;
    }
  const double L1 = high1 - low1, L2 = high2 - low2;

  const double qt = point.Dot(u1) - meanT, qs = point.Dot(u2) - meanS;
  const double q1 = qt * e1t + qs * e1s, q2 = -qt * e1s + qs * e1t;

  double x;
  if (low1 < q1 && q1 < high1 && low2 < q2 && q2 < high2)
    x = std::min(L1, L2) / std::max(L1, L2);
  else if (std::abs(q1) * L1 < std::abs(q2) * L2)
    x = 0.5 * L1 / std::abs(q2);
  else
    x = 0.5 * L2 / std::abs(q1);

  if (!(x > 0.0))  // also an undefined ratio of a region without extent
    return 0.0;
  if (x >= 1.0)
    return kLargestDeviation;
  return std::atan(x) * (2.0 / 9.0);
}
