#include "koMotionDetect.h"
#include "motion/koDirectionScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Vec3d = Wm4::Vector3<double>;

// A random set of contact normals: either general unit vectors, or few distinct axis-like ones
// with small integer weights, whose scores tie exactly on whole great circles.
std::vector<std::pair<Vec3d, double>> randomContacts(std::mt19937& random, bool tying) {
  std::normal_distribution<double> normal;
  std::vector<std::pair<Vec3d, double>> contacts(1 + random() % 6);
  for (auto& [T, w] : contacts) {
    if (tying) {
      T = Vec3d(double(int(random() % 3) - 1), double(int(random() % 3) - 1), 1.0);
      w = double(1 + random() % 4);
    } else {
      T = Vec3d(normal(random), normal(random), normal(random));
      w = std::exp(normal(random));
    }
    T.Normalize();
  }
  return contacts;
}

// The polynomial against the sum it stands for: sum of w (T . d)^2 (1 + T . d)^2.
TEST(koDirectionScan, ScoreEqualsTheSumOverContacts) {
  std::mt19937 random(11);
  std::normal_distribution<double> normal;
  for (int round = 0; round < 200; ++round) {
    koMotionDetect motion;
    const auto contacts = randomContacts(random, round % 2 == 0);
    double totalWeight = 0.0;
    for (const auto& [T, w] : contacts) {
      motion.pushPointToSingleUnmountAxisSystem(T, w);
      totalWeight += w;
    }
    for (int k = 0; k < 20; ++k) {
      Vec3d d(normal(random), normal(random), normal(random));
      d.Normalize();
      double expected = 0.0;
      for (const auto& [T, w] : contacts) {
        const double t = T.Dot(d);
        expected += w * t * t * (1.0 + t) * (1.0 + t);
      }
      ASSERT_NEAR(motion.getSingleDisassemblyDirectionScore(d), expected, 1e-13 * totalWeight);
    }
  }
}

// The vectorised scan must choose exactly what a plain loop over the same scores chooses: the
// first sample of the lowest score. Half the rounds scan the sphere's samples, half a set of
// coarse grid points that repeat at random positions, so that equal lowest scores land in every
// lane and block; some systems have a NaN score, which never counts as lowest.
TEST(koDirectionScan, VectorisedScanChoosesLikeThePlainLoop) {
  std::mt19937 random(5);
  koMotionDetect sphere, grid;
  sphere.generateDirectionSamples(10);  // 1215 samples: the last block is padded
  for (int i = 0; i < 1211; ++i)
    grid.directionSamples.emplace_back(0.5 * double(int(random() % 5) - 2),
                                       0.5 * double(int(random() % 5) - 2), 1.0);
  koDirectionScan::splitSamples(grid);

  koMotionDetect system;
  unsigned int noTied = 0, noLateChoices = 0;
  for (int round = 0; round < 4000; ++round) {
    const koMotionDetect& scanned = round % 2 == 0 ? sphere : grid;
    system.clearSystems();
    for (const auto& [T, w] : randomContacts(random, round % 4 < 2))
      system.pushPointToSingleUnmountAxisSystem(T, w);
    if (round % 100 == 7)
      system.pushPointToSingleUnmountAxisSystem(Vec3d(1, 0, 0),
                                                std::numeric_limits<double>::quiet_NaN());
    const koUnmountPolynomial score = expandUnmountPolynomial(system);

    double best = std::numeric_limits<double>::infinity();
    unsigned int expected = 0, noBest = 0;
    for (unsigned int i = 0; i < scanned.directionSamples.size(); ++i) {
      const double s = evaluateUnmountPolynomial(score, scanned.directionSamples[i]);
      if (s < best) {
        best = s;
        expected = i;
        noBest = 0;
      }
      noBest += s == best;
    }
    ASSERT_EQ(koDirectionScan::lowestScoringSample(score, koDirectionScan::samples(scanned)),
              expected)
        << round;
    noTied += noBest > 1;
    noLateChoices += expected >= koDirectionScan::kLanes;
  }
  // The sample exercised what matters: ties, and choices beyond the first block.
  EXPECT_GT(noTied, 1500u);
  EXPECT_GT(noLateChoices, 2000u);
}

} // namespace
