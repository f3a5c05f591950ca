#include "explosion/koExplosionDiagramFixture.h"
#include "support/koHandDiagram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

using Vec = Wm4::Vector3<float>;
using Prism = koExplosionDiagram::tBoundingPlanesMinMax;

TEST(koExplosionDiagram, LateralDirectionsCircleEachDirection) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {{1.0, 0.0, 0.0}});
  hand.contact(1, 2, {{0.0, 0.0, 1.0}});
  hand.diagram.computeDirectionSet(5.0f);
  koHandExplosion setup(hand.groups, hand.diagram);
  const koPrisms prisms(setup.finish());
  ASSERT_EQ(prisms.planes.size(), 3 * prisms.sets.size());

  // |x| > |y| takes (0, 1, 0) as helper axis, |x| = |y| takes (1, 0, 0); the third lateral
  // direction carries the float cosine of the float pi / 2.
  const float c = 0.70710677f, e = -4.371139e-8f;
  const Vec* x = prisms.sets[hand.directionIndex({1.0, 0.0, 0.0})].directions;
  const Vec* z = prisms.sets[hand.directionIndex({0.0, 0.0, 1.0})].directions;
  EXPECT_EQ(std::vector<Vec>(x, x + 5),
            (std::vector<Vec>{{1, 0, 0}, {0, 1, 0}, {0, c, c}, {0, e, 1}, {0, -c, c}}));
  EXPECT_EQ(std::vector<Vec>(z, z + 5),
            (std::vector<Vec>{{0, 0, 1}, {1, 0, 0}, {c, c, 0}, {e, 1, 0}, {-c, c, 0}}));
  // Groups without vertices keep empty prisms.
  for (const Prism& prism : prisms.planes)
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
  koHandExplosion whole(four.groups, four.diagram);
  whole.hierarchy.editGroupList() = {1, 2, 0, 3};
  koExplosionDiagram& explosion = whole.finish();
  explosion.computeTranslationHierarchy(1.0f);
  explosion.bakeAxes();
  EXPECT_EQ(explosion.getNoAxes(), 0u);
  for (unsigned int g = 0; g < 4; ++g) {
    EXPECT_EQ(explosion.getReferenceGroup(g), 1u);
    EXPECT_EQ(explosion.getFinalPerGroupTranslation(g), Vec(0.0f, 0.0f, 0.0f));
  }
}

// Split 1 moves cluster 1, so split 3 must move 2 and split 7 must move 3; split 5 then finds both
// its clusters moved and is inverted all the same. Split 6, which no moved cluster reaches, starts
// anew and moves cluster 0, so split 9 must move 5.
TEST(koExplosionDiagram, EveryClusterIsMovedByOneSplitOnly) {
  koHandDiagram hand(16);
  koHandExplosion setup(hand.groups, hand.diagram);
  koExplosionDiagram& explosion = setup.finish();
  explosion.referenceGroups.resize(16);
  std::iota(explosion.referenceGroups.begin(), explosion.referenceGroups.end(), 0u);
  explosion.splitData.assign(31, koExplosionDiagram::tSplitData());
  const unsigned int splits[][4] = {{1, 0, 1, 0}, {3, 2, 1, 0}, {5, 3, 2, 1},
                                    {6, 4, 0, 0}, {7, 1, 3, 1}, {9, 0, 5, 1}};
  for (const auto& [s, a, b, moveFirst] : splits) {
    explosion.splitData[s].groupA = a;
    explosion.splitData[s].groupB = b;
    explosion.splitData[s].moveFirstChild = moveFirst;
  }
  explosion.computePerSplitMovingChild();
  for (const auto& split : splits)
    EXPECT_EQ(explosion.splitData[split[0]].moveFirstChild, split[0] == 3 ? 1u : 0u) << split[0];
}

// The second pass on a root split along z: group 0 stays, groups 1 (groupB) and 2 move together.
TEST(koExplosionDiagram, SecondPassKeepsOrderAndAcceptsIntervalEnds) {
  koHandDiagram hand(3);
  hand.contact(1, 0, {{0.0, 0.0, 1.0}});
  hand.diagram.computeDirectionSet(5.0f);
  koHandExplosion setup(hand.groups, hand.diagram);
  setup.split(0, 1, 0);
  setup.split(2, 1, 0);
  koExplosionDiagram& explosion = setup.finish();
  koPrisms prisms(explosion);
  const auto& sets = prisms.sets;
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
    prisms.planes = {box(Vec(0, 0, 0), Vec(1, 1, 1)), group1, group2};
    explosion.splitData.assign(5, koExplosionDiagram::tSplitData());
    explosion.splitData[0].groupA = 0;
    explosion.splitData[0].groupB = 1;
    explosion.splitData[0].moveFirstChild = 0;
    explosion.splitData[0].direction = sets[0].directions[0];
    explosion.perSplitTranslations.assign(5, Vec(0, 0, 0));
    explosion.finalPerGroupTranslations = {Vec(0, 0, 0), Vec(0, 0, 0), earlier2};
    std::vector<Prism> shifted(3);
    explosion.translationHierarchyIterationTopDown(0, sets, prisms.planes, shifted, 0.5f);
  };

  // Group 2 sits on group 0, group 1 far above. Pulling back as far as group 1 allows would take
  // group 2 through group 0, so group 2 stops the gap above it.
  run(box(Vec(0, 0, 10), Vec(1, 1, 11)), box(Vec(0, 0, 1), Vec(1, 1, 2)), Vec(0, 0, 0));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(1), Vec(0.0f, 0.0f, 0.5f));
  EXPECT_EQ(explosion.getPerSplitTranslation(2), Vec(0.0f, 0.0f, 0.5f));

  // Group 1 beside group 0; group 2 faces group 0 only after its earlier move of -5 in x, so it
  // may end below it: its forbidden travel starts exactly where group 1 wants to go.
  run(box(Vec(10, 0, 3), Vec(11, 1, 4)), box(Vec(5, 0, 0.5f), Vec(6, 1, 1)), Vec(-5, 0, 0));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(1), Vec(0.0f, 0.0f, -1.5f));
  EXPECT_EQ(explosion.getFinalPerGroupTranslation(2), Vec(-5.0f, 0.0f, -1.5f));
}

} // namespace
