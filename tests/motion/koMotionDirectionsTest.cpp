#include "koMotionDetect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

using Vec3d = Wm4::Vector3<double>;

TEST(koMotionDetect, GeneratedDirectionsAreDistinctUnitVectorsInTheStatedCounts) {
  std::vector<Vec3d> d;
  koMotionDetect::GenerateDirections(0, d);
  const double phi = 1.618033988749895;
  const std::vector<Vec3d> expected = {
      {1, 0, 0},    {0, 1, 0},    {0, 0, 1},    {phi, 1, 0},  {-phi, 1, 0}, {phi, -1, 0},
      {-phi, -1, 0}, {1, 0, phi},  {1, 0, -phi}, {-1, 0, phi}, {-1, 0, -phi}, {0, phi, 1},
      {0, -phi, 1}, {0, phi, -1}, {0, -phi, -1}};
  ASSERT_EQ(d.size(), expected.size());
  for (size_t i = 0; i < d.size(); ++i)
    EXPECT_LT((d[i] - expected[i] / expected[i].Length()).Length(), 1e-15) << i;

  for (unsigned int k : {1u, 2u, 300u}) {
    koMotionDetect::GenerateDirections(k, d);
    ASSERT_EQ(d.size(), 15u + 30u * k + 10u * k * (k - 1u));
    for (const Vec3d& v : d)
      ASSERT_NEAR(v.Length(), 1.0, 1e-15);
    // Each edge is subdivided from one of its two faces only: nothing repeats beyond the axes
    // (which are edge midpoints again when k is odd).
    std::vector<std::tuple<double, double, double>> sorted;
    for (size_t i = 3; i < d.size(); ++i)
      sorted.emplace_back(d[i].X(), d[i].Y(), d[i].Z());
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> gaps;
    for (size_t i = 1; i < sorted.size(); ++i)
      gaps.push_back(std::abs(std::get<0>(sorted[i]) - std::get<0>(sorted[i - 1])) +
                     std::abs(std::get<1>(sorted[i]) - std::get<1>(sorted[i - 1])) +
                     std::abs(std::get<2>(sorted[i]) - std::get<2>(sorted[i - 1])));
    EXPECT_GT(*std::min_element(gaps.begin(), gaps.end()), 1e-9) << k;
  }
  EXPECT_EQ(d.size(), 906015u);
}

TEST(koMotionDetect, ValidSampleBoundFallsLogarithmicallyFromTenthToHundredth) {
  const koMotionDetect motion;
  const unsigned int counts[] = {0, 4, 10, 11, 100, 1000, 10000, 100000};
  const unsigned int bounds[] = {1, 1, 1, 1, 7, 40, 100, 1000};
  for (size_t i = 0; i < std::size(counts); ++i)
    EXPECT_EQ(motion.getValidSampleBound(counts[i]), bounds[i]) << counts[i];
}

} // namespace
