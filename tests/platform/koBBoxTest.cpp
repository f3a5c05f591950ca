#include <ko/koBBox.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;

// Reference for overlapsTriangle: clips the triangle against the six planes of the box grown by
// `grow` (Sutherland-Hodgman, in double) and tells whether anything is left.
bool clippedIsNonEmpty(const koBBox& box, const Vec3& a, const Vec3& b, const Vec3& c,
                       double grow) {
  std::vector<Wm4::Vector3<double>> polygon = {
      {a[0], a[1], a[2]}, {b[0], b[1], b[2]}, {c[0], c[1], c[2]}};
  for (int plane = 0; plane < 6 && !polygon.empty(); ++plane) {
    const int axis = plane / 2;
    const double side = plane % 2 == 0 ? -1.0 : 1.0;  // inside: side * (p[axis] - bound) <= 0
    const double bound = side < 0.0 ? box.min[axis] - grow : box.max[axis] + grow;
    std::vector<Wm4::Vector3<double>> clipped;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const auto& p = polygon[i];
      const auto& q = polygon[(i + 1) % polygon.size()];
      const double dp = side * (p[axis] - bound), dq = side * (q[axis] - bound);
      if (dp <= 0.0)
        clipped.push_back(p);
      if ((dp < 0.0 && dq > 0.0) || (dp > 0.0 && dq < 0.0))
        clipped.push_back(p + (q - p) * (dp / (dp - dq)));
    }
    polygon.swap(clipped);
  }
  return !polygon.empty();
}

bool ownBoxesOverlap(const koBBox& box, const Vec3& a, const Vec3& b, const Vec3& c) {
  koBBox own;
  for (const Vec3& p : {a, b, c})
    own.grow(p);
  return box.overlaps(own);
}

} // namespace

TEST(koBBoxTest, GrowUniteAndExtent) {
  koBBox box;
  koBBox::tAxis axis = koBBox::eAxisZ;
  EXPECT_TRUE(box.isEmpty() && box.getMaxExtent(axis) < 0.0f && !box.contains(Vec3(0, 0, 0)));
  box.grow(Vec3(1, -2, 3));  // size zero, holding exactly that point
  EXPECT_TRUE(box.contains(Vec3(1, -2, 3)) && !box.contains(Vec3(1, -2, 3.001f)));
  box.grow(Vec3(-1, 2, 4));
  EXPECT_EQ(box.getMaxExtent(axis), 4.0f);
  EXPECT_EQ(axis, koBBox::eAxisY);

  const koBBox both = koBBox::unite(box, koBBox(Vec3(0, 0, -6), Vec3(0.5f, 0.5f, 0)));
  EXPECT_TRUE(both.min == Vec3(-1, -2, -6) && both.max == Vec3(1, 2, 4));
  EXPECT_EQ(both.getMaxExtent(axis), 10.0f);
  EXPECT_EQ(axis, koBBox::eAxisZ);
  const koBBox same = koBBox::unite(koBBox(), box);  // the empty box adds nothing
  EXPECT_TRUE(same.min == box.min && same.max == box.max);
  // min > max along one axis: empty, meeting nothing.
  const koBBox inverted(Vec3(0, 0, 0), Vec3(1, -1, 1));
  EXPECT_TRUE(inverted.isEmpty() && !inverted.overlaps(both));
  EXPECT_FALSE(inverted.overlapsTriangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)));
}

TEST(koBBoxTest, TriangleTouchingAndDegenerate) {
  const koBBox unit(Vec3(0, 0, 0), Vec3(1, 1, 1));
  // A vertex on the corner (1, 1, 1) counts.
  EXPECT_TRUE(unit.overlapsTriangle(Vec3(1, 1, 1), Vec3(2, 1, 1), Vec3(2, 2, 3)));
  // Segments in the plane z = 0.5 past and across the edge x = y = 1.
  const Vec3 p(2.2f, -0.1f, 0.5f), q(-0.1f, 2.2f, 0.5f), r(1.9f, -0.1f, 0.5f), s(-0.1f, 1.9f, 0.5f);
  EXPECT_FALSE(unit.overlapsTriangle(p, q, p));
  EXPECT_TRUE(unit.overlapsTriangle(r, s, r));
  // A box of size zero in a triangle's plane and just off it.
  const koBBox point(Vec3(0.25f, 0.25f, 0), Vec3(0.25f, 0.25f, 0));
  EXPECT_TRUE(point.overlapsTriangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)));
  EXPECT_FALSE(point.overlapsTriangle(Vec3(0, 0, 0.1f), Vec3(1, 0, 0.1f), Vec3(0, 1, 0.1f)));
}

TEST(koBBoxTest, TriangleOverlapAgreesWithClipping) {
  std::mt19937 random(20240611u);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f), size(0.05f, 1.0f), spread(0.1f, 2.5f);
  auto vec = [&](float scale) { return Vec3(unit(random), unit(random), unit(random)) * scale; };

  const int samples = 40000;
  int overlapping = 0, easyMisses = 0, hardMisses = 0, borderline = 0;
  for (int i = 0; i < samples; ++i) {
    const Vec3 centre = vec(1.0f), half(size(random), size(random), size(random));
    const koBBox box(centre - half, centre + half);
    const Vec3 near = vec(1.5f);
    const float s = spread(random);
    const Vec3 a = near + vec(s), b = near + vec(s), c = near + vec(s);
    // Within a rounding error of touching, the clipped reference is not reliable itself.
    const bool surely = clippedIsNonEmpty(box, a, b, c, -1e-5);
    if (surely != clippedIsNonEmpty(box, a, b, c, 1e-5)) {
      ++borderline;
      continue;
    }
    ASSERT_EQ(box.overlapsTriangle(a, b, c), surely) << "sample " << i;
    ++(surely ? overlapping : ownBoxesOverlap(box, a, b, c) ? hardMisses : easyMisses);
  }
  // Every kind of answer is well represented, misses that the boxes alone do not see included.
  EXPECT_GT(overlapping, samples / 10);
  EXPECT_GT(easyMisses, samples / 10);
  EXPECT_GT(hardMisses, samples / 20);
  EXPECT_LT(borderline, samples / 1000);
}
