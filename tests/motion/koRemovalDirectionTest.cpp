#include "koMotionDetect.h"

#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using Vec3f = Wm4::Vector3<float>;
using Vec3d = Wm4::Vector3<double>;

// One contact point pair as the contact point sampler writes it: a sample on one side with its
// face normal, and the point it meets on the other side with that side's face normal. Vertex
// normals equal the face normals here.
struct tPair {
  Vec3f point, normal, otherNormal;
  float weight;
};

ko::koPointer<ko::koVertexBuffer> makeBuffer(const std::vector<tPair>& pairs, bool otherSide) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 3);
  attributes.SetPSizeChannels(1);
  ko::koPointer<ko::koVertexBuffer> buffer =
      new ko::koVertexBuffer(attributes, static_cast<int>(2 * pairs.size()));
  for (size_t k = 0; k < pairs.size(); ++k)
    for (int v = 0; v < 2; ++v) {
      const int i = static_cast<int>(2 * k) + v;
      const bool own = (v == 0) != otherSide;
      buffer->Position3(i) = pairs[k].point;
      buffer->Normal3(i) = buffer->TCoord3(0, i) = own ? pairs[k].normal : pairs[k].otherNormal;
      buffer->PSize1(i) = pairs[k].weight;
    }
  return buffer;
}

// The motion analysis of a pair whose contact pairs are given from side A's view; side B's buffer
// holds the same pairs seen from B.
struct tContact {
  ko::koPointer<ko::koVertexBuffer> a, b;
  koMotionDetect motion;
  Vec3d directions[3];
  bool twoWay[3] = {};
  unsigned int n = 0;

  explicit tContact(const std::vector<tPair>& pairs)
      : a(makeBuffer(pairs, false)), b(makeBuffer(pairs, true)) {
    static koMotionDetect shared;
    if (shared.directionSamples.empty())
      shared.generateDirectionSamples(300);
    motion.copyDirectionSamples(shared);
    motion.clearSystems();
    motion.pushContactPoints(a.Get());
    motion.pushContactPoints(b.Get());
    motion.centerSystems();
    n = motion.computeRemovalDirection(directions, twoWay);
  }
};

void expectDirection(const tContact& c, unsigned int i, const Vec3d& d, bool twoWay) {
  ASSERT_LT(i, c.n);
  EXPECT_LT((c.directions[i] - d).Length(), 1e-12) << i;
  EXPECT_EQ(c.twoWay[i], twoWay) << i;
}

TEST(koMotionDetect, BlockOnPlateLiftsUpOnceAndSlidesBothWaysSideways) {
  // Block A on top, its bottom face on plate B's top face at z = 0.
  std::vector<tPair> pairs;
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 5; ++j)
      pairs.push_back({Vec3f(0.1f * i, 0.1f * j, 0.0f), Vec3f(0, 0, -1), Vec3f(0, 0, 1), 0.01f});
  tContact c(pairs);
  ASSERT_EQ(c.n, 3u);
  expectDirection(c, 0, Vec3d(0, 0, 1), false);
  expectDirection(c, 1, Vec3d(1, 0, 0), true);
  expectDirection(c, 2, Vec3d(0, 1, 0), true);

  // The sliding axes first; the normal last, as it does not slide.
  Vec3d slide[3];
  ASSERT_EQ(c.motion.getBestTranslationParameters(slide), 2u);
  EXPECT_NEAR(slide[0].Z(), 0.0, 1e-12);
  EXPECT_NEAR(slide[1].Z(), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(slide[2].Z()), 1.0, 1e-12);

  // The 0.9 x 0.4 rectangle's hull edges bisect at its centre; its corners are equally far.
  float quality = 0.0f;
  const Vec3f centre =
      koMotionDetect::ComputeCircleBasedCentroid(Vec3f(0, 0, 1), {c.a.Get(), c.b.Get()}, quality);
  EXPECT_LT((centre - Vec3f(0.45f, 0.2f, 0.0f)).Length(), 1e-4f);
  EXPECT_NEAR(quality, 0.5f / std::hypot(0.5f, 0.2f / 0.9f), 1e-4f);
}

