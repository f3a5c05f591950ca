#pragma once

#include "koMotionDetect.h"

#include <cstddef>

// The disassembly direction score as a polynomial in the coordinates of the direction: the
// coefficients of its 31 monomials of degree 2 to 4, expanded once from the unmount sums, so a
// direction costs one Horner evaluation instead of the six blocks of the moment form. Ordered as
// evaluateUnmountPolynomial consumes them.
struct koUnmountPolynomial {
  double c[31];
};

koUnmountPolynomial expandUnmountPolynomial(const koMotionDetect& motion);

// The score of d; every caller (the vectorised scan included) evaluates in this very order, so
// equal inputs give equal bits.
double evaluateUnmountPolynomial(const koUnmountPolynomial& p, const Wm4::Vector3<double>& d);

// The search for the lowest-scoring direction sample, over koMotionDetect's per-coordinate copy
// of its samples.
class koDirectionScan {
public:
  static constexpr unsigned int kLanes = 8;

  // Rebuilds the per-coordinate copy from motion.directionSamples.
  static void splitSamples(koMotionDetect& motion);

  // The copy: noBlocks * kLanes entries per coordinate, 64-byte aligned.
  struct tView {
    const double* x;
    const double* y;
    const double* z;
    size_t noBlocks;
  };
  static tView samples(const koMotionDetect& motion);

  // The index of the sample with the lowest score, the first on ties; 0 when no sample scores
  // below +infinity.
  static unsigned int lowestScoringSample(const koUnmountPolynomial& p, const tView& samples);
};
