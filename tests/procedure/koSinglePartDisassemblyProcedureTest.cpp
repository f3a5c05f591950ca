#include "koSinglePartDisassemblyProcedure.h"

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koSampleAssemblies.h"
#include "support/koHandDiagram.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace {

using Vec = Wm4::Vector3<double>;
using Groups = std::vector<unsigned int>;
constexpr unsigned int None = koDisassemblyHierarchy::None;
constexpr unsigned int kTop = 0x80000000u;

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

Vec directionOfCode(const koContactDiagram& diagram, unsigned int code) {
  return diagram.getDirectionFromId(code >> 1) * ((code & 1u) ? -1.0 : 1.0);
}

std::string progressLines(unsigned int noSteps) {
  std::ostringstream text;
  for (unsigned int k = 0; k + 2 < noSteps; ++k)
    text << "simplifying step : " << k << " / " << noSteps - 2 << "\n";
  return text.str();
}

// Replays the steps on the boxes: each step's groups are still there and can be pulled to
// infinity along the step's direction without overlapping a box that stays; the part is left.
testing::AssertionResult stepsFreeThePart(const koBoxAssembly& assembly,
                                          const koSinglePartDisassemblyProcedure& procedure,
                                          const Groups& part) {
  const std::vector<Groups> steps = groupsOfSteps(procedure);
  std::set<unsigned int> remaining;
  for (unsigned int g = 0; g < procedure.meshGroups.getNoGroups(); ++g)
    remaining.insert(g);
  for (unsigned int s = 0; s + 1 < steps.size(); ++s) {
    for (unsigned int g : steps[s])
      if (remaining.erase(g) == 0)
        return testing::AssertionFailure() << "step " << s << " moves group " << g << " again";
    const Vec d = directionOfCode(procedure.builder.getContactDiagram(), procedure.getStep(s).code);
    for (const auto& m : assembly.boxes()) {
      for (const auto& b : assembly.boxes()) {
        if (!std::count(steps[s].begin(), steps[s].end(), m.part) || !remaining.count(b.part))
          continue;
        // b blocks m when it lies ahead of m and overlaps it across the direction.
        bool blocks = true;
        for (int i = 0; i < 3; ++i) {
          const float lo = m.minCorner[i], hi = m.maxCorner[i], eps = 1e-4f;
          blocks = blocks && (d[i] > 0.5    ? b.maxCorner[i] > lo + eps
                              : d[i] < -0.5 ? b.minCorner[i] < hi - eps
                                            : std::min(hi, b.maxCorner[i]) -
                                                      std::max(lo, b.minCorner[i]) > eps);
        }
        if (blocks)
          return testing::AssertionFailure() << "step " << s << ": " << m.name << " hits "
                                             << b.name;
      }
    }
  }
  if (steps.empty() || steps.back() != part || Groups(remaining.begin(), remaining.end()) != part ||
      procedure.getSteps().back().code != koSinglePartDisassemblyProcedure::msFinalCode)
    return testing::AssertionFailure() << "the last step is not the part alone";
  return testing::AssertionSuccess();
}

// target is a chain: at each level one child is a leaf with the step's groups, on the side its
// code says, split along the code's direction; the other child goes on down to the part's leaf.
testing::AssertionResult chainMatchesSteps(const koDisassemblyHierarchy& target,
                                           const koSinglePartDisassemblyProcedure& procedure) {
  if (!isWellFormed(target))
    return isWellFormed(target);
  const std::vector<Groups> steps = groupsOfSteps(procedure);
  unsigned int c = 0;
  for (unsigned int s = 0; s + 1 < steps.size(); ++s) {
    const auto& node = target.getNode(c);
    const unsigned int code = procedure.getStep(s).code;
    const unsigned int removed = (code & 1u) ? node.firstChild : node.secondChild;
    if (node.isLeaf() || node.splitDirection != code >> 1 || !target.getNode(removed).isLeaf())
      return testing::AssertionFailure() << "level " << s << " of " << describe(target);
    Groups groups = groupsOfNode(target, removed);
    std::sort(groups.begin(), groups.end());
    if (groups != steps[s])
      return testing::AssertionFailure() << "level " << s << " removes other groups";
    c = node.firstChild ^ node.secondChild ^ removed;
  }
  if (!target.getNode(c).isLeaf())
    return testing::AssertionFailure() << "the chain does not end in a leaf";
  return testing::AssertionSuccess();
}

