#include "koMotionDetect.h"

#include "motion/koDirectionScan.h"
#include "motion/koMotionMath.h"

#include <cassert>
#include <cmath>
#include <limits>

namespace {

// One axis of the search: the sign kept for it and what the separation test said of both signs.
struct tAxisChoice {
  Wm4::Vector3<double> kept;
  double score;
  bool keptValid;
  bool oppositeValid;
};

} // namespace

// Three orthogonal candidate axes: the sample that disturbs the contacts least (d1), the best
// direction across it (d2) and the third axis; each is then tried with both signs against the
// individual contact pairs.
unsigned int koMotionDetect::computeRemovalDirection(Wm4::Vector3<double>* directions,
                                                     bool* twoWay) {
  Wm4::Vector3<double> axes[3] = {Wm4::Vector3<double>(1.0, 0.0, 0.0),
                                  Wm4::Vector3<double>(0.0, 1.0, 0.0), {}};
  if (!directionSamples.empty()) {
    // The per-coordinate copy follows directionSamples (generate or copy them, never assign).
    assert(mSampleX.size() ==
           (directionSamples.size() + koDirectionScan::kLanes - 1) / koDirectionScan::kLanes);
    const koUnmountPolynomial score = expandUnmountPolynomial(*this);
    axes[0] = directionSamples[koDirectionScan::lowestScoringSample(
        score, koDirectionScan::samples(*this))];

    Wm4::Vector3<double> u1, u2;
    koPerpendicularBasis(axes[0], u1, u2);
    const unsigned int m = koGreatCircleSize(directionSamples.size());
    double best = std::numeric_limits<double>::infinity();
    axes[1] = koGreatCircleDirection(u1, u2, 0, m);
    for (unsigned int i = 0; i < m; ++i) {
      const Wm4::Vector3<double> d = koGreatCircleDirection(u1, u2, i, m);
      const double s = evaluateUnmountPolynomial(score, d);
      if (s < best) {
        best = s;
        axes[1] = d;
      }
    }
  }
  axes[2] = axes[0].Cross(axes[1]);

  const double infinity = std::numeric_limits<double>::infinity();
  tAxisChoice choices[3];
  bool anyFinite = false;
  for (int k = 0; k < 3; ++k) {
    double plus = infinity, minus = infinity;
    const bool plusValid = validateTranslation(axes[k], plus);
    const bool minusValid = validateTranslation(-axes[k], minus);
    if (minus < plus || std::isnan(plus))
      choices[k] = {-axes[k], minus, minusValid, plusValid};
    else
      choices[k] = {axes[k], plus, plusValid, minusValid};
    anyFinite = anyFinite || choices[k].score < infinity;
  }
  if (!anyFinite)
    return 0;
  koStableSort3(choices, [](const tAxisChoice& c) { return c.score; });

  unsigned int n = 0;
  for (const tAxisChoice& c : choices) {
    if (c.keptValid) {
      directions[n] = c.kept;
      twoWay[n++] = c.oppositeValid;
    } else if (c.oppositeValid) {
      directions[n] = -c.kept;
      twoWay[n++] = false;
    }
  }
  return n;
}