TEST(koMotionDetect, PegInBlindHoleComesOutAlongItsAxisOnlyAndTurnsAboutIt) {
  // Peg A of radius 1 standing in a hole of B: side pairs with radial normals, bottom pairs.
  const float pi = 3.14159265f;
  std::vector<tPair> pairs;
  for (int i = 0; i < 24; ++i) {
    const Vec3f radial(std::cos(i * pi / 12), std::sin(i * pi / 12), 0.0f);
    for (int j = 1; j <= 5; ++j)
      pairs.push_back({radial + Vec3f(0, 0, 0.4f * j), radial, -radial, 0.02f});
    for (float r : {0.3f, 0.6f, 0.9f})
      pairs.push_back({r * radial, Vec3f(0, 0, -1), Vec3f(0, 0, 1), 0.01f});
  }
  tContact c(pairs);
  ASSERT_EQ(c.n, 1u);
  expectDirection(c, 0, Vec3d(0, 0, 1), false);

  // The only free rotation is about the peg's axis, through its centre line; asked again, the
  // same answer.
  Vec3d axes[3], points[3], againAxes[3], againPoints[3];
  ASSERT_EQ(c.motion.getBestRotationParameters(axes, points), 1u);
  EXPECT_NEAR(std::abs(axes[0].Z()), 1.0, 1e-9);
  EXPECT_NEAR(points[0].X(), 0.0, 1e-5);
  EXPECT_NEAR(points[0].Y(), 0.0, 1e-5);
  ASSERT_EQ(c.motion.getBestRotationParameters(againAxes, againPoints), 1u);
  EXPECT_EQ(againAxes[0], axes[0]);
  EXPECT_EQ(againPoints[0], points[0]);

  // The region's centre around the axis, and a round region rates high.
  float quality = 0.0f;
  const Vec3f centre = koMotionDetect::ComputeCircleBasedCentroid(
      Vec3f(0, 0, 1), {c.a.Get(), nullptr, c.b.Get()}, quality);
  EXPECT_LT((centre - Vec3f(0, 0, 1.0f)).Length(), 1e-3f);
  EXPECT_GT(quality, 0.9f);
}

// The rotation score is the weighted mean squared normal speed of the contact points when
// turning about the axis through the returned point (positions over the radius), and that point
// is where it is least, up to the regularisation.
TEST(koMotionDetect, RotationScoreIsTheLeastNormalSpeedOverAxisPositions) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::vector<tPair> pairs(40);
  for (tPair& p : pairs) {
    p.point = Vec3f(uniform(random), uniform(random), uniform(random));
    p.normal = Vec3f(uniform(random), uniform(random), uniform(random));
    p.normal.Normalize();
    p.otherNormal = -p.normal;
    p.weight = 1.5f + uniform(random);
  }
  const tContact c(pairs);
  const koMotionDetect& m = c.motion;
  // Every pair stands for four vertices at one point: two in each side's buffer.
  auto energy = [&](const Vec3d& axis, const Vec3d& q) {
    double sum = 0.0;
    for (const tPair& p : pairs) {
      const Vec3d P(p.point.X(), p.point.Y(), p.point.Z());
      const Vec3d N(p.normal.X(), p.normal.Y(), p.normal.Z());
      const double speed = N.Dot(axis.Cross(P - q)) / m.radius;
      sum += 4.0 * p.weight * speed * speed / m.totalWeight;
    }
    return sum;
  };
  for (const Vec3d& axis : {Vec3d(0, 0, 1), Vec3d(0.6, 0, 0.8), Vec3d(0, -0.8, 0.6)}) {
    Vec3d point, u1 = axis.Cross(Vec3d(1, 2, 3)), u2;
    u1.Normalize();
    u2 = axis.Cross(u1);
    const double score = m.getSingleRotationScore(axis, point, m.rotSystemNormals);
    EXPECT_NEAR(score, energy(axis, point), 1e-12);
    for (const Vec3d& step : {u1, -u1, u2, -u2})
      EXPECT_LE(score, energy(axis, point + 0.05 * m.radius * step));
  }
}

} // namespace
