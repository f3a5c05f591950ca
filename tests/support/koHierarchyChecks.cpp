#include "support/koHierarchyChecks.h"

#include "ko2SATState.h"
#include "koContactDiagram.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {
constexpr unsigned int None = koDisassemblyHierarchy::None;
}

std::vector<unsigned int> groupsOfNode(const koDisassemblyHierarchy& hierarchy, unsigned int node) {
  const auto& tree = hierarchy.getNode(node);
  const auto& list = hierarchy.getGroupList();
  return std::vector<unsigned int>(list.begin() + tree.first,
                                   list.begin() + tree.first + tree.noGroups);
}

testing::AssertionResult isWellFormed(const koDisassemblyHierarchy& hierarchy) {
  const unsigned int n = static_cast<unsigned int>(hierarchy.getGroupList().size());
  if (hierarchy.getNoNodes() != 2 * n - 1)
    return testing::AssertionFailure() << "node count " << hierarchy.getNoNodes();
  for (unsigned int g = 0; g < n; ++g) {
    const unsigned int p = hierarchy.getGroupPositions()[g];
    if (p >= n || hierarchy.getGroupList()[p] != g)
      return testing::AssertionFailure() << "group list and positions disagree on group " << g;
    const auto& leaf = hierarchy.getNode(hierarchy.getGroupLeaves()[g]);
    if (!leaf.isLeaf() || p < leaf.first || p >= leaf.first + leaf.noGroups)
      return testing::AssertionFailure() << "the leaf of group " << g << " does not hold it";
  }
  std::vector<bool> used(hierarchy.getNoNodes(), false);
  std::vector<unsigned int> pending{0};
  const auto& root = hierarchy.getNode(0);
  if (root.first != 0 || root.noGroups != n || root.parent != None)
    return testing::AssertionFailure() << "root does not hold every group";
  while (!pending.empty()) {
    const unsigned int v = pending.back();
    pending.pop_back();
    used[v] = true;
    const auto& node = hierarchy.getNode(v);
    if (node.isLeaf()) {
      if (node.secondChild != None || node.splitDirection != None)
        return testing::AssertionFailure() << "leaf " << v << " has a split";
      continue;
    }
    const auto& a = hierarchy.getNode(node.firstChild);
    const auto& b = hierarchy.getNode(node.secondChild);
    if (node.firstChild != v + 1 || node.secondChild != v + 2 * a.noGroups)
      return testing::AssertionFailure() << "children of " << v << " break the preorder layout";
    if (a.parent != v || b.parent != v || a.noGroups == 0 || b.noGroups == 0 ||
        a.first != node.first || b.first != a.first + a.noGroups ||
        a.noGroups + b.noGroups != node.noGroups)
      return testing::AssertionFailure() << "children of " << v << " do not partition it";
    pending.push_back(node.firstChild);
    pending.push_back(node.secondChild);
  }
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v)
    if (!used[v] && hierarchy.getNode(v).noGroups != None)
      return testing::AssertionFailure() << "slot " << v << " is not in the tree but not empty";
  return testing::AssertionSuccess();
}

testing::AssertionResult splitsRespectContacts(const koDisassemblyHierarchyBuilder& builder) {
  const koDisassemblyHierarchy& hierarchy = builder.getHierarchy();
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (node.noGroups == None || node.isLeaf())
      continue;
    const koSplitSides sides(hierarchy, v);
    for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
      const auto& edge = builder.getEdgeData(e);
      if (edge.distant || !sides.cuts(edge.group0, edge.group1))
        continue;
      const unsigned int needed =
          node.splitDirection |
          (sides.moves(edge.group0) ? 0u : koDisassemblyHierarchyBuilder::msOppositeFlag);
      if (std::find(edge.entries.begin(), edge.entries.end(), needed) == edge.entries.end())
        return testing::AssertionFailure()
               << "split of node " << v << " along " << node.splitDirection << " cuts the contact "
               << edge.group0 << "-" << edge.group1 << " against its directions";
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult splitsAreCollisionFree(const koBoxAssembly& assembly,
                                                const koDisassemblyHierarchyBuilder& builder) {
  const koDisassemblyHierarchy& hierarchy = builder.getHierarchy();
  const auto& boxes = assembly.boxes();
  const float eps = 1e-4f;
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (node.noGroups == None || node.isLeaf())
      continue;
    const koSplitSides sides(hierarchy, v);
    const Wm4::Vector3<double>& d =
        builder.getContactDiagram().getDirectionFromId(node.splitDirection);
    int axis = 0;
    for (int i = 1; i < 3; ++i)
      if (std::fabs(d[i]) > std::fabs(d[axis]))
        axis = i;
    if (std::fabs(std::fabs(d[axis]) - 1.0) > 1e-6)
      return testing::AssertionFailure() << "node " << v << " splits along a skew direction";
    const bool positive = d[axis] > 0.0;
    const int u = (axis + 1) % 3, w = (axis + 2) % 3;
    for (const auto& m : boxes) {
      if (!sides.moves(m.part))
        continue;
      for (const auto& s : boxes) {
        if (!sides.stays(s.part))
          continue;
        const bool overlapU = std::min(m.maxCorner[u], s.maxCorner[u]) -
                                  std::max(m.minCorner[u], s.minCorner[u]) > eps;
        const bool overlapW = std::min(m.maxCorner[w], s.maxCorner[w]) -
                                  std::max(m.minCorner[w], s.minCorner[w]) > eps;
        const bool ahead = positive ? s.maxCorner[axis] > m.minCorner[axis] + eps
                                    : s.minCorner[axis] < m.maxCorner[axis] - eps;
        if (overlapU && overlapW && ahead)
          return testing::AssertionFailure() << "node " << v << ": " << m.name
                                             << " runs into " << s.name;
      }
    }
  }
  return testing::AssertionSuccess();
}

bool leavesAreSingleGroups(const koDisassemblyHierarchy& hierarchy) {
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (node.noGroups != None && node.isLeaf() && node.noGroups != 1)
      return false;
  }
  return true;
}

std::string describe(const koDisassemblyHierarchy& hierarchy, unsigned int node) {
  const auto& tree = hierarchy.getNode(node);
  std::ostringstream text;
  if (tree.isLeaf()) {
    const auto groups = groupsOfNode(hierarchy, node);
    for (size_t i = 0; i < groups.size(); ++i)
      text << (i ? "," : "") << groups[i];
    return text.str();
  }
  text << "(" << describe(hierarchy, tree.firstChild) << " | "
       << describe(hierarchy, tree.secondChild) << " @" << tree.splitDirection << ")";
  return text.str();
}
