#include "support/koHierarchyChecks.h"

#include "koContactDiagram.h"

#include <cmath>

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
  const auto& root = hierarchy.getNode(0);
  if (hierarchy.getNoNodes() != 2 * n - 1 || root.first != 0 || root.noGroups != n ||
      root.parent != None)
    return testing::AssertionFailure() << "the root does not hold the " << n << " groups";
  for (unsigned int g = 0; g < n; ++g) {
    const unsigned int p = hierarchy.getGroupPositions()[g];
    if (p >= n || hierarchy.getGroupList()[p] != g)
      return testing::AssertionFailure() << "group list and positions disagree on group " << g;
    const auto& leaf = hierarchy.getNode(hierarchy.getGroupLeaves()[g]);
    if (!leaf.isLeaf() || p < leaf.first || p >= leaf.first + leaf.noGroups)
      return testing::AssertionFailure() << "the leaf of group " << g << " does not hold it";
  }
  // Children have larger ids than their parent, so one ascending pass reaches every used slot.
  std::vector<bool> used(hierarchy.getNoNodes(), false);
  used[0] = true;
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (!used[v]) {
      if (node.noGroups != None)
        return testing::AssertionFailure() << "slot " << v << " is not in the tree but not empty";
      continue;
    }
    if (node.isLeaf()) {
      if (node.secondChild != None || node.splitDirection != None)
        return testing::AssertionFailure() << "leaf " << v << " has a split";
      continue;
    }
    const auto& a = hierarchy.getNode(node.firstChild);
    const auto& b = hierarchy.getNode(node.secondChild);
    if (node.firstChild != v + 1 || node.secondChild != v + 2 * a.noGroups || a.parent != v ||
        b.parent != v || a.noGroups == 0 || b.noGroups == 0 || a.first != node.first ||
        b.first != a.first + a.noGroups || a.noGroups + b.noGroups != node.noGroups)
      return testing::AssertionFailure()
             << "children of " << v << " break the preorder layout or do not partition it";
    used[node.firstChild] = used[node.secondChild] = true;
  }
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
      const unsigned int needed =
          node.splitDirection |
          (sides.moves(edge.group0) ? 0u : koDisassemblyHierarchyBuilder::msOppositeFlag);
      if (!edge.distant && sides.cuts(edge.group0, edge.group1) &&
          std::find(edge.entries.begin(), edge.entries.end(), needed) == edge.entries.end())
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
  const float eps = 1e-4f;
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const auto& node = hierarchy.getNode(v);
    if (node.noGroups == None || node.isLeaf())
      continue;
    const koSplitSides sides(hierarchy, v);
    const auto& d = builder.getContactDiagram().getDirectionFromId(node.splitDirection);
    int axis = 0;
    for (int i = 1; i < 3; ++i)
      axis = std::fabs(d[i]) > std::fabs(d[axis]) ? i : axis;
    if (std::fabs(std::fabs(d[axis]) - 1.0) > 1e-6)
      return testing::AssertionFailure() << "node " << v << " splits along a skew direction";
    const int u = (axis + 1) % 3, w = (axis + 2) % 3;
    for (const auto& m : assembly.boxes())
      for (const auto& s : assembly.boxes()) {
        const auto overlap = [&](int i) {
          return std::min(m.maxCorner[i], s.maxCorner[i]) -
                     std::max(m.minCorner[i], s.minCorner[i]) > eps;
        };
        const bool ahead = d[axis] > 0.0 ? s.maxCorner[axis] > m.minCorner[axis] + eps
                                         : s.minCorner[axis] < m.maxCorner[axis] - eps;
        if (sides.moves(m.part) && sides.stays(s.part) && overlap(u) && overlap(w) && ahead)
          return testing::AssertionFailure() << "node " << v << ": " << m.name << " runs into "
                                             << s.name;
      }
  }
  return testing::AssertionSuccess();
}

std::string describe(const koDisassemblyHierarchy& hierarchy, unsigned int node) {
  const auto& tree = hierarchy.getNode(node);
  if (!tree.isLeaf())
    return "(" + describe(hierarchy, tree.firstChild) + " | " +
           describe(hierarchy, tree.secondChild) + " @" + std::to_string(tree.splitDirection) + ")";
  std::string text;
  for (unsigned int g : groupsOfNode(hierarchy, node))
    text += (text.empty() ? "" : ",") + std::to_string(g);
  return text;
}
