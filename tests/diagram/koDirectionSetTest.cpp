#include "koContactDiagram.h"
#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Vec3d = Wm4::Vector3<double>;
using Edges = std::vector<std::vector<Vec3d>>;
using Ids = std::vector<unsigned int>;

constexpr double kPi = 3.141592653589793;

// Every edge joins mesh 0 (group 0) to mesh 1 (group 1); the meshes themselves are never read.
struct tTwoGroups {
  koMeshGroups groups{std::vector<ko::koTriMesh*>(2, nullptr), nullptr};
  koContactDiagram diagram{0, 0, groups};

  explicit tTwoGroups(const Edges& edges) {
    for (const auto& directions : edges)
      diagram.pushContactEdge(0, 1, directions.data(), static_cast<unsigned int>(directions.size()),
                              Wm4::Vector3<float>(0.0f, 0.0f, 0.0f));
  }
  Ids allIds() const {
    Ids ids;
    for (unsigned int e = 0; e < diagram.getNoContacts(); ++e)
      for (unsigned int id : diagram.getDisassemblyDirectionIds(e))
        ids.push_back(id);
    return ids;
  }
};

Vec3d inPlane(double degrees) {
  return Vec3d(std::cos(degrees * kPi / 180.0), std::sin(degrees * kPi / 180.0), 0.0);
}

Vec3d normalised(Vec3d v) {
  v.Normalize();
  return v;
}

TEST(koDirectionSet, MergesNearAndOppositeDirectionsIntoRefinedMeans) {
  struct tCase {
    const char* what;
    float tolerance;
    Edges edges;
    std::vector<Vec3d> entries;
    Ids ids;
  };
  const tCase cases[] = {
      {"opposite", 5.0f, {{Vec3d(1, 0, 0)}, {Vec3d(-1, 0, 0)}}, {Vec3d(1, 0, 0)}, {0, 1}},
      {"perpendicular", 5.0f, {{Vec3d(1, 0, 0), Vec3d(0, 1, 0)}},
       {Vec3d(1, 0, 0), Vec3d(0, 1, 0)}, {0, 2}},
      // 8 degrees lies within 5 of the 4 degree direction but 6 from their mean.
      {"fan", 5.0f, {{inPlane(0)}, {inPlane(4)}, {inPlane(8)}},
       {Vec3d(0.9993908, 0.0348995, 0), Vec3d(0.9902681, 0.1391731, 0)}, {0, 0, 2}},
      {"183 degrees counts as 3", 5.0f, {{inPlane(0), inPlane(183)}},
       {Vec3d(0.9996573, 0.0261769, 0)}, {0, 1}},
      // The first mean reaches 6.5 degrees, the second would reach 8.4 but there is no third
      // pass; 8.4 still joins, 4.9 degrees from the entry.
      {"two passes", 5.0f, {{inPlane(0), inPlane(4)}, {inPlane(6.5), inPlane(8.4)}},
       {normalised(inPlane(0) + inPlane(4) + inPlane(6.5))}, {0, 0, 0, 0}},
      // Beyond 90 degrees an exactly perpendicular direction counts with its sign flipped.
      {"wide", 100.0f, {{Vec3d(1, 0, 0)}, {Vec3d(0, 1, 0)}},
       {Vec3d(std::sqrt(0.5), -std::sqrt(0.5), 0)}, {0, 1}},
  };
  for (const tCase& test : cases) {
    SCOPED_TRACE(test.what);
    tTwoGroups fixture(test.edges);
    fixture.diagram.computeDirectionSet(test.tolerance);
    ASSERT_EQ(fixture.diagram.getNoDirections(), test.entries.size());
    for (unsigned int k = 0; k < test.entries.size(); ++k)
      for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(fixture.diagram.getDirectionFromId(k)[i], test.entries[k][i], 1e-7);
    EXPECT_EQ(fixture.allIds(), test.ids);
  }
}

