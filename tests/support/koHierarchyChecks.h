#pragma once

#include "koBoxAssembly.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// Properties every finished hierarchy must have, checked from the outside.

// The groups of a node's slice, in slice order.
std::vector<unsigned int> groupsOfNode(const koDisassemblyHierarchy& hierarchy, unsigned int node);

// The two sides of a split node: the first child's groups stay, the second child's move.
struct koSplitSides {
  koSplitSides(const koDisassemblyHierarchy& hierarchy, unsigned int node)
      : staying(groupsOfNode(hierarchy, hierarchy.getNode(node).firstChild)),
        moving(groupsOfNode(hierarchy, hierarchy.getNode(node).secondChild)) {}
  bool stays(unsigned int g) const { return std::count(staying.begin(), staying.end(), g) != 0; }
  bool moves(unsigned int g) const { return std::count(moving.begin(), moving.end(), g) != 0; }
  // Whether the split separates two groups.
  bool cuts(unsigned int a, unsigned int b) const {
    return (stays(a) && moves(b)) || (moves(a) && stays(b));
  }

  std::vector<unsigned int> staying, moving;
};

// Node ids follow the preorder layout, children partition their parent's slice (first child in
// front, both non-empty), unused slots are empty, the group list and positions are inverse
// permutations and every group's leaf holds it.
testing::AssertionResult isWellFormed(const koDisassemblyHierarchy& hierarchy);

// Every contact edge that a split cuts lists the split direction in the sense that lets the
// moving side go: the direction itself when group0 moves, its opposite when group1 moves.
testing::AssertionResult splitsRespectContacts(const koDisassemblyHierarchyBuilder& builder);

// Geometric check on a box assembly, independent of the contact diagram: along every split
// direction (axis-aligned for box assemblies), no box of the moving side runs into a box of the
// staying side of the same node.
testing::AssertionResult splitsAreCollisionFree(const koBoxAssembly& assembly,
                                                const koDisassemblyHierarchyBuilder& builder);

// The tree as nested text: "(stay | move @k)" with groups as numbers; for failure messages and
// for comparing two hierarchies.
std::string describe(const koDisassemblyHierarchy& hierarchy, unsigned int node = 0);
