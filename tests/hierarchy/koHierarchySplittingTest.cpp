#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koGroupsClustering.h"
#include "ko2SATState.h"
#include "support/koCountingNotifier.h"
#include "support/koHandDiagram.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using Vec = Wm4::Vector3<double>;
constexpr unsigned int None = koDisassemblyHierarchy::None;

struct Built {
  explicit Built(koHandDiagram& hand, unsigned int threads = 1)
      : hierarchy(hand.groups), builder(hierarchy, hand.diagram, threads) {}
  // Computes the hierarchy and returns what the builder printed.
  std::string split(ko::koProgressNotifierInterface* progress = nullptr) {
    builder.initSolver();
    testing::internal::CaptureStdout();
    builder.computeGroupsHierarchy(0, progress);
    return testing::internal::GetCapturedStdout();
  }
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
};

TEST(koHierarchySplitting, TwoGroupsPartAlongTheirOnlyDirection) {
  koHandDiagram hand(2);
  hand.contact(0, 1, {Vec(0, 0, 1)});
  hand.contact(1, 0, {Vec(1, 0, 0)});  // a second contact that only lets group 1 slide along +x
  hand.diagram.computeDirectionSet(5.0f);
  // Group 0 may leave along +z per the first contact, but the second contact holds it: no
  // direction frees either group from both contacts.
  {
    Built built(hand);
    koCountingNotifier progress;
    built.split(&progress);
    EXPECT_TRUE(built.hierarchy.getNode(0).isLeaf());
    EXPECT_EQ(progress.lastRange, 1.0);
    EXPECT_EQ(progress.advancedSteps.load(), 1.0);
  }

  koHandDiagram single(2);
  single.contact(1, 0, {Vec(0, 0, 1)});
  single.diagram.computeDirectionSet(5.0f);
  Built built(single);
  const std::string output = built.split();
  const auto& root = built.hierarchy.getNode(0);
  ASSERT_FALSE(root.isLeaf());
  EXPECT_EQ(root.splitDirection, 0u);
  EXPECT_EQ(groupsOfNode(built.hierarchy, root.secondChild), std::vector<unsigned int>{1});
  EXPECT_EQ(groupsOfNode(built.hierarchy, root.firstChild), std::vector<unsigned int>{0});
  EXPECT_TRUE(isWellFormed(built.hierarchy));

  // The timing lines, always printed, one per thread between the totals.
  EXPECT_TRUE(std::regex_match(output, std::regex("solver time: [0-9.e+-]+ s\\.\\n"
                                                  "t0: [0-9.e+-]+ s\\. for 1jobs\\n"
                                                  "total: [0-9.e+-]+ s\\. for 1\\n")))
      << output;
}

// Group 0 is held to group 1 by two contacts that both let it go along +y, which is tested
// first; group 2 is held by one contact that lets it go along +x. Freeing group 2 cuts one
// contact and so is cheaper than freeing group 0.
TEST(koHierarchySplitting, CheapestSplitWinsAndProgressAddsUp) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {Vec(0, 1, 0)});
  hand.contact(0, 1, {Vec(0, 1, 0), Vec(0, 0, 1)});
  hand.contact(2, 1, {Vec(1, 0, 0)});
  hand.diagram.computeDirectionSet(5.0f);
  ASSERT_EQ(hand.directionIndex(Vec(0, 1, 0)), 0u);
  ASSERT_EQ(hand.directionIndex(Vec(1, 0, 0)), 2u);
  Built built(hand);
  koCountingNotifier progress;
  built.split(&progress);
  EXPECT_EQ(describe(built.hierarchy), "((1 | 0 @0) | 2 @2)");
  EXPECT_TRUE(isWellFormed(built.hierarchy));
  EXPECT_TRUE(splitsRespectContacts(built.builder));
  EXPECT_EQ(progress.lastRange, 2.0);
  EXPECT_EQ(progress.noAdvanceCalls.load(), 2);
  EXPECT_EQ(progress.advancedSteps.load(), 2.0);
}

// Groups 0 and 1 touch; group 2 touches nothing, so it comes off first at the price of one group,
// along whatever direction is tested first.
TEST(koHierarchySplitting, DisjointSidesKeepTheFirstCheapestDirection) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {Vec(0, 1, 0), Vec(1, 0, 0)});
  hand.diagram.computeDirectionSet(5.0f);
  Built built(hand);
  built.builder.verbose = true;
  const std::string output = built.split();
  const auto& root = built.hierarchy.getNode(0);
  ASSERT_FALSE(root.isLeaf());
  EXPECT_EQ(root.splitDirection, 0u);
  const auto moving = groupsOfNode(built.hierarchy, root.secondChild);
  const auto staying = groupsOfNode(built.hierarchy, root.firstChild);
  EXPECT_TRUE((moving == std::vector<unsigned int>{2}) ||
              (staying == std::vector<unsigned int>{2}));
  EXPECT_NE(output.find("splitting group: 0\n0: disjoint sets spotted\n"), std::string::npos)
      << output;
  EXPECT_TRUE(isWellFormed(built.hierarchy));
  EXPECT_TRUE(splitsRespectContacts(built.builder));
  EXPECT_TRUE(leavesAreSingleGroups(built.hierarchy));
}

