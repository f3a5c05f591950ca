#include "motion/koDirectionScan.h"

#include <cstring>
#include <limits>

namespace {

// The Horner scheme of the score polynomial, for one double or for a vector of lanes: in x
// outermost, with coefficients that are polynomials in y and z. Lanes are independent and see
// the same operations in the same order as the scalar, so each lane's bits equal the scalar's.
template <typename V>
__attribute__((always_inline)) inline void hornerScore(const double* c, const V& x, const V& y,
                                                       const V& z, V& score) {
  const V p3 = c[1] + c[2] * y + c[3] * z;
  const V p2 = c[4] + y * (c[5] + c[6] * y + c[7] * z) + z * (c[8] + c[9] * z);
  const V p1 = y * (c[10] + y * (c[11] + c[12] * y + c[13] * z) + z * (c[14] + c[15] * z)) +
               z * (c[16] + z * (c[17] + c[18] * z));
  const V zz = z * z;
  const V p0 = y * (y * (c[19] + y * (c[20] + c[21] * y + c[22] * z) + z * (c[23] + c[24] * z)) +
                    z * (c[25] + z * (c[26] + c[27] * z))) +
               zz * (c[28] + z * (c[29] + c[30] * z));
  score = (((c[0] * x + p3) * x + p2) * x + p1) * x + p0;
}

typedef double tLanes __attribute__((vector_size(64)));
typedef long long tLaneMask __attribute__((vector_size(64)));
static_assert(sizeof(tLanes) == koDirectionScan::kLanes * sizeof(double), "one block per vector");

// One clone per instruction set, chosen once at load time; the default one runs anywhere.
#if defined(__x86_64__)
#define KO_SCAN_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define KO_SCAN_CLONES
#endif

// Per lane, the lowest score and the block that gave it; a later block replaces it only when
// strictly lower, so each lane keeps its first minimum.
KO_SCAN_CLONES
void scanLanes(const double* c, const double* xs, const double* ys, const double* zs,
               size_t noBlocks, double* bestScores, long long* bestBlocks) {
  tLanes best = tLanes{} + std::numeric_limits<double>::infinity();
  tLaneMask bestBlock = {};
  for (size_t b = 0; b < noBlocks; ++b) {
    tLanes x, y, z, score;
    std::memcpy(&x, xs + b * koDirectionScan::kLanes, sizeof(tLanes));
    std::memcpy(&y, ys + b * koDirectionScan::kLanes, sizeof(tLanes));
    std::memcpy(&z, zs + b * koDirectionScan::kLanes, sizeof(tLanes));
    hornerScore(c, x, y, z, score);
    const tLaneMask lower = score < best;
    best = lower ? score : best;
    bestBlock = lower ? tLaneMask{} + static_cast<long long>(b) : bestBlock;
  }
  std::memcpy(bestScores, &best, sizeof(best));
  std::memcpy(bestBlocks, &bestBlock, sizeof(bestBlock));
}

} // namespace

double evaluateUnmountPolynomial(const koUnmountPolynomial& p, const Wm4::Vector3<double>& d) {
  double score;
  hornerScore(p.c, d.X(), d.Y(), d.Z(), score);
  return score;
}

void koDirectionScan::splitSamples(koMotionDetect& motion) {
  const size_t n = motion.directionSamples.size();
  const size_t noBlocks = (n + kLanes - 1) / kLanes;
  const double padding = std::numeric_limits<double>::quiet_NaN();
  for (auto* blocks : {&motion.mSampleX, &motion.mSampleY, &motion.mSampleZ})
    blocks->assign(noBlocks, koMotionDetect::tSampleBlock{{padding, padding, padding, padding,
                                                            padding, padding, padding, padding}});
  for (size_t i = 0; i < n; ++i) {
    const Wm4::Vector3<double>& d = motion.directionSamples[i];
    motion.mSampleX[i / kLanes].lane[i % kLanes] = d.X();
    motion.mSampleY[i / kLanes].lane[i % kLanes] = d.Y();
    motion.mSampleZ[i / kLanes].lane[i % kLanes] = d.Z();
  }
}

koDirectionScan::tView koDirectionScan::samples(const koMotionDetect& motion) {
  return {reinterpret_cast<const double*>(motion.mSampleX.data()),
          reinterpret_cast<const double*>(motion.mSampleY.data()),
          reinterpret_cast<const double*>(motion.mSampleZ.data()), motion.mSampleX.size()};
}

unsigned int koDirectionScan::lowestScoringSample(const koUnmountPolynomial& p,
                                                  const tView& samples) {
  double scores[kLanes];
  long long blocks[kLanes];
  scanLanes(p.c, samples.x, samples.y, samples.z, samples.noBlocks, scores, blocks);
  // The first minimum overall is the lowest lane minimum with the smallest sample index.
  const double infinity = std::numeric_limits<double>::infinity();
  double best = infinity;
  unsigned long long index = 0;
  for (unsigned int lane = 0; lane < kLanes; ++lane) {
    const unsigned long long i = static_cast<unsigned long long>(blocks[lane]) * kLanes + lane;
    const bool tie = scores[lane] == best && best < infinity;
    if (scores[lane] < best || (tie && i < index)) {
      best = scores[lane];
      index = i;
    }
  }
  return static_cast<unsigned int>(index);
}
