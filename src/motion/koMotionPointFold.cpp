#include "motion/koMotionPointFold.h"

#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cstring>

namespace {

typedef double tQuad __attribute__((vector_size(32)));
typedef double tHalf __attribute__((vector_size(16)));

// Lane picks; indices 4..7 select from the second vector.
#define KO_PICK(a, b, i, j, k, l) __builtin_shufflevector(a, b, i, j, k, l)

// (x, y, z, 0) built from two halves: a vector assembled from four scalars goes through memory.
__attribute__((always_inline)) inline void makeQuad(double x, double y, double z, tQuad& quad) {
  const tHalf low = {x, y}, high = {z, 0.0};
  quad = __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// One contact point as the folds read it: lane 3 of p and of both normals is zero. q holds
// q_k(T) of the face normal T, (x^2, y^2, z^2, (x + y)^2, (x + z)^2, (y + z)^2), which two folds
// use.
struct tPoint {
  tQuad p, vertexNormal, faceNormal, w;
  double weight;
  double q[6];
};

__attribute__((always_inline)) inline tPoint readPoint(const ko::koVertexBuffer& buffer, int j,
                                                       size_t bufferIndex,
                                                       const Wm4::Vector3<double>& center) {
  // Even vertices are samples on the buffer's own side, odd ones on the other side; side A's
  // samples keep their normals, so all normals end up pointing from A towards B.
  const double sign = (bufferIndex % 2u) == (static_cast<size_t>(j) % 2u) ? 1.0 : -1.0;
  const Wm4::Vector3<float>& P = buffer.Position3(j);
  const Wm4::Vector3<float>& N = buffer.Normal3(j);
  const Wm4::Vector3<float>& T = buffer.TCoord3(0, j);
  const double weight = buffer.PSize1(j);
  tPoint point;
  makeQuad(double(P.X()) - center.X(), double(P.Y()) - center.Y(), double(P.Z()) - center.Z(),
           point.p);
  makeQuad(sign * double(N.X()), sign * double(N.Y()), sign * double(N.Z()), point.vertexNormal);
  makeQuad(sign * double(T.X()), sign * double(T.Y()), sign * double(T.Z()), point.faceNormal);
  point.w = tQuad{} + weight;
  point.weight = weight;
  const double x = point.faceNormal[0], y = point.faceNormal[1], z = point.faceNormal[2];
  const double q[6] = {x * x, y * y, z * z, (x + y) * (x + y), (x + z) * (x + z),
                       (y + z) * (y + z)};
  std::copy(q, q + 6, point.q);
  return point;
}

// Each fold keeps a group of sums in registers over all points (a group small enough not to
// spill), so every point costs vector arithmetic and no memory round trips.
template <int N>
struct tGroup {
  tQuad sum[N];
};

template <int N>
__attribute__((always_inline)) inline void loadGroup(double* const (&from)[N],
                                                     tGroup<N>& group) {
  for (int i = 0; i < N; ++i)
    std::memcpy(&group.sum[i], from[i], sizeof(tQuad));
}

template <int N>
__attribute__((always_inline)) inline void storeGroup(const tGroup<N>& group,
                                                      double* const (&to)[N]) {
  for (int i = 0; i < N; ++i)
    std::memcpy(to[i], &group.sum[i], sizeof(tQuad));
}

// Symmetric entries xx, xy, xz, yy | yz, zz of x y^T as two vectors: x_r y_s.
__attribute__((always_inline)) inline void symmetricLow(const tQuad& x, const tQuad& y,
                                                        tQuad& product) {
  product = KO_PICK(x, x, 0, 0, 0, 1) * KO_PICK(y, y, 0, 1, 2, 1);
}
__attribute__((always_inline)) inline void symmetricHigh(const tQuad& x, const tQuad& y,
                                                         tQuad& product) {
  product = KO_PICK(x, x, 1, 2, 3, 3) * KO_PICK(y, y, 2, 2, 3, 3);
}

// c = n x p as Vector3::Cross computes it, and what koPushSymmetric(momentTensor, c, w) and
// PushTensorProduct(lineMoment[k], row k of K, c, w) add: (w c_r) c_s and (w K[k][i]) c_j.
template <bool kFaceNormals>
__attribute__((always_inline)) inline void foldMoments(const tPoint* points, int count,
                                                       tGroup<11>& g) {
  for (int j = 0; j < count; ++j) {
    const tPoint& point = points[j];
    const tQuad n = kFaceNormals ? point.faceNormal : point.vertexNormal;
    const tQuad p = point.p, w = point.w;
    const tQuad c = KO_PICK(n, n, 1, 2, 0, 3) * KO_PICK(p, p, 2, 0, 1, 3) -
                    KO_PICK(n, n, 2, 0, 1, 3) * KO_PICK(p, p, 1, 2, 0, 3);
    const tQuad wc = w * c;
    tQuad low, high;
    symmetricLow(wc, c, low);
    symmetricHigh(wc, c, high);
    g.sum[0] += low;
    g.sum[1] += high;
    // From (x, y, z, 0, -x, -y, -z, -0): the rows of K, zeros as +0.
    const tQuad m = -n;
    const tQuad rows[3] = {KO_PICK(n, m, 3, 6, 1, 3), KO_PICK(n, m, 2, 3, 4, 3),
                           KO_PICK(n, m, 5, 0, 3, 3)};
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      const tQuad wk = w * rows[k];
      g.sum[2 + 3 * k] += KO_PICK(wk, wk, 0, 0, 0, 0) * c;
      g.sum[3 + 3 * k] += KO_PICK(wk, wk, 1, 1, 1, 1) * c;
      g.sum[4 + 3 * k] += KO_PICK(wk, wk, 2, 2, 2, 2) * c;
    }
  }
}

// What pushPointToSingleRotationSystem adds to axisForm block m, the monomial a_p a_q:
// w (K[r][p] K[s][q] + K[r][q] K[s][p]), the second product only when p != q.
template <bool kFaceNormals>
__attribute__((always_inline)) inline void foldAxisForm(const tPoint* points, int count,
                                                        tGroup<12>& g) {
  for (int j = 0; j < count; ++j) {
    const tPoint& point = points[j];
    const tQuad n = kFaceNormals ? point.faceNormal : point.vertexNormal;
    const tQuad w = point.w;
    const tQuad m = -n;
    // The columns of K.
    const tQuad columns[3] = {KO_PICK(n, m, 3, 2, 5, 3), KO_PICK(n, m, 6, 3, 0, 3),
                              KO_PICK(n, m, 1, 4, 3, 3)};
    tQuad low[3][3], high[3][3];
#pragma GCC unroll 3
    for (int p = 0; p < 3; ++p)
#pragma GCC unroll 3
      for (int q = 0; q < 3; ++q) {
        symmetricLow(columns[p], columns[q], low[p][q]);
        symmetricHigh(columns[p], columns[q], high[p][q]);
      }
    constexpr int kMonomials[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
#pragma GCC unroll 6
    for (int b = 0; b < 6; ++b) {
      const int p = kMonomials[b][0], q = kMonomials[b][1];
      if (p == q) {
        g.sum[2 * b] += w * low[p][p];
        g.sum[2 * b + 1] += w * high[p][p];
      } else {
        g.sum[2 * b] += w * (low[p][q] + low[q][p]);
        g.sum[2 * b + 1] += w * (high[p][q] + high[q][p]);
      }
    }
  }
}

// What pushPointToSingleTranslationSystem and the first two parts of
// pushPointToSingleUnmountAxisSystem add: (w T_r) T_s twice, w T and w, (w q_k) T; and the largest
// squared distance from the centre.
__attribute__((always_inline)) inline void foldTranslation(const tPoint* points, int count,
                                                           tGroup<11>& g,
                                                           double& largestSquare) {
  for (int j = 0; j < count; ++j) {
    const tPoint& point = points[j];
    const tQuad p = point.p;
    largestSquare = std::max(largestSquare, p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    const tQuad t = point.faceNormal;
    const tQuad wt = point.w * t;
    tQuad low, high;
    symmetricLow(wt, t, low);
    symmetricHigh(wt, t, high);
    g.sum[0] += low;
    g.sum[1] += high;
    g.sum[2] += low;
    g.sum[3] += high;
    g.sum[4] += KO_PICK(wt, point.w, 0, 1, 2, 4);
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k)
      g.sum[5 + k] += (tQuad{} + point.weight * point.q[k]) * t;
  }
}

// The last part of pushPointToSingleUnmountAxisSystem: ((w q_k) T_r) T_s.
__attribute__((always_inline)) inline void foldQuartic(const tPoint* points, int count,
                                                       tGroup<12>& g) {
  for (int j = 0; j < count; ++j) {
    const tPoint& point = points[j];
    const tQuad t = point.faceNormal;
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k) {
      const tQuad wq = (tQuad{} + point.weight * point.q[k]) * t;
      tQuad low, high;
      symmetricLow(wq, t, low);
      symmetricHigh(wq, t, high);
      g.sum[2 * k] += low;
      g.sum[2 * k + 1] += high;
    }
  }
}

// Both folds of one rotation system, its sums loaded to registers and stored back around each.
template <bool kFaceNormals>
__attribute__((always_inline)) inline void foldRotation(const tPoint* points, int count,
                                                        koMotionFoldSums::tRotation& r) {
  double* const moments[11] = {r.momentTensor,  r.momentTensor + 4, r.lineMoment[0],
                               r.lineMoment[1], r.lineMoment[2],    r.lineMoment[3],
                               r.lineMoment[4], r.lineMoment[5],    r.lineMoment[6],
                               r.lineMoment[7], r.lineMoment[8]};
  tGroup<11> g;
  loadGroup(moments, g);
  foldMoments<kFaceNormals>(points, count, g);
  storeGroup(g, moments);

  double* const form[12] = {r.axisForm[0], r.axisForm[0] + 4, r.axisForm[1], r.axisForm[1] + 4,
                            r.axisForm[2], r.axisForm[2] + 4, r.axisForm[3], r.axisForm[3] + 4,
                            r.axisForm[4], r.axisForm[4] + 4, r.axisForm[5], r.axisForm[5] + 4};
  tGroup<12> f;
  loadGroup(form, f);
  foldAxisForm<kFaceNormals>(points, count, f);
  storeGroup(f, form);
}

// Every group of sums over points[0..count), each group in registers for the whole pass.
__attribute__((always_inline)) inline void foldChunk(const tPoint* points, int count,
                                                     koMotionFoldSums& sums) {
  foldRotation<false>(points, count, sums.normals);
  foldRotation<true>(points, count, sums.faceNormals);

  double* const translation[11] = {
      sums.translationTensor, sums.translationTensor + 4, sums.unmountTensor,
      sums.unmountTensor + 4, sums.normalSum,          sums.unmountCubic[0],
      sums.unmountCubic[1],   sums.unmountCubic[2],    sums.unmountCubic[3],
      sums.unmountCubic[4],   sums.unmountCubic[5]};
  tGroup<11> t;
  loadGroup(translation, t);
  foldTranslation(points, count, t, sums.largestSquare);
  storeGroup(t, translation);

  double* const quartic[12] = {sums.unmountQuartic[0], sums.unmountQuartic[0] + 4,
                               sums.unmountQuartic[1], sums.unmountQuartic[1] + 4,
                               sums.unmountQuartic[2], sums.unmountQuartic[2] + 4,
                               sums.unmountQuartic[3], sums.unmountQuartic[3] + 4,
                               sums.unmountQuartic[4], sums.unmountQuartic[4] + 4,
                               sums.unmountQuartic[5], sums.unmountQuartic[5] + 4};
  tGroup<12> u;
  loadGroup(quartic, u);
  foldQuartic(points, count, u);
  storeGroup(u, quartic);
}

// One clone per instruction set, chosen once at load time; the default one runs anywhere. Every
// lane sees the same operations in the same order in each clone.
#if defined(__x86_64__)
#define KO_FOLD_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define KO_FOLD_CLONES
#endif

KO_FOLD_CLONES
void foldBuffer(const ko::koVertexBuffer& buffer, size_t bufferIndex,
                const Wm4::Vector3<double>& center, koMotionFoldSums& sums) {
  // The points are read in chunks that stay in the first-level cache while every group of sums
  // passes over them.
  constexpr int kChunk = 128;
  tPoint chunk[kChunk];
  const int n = buffer.GetVertexQuantity();
  for (int begin = 0; begin < n; begin += kChunk) {
    const int count = std::min(kChunk, n - begin);
    for (int j = 0; j < count; ++j)
      chunk[j] = readPoint(buffer, begin + j, bufferIndex, center);
    foldChunk(chunk, count, sums);
  }
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
