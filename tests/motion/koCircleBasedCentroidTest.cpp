// Region centres and qualities of seeded point sets, compared with fingerprints recorded before the
// centre was tuned for speed: dense patches seen along their normal (most points dropped), thin
// slivers seen nearly edge-on (almost nothing dropped), exactly collinear sets, grids full of equal
// coordinates, duplicates and signed zeros.

#include "koMotionDetect.h"
#include "support/koFingerprint.h"

#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace {

using Vec3f = Wm4::Vector3<float>;

// From the engine's raw output only, so every standard library draws the same numbers.
float draw(std::mt19937& random, float low, float high) {
  return low + (high - low) * float(random() % 100001u) / 100000.0f;
}

// Points of one kind of region; kind picks a patch, a line, a grid, a tiny set or a crowded patch.
ko::koPointer<ko::koVertexBuffer> regionPoints(std::mt19937& random, int kind, int count) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  ko::koPointer<ko::koVertexBuffer> buffer = new ko::koVertexBuffer(attributes, count);
  const float length = draw(random, 0.5f, 20.0f), width = draw(random, 1e-6f, 2.0f);
  for (int i = 0; i < count; ++i) {
    Vec3f p;
    if (kind == 0)  // patch in the plane z = 0
      p = Vec3f(draw(random, -length, length), draw(random, -width, width), 0.0f);
    else if (kind == 1)  // line along x, both zeros on the other axes
      p = Vec3f(draw(random, -length, length), random() % 2 ? 0.0f : -0.0f, -0.0f);
    else if (kind == 2)  // grid: many points share x or y, some repeat
      p = Vec3f(float(random() % 40u) * 0.25f, float(random() % 7u) * width, 1.0f);
    else if (kind == 3)  // a few points, often the same one
      p = Vec3f(float(random() % 3u), float(random() % 2u), 0.0f);
    else  // crowded towards a corner, so the sort keys differ in their exponent bits as well
      p = Vec3f(length * std::pow(draw(random, 0, 1), 9.0f),
                width * std::pow(draw(random, 0, 1), 9.0f), 0.0f);
    buffer->Position3(i) = p;
  }
  return buffer;
}

} // namespace

TEST(koCircleBasedCentroid, SeededRegionsCentredAsBefore) {
  std::mt19937 random(77);
  koFingerprint print;
  for (int round = 0; round < 200; ++round) {
    const int kind = round % 5;
    const int count = kind == 3 ? 1 + int(random() % 5u) : 1 + int(random() % 6000u);
    const auto a = regionPoints(random, kind, count);
    const auto b = regionPoints(random, kind, int(random() % 3000u));
    // Along the normal, nearly edge-on (tilted by 1e-7 to 1e-2 rad), or exactly edge-on.
    const float tilt = round % 3 == 2 ? 0.0f : std::pow(10.0f, -draw(random, 2.0f, 7.0f));
    const float turn = draw(random, 0.0f, 6.2831853f);
    Vec3f d = round % 7 == 0 ? Vec3f(0.0f, 0.0f, 1.0f)
                             : Vec3f(std::cos(turn), std::sin(turn), tilt);
    d.Normalize();
    float quality = -1.0f;
    print.mix(koMotionDetect::ComputeCircleBasedCentroid(d, {a.Get(), nullptr, b.Get()}, quality));
    print.mix(quality);
    print.mix(round);
  }
  EXPECT_EQ(print.hash, 13338169681535674346ull);
}
