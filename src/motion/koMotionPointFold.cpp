#include "motion/koMotionPointFold.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cstring>

namespace {

typedef double tQuad __attribute__((vector_size(32)));

// Lane picks; indices 4..7 select from the second vector.
#define KO_PICK(a, b, i, j, k, l) __builtin_shufflevector(a, b, i, j, k, l)

// sum[0..4) += term, lane by lane.
__attribute__((always_inline)) inline void accumulate(double* sum, const tQuad& term) {
  tQuad s;
  std::memcpy(&s, sum, sizeof(s));
  s += term;
  std::memcpy(sum, &s, sizeof(s));
}

// Symmetric entries xx, xy, xz, yy | yz, zz of (w x) x^T from wx = w x: the products koPushSymmetric
// adds, (w x_r) x_s.
__attribute__((always_inline)) inline void accumulateSymmetric(double* sum, const tQuad& wx,
                                                               const tQuad& x) {
  accumulate(sum, KO_PICK(wx, wx, 0, 0, 0, 1) * KO_PICK(x, x, 0, 1, 2, 1));
  accumulate(sum + 4, KO_PICK(wx, wx, 1, 2, 3, 3) * KO_PICK(x, x, 2, 2, 3, 3));
}

// Entries (r, s) = xx, xy, xz, yy | yz, zz of x y^T + y x^T, or of x x^T alone.
__attribute__((always_inline)) inline void symmetricLow(const tQuad& x, const tQuad& y,
                                                        tQuad& product) {
  product = KO_PICK(x, x, 0, 0, 0, 1) * KO_PICK(y, y, 0, 1, 2, 1);
}
__attribute__((always_inline)) inline void symmetricHigh(const tQuad& x, const tQuad& y,
                                                         tQuad& product) {
  product = KO_PICK(x, x, 1, 2, 3, 3) * KO_PICK(y, y, 2, 2, 3, 3);
}

// What pushPointToSingleRotationSystem adds for one point, with lane 3 of p and n zero.
__attribute__((always_inline)) inline void foldRotation(const tQuad& p, const tQuad& n,
                                                        const tQuad& w,
                                                        koMotionFoldSums::tRotation& sums) {
  // c = n x p, as Vector3::Cross computes it.
  const tQuad c = KO_PICK(n, n, 1, 2, 0, 3) * KO_PICK(p, p, 2, 0, 1, 3) -
                  KO_PICK(n, n, 2, 0, 1, 3) * KO_PICK(p, p, 1, 2, 0, 3);
  accumulateSymmetric(sums.momentTensor, w * c, c);

  // From (x, y, z, 0, -x, -y, -z, -0): the rows and columns of K, zeros as +0.
  const tQuad m = -n;
  const tQuad rows[3] = {KO_PICK(n, m, 3, 6, 1, 3), KO_PICK(n, m, 2, 3, 4, 3),
                         KO_PICK(n, m, 5, 0, 3, 3)};
  for (int k = 0; k < 3; ++k) {
    const tQuad wk = w * rows[k];
    accumulate(sums.lineMoment[3 * k + 0], KO_PICK(wk, wk, 0, 0, 0, 0) * c);
    accumulate(sums.lineMoment[3 * k + 1], KO_PICK(wk, wk, 1, 1, 1, 1) * c);
    accumulate(sums.lineMoment[3 * k + 2], KO_PICK(wk, wk, 2, 2, 2, 2) * c);
  }

  // Block m of axisForm for the monomial a_p a_q: w (K[r][p] K[s][q] + K[r][q] K[s][p]), the
  // second product only when p != q.
  const tQuad columns[3] = {KO_PICK(n, m, 3, 2, 5, 3), KO_PICK(n, m, 6, 3, 0, 3),
                            KO_PICK(n, m, 1, 4, 3, 3)};
  tQuad low[3][3], high[3][3];
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q) {
      symmetricLow(columns[p], columns[q], low[p][q]);
      symmetricHigh(columns[p], columns[q], high[p][q]);
    }
  constexpr int kMonomials[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
  for (int b = 0; b < 6; ++b) {
    const int p = kMonomials[b][0], q = kMonomials[b][1];
    if (p == q) {
      accumulate(sums.axisForm[b], w * low[p][p]);
      accumulate(sums.axisForm[b] + 4, w * high[p][p]);
    } else {
      accumulate(sums.axisForm[b], w * (low[p][q] + low[q][p]));
      accumulate(sums.axisForm[b] + 4, w * (high[p][q] + high[q][p]));
    }
  }
}

// One clone per instruction set, chosen once at load time; the default one runs anywhere. Every
// lane sees the same operations in the same order in each clone.
#if defined(__x86_64__)
#define KO_FOLD_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KO_FOLD_CLONES
#endif

KO_FOLD_CLONES
void foldBuffer(const ko::koVertexBuffer& buffer, size_t bufferIndex,
                const Wm4::Vector3<double>& center, koMotionFoldSums& sums) {
  const int n = buffer.GetVertexQuantity();
  double largestSquare = sums.largestSquare;
  for (int j = 0; j < n; ++j) {
    // Even vertices are samples on the buffer's own side, odd ones on the other side; side A's
    // samples keep their normals, so all normals end up pointing from A towards B.
    const double sign = (bufferIndex % 2u) == (static_cast<size_t>(j) % 2u) ? 1.0 : -1.0;
    const Wm4::Vector3<float>& P = buffer.Position3(j);
    const Wm4::Vector3<float>& N = buffer.Normal3(j);
    const Wm4::Vector3<float>& T = buffer.TCoord3(0, j);
    const double weight = buffer.PSize1(j);
    const double px = double(P.X()) - center.X(), py = double(P.Y()) - center.Y(),
                 pz = double(P.Z()) - center.Z();
    largestSquare = std::max(largestSquare, px * px + py * py + pz * pz);

    const tQuad p = {px, py, pz, 0.0};
    const tQuad vertexNormal = {sign * double(N.X()), sign * double(N.Y()), sign * double(N.Z()),
                                0.0};
    const tQuad faceNormal = {sign * double(T.X()), sign * double(T.Y()), sign * double(T.Z()),
                              0.0};
    const tQuad w = tQuad{} + weight;
    foldRotation(p, vertexNormal, w, sums.normals);
    foldRotation(p, faceNormal, w, sums.faceNormals);

    const tQuad wt = w * faceNormal;
    accumulateSymmetric(sums.translationTensor, wt, faceNormal);
    accumulate(sums.normalSum, KO_PICK(wt, w, 0, 1, 2, 4));
    accumulateSymmetric(sums.unmountTensor, wt, faceNormal);

    const double x = faceNormal[0], y = faceNormal[1], z = faceNormal[2];
    const double q[6] = {x * x, y * y, z * z, (x + y) * (x + y), (x + z) * (x + z),
                         (y + z) * (y + z)};
    for (int k = 0; k < 6; ++k) {
      const tQuad wq = (tQuad{} + weight * q[k]) * faceNormal;
      accumulate(sums.unmountCubic[k], wq);
      accumulateSymmetric(sums.unmountQuartic[k], wq, faceNormal);
    }
  }
  sums.largestSquare = largestSquare;
}

} // namespace

