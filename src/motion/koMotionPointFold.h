#pragma once

#include "koMotionDetect.h"

// The running sums centerSystems folds every contact point into, held as whole vectors of four
// doubles so a point costs a few dozen vector operations. Each entry receives the very product the
// per-point push functions add, in the same point order, so the sums are bit for bit theirs.
// Lanes past an entry's count are padding.
struct koMotionFoldSums {
  struct tRotation {
    alignas(32) double momentTensor[8] = {};  // entries 0..5
    alignas(32) double lineMoment[9][4] = {};  // lineMoment[k](i, j) at [3 k + i][j]
    alignas(32) double axisForm[6][8] = {};   // axisForm[m][e] at [m][e]
  };
  tRotation normals, faceNormals;
  alignas(32) double translationTensor[8] = {};  // entries 0..5
  alignas(32) double unmountTensor[8] = {};      // entries 0..5
  alignas(32) double normalSum[4] = {};          // translationNormalSum, then translationWeight
  alignas(32) double unmountCubic[6][4] = {};
  alignas(32) double unmountQuartic[6][8] = {};
  double largestSquare = 0.0;

  // From the sums as they stand in motion, so folding continues them.
  explicit koMotionFoldSums(const koMotionDetect& motion);
  void storeTo(koMotionDetect& motion) const;
};

// Folds every vertex of buffer (pushed at position bufferIndex) into sums, with positions taken
// relative to center; as centerSystems' loop body: normals oriented by parity, then the two
// rotation systems, the translation and the unmount sums, and the largest squared distance.
void koFoldContactPoints(const ko::koVertexBuffer& buffer, size_t bufferIndex,
                         const Wm4::Vector3<double>& center, koMotionFoldSums& sums);