// A four-group chain where groups 1 and 2 form a sub-assembly.
TEST(koHierarchySplitting, ClustersStayTogether) {
  koHandDiagram hand(4);
  for (unsigned int g = 0; g < 3; ++g)
    hand.contact(g, g + 1, {Vec(0, 0, -1)});
  hand.diagram.computeDirectionSet(5.0f);
  for (bool disassemblable : {false, true}) {
    koGroupsClustering clustering(4);
    ko2SATState cluster(4);
    cluster.add(1);
    cluster.add(2);
    clustering.pushCluster(cluster, disassemblable);
    Built built(hand);
    built.builder.setGroupsClustering(&clustering);
    built.split();
    EXPECT_TRUE(isWellFormed(built.hierarchy));
    const unsigned int node = built.hierarchy.getSmallestNodeIdContainingSet(cluster);
    EXPECT_EQ(built.hierarchy.getNode(node).noGroups, 2u) << describe(built.hierarchy);
    EXPECT_EQ(built.hierarchy.getNode(node).isLeaf(), !disassemblable);
  }
}

// Group 1 sits on group 0 and could lift off along +z or slide along x or y; a distant edge
// says a frame part of group 0 blocks it along +z, +x and -x, with scores.
TEST(koHierarchySplitting, DistantConstraintsBlockThenCharge) {
  koHandDiagram hand(2);
  hand.contact(1, 0, {Vec(0, 0, 1), Vec(1, 0, 0), Vec(-1, 0, 0), Vec(0, 1, 0), Vec(0, -1, 0)});
  hand.diagram.computeDirectionSet(5.0f);
  const unsigned int z = hand.directionIndex(Vec(0, 0, 1));
  const unsigned int x = hand.directionIndex(Vec(1, 0, 0));
  const unsigned int y = hand.directionIndex(Vec(0, 1, 0));
  constexpr unsigned int Flip = koDisassemblyHierarchyBuilder::msOppositeFlag;

  auto splitWith = [&](std::vector<unsigned int> entries, std::vector<unsigned int> scores) {
    Built built(hand);
    built.builder.setNoDistantConstraints(1);
    built.builder.pushDistantConstraint(1, 0, scores, entries);
    built.split();
    // The way group 1 leaves group 0: the split direction, flipped when group 0 is the side
    // that moves.
    const auto& root = built.hierarchy.getNode(0);
    EXPECT_FALSE(root.isLeaf());
    const bool groupOneMoves = groupsOfNode(built.hierarchy, root.secondChild)[0] == 1;
    return root.splitDirection | (groupOneMoves ? 0u : Flip);
  };

  EXPECT_EQ(splitWith({}, {}), z) << "unblocked, group 1 lifts off";
  EXPECT_EQ(splitWith({z, x, x | Flip}, {9, 9, 9}) & ~Flip, y) << "blocked, it slides along y";
  // Blocked every way: the soft pass picks the least blocked way out.
  EXPECT_EQ(splitWith({z, x, x | Flip, y, y | Flip}, {9, 7, 7, 3, 5}), y);
  EXPECT_EQ(splitWith({z, x, x | Flip, y, y | Flip}, {9, 2, 7, 3, 5}), x);
}

TEST(koHierarchySplitting, CopyReplaysTheSameSplits) {
  koHandDiagram hand(5);
  hand.contact(0, 1, {Vec(0, 0, -1), Vec(1, 0, 0)});
  hand.contact(1, 2, {Vec(0, 0, -1)});
  hand.contact(2, 3, {Vec(1, 0, 0), Vec(-1, 0, 0)});
  hand.contact(3, 4, {Vec(0, -1, 0)});
  hand.contact(4, 0, {Vec(0, 1, 0), Vec(0, 0, 1)});
  hand.diagram.computeDirectionSet(5.0f);
  Built original(hand);
  original.split();
  Built replay(hand);
  replay.builder.initSolver();
  testing::internal::CaptureStdout();
  replay.builder.copyGroupsHierarchy(original.hierarchy);
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(describe(replay.hierarchy), describe(original.hierarchy));
  for (unsigned int v = 0; v < original.hierarchy.getNoNodes(); ++v) {
    const auto& a = original.hierarchy.getNode(v);
    const auto& b = replay.hierarchy.getNode(v);
    EXPECT_EQ(a.first, b.first);
    EXPECT_EQ(a.noGroups, b.noGroups);
    EXPECT_EQ(a.firstChild, b.firstChild);
    EXPECT_EQ(a.splitDirection, b.splitDirection);
    const auto& ma = original.builder.getNodeMetadata(v);
    const auto& mb = replay.builder.getNodeMetadata(v);
    EXPECT_EQ(ma.firstEdge, mb.firstEdge);
    EXPECT_EQ(ma.noEdges, mb.noEdges);
    EXPECT_EQ(ma.referenceNode, mb.referenceNode);
  }
  EXPECT_EQ(replay.hierarchy.getGroupList(), original.hierarchy.getGroupList());
  EXPECT_EQ(replay.hierarchy.getGroupLeaves(), original.hierarchy.getGroupLeaves());
  for (unsigned int e = 0; e < original.builder.getNoEdges(); ++e)
    EXPECT_EQ(replay.builder.getEdgeData(e).constraint, original.builder.getEdgeData(e).constraint);
}

} // namespace