TEST(koDirectionSet, EachCallRebuildsTheSetAndReportsWhenVerbose) {
  tTwoGroups empty({{}, {}});
  empty.diagram.verbose = true;
  testing::internal::CaptureStdout();
  empty.diagram.computeDirectionSet(5.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "computing direction set\nno directions: 0\nno unique directions: 0\n");
  EXPECT_EQ(empty.diagram.getNoDirections(), 0u);

  tTwoGroups fan({{inPlane(0)}, {inPlane(4), inPlane(184)}});
  testing::internal::CaptureStdout();
  fan.diagram.computeDirectionSet(5.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const Vec3d entry = fan.diagram.getDirectionFromId(0);
  const Ids ids = fan.allIds();
  EXPECT_EQ(ids, Ids({0, 0, 1}));

  // An edge pushed later waits with id 0; a wider tolerance merges it, going back restores the
  // first entry exactly.
  const Vec3d late = inPlane(8);
  fan.diagram.pushContactEdge(0, 1, &late, 1, Wm4::Vector3<float>(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(fan.diagram.getDisassemblyDirectionIds(2), Ids({0}));
  fan.diagram.computeDirectionSet(30.0f);
  EXPECT_EQ(fan.allIds(), Ids({0, 0, 1, 0}));
  fan.diagram.verbose = true;
  testing::internal::CaptureStdout();
  fan.diagram.computeDirectionSet(5.0f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "computing direction set\nno directions: 4\nno unique directions: 2\n");
  EXPECT_EQ(fan.diagram.getDirectionFromId(0), entry);
  EXPECT_EQ(fan.allIds(), Ids({0, 0, 1, 2}));
  EXPECT_EQ(fan.diagram.getDisassemblyDirections(1)[1], inPlane(184));
}

// Random bundles around a few axes, with exact repeats and opposites, checked for what later
// stages rely on rather than against a second clustering.
TEST(koDirectionSet, RandomDirectionsSatisfyTheSetInvariants) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const auto randomUnit = [&]() { return normalised(Vec3d(unit(rng), unit(rng), unit(rng))); };
  const float tolerances[] = {0.0f, 0.5f, 3.0f, 5.0f, 12.0f, 40.0f, 120.0f};
  unsigned int noJoined = 0, noOpposite = 0, noRoundedSeeds = 0;

  for (int round = 0; round < 42; ++round) {
    const float tolerance = tolerances[round % 7];
    const double c = std::cos(static_cast<double>(tolerance) * kPi / 180.0);
    std::vector<Vec3d> axes(1 + rng() % 5);
    for (Vec3d& axis : axes)
      axis = randomUnit();
    const double spread = std::max(0.5, static_cast<double>(tolerance)) * kPi / 180.0;
    Edges edges(1 + rng() % 40);
    std::vector<Vec3d> all;
    for (auto& directions : edges) {
      for (unsigned int d = rng() % 4; d > 0; --d) {
        const unsigned int kind = all.empty() ? 2 : rng() % 6;
        Vec3d v = kind == 0   ? all[rng() % all.size()]
                  : kind == 1 ? -all[rng() % all.size()]
                              : normalised(axes[rng() % axes.size()] +
                                           randomUnit() * (spread * (1.0 + unit(rng))));
        directions.push_back(v);
        all.push_back(v);
      }
    }
    tTwoGroups fixture(edges);
    const koContactDiagram& diagram = fixture.diagram;
    fixture.diagram.computeDirectionSet(tolerance);
    const unsigned int noEntries = diagram.getNoDirections();
    for (unsigned int k = 0; k < noEntries; ++k)
      EXPECT_NEAR(diagram.getDirectionFromId(k).Length(), 1.0, 1e-12) << "entry " << k;

    // In edge order every entry first appears at its seed, in entry order; every direction was
    // missed by all earlier entries and, unless a seed, is within the tolerance of its own.
    unsigned int noSeeds = 0;
    for (unsigned int e = 0; e < edges.size(); ++e) {
      const Ids& ids = diagram.getDisassemblyDirectionIds(e);
      ASSERT_EQ(ids.size(), edges[e].size());
      for (unsigned int d = 0; d < ids.size(); ++d) {
        const Vec3d& direction = edges[e][d];
        const unsigned int k = ids[d] / 2;
        ASSERT_LE(k, noSeeds);
        ASSERT_LT(k, noEntries);
        for (unsigned int j = 0; j < k; ++j)
          EXPECT_LT(std::fabs(diagram.getDirectionFromId(j).Dot(direction)), c);
        if (k == noSeeds) {
          EXPECT_EQ(ids[d] % 2, 0u) << "a seed points along its entry";
          ++noSeeds;
          noRoundedSeeds += tolerance == 0.0f && direction.Dot(direction) < 1.0;
          continue;
        }
        const double p = diagram.getDirectionFromId(k).Dot(direction);
        EXPECT_GE(std::fabs(p), c) << "edge " << e << " direction " << d;
        EXPECT_EQ(ids[d] % 2, p > 0.0 ? 0u : 1u) << "edge " << e << " direction " << d;
        ++noJoined;
        noOpposite += ids[d] % 2;
      }
    }
    EXPECT_EQ(noSeeds, noEntries);
  }
  // Directions merged both ways, and at tolerance 0 some seeds had a square length that rounds
  // below 1: no direction passes the test against them, yet their entry must stay finite.
  EXPECT_GT(noJoined, 200u);
  EXPECT_GT(noOpposite, 50u);
  EXPECT_GT(noRoundedSeeds, 0u);
}

} // namespace
