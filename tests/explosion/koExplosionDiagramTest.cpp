#include "explosion/koExplosionDiagramFixture.h"
#include "support/koHandDiagram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>

namespace {

using Vec = Wm4::Vector3<float>;
using Prism = koExplosionDiagram::tBoundingPlanesMinMax;

TEST(koExplosionDiagram, LateralDirectionsCircleEachDirection) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {{1.0, 0.0, 0.0}});
  hand.contact(1, 2, {{0.0, 0.0, 1.0}});
  hand.diagram.computeDirectionSet(5.0f);
  koHandExplosion setup(hand.groups, hand.diagram);
  std::vector<koExplosionDiagram::tOrthogonalDirectionSet> sets;
  std::vector<Prism> planes;
  setup.finish().computeBoundingPrisms(sets, planes);
  ASSERT_EQ(planes.size(), 3 * sets.size());

  // |x| > |y| takes (0, 1, 0) as helper axis, |x| = |y| takes (1, 0, 0).
  const Vec* x = sets[hand.directionIndex({1.0, 0.0, 0.0})].directions;
  ASSERT_EQ(x[0], Vec(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(x[1], Vec(0.0f, 1.0f, 0.0f));
  EXPECT_EQ(x[2], Vec(0.0f, 0.70710677f, 0.70710677f));
  EXPECT_EQ(x[3], Vec(0.0f, -4.371139e-8f, 1.0f));
  EXPECT_EQ(x[4], Vec(0.0f, -0.70710677f, 0.70710677f));
  const Vec* z = sets[hand.directionIndex({0.0, 0.0, 1.0})].directions;
  ASSERT_EQ(z[0], Vec(0.0f, 0.0f, 1.0f));
  EXPECT_EQ(z[1], Vec(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(z[3], Vec(-4.371139e-8f, 1.0f, 0.0f));

  // Groups without vertices keep empty prisms.
  for (const Prism& prism : planes)
    for (const auto& pair : prism.pairs)
      EXPECT_TRUE(pair.min == INFINITY && pair.max == -INFINITY);
}

TEST(koExplosionDiagram, ReferenceGroupIsTheFirstGroupOfItsLeaf) {
  // Leaves {2, 0} and {3, 1} at nodes 1 and 4; the unused slots between them must be skipped.
  koHandDiagram four(4);
  koHandExplosion split(four.groups, four.diagram);
  split.hierarchy.editGroupList() = {2, 0, 3, 1};
  split.split(0, 2, 0);
  split.finish().computeReferenceGroups();
  EXPECT_EQ(split.explosion->referenceGroups, (std::vector<unsigned int>{2, 3, 2, 3}));

  // A root that is a leaf: one cluster, no split, no axis, nothing moves.
  koHandDiagram three(3);
  three.contact(0, 1, {{0.0, 0.0, 1.0}});
  three.diagram.computeDirectionSet(5.0f);
  koHandExplosion whole(three.groups, three.diagram);
  whole.hierarchy.editGroupList() = {1, 2, 0};
  koExplosionDiagram& explosion = whole.finish();
  explosion.computeTranslationHierarchy(1.0f);
  explosion.bakeAxes();
  EXPECT_EQ(explosion.getNoAxes(), 0u);
  for (unsigned int g = 0; g < 3; ++g) {
    EXPECT_EQ(explosion.getReferenceGroup(g), 1u);
    EXPECT_EQ(explosion.getFinalPerGroupTranslation(g), Vec(0.0f, 0.0f, 0.0f));
  }
}

TEST(koExplosionDiagram, EveryClusterIsMovedByOneSplitOnly) {
  koHandDiagram hand(16);
  koHandExplosion setup(hand.groups, hand.diagram);
  koExplosionDiagram& explosion = setup.finish();
  auto place = [&](unsigned int s, unsigned int a, unsigned int b, unsigned int moveFirst) {
    explosion.splitData[s].groupA = a;
    explosion.splitData[s].groupB = b;
    explosion.splitData[s].moveFirstChild = moveFirst;
  };

  // By hand: split 1 moves cluster 1, so split 3 must move 2 and split 7 must move 3; split 5
  // then finds both its clusters moved and is inverted all the same; split 6 starts anew.
  explosion.referenceGroups.resize(16);
  std::iota(explosion.referenceGroups.begin(), explosion.referenceGroups.end(), 0u);
  explosion.splitData.assign(31, koExplosionDiagram::tSplitData());
  place(1, 0, 1, 0);
  place(3, 2, 1, 0);
  place(5, 3, 2, 1);
  place(6, 4, 0, 0);
  place(7, 1, 3, 1);
  explosion.computePerSplitMovingChild();
  for (unsigned int s : {1u, 3u, 5u, 6u, 7u})
    EXPECT_EQ(explosion.splitData[s].moveFirstChild, s == 3 ? 1u : 0u) << "split " << s;

  // Random trees of splits over clusters of two groups each: every split moves its own cluster.
  std::mt19937 random(3);
  for (unsigned int g = 0; g < 16; ++g)
    explosion.referenceGroups[g] = g & ~1u;
  std::vector<unsigned int> ids(31);
  std::iota(ids.begin(), ids.end(), 0u);
  for (int round = 0; round < 300; ++round) {
    explosion.splitData.assign(31, koExplosionDiagram::tSplitData());
    std::shuffle(ids.begin(), ids.end(), random);
    for (unsigned int cluster = 1; cluster < 8; ++cluster) {
      const unsigned int a = 2 * cluster + random() % 2;
      const unsigned int b = 2 * (random() % cluster) + random() % 2;
      place(ids[cluster], a, b, random() % 2);
    }
    explosion.computePerSplitMovingChild();
    std::set<unsigned int> moved;
    for (const auto& split : explosion.splitData)
      if (split.isValid())
        moved.insert(explosion.referenceGroups[split.moveFirstChild ? split.groupA : split.groupB]);
    EXPECT_EQ(moved.size(), 7u) << "round " << round;
  }
}

// The second pass on a root split of three boxes along z: group 0 stays, groups 1 (groupB) and 2
// move together.
TEST(koExplosionDiagram, SecondPassKeepsOrderAndAcceptsIntervalEnds) {
  koHandDiagram hand(3);
  hand.contact(1, 0, {{0.0, 0.0, 1.0}});
  hand.diagram.computeDirectionSet(5.0f);
  koHandExplosion setup(hand.groups, hand.diagram);
  setup.split(0, 1, 0);
  setup.split(2, 1, 0);
  koExplosionDiagram& explosion = setup.finish();
  std::vector<koExplosionDiagram::tOrthogonalDirectionSet> sets;
  std::vector<Prism> planes;
  explosion.computeBoundingPrisms(sets, planes);
  ASSERT_EQ(sets[0].directions[0], Vec(0.0f, 0.0f, 1.0f));
  auto box = [&](Vec lo, Vec hi) {
    Prism prism;
    for (int c = 0; c < 8; ++c)
      for (int k = 0; k < 5; ++k) {
        const Vec p(c & 1 ? hi.X() : lo.X(), c & 2 ? hi.Y() : lo.Y(), c & 4 ? hi.Z() : lo.Z());
        prism.pairs[k].min = std::min(prism.pairs[k].min, p.Dot(sets[0].directions[k]));
        prism.pairs[k].max = std::max(prism.pairs[k].max, p.Dot(sets[0].directions[k]));
      }
    return prism;
  };
  auto run = [&](Prism group1, Prism group2, Vec earlier2) {
    planes = {box(Vec(0, 0, 0), Vec(1, 1, 1)), group1, group2};
    explosion.splitData.assign(5, koExplosionDiagram::tSplitData());
    explosion.splitData[0].groupA = 0;
    explosion.splitData[0].groupB = 1;
    explosion.splitData[0].moveFirstChild = 0;
    explosion.splitData[0].direction = sets[0].directions[0];
    explosion.perSplitTranslations.assign(5, Vec(0, 0, 0));
    explosion.finalPerGroupTranslations = {Vec(0, 0, 0), Vec(0, 0, 0), earlier2};
    std::vector<Prism> shifted(3);
    explosion.translationHierarchyIterationTopDown(0, sets, planes, shifted, 0.5f);
  };

  // Group 2 sits on group 0, group 1 far above. Pulling back as far as group 1 allows would take
  // group 2 through group 0, so group 2 stops the gap above it.
  run(box(Vec(0, 0, 10), Vec(1, 1, 11)), box(Vec(0, 0, 1), Vec(1, 1, 2)), Vec(0, 0, 0));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(1), Vec(0.0f, 0.0f, 0.5f));
  EXPECT_EQ(explosion.getPerSplitTranslation(2), Vec(0.0f, 0.0f, 0.5f));
  EXPECT_EQ(explosion.getPerSplitTranslation(1), Vec(0.0f, 0.0f, 0.0f));

  // Group 1 beside group 0; group 2 faces group 0 only after its earlier move of -5 in x, so it
  // may end below it: its forbidden travel starts exactly where group 1 wants to go.
  run(box(Vec(10, 0, 3), Vec(11, 1, 4)), box(Vec(5, 0, 0.5f), Vec(6, 1, 1)), Vec(-5, 0, 0));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(1), Vec(0.0f, 0.0f, -1.5f));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(2), Vec(-5.0f, 0.0f, -1.5f));
}

} // namespace