TEST(koSinglePartDisassemblyProcedure, StepsFreeEveryPartOfTheSampleAssemblies) {
  const koSampleAssemblies::Assembly assemblies[] = {koSampleAssemblies::lidWithScrews(),
                                                     koSampleAssemblies::stack(5)};
  unsigned int noMergedSteps = 0;
  for (const auto& assembly : assemblies) {
    koDisassemblyHierarchy hierarchy(assembly->meshGroups());
    koDisassemblyHierarchyBuilder builder(hierarchy, assembly->diagram(), 1);
    builder.initSolver();
    testing::internal::CaptureStdout();
    builder.computeGroupsHierarchy(0, nullptr);
    testing::internal::GetCapturedStdout();
    SCOPED_TRACE(describe(hierarchy));

    koSinglePartDisassemblyProcedure reused(builder);
    for (unsigned int g = 0; g < assembly->meshGroups().getNoGroups(); ++g) {
      SCOPED_TRACE("part " + std::to_string(g));
      const unsigned int leaf = hierarchy.getGroupLeaves()[g];
      unsigned int depth = 0;
      for (unsigned int v = leaf; v != 0; v = hierarchy.getNode(v).parent)
        ++depth;
      koSinglePartDisassemblyProcedure procedure(builder);
      testing::internal::CaptureStdout();
      procedure.buildProcedure(leaf);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), progressLines(depth + 1));
      EXPECT_TRUE(stepsFreeThePart(*assembly, procedure, Groups{g}));
      for (const auto& step : procedure.getSteps())
        noMergedSteps += step.count > 1;

      // Written into a fresh hierarchy or over the planned one, with its shuffled group list.
      koDisassemblyHierarchy fresh(assembly->meshGroups()), over(assembly->meshGroups());
      over.copyFrom(hierarchy);
      for (koDisassemblyHierarchy* target : {&fresh, &over}) {
        procedure.copyToDisassemblyHierarchy(*target);
        EXPECT_TRUE(chainMatchesSteps(*target, procedure));
      }

      // Planning part after part on one object leaves nothing of the earlier plans behind.
      testing::internal::CaptureStdout();
      reused.buildProcedure(leaf);
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(groupsOfSteps(reused), groupsOfSteps(procedure));
      EXPECT_EQ(reused.getConstraintData(), procedure.getConstraintData());
      EXPECT_EQ(reused.constraintRows, procedure.constraintRows);
    }
  }
  EXPECT_GT(noMergedSteps, 0u) << "no plan merged anything; the samples do not test merging";
}

// Hand-made chains: the root removes removals[0] from the rest, its other child removes
// removals[1], and so on; the group left is the part.
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
    {"part beside the root", 2, {{0, 1, {kZ}}}, {}, {{0, kZ}}, {{0}, {1}}},
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
unsigned int entryOf(const koContactDiagram& diagram, const Vec& d) {
  unsigned int k = 0;
  for (unsigned int i = 1; i < diagram.getNoDirections(); ++i)
    if (std::fabs(diagram.getDirectionFromId(i).Dot(d)) >
        std::fabs(diagram.getDirectionFromId(k).Dot(d)))
      k = i;
  return k | (diagram.getDirectionFromId(k).Dot(d) < 0.0 ? kTop : 0u);
}

