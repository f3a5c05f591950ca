#include "koSinglePartDisassemblyProcedure.h"

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koSampleAssemblies.h"
#include "support/koHandDiagram.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using Vec = Wm4::Vector3<double>;
using Groups = std::vector<unsigned int>;
constexpr unsigned int None = koDisassemblyHierarchy::None;
constexpr unsigned int kTop = 0x80000000u;

// What f prints (planning reports its progress on the standard output).
template <typename F>
std::string printed(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// The groups of every step, each list ascending.
std::vector<Groups> groupsOfSteps(const koSinglePartDisassemblyProcedure& procedure) {
  std::vector<Groups> steps;
  for (const auto& step : procedure.getSteps()) {
    steps.emplace_back();
    for (unsigned int p = step.first; p < step.first + step.count; ++p)
      for (unsigned int g : groupsOfNode(procedure.hierarchy, procedure.getOrdering()[p]))
        steps.back().push_back(g);
    std::sort(steps.back().begin(), steps.back().end());
  }
  return steps;
}

// Writes the plan into target as a chain and reads it back by walking up from the part's leaf:
// the same steps, each leaving the same way.
void expectChainOfSteps(koDisassemblyHierarchy& target,
                        koSinglePartDisassemblyProcedure& procedure, unsigned int part) {
  procedure.copyToDisassemblyHierarchy(target);
  ASSERT_TRUE(isWellFormed(target));
  koDisassemblyHierarchyBuilder view(target, procedure.builder.getContactDiagram(), 1);
  koSinglePartDisassemblyProcedure replay(view);
  replay.initializeRemovalOrdering(target.getGroupLeaves()[part]);
  ASSERT_EQ(groupsOfSteps(replay), groupsOfSteps(procedure)) << describe(target);
  for (unsigned int s = 0; s < procedure.getNoSteps(); ++s)
    EXPECT_EQ(replay.getStep(s).code, procedure.getStep(s).code) << "step " << s;
}

// Every part's plan, written as a chain (fresh, or over the planned hierarchy and its shuffled
// group list), leaves the part last and pulls each step's groups free of the rest along the step's
// direction on the boxes. A procedure reused part after part keeps nothing of earlier plans.
TEST(koSinglePartDisassemblyProcedure, StepsFreeEveryPartOfTheSampleAssemblies) {
  const koSampleAssemblies::Assembly assemblies[] = {koSampleAssemblies::lidWithScrews(),
                                                     koSampleAssemblies::stack(5)};
  unsigned int noMergedSteps = 0;
  for (const auto& assembly : assemblies) {
    const koMeshGroups& groups = assembly->meshGroups();
    koDisassemblyHierarchy hierarchy(groups), chain(groups), over(groups);
    koDisassemblyHierarchyBuilder builder(hierarchy, assembly->diagram(), 1);
    koDisassemblyHierarchyBuilder chainView(chain, assembly->diagram(), 1);  // for the box check
    builder.initSolver();
    printed([&] { builder.computeGroupsHierarchy(0, nullptr); });
    SCOPED_TRACE(describe(hierarchy));

    koSinglePartDisassemblyProcedure reused(builder);
    for (unsigned int g = 0; g < groups.getNoGroups(); ++g) {
      SCOPED_TRACE("part " + std::to_string(g));
      const unsigned int leaf = hierarchy.getGroupLeaves()[g];
      koSinglePartDisassemblyProcedure procedure(builder);
      printed([&] { procedure.buildProcedure(leaf); });
      EXPECT_EQ(groupsOfSteps(procedure).back(), Groups{g});
      EXPECT_EQ(procedure.getSteps().back().code, koSinglePartDisassemblyProcedure::msFinalCode);
      for (const auto& step : procedure.getSteps())
        noMergedSteps += step.count > 1;
      over.copyFrom(hierarchy);
      for (koDisassemblyHierarchy* target : {&over, &chain})
        expectChainOfSteps(*target, procedure, g);
      EXPECT_TRUE(splitsAreCollisionFree(*assembly, chainView));

      printed([&] { reused.buildProcedure(leaf); });
      EXPECT_EQ(groupsOfSteps(reused), groupsOfSteps(procedure));
      EXPECT_EQ(reused.getConstraintData(), procedure.getConstraintData());
      EXPECT_EQ(reused.constraintRows, procedure.constraintRows);
    }
  }
  EXPECT_GT(noMergedSteps, 0u) << "no plan merged anything; the samples do not test merging";
}

// Hand-made chains: the root removes removals[0] from the rest, its other child removes
// removals[1], and so on (two removals at least); the group left is the part.
struct Removal {
  unsigned int group;
  Vec direction;  // the way the group leaves
};
struct Edge {
  unsigned int group0, group1;
  std::vector<Vec> directions;  // how group0 leaves group1; for a distant edge, how it is blocked
};
struct Case {
  const char* name;
  unsigned int noGroups;
  std::vector<Edge> contacts, distant;
  std::vector<Removal> removals;
  std::vector<Groups> expectedSteps;
};

const Vec kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

const Case kCases[] = {
    {"a joins the b it touches", 3, {{0, 1, {kZ}}, {1, 2, {kX}}}, {}, {{0, kZ}, {1, kX}},
     {{0, 1}, {2}}},
    {"a blocked by the part along b's way", 3, {{0, 1, {kZ}}, {1, 2, {kX}}}, {{0, 2, {kX}}},
     {{0, kZ}, {1, kX}}, {{0}, {1}, {2}}},
    {"a blocked by the part the other way", 3, {{0, 1, {kZ}}, {1, 2, {-kX}}}, {{0, 2, {kX}}},
     {{0, kZ}, {1, -kX}}, {{0, 1}, {2}}},
    // Its own split proved a free along +z, whatever the distant edge says.
    {"a may leave again the way it went", 3, {{0, 1, {kZ}}, {1, 2, {kZ}}}, {{0, 2, {kZ}}},
     {{0, kZ}, {1, kZ}}, {{0, 1}, {2}}},
    // Nothing stops a from leaving with b, but it does not touch b: a distant edge is no touch.
    {"a touches no later step", 3, {{0, 2, {kZ, kX}}, {1, 2, {kX}}}, {{0, 1, {-kZ}}},
     {{0, kZ}, {1, kX}}, {{0}, {1}, {2}}},
    {"a passes an unrelated b to join c", 4, {{0, 2, {kZ}}, {1, 3, {kX}}, {2, 3, {kY}}}, {},
     {{0, kZ}, {1, kX}, {2, kY}}, {{1}, {0, 2}, {3}}},
    {"a would block b, so it stays", 4, {{0, 1, {kZ}}, {0, 2, {kZ}}, {1, 3, {kX}}, {2, 3, {kY}}},
     {}, {{0, kZ}, {1, kX}, {2, kY}}, {{0}, {1}, {2}, {3}}},
    {"a lets b go and joins c", 4,
     {{0, 1, {kZ, -kX}}, {0, 2, {kZ}}, {1, 3, {kX}}, {2, 3, {kY}}}, {},
     {{0, kZ}, {1, kX}, {2, kY}}, {{1}, {0, 2}, {3}}},
    // Merged from the back: b joins c first, then a joins the step that now holds b.
    {"a chain folds from the back", 4, {{0, 1, {kZ}}, {1, 2, {kX}}, {2, 3, {-kY}}}, {},
     {{0, kZ}, {1, kX}, {2, -kY}}, {{0, 1, 2}, {3}}},
};

// The direction entry of d: the set index of its line, with the top bit when d is opposite.
unsigned int entryOf(const koHandDiagram& hand, const Vec& d) {
  const unsigned int k = hand.directionIndex(d);
  return hand.diagram.getDirectionFromId(k).Dot(d) > 0.99 ? k : hand.directionIndex(-d) | kTop;
}

// Runs a case with the edges given from group0's side or, mirrored, group1's: both plan the same.
void runCase(const Case& c, bool mirrored, unsigned int& noReversedSteps) {
  SCOPED_TRACE(std::string(c.name) + (mirrored ? ", mirrored" : ""));
  const double sense = mirrored ? -1.0 : 1.0;
  koHandDiagram hand(c.noGroups);
  for (const Edge& contact : c.contacts) {
    std::vector<Vec> list(contact.directions);
    for (Vec& d : list)
      d *= sense;
    hand.diagram.pushContactEdge(mirrored ? contact.group1 : contact.group0,
                                 mirrored ? contact.group0 : contact.group1, list.data(),
                                 static_cast<unsigned int>(list.size()),
                                 Wm4::Vector3<float>(0, 0, 0));
  }
  hand.diagram.computeDirectionSet(5.0f);
  koDisassemblyHierarchy hierarchy(hand.groups), reference(hand.groups);
  koDisassemblyHierarchyBuilder builder(hierarchy, hand.diagram, 1);
  for (const Edge& blocked : c.distant) {
    std::vector<unsigned int> entries{entryOf(hand, blocked.directions[0] * sense)};
    builder.pushDistantConstraint(mirrored ? blocked.group1 : blocked.group0,
                                  mirrored ? blocked.group0 : blocked.group1, {1}, entries);
  }
  builder.initSolver();
  // The removed group is the second child when it leaves along the set entry, else the first.
  unsigned int node = 0;
  for (const Removal& removal : c.removals) {
    const unsigned int entry = entryOf(hand, removal.direction);
    const auto tree = reference.getNode(node);
    const auto slice = reference.editGroupList().begin() + tree.first;
    std::swap(*std::find(slice, slice + tree.noGroups, removal.group),
              slice[(entry & kTop) ? 0 : tree.noGroups - 1]);
    const unsigned int noFirst = (entry & kTop) ? 1 : tree.noGroups - 1;
    const unsigned int first =
        reference.requestNewNode({tree.first, noFirst, None, None, node, None});
    const unsigned int rest = reference.requestNewNode(
        {tree.first + noFirst, tree.noGroups - noFirst, None, None, node, None});
    reference.editNodes()[node] = {tree.first, tree.noGroups, first,
                                   rest,       tree.parent,   entry & ~kTop};
    node = (entry & kTop) ? rest : first;
  }
  reference.computeHierarchyIndexing(0);
  printed([&] { builder.copyGroupsHierarchy(reference); });
  ASSERT_EQ(describe(hierarchy), describe(reference));

  koSinglePartDisassemblyProcedure procedure(builder);
  procedure.initializeRemovalOrdering(node);
  procedure.initializeConstraintList();
  const unsigned int noSteps = procedure.getNoSteps();
  ASSERT_TRUE(noSteps == c.removals.size() + 1 && noSteps >= 3) << noSteps;
  // The merge test, which moves nothing, predicts what the first turn of the merging does.
  const bool predicted = procedure.checkMerge(noSteps - 3, noSteps - 2);
  std::ostringstream progress;
  for (unsigned int k = 0; k + 2 < noSteps; ++k)
    progress << "simplifying step : " << k << " / " << noSteps - 2 << "\n";
  EXPECT_EQ(printed([&] { procedure.simplifyOrdering(); }), progress.str());

  const std::vector<Groups> steps = groupsOfSteps(procedure);
  EXPECT_EQ(steps, c.expectedSteps);
  // The last removal never moves: the removal before it merged iff it is in its step now.
  const Groups& last = steps[steps.size() - 2];
  EXPECT_EQ(predicted, std::count(last.begin(), last.end(), c.removals[noSteps - 3].group) == 1);
  for (unsigned int s = 0; s + 1 < steps.size(); ++s) {
    const auto& step = procedure.getStep(s);
    const auto nodes = procedure.getOrdering().begin() + step.first;
    EXPECT_TRUE(std::is_sorted(nodes, nodes + step.count));
    noReversedSteps += step.code & 1u;
  }
  koDisassemblyHierarchy target(hand.groups);
  expectChainOfSteps(target, procedure, c.expectedSteps.back()[0]);
}

TEST(koSinglePartDisassemblyProcedure, HandMadeChainsMergeWhereTheyMay) {
  unsigned int noReversedSteps = 0, noSteps = 0;
  for (const Case& c : kCases)
    for (bool mirrored : {false, true}) {
      runCase(c, mirrored, noReversedSteps);
      noSteps += static_cast<unsigned int>(c.expectedSteps.size()) - 1;
    }
  // Steps along and against their set entry both occur, so the side bit is tested both ways.
  EXPECT_GT(noReversedSteps, 0u);
  EXPECT_LT(noReversedSteps, noSteps);
}

} // namespace