koMotionFoldSums::koMotionFoldSums(const koMotionDetect& motion) {
  const koMotionDetect::tSingleRotAxisSystem* systems[2] = {&motion.rotSystemNormals,
                                                            &motion.rotSystemFaceNormals};
  tRotation* rotations[2] = {&normals, &faceNormals};
  for (int s = 0; s < 2; ++s) {
    std::copy(systems[s]->momentTensor, systems[s]->momentTensor + 6, rotations[s]->momentTensor);
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
          rotations[s]->lineMoment[3 * k + i][j] = systems[s]->lineMoment[k](i, j);
    for (int b = 0; b < 6; ++b)
      std::copy(systems[s]->axisForm[b], systems[s]->axisForm[b] + 6, rotations[s]->axisForm[b]);
  }
  std::copy(motion.translationTensor, motion.translationTensor + 6, translationTensor);
  std::copy(motion.unmountTensor, motion.unmountTensor + 6, unmountTensor);
  for (int i = 0; i < 3; ++i)
    normalSum[i] = motion.translationNormalSum[i];
  normalSum[3] = motion.translationWeight;
  for (int k = 0; k < 6; ++k) {
    for (int i = 0; i < 3; ++i)
      unmountCubic[k][i] = motion.unmountCubic[k][i];
    std::copy(motion.unmountQuartic[k], motion.unmountQuartic[k] + 6, unmountQuartic[k]);
  }
}

void koMotionFoldSums::storeTo(koMotionDetect& motion) const {
  koMotionDetect::tSingleRotAxisSystem* systems[2] = {&motion.rotSystemNormals,
                                                      &motion.rotSystemFaceNormals};
  const tRotation* rotations[2] = {&normals, &faceNormals};
  for (int s = 0; s < 2; ++s) {
    std::copy(rotations[s]->momentTensor, rotations[s]->momentTensor + 6,
              systems[s]->momentTensor);
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
          systems[s]->lineMoment[k](i, j) = rotations[s]->lineMoment[3 * k + i][j];
    for (int b = 0; b < 6; ++b)
      std::copy(rotations[s]->axisForm[b], rotations[s]->axisForm[b] + 6, systems[s]->axisForm[b]);
  }
  std::copy(translationTensor, translationTensor + 6, motion.translationTensor);
  std::copy(unmountTensor, unmountTensor + 6, motion.unmountTensor);
  for (int i = 0; i < 3; ++i)
    motion.translationNormalSum[i] = normalSum[i];
  motion.translationWeight = normalSum[3];
  for (int k = 0; k < 6; ++k) {
    for (int i = 0; i < 3; ++i)
      motion.unmountCubic[k][i] = unmountCubic[k][i];
    std::copy(unmountQuartic[k], unmountQuartic[k] + 6, motion.unmountQuartic[k]);
  }
}

void koFoldContactPoints(const ko::koVertexBuffer& buffer, size_t bufferIndex,
                         const Wm4::Vector3<double>& center, koMotionFoldSums& sums) {
  foldBuffer(buffer, bufferIndex, center, sums);
}