// Runs a case with every edge given from group0's side or, mirrored, from group1's: both must
// plan the same. Counts the steps that leave against their direction set entry.
void runCase(const Case& c, bool mirrored, unsigned int& noReversedSteps) {
  SCOPED_TRACE(std::string(c.name) + (mirrored ? ", mirrored" : ""));
  koHandDiagram hand(c.noGroups);
  for (const Edge& contact : c.contacts) {
    std::vector<Vec> list;
    for (const Vec& d : contact.directions)
      list.push_back(mirrored ? -d : d);
    hand.diagram.pushContactEdge(mirrored ? contact.group1 : contact.group0,
                                 mirrored ? contact.group0 : contact.group1, list.data(),
                                 static_cast<unsigned int>(list.size()),
                                 Wm4::Vector3<float>(0, 0, 0));
  }
  const koContactDiagram& diagram = hand.diagram;
  hand.diagram.computeDirectionSet(5.0f);
  koDisassemblyHierarchy hierarchy(hand.groups), reference(hand.groups);
  koDisassemblyHierarchyBuilder builder(hierarchy, diagram, 1);
  for (const Edge& blocked : c.distant) {
    const Vec d = blocked.directions[0] * (mirrored ? -1.0 : 1.0);
    std::vector<unsigned int> entries{entryOf(diagram, d)};
    builder.pushDistantConstraint(mirrored ? blocked.group1 : blocked.group0,
                                  mirrored ? blocked.group0 : blocked.group1, {1}, entries);
  }
  builder.initSolver();
  // The removed group is the second child when it leaves along the set entry, else the first.
  unsigned int node = 0;
  for (const Removal& removal : c.removals) {
    const unsigned int entry = entryOf(diagram, removal.direction);
    const bool second = (entry & kTop) == 0;
    const auto tree = reference.getNode(node);
    const auto begin = reference.editGroupList().begin() + tree.first;
    std::stable_partition(begin, begin + tree.noGroups,
                          [&](unsigned int g) { return (g == removal.group) != second; });
    const unsigned int noFirst = second ? tree.noGroups - 1 : 1;
    const unsigned int first =
        reference.requestNewNode({tree.first, noFirst, None, None, node, None});
    const unsigned int rest = reference.requestNewNode(
        {tree.first + noFirst, tree.noGroups - noFirst, None, None, node, None});
    reference.editNodes()[node] = {tree.first, tree.noGroups, first,
                                   rest,       tree.parent,   entry & ~kTop};
    node = second ? first : rest;
  }
  reference.computeHierarchyIndexing(0);
  testing::internal::CaptureStdout();
  builder.copyGroupsHierarchy(reference);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(describe(hierarchy), describe(reference));

  koSinglePartDisassemblyProcedure procedure(builder);
  procedure.initializeRemovalOrdering(node);
  procedure.initializeConstraintList();
  const unsigned int noSteps = procedure.getNoSteps();
  ASSERT_EQ(noSteps, c.removals.size() + 1);
  // The merge test, which moves nothing, predicts what the first turn of the merging does.
  const bool predicted = noSteps >= 3 && procedure.checkMerge(noSteps - 3, noSteps - 2);
  const std::vector<Groups> before = groupsOfSteps(procedure);
  testing::internal::CaptureStdout();
  procedure.simplifyOrdering();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), progressLines(noSteps));

  const std::vector<Groups> steps = groupsOfSteps(procedure);
  EXPECT_EQ(steps, c.expectedSteps);
  if (noSteps >= 3) {
    const auto together = std::find_if(steps.begin(), steps.end(), [&](const Groups& s) {
      return std::count(s.begin(), s.end(), before[noSteps - 3][0]) != 0;
    });
    EXPECT_EQ(predicted, std::count(together->begin(), together->end(), before[noSteps - 2][0]));
  }
  for (unsigned int s = 0; s + 1 < steps.size(); ++s) {
    const auto& step = procedure.getStep(s);
    const auto nodes = procedure.getOrdering().begin() + step.first;
    EXPECT_TRUE(std::is_sorted(nodes, nodes + step.count));
    // A merged step leaves the way its last-removed group was removed.
    Vec expected(0, 0, 0);
    for (const Removal& removal : c.removals)
      if (std::count(steps[s].begin(), steps[s].end(), removal.group) != 0)
        expected = removal.direction;
    EXPECT_GT(directionOfCode(diagram, step.code).Dot(expected), 0.99) << "step " << s;
    noReversedSteps += step.code & 1u;
  }
  koDisassemblyHierarchy target(hand.groups);
  procedure.copyToDisassemblyHierarchy(target);
  EXPECT_TRUE(chainMatchesSteps(target, procedure));
}

TEST(koSinglePartDisassemblyProcedure, HandMadeChainsMergeWhereTheyMay) {
  unsigned int noReversedSteps = 0, noSteps = 0;
  for (const Case& c : kCases) {
    for (bool mirrored : {false, true}) {
      runCase(c, mirrored, noReversedSteps);
      noSteps += static_cast<unsigned int>(c.expectedSteps.size()) - 1;
    }
  }
  // Steps along and against their set entry both occur, so the side bit is tested both ways.
  EXPECT_GT(noReversedSteps, 0u);
  EXPECT_LT(noReversedSteps, noSteps);
}

} // namespace
