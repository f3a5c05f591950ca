#include "koDisassemblyHierarchy.h"

#include "ko2SATState.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace {
constexpr unsigned int None = koDisassemblyHierarchy::None;
constexpr koDisassemblyHierarchy::tTreeNode kUnusedNode{None, None, None, None, None, None};
} // namespace

koDisassemblyHierarchy::koDisassemblyHierarchy(const koMeshGroups& meshGroups)
    : mMeshGroups(&meshGroups) {
  const unsigned int n = meshGroups.getNoGroups();
  mNodes.assign(2 * size_t(n) - 1, tTreeNode{0, 0, 0, 0, 0, 0});
  mGroupList.resize(n);
  std::iota(mGroupList.begin(), mGroupList.end(), 0u);
  mGroupPositions = mGroupList;
  mGroupLeaves.assign(n, 0u);
  mNodes[0] = tTreeNode{0, n, None, None, None, None};
  clearSubHierarchy(0);
}

unsigned int koDisassemblyHierarchy::requestNewNode(const tTreeNode& node) {
  const tTreeNode& parent = mNodes[node.parent];
  const unsigned int id = node.first == parent.first
                              ? node.parent + 1
                              : node.parent + 2 * (parent.noGroups - node.noGroups);
  assert(id < mNodes.size());
  mNodes[id] = node;
  return id;
}

void koDisassemblyHierarchy::clearSubHierarchy(unsigned int v) {
  tTreeNode& node = mNodes[v];
  node.firstChild = None;
  node.secondChild = None;
  node.splitDirection = None;
  const size_t end = v + 2 * size_t(node.noGroups) - 1;
  std::fill(mNodes.begin() + v + 1, mNodes.begin() + end, kUnusedNode);
}

void koDisassemblyHierarchy::computeHierarchyIndexing(unsigned int v) {
  // Recurse into first children, iterate along second children: the depth of the recursion is
  // the number of first-child steps only.
  while (v != None) {
    const tTreeNode& node = mNodes[v];
    if (node.isLeaf()) {
      for (unsigned int p = node.first; p < node.first + node.noGroups; ++p) {
        const unsigned int group = mGroupList[p];
        mGroupLeaves[group] = v;
        mGroupPositions[group] = p;
      }
      return;
    }
    computeHierarchyIndexing(node.firstChild);
    v = node.secondChild;
  }
}

unsigned int koDisassemblyHierarchy::getSmallestNodeIdContainingSet(const ko2SATState& groups) const {
  unsigned int lo = None, hi = 0;
  groups.forEachMember([&](unsigned int g) {
    lo = std::min(lo, mGroupPositions[g]);
    hi = std::max(hi, mGroupPositions[g]);
  });
  unsigned int v = 0;
  for (;;) {
    const tTreeNode& node = mNodes[v];
    if (node.isLeaf())
      return v;
    const unsigned int secondStart = mNodes[node.secondChild].first;
    if (secondStart > hi)
      v = node.firstChild;
    else if (secondStart > lo)
      return v;
    else
      v = node.secondChild;
  }
}

void koDisassemblyHierarchy::copyFrom(const koDisassemblyHierarchy& other) {
  mNodes = other.mNodes;
  mGroupList = other.mGroupList;
  mGroupPositions = other.mGroupPositions;
  mGroupLeaves = other.mGroupLeaves;
}
