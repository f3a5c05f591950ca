#pragma once

// Which side of a split moves, as the animation reads it from the explosion diagram.

#include "koDisassemblyHierarchy.h"
#include "koExplosionDiagram.h"

namespace koAnimationSides {

using Split = koExplosionDiagram::tSplitData;
using Node = koDisassemblyHierarchy::tTreeNode;
constexpr unsigned int None = koDisassemblyHierarchy::None;

// groupA widened from its 31-bit field: None when the split has none.
inline unsigned int groupA(const Split& split) {
  return split.groupA == koExplosionDiagram::NoGroupA ? None
                                                      : static_cast<unsigned int>(split.groupA);
}
inline unsigned int movingGroup(const Split& split) {
  return split.moveFirstChild ? groupA(split) : split.groupB;
}
inline unsigned int fixedGroup(const Split& split) {
  return split.moveFirstChild ? split.groupB : groupA(split);
}
inline unsigned int movingChild(const Node& node, const Split& split) {
  return split.moveFirstChild ? node.firstChild : node.secondChild;
}
inline unsigned int fixedChild(const Node& node, const Split& split) {
  return split.moveFirstChild ? node.secondChild : node.firstChild;
}

// A slot that holds a split (unused slots are None in every field, so they read as leaves).
inline bool isSplit(const Node& node) { return !node.isLeaf(); }
// A slot that holds a leaf with at least one group.
inline bool isUsedLeaf(const Node& node) {
  return node.isLeaf() && node.first != None && node.noGroups != None && node.noGroups > 0;
}

} // namespace koAnimationSides
