// Hand-built trees: the node ids of the preorder layout, clearing a subtree and copying a tree.
// Planned trees and the set queries are checked on random assemblies by the oracle test.

#include "koDisassemblyHierarchy.h"
#include "koMeshGroups.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned int None = koDisassemblyHierarchy::None;

// Splits node v: the first `staying` groups of its slice stay, the rest move along `direction`.
// Returns the ids of the two children.
std::pair<unsigned int, unsigned int> split(koDisassemblyHierarchy& hierarchy, unsigned int v,
                                            unsigned int staying, unsigned int direction) {
  const koDisassemblyHierarchy::tTreeNode parent = hierarchy.getNode(v);
  const unsigned int first = hierarchy.requestNewNode({parent.first, staying, None, None, v, None});
  const unsigned int second = hierarchy.requestNewNode(
      {parent.first + staying, parent.noGroups - staying, None, None, v, None});
  hierarchy.editNodes()[v] = {parent.first, parent.noGroups, first, second, parent.parent,
                              direction};
  return {first, second};
}

TEST(koDisassemblyHierarchy, PreorderIdsClearingAndCopying) {
  const koMeshGroups one(std::vector<ko::koTriMesh*>(1, nullptr), nullptr);
  EXPECT_TRUE(isWellFormed(koDisassemblyHierarchy(one)));  // a single node: the root, a leaf

  // Four groups split 1 + 3, then 2 + 1, then 1 + 1: every id 0..6 is used once.
  const koMeshGroups groups(std::vector<ko::koTriMesh*>(4, nullptr), nullptr);
  koDisassemblyHierarchy hierarchy(groups);
  EXPECT_EQ(split(hierarchy, 0, 1, 5), std::make_pair(1u, 2u));
  EXPECT_EQ(split(hierarchy, 2, 2, 6), std::make_pair(3u, 6u));
  EXPECT_EQ(split(hierarchy, 3, 1, 7), std::make_pair(4u, 5u));
  hierarchy.computeHierarchyIndexing(0);
  EXPECT_TRUE(isWellFormed(hierarchy));
  EXPECT_EQ(hierarchy.getGroupLeaves(), (std::vector<unsigned int>{1, 4, 5, 6}));
  const std::string whole = "(0 | ((1 | 2 @7) | 3 @6) @5)";
  ASSERT_EQ(describe(hierarchy), whole);

  koDisassemblyHierarchy copy(groups);
  copy.copyFrom(hierarchy);
  hierarchy.clearSubHierarchy(1);  // a leaf: nothing changes
  EXPECT_EQ(describe(hierarchy), whole);
  // Node 2 becomes a leaf of three groups and ids 3..6 empty slots (which isWellFormed checks).
  hierarchy.clearSubHierarchy(2);
  hierarchy.computeHierarchyIndexing(0);
  EXPECT_TRUE(isWellFormed(hierarchy));
  EXPECT_EQ(describe(hierarchy), "(0 | 1,2,3 @5)");
  EXPECT_EQ(describe(copy), whole);
}

} // namespace
