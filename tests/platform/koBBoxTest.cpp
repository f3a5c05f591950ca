#include <ko/koBBox.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Vec3d = Wm4::Vector3<double>;

// Reference for overlapsTriangle: clips the triangle against the six planes of the box grown by
// `grow` (Sutherland-Hodgman, in double) and tells whether anything is left.
bool clippedIsNonEmpty(const koBBox& box, const Vec3& a, const Vec3& b, const Vec3& c,
                       double grow) {
  std::vector<Vec3d> polygon = {{a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]}};
  for (int plane = 0; plane < 6; ++plane) {
    const int axis = plane / 2; // inside: side * (p[axis] - bound) <= 0
    const double side = plane % 2 == 0 ? -1.0 : 1.0;
    const double bound = side < 0.0 ? box.min[axis] - grow : box.max[axis] + grow;
    std::vector<Vec3d> clipped;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const Vec3d &p = polygon[i], &q = polygon[(i + 1) % polygon.size()];
      const double dp = side * (p[axis] - bound), dq = side * (q[axis] - bound);
      if (dp <= 0.0)
        clipped.push_back(p);
      if (dp * dq < 0.0)
        clipped.push_back(p + (q - p) * (dp / (dp - dq)));
    }
    polygon.swap(clipped);
  }
  return !polygon.empty();
}

} // namespace

TEST(koBBoxTest, GrowUniteAndExtent) {
  koBBox box;
  koBBox::tAxis axis = koBBox::eAxisZ;
  EXPECT_TRUE(box.isEmpty() && box.getMaxExtent(axis) < 0.0f && !box.contains(Vec3(0, 0, 0)));
  box.grow(Vec3(1, -2, 3)); // size zero, holding exactly that point
  EXPECT_TRUE(box.contains(Vec3(1, -2, 3)) && !box.contains(Vec3(1, -2, 3.001f)));
  box.grow(Vec3(-1, 2, 4));
  EXPECT_TRUE(box.getMaxExtent(axis) == 4.0f && axis == koBBox::eAxisY);
  // The empty box adds nothing to a union.
  const koBBox both = koBBox::unite(koBBox::unite(box, koBBox(Vec3(0, 0, -6), Vec3(0, 0, 0))), {});
  EXPECT_TRUE(both.min == Vec3(-1, -2, -6) && both.max == Vec3(1, 2, 4));
  EXPECT_TRUE(both.getMaxExtent(axis) == 10.0f && axis == koBBox::eAxisZ);
  const koBBox inverted(Vec3(0, 0, 0), Vec3(1, -1, 1)); // min > max on one axis: empty
  EXPECT_TRUE(inverted.isEmpty() && !inverted.overlaps(both) &&
              !inverted.overlapsTriangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)));
}

TEST(koBBoxTest, TriangleOverlapAgreesWithClipping) {
  // Touching counts, which the sample leaves out: a corner on a corner, a point box in the plane.
  const koBBox cube(Vec3(0, 0, 0), Vec3(1, 1, 1));
  const koBBox point(Vec3(0.25f, 0.25f, 0), Vec3(0.25f, 0.25f, 0));
  EXPECT_TRUE(cube.overlapsTriangle(Vec3(1, 1, 1), Vec3(2, 1, 1), Vec3(2, 2, 3)));
  EXPECT_TRUE(point.overlapsTriangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)));
  EXPECT_FALSE(point.overlapsTriangle(Vec3(0, 0, 0.1f), Vec3(1, 0, 0.1f), Vec3(0, 1, 0.1f)));

  std::mt19937 random(20240611u);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f), size(0.05f, 1.0f), spread(0.1f, 2.5f);
  auto vec = [&](float scale) { return Vec3(unit(random), unit(random), unit(random)) * scale; };
  const int samples = 40000;
  int overlapping = 0, easyMisses = 0, hardMisses = 0, borderline = 0;
  for (int i = 0; i < samples; ++i) {
    const Vec3 centre = vec(1.0f), half(size(random), size(random), size(random)), near = vec(1.5f);
    const koBBox box(centre - half, centre + half);
    const float s = spread(random);
    const Vec3 a = near + vec(s), b = near + vec(s), c = i % 4 == 0 ? a : near + vec(s);
    // Within a rounding error of touching, the clipped reference is not reliable itself.
    const bool surely = clippedIsNonEmpty(box, a, b, c, -1e-5);
    if (surely != clippedIsNonEmpty(box, a, b, c, 1e-5)) {
      ++borderline;
      continue;
    }
    ASSERT_EQ(box.overlapsTriangle(a, b, c), surely) << "sample " << i;
    koBBox own; // misses that the triangle's own box does not see are the hard ones
    for (const Vec3& p : {a, b, c})
      own.grow(p);
    ++(surely ? overlapping : box.overlaps(own) ? hardMisses : easyMisses);
  }
  // Every kind of answer is well represented, segments (every fourth sample) included.
  EXPECT_GT(overlapping, samples / 10);
  EXPECT_GT(easyMisses, samples / 10);
  EXPECT_GT(hardMisses, samples / 20);
  EXPECT_LT(borderline, samples / 1000);
}
