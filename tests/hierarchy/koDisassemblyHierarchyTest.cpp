#include "koDisassemblyHierarchy.h"

#include "ko2SATState.h"
#include "koMeshGroups.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Node = koDisassemblyHierarchy::tTreeNode;
constexpr unsigned int None = koDisassemblyHierarchy::None;

koMeshGroups groupsOf(unsigned int n) {
  return koMeshGroups(std::vector<ko::koTriMesh*>(n, nullptr), nullptr);
}

// Splits node v of the hierarchy: its slice keeps `staying` groups in front, the rest move.
std::pair<unsigned int, unsigned int> split(koDisassemblyHierarchy& hierarchy, unsigned int v,
                                            unsigned int staying, unsigned int direction) {
  const Node parent = hierarchy.getNode(v);
  const unsigned int first = hierarchy.requestNewNode({parent.first, staying, None, None, v, None});
  const unsigned int second = hierarchy.requestNewNode(
      {parent.first + staying, parent.noGroups - staying, None, None, v, None});
  Node& node = hierarchy.editNodes()[v];
  node.firstChild = first;
  node.secondChild = second;
  node.splitDirection = direction;
  return {first, second};
}

unsigned int smallestNodeContaining(const koDisassemblyHierarchy& hierarchy,
                                    std::initializer_list<unsigned int> members) {
  ko2SATState set(static_cast<unsigned int>(hierarchy.getGroupList().size()));
  for (unsigned int g : members)
    set.add(g);
  return hierarchy.getSmallestNodeIdContainingSet(set);
}

TEST(koDisassemblyHierarchy, SingleGroupIsOneLeafRoot) {
  const koMeshGroups groups = groupsOf(1);
  koDisassemblyHierarchy hierarchy(groups);
  ASSERT_EQ(hierarchy.getNoNodes(), 1u);
  const Node& root = hierarchy.getNode(0);
  EXPECT_EQ(root.first, 0u);
  EXPECT_EQ(root.noGroups, 1u);
  EXPECT_TRUE(root.isLeaf());
  EXPECT_EQ(root.parent, None);
  EXPECT_EQ(root.splitDirection, None);
  hierarchy.computeHierarchyIndexing(0);
  EXPECT_EQ(smallestNodeContaining(hierarchy, {0}), 0u);
}

TEST(koDisassemblyHierarchy, NodeIdsFollowThePreorderLayout) {
  const koMeshGroups groups = groupsOf(4);
  koDisassemblyHierarchy hierarchy(groups);
  ASSERT_EQ(hierarchy.getNoNodes(), 7u);
  for (unsigned int v = 1; v < 7; ++v)
    EXPECT_EQ(hierarchy.getNode(v).first, None) << "slot " << v << " unused before any split";

  EXPECT_EQ(split(hierarchy, 0, 1, 5), std::make_pair(1u, 2u));
  EXPECT_EQ(split(hierarchy, 2, 2, 6), std::make_pair(3u, 6u));
  EXPECT_EQ(split(hierarchy, 3, 1, 7), std::make_pair(4u, 5u));

  // Slices of children partition their parent's slice, first child in front.
  for (unsigned int v = 0; v < 7; ++v) {
    const Node& node = hierarchy.getNode(v);
    ASSERT_NE(node.first, None) << "slot " << v << " used";
    if (node.isLeaf())
      continue;
    const Node& a = hierarchy.getNode(node.firstChild);
    const Node& b = hierarchy.getNode(node.secondChild);
    EXPECT_EQ(a.first, node.first);
    EXPECT_EQ(b.first, a.first + a.noGroups);
    EXPECT_EQ(a.noGroups + b.noGroups, node.noGroups);
    EXPECT_EQ(a.parent, v);
    EXPECT_EQ(b.parent, v);
  }

  hierarchy.computeHierarchyIndexing(0);
  EXPECT_EQ(hierarchy.getGroupLeaves(), (std::vector<unsigned int>{1, 4, 5, 6}));
  EXPECT_EQ(smallestNodeContaining(hierarchy, {2}), 5u);
  EXPECT_EQ(smallestNodeContaining(hierarchy, {1, 2}), 3u);
  EXPECT_EQ(smallestNodeContaining(hierarchy, {1, 3}), 2u);
  EXPECT_EQ(smallestNodeContaining(hierarchy, {0, 3}), 0u);
}

TEST(koDisassemblyHierarchy, IndexingFollowsAReorderedGroupList) {
  const koMeshGroups groups = groupsOf(5);
  koDisassemblyHierarchy hierarchy(groups);
  // Groups 3 and 1 move away from 4, 0, 2; then 4 moves away from 0, 2.
  hierarchy.editGroupList() = {4, 0, 2, 3, 1};
  const auto [staying, moving] = split(hierarchy, 0, 3, 0);
  const auto [rest, peeled] = split(hierarchy, staying, 2, 1);
  split(hierarchy, rest, 1, 2);
  split(hierarchy, moving, 1, 3);
  (void)peeled;
  hierarchy.computeHierarchyIndexing(0);
  for (unsigned int g = 0; g < 5; ++g) {
    const unsigned int p = hierarchy.getGroupPositions()[g];
    EXPECT_EQ(hierarchy.getGroupList()[p], g);
    const Node& leaf = hierarchy.getNode(hierarchy.getGroupLeaves()[g]);
    EXPECT_TRUE(leaf.isLeaf());
    EXPECT_EQ(leaf.first, p);
    EXPECT_EQ(smallestNodeContaining(hierarchy, {g}),
              hierarchy.getGroupLeaves()[g]);
  }
  EXPECT_EQ(smallestNodeContaining(hierarchy, {3, 1}), moving);
  EXPECT_EQ(smallestNodeContaining(hierarchy, {0, 2, 4}), staying);
}

TEST(koDisassemblyHierarchy, ClearingAndCopyingSubtrees) {
  const koMeshGroups groups = groupsOf(4);
  koDisassemblyHierarchy hierarchy(groups);
  split(hierarchy, 0, 1, 5);
  split(hierarchy, 2, 2, 6);
  split(hierarchy, 3, 1, 7);
  hierarchy.computeHierarchyIndexing(0);

  koDisassemblyHierarchy copy(groups);
  copy.copyFrom(hierarchy);
  EXPECT_EQ(copy.getGroupLeaves(), hierarchy.getGroupLeaves());
  EXPECT_EQ(copy.getGroupList(), hierarchy.getGroupList());

  // A leaf keeps everything.
  const Node leafBefore = hierarchy.getNode(1);
  hierarchy.clearSubHierarchy(1);
  EXPECT_EQ(hierarchy.getNode(1).first, leafBefore.first);
  EXPECT_EQ(hierarchy.getNode(1).parent, 0u);

  // Clearing node 2 unsplits it and empties ids 3..6, leaving node 0 and 1 alone.
  hierarchy.clearSubHierarchy(2);
  const Node& cleared = hierarchy.getNode(2);
  EXPECT_TRUE(cleared.isLeaf());
  EXPECT_EQ(cleared.splitDirection, None);
  EXPECT_EQ(cleared.noGroups, 3u);
  EXPECT_EQ(cleared.parent, 0u);
  for (unsigned int v = 3; v < 7; ++v)
    EXPECT_EQ(hierarchy.getNode(v).noGroups, None);
  EXPECT_EQ(hierarchy.getNode(0).secondChild, 2u);

  // The copy is independent of its source.
  EXPECT_EQ(copy.getNode(2).firstChild, 3u);
  EXPECT_EQ(copy.getNode(3).splitDirection, 7u);
}

} // namespace
