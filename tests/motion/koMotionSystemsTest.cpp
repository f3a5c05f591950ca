// The moment sums, removal directions, rotation axes and region centres of seeded random contact
// pairs, compared with fingerprints of what the analysis gave before it was tuned for speed: a
// faster fold of the points or scan of the samples must not move a single bit.

#include "koMotionDetect.h"
#include "support/koFingerprint.h"

#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Vec3f = Wm4::Vector3<float>;
using Vec3d = Wm4::Vector3<double>;

// From the engine's raw output only, so every standard library draws the same numbers.
float draw(std::mt19937& random, float low, float high) {
  return low + (high - low) * float(random() % 100001u) / 100000.0f;
}

Vec3f drawUnit(std::mt19937& random) {
  Vec3f v(draw(random, -1, 1), draw(random, -1, 1), draw(random, -1, 1));
  v.Normalize();
  return v;
}

// A buffer of contact pairs on one or a few random planes, with vertex normals that lean away from
// the face normals, so the two rotation systems differ.
ko::koPointer<ko::koVertexBuffer> randomBuffer(std::mt19937& random, int noPairs) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 3);
  attributes.SetPSizeChannels(1);
  ko::koPointer<ko::koVertexBuffer> buffer = new ko::koVertexBuffer(attributes, 2 * noPairs);
  Vec3f face = drawUnit(random);
  for (int k = 0; k < noPairs; ++k) {
    if (random() % 2048u == 0)
      face = drawUnit(random);
    const Vec3f point(draw(random, -3, 5), draw(random, -2, 2), draw(random, 0, 1));
    const float weight = draw(random, 0.001f, 0.1f);
    for (int v = 0; v < 2; ++v) {
      const int i = 2 * k + v;
      const Vec3f T = v == 0 ? face : -face;
      Vec3f N = T + 0.05f * drawUnit(random);
      N.Normalize();
      buffer->Position3(i) = point + 0.001f * float(v) * T;
      buffer->Normal3(i) = N;
      buffer->TCoord3(0, i) = T;
      buffer->PSize1(i) = weight;
    }
  }
  return buffer;
}

void mixSystems(koFingerprint& print, const koMotionDetect& m) {
  for (const koMotionDetect::tSingleRotAxisSystem* s :
       {&m.rotSystemNormals, &m.rotSystemFaceNormals}) {
    print.mix(s->axisForm);
    for (const Wm4::Matrix3<double>& line : s->lineMoment)
      for (int i = 0; i < 9; ++i)
        print.mix(line[i / 3][i % 3]);
    print.mix(s->momentTensor);
  }
  for (const Vec3d* v : {&m.weightedPositionSum, &m.center, &m.translationNormalSum})
    print.mix(*v);
  for (const Vec3d& v : m.unmountCubic)
    print.mix(v);
  print.mix(m.translationTensor);
  print.mix(m.translationWeight);
  print.mix(m.unmountQuartic);
  print.mix(m.unmountTensor);
  print.mix(m.vertexCount);
  print.mix(m.totalWeight);
  print.mix(m.radius);
}

} // namespace

TEST(koMotionSystems, RandomContactsAnalysedAsBefore) {
  const uint64_t stored[] = {11472881256415705742ull, 2155889548066819507ull,
                             60098068849014294ull,    8291009668372057635ull,
                             16673411922780251522ull, 7655258110420641863ull};
  koMotionDetect motion;
  motion.generateDirectionSamples(40);
  std::mt19937 random(2024);
  for (size_t round = 0; round < sizeof(stored) / sizeof(stored[0]); ++round) {
    const auto a = randomBuffer(random, 1 + int(random() % 3000u));
    const auto b = randomBuffer(random, 1 + int(random() % 3000u));
    motion.clearSystems();
    motion.pushContactPoints(a.Get());
    if (round % 3 != 2)  // sometimes side A's buffer alone
      motion.pushContactPoints(b.Get());
    motion.centerSystems();

    koFingerprint print;
    mixSystems(print, motion);
    Vec3d found[3], points[3];
    bool twoWay[3] = {};
    const unsigned int noFound = motion.computeRemovalDirection(found, twoWay);
    for (unsigned int i = 0; i < noFound; ++i) {
      print.mix(found[i]);
      print.mix(twoWay[i]);
      float quality = 0.0f;
      const Vec3f d(float(found[i].X()), float(found[i].Y()), float(found[i].Z()));
      print.mix(koMotionDetect::ComputeCircleBasedCentroid(d, {a.Get(), b.Get()}, quality));
      print.mix(quality);
    }
    const unsigned int noAxes = motion.getBestRotationParameters(found, points);
    for (unsigned int i = 0; i < noAxes; ++i) {
      print.mix(found[i]);
      print.mix(points[i]);
    }
    print.mix(noFound);
    print.mix(noAxes);
    EXPECT_EQ(print.hash, stored[round]) << round;
  }
}
