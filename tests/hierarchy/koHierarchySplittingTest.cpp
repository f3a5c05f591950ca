#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "support/koCountingNotifier.h"
#include "support/koHandDiagram.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using Vec = Wm4::Vector3<double>;

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

// The timing lines are always printed, one per thread between the totals; verbose adds the
// nodes being split and the splits whose sides nothing joins. Group 2 touches nothing, so the
// root frees it (or the other two) without cutting a contact, then groups 0 and 1 part.
TEST(koHierarchySplitting, PrintsTimingAndVerboseLines) {
  koHandDiagram hand(3);
  hand.contact(1, 0, {Vec(0, 0, 1)});
  hand.diagram.computeDirectionSet(5.0f);
  Built built(hand, 2);
  built.builder.verbose = true;
  const std::string output = built.split();
  EXPECT_TRUE(std::regex_match(output, std::regex("splitting group: 0\\n"
                                                  "0: disjoint sets spotted\\n"
                                                  "splitting group: [12]\\n"
                                                  "solver time: [0-9.e+-]+ s\\.\\n"
                                                  "t0: [0-9.e+-]+ s\\. for [012]jobs\\n"
                                                  "t1: [0-9.e+-]+ s\\. for [012]jobs\\n"
                                                  "total: [0-9.e+-]+ s\\. for 2\\n")))
      << output;
}

// The notifier opens noGroups - 1 steps and reaches them: one step per split, or all of a node's
// missing splits at once when it stays whole.
TEST(koHierarchySplitting, ProgressReachesItsRange) {
  koHandDiagram hand(3);
  hand.contact(0, 1, {Vec(0, 1, 0)});
  hand.contact(2, 1, {Vec(1, 0, 0)});
  hand.diagram.computeDirectionSet(5.0f);
  Built built(hand);
  koCountingNotifier progress;
  built.split(&progress);
  EXPECT_EQ(progress.lastRange, 2.0);
  EXPECT_EQ(progress.noAdvanceCalls.load(), 2);
  EXPECT_EQ(progress.advancedSteps.load(), 2.0);

  // Group 0 may leave group 1 only along +z, group 1 may leave group 0 only along +x, and group 2
  // is stuck to group 1: no direction frees anything.
  koHandDiagram stuck(3);
  stuck.contact(0, 1, {Vec(0, 0, 1)});
  stuck.contact(1, 0, {Vec(1, 0, 0)});
  stuck.contact(1, 2, {});
  stuck.diagram.computeDirectionSet(5.0f);
  Built whole(stuck);
  koCountingNotifier jump;
  whole.split(&jump);
  EXPECT_TRUE(whole.hierarchy.getNode(0).isLeaf());
  EXPECT_EQ(jump.lastRange, 2.0);
  EXPECT_EQ(jump.noAdvanceCalls.load(), 1);
  EXPECT_EQ(jump.advancedSteps.load(), 2.0);
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

  // The same text means the same node array, since node ids follow from the tree's shape.
  ASSERT_TRUE(isWellFormed(replay.hierarchy));
  EXPECT_EQ(describe(replay.hierarchy), describe(original.hierarchy));
  for (unsigned int v = 0; v < original.hierarchy.getNoNodes(); ++v) {
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
