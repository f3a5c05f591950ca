#pragma once

#include "koTolvaneLibExport.h"

#include <vector>

class koMeshGroups;
class ko2SATState;

// The disassembly plan: a binary tree of splits over the n groups of an assembly, in a fixed
// array of 2n - 1 nodes. Every node owns a contiguous slice of one group list; a split node's
// first child holds the front of its slice and stays, its second child holds the rest and moves
// along the split direction. Node ids follow a preorder layout: the subtree of node v occupies
// ids v .. v + 2 * noGroups(v) - 2, its first child is v + 1 and its second child is
// v + 2 * noGroups(first child). Written by the hierarchy builder, read by the later stages.
class KOTOLVANE_API koDisassemblyHierarchy {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;  // no node, no group, no direction

  // A node of the tree; slots not in use hold None in every field.
  struct tTreeNode {
    unsigned int first;           // position of the node's first group in the group list
    unsigned int noGroups;        // size of its slice, at least 1
    unsigned int firstChild;      // the child holding the front of the slice; None for a leaf
    unsigned int secondChild;     // the child holding the rest; None for a leaf
    unsigned int parent;          // None for the root
    unsigned int splitDirection;  // direction set index the second child moves along; None if unsplit

    bool isLeaf() const { return firstChild == None; }
  };

  // A root (node 0) holding every group in ascending id, not yet split.
  explicit koDisassemblyHierarchy(const koMeshGroups& meshGroups);

  // Stores a child of node.parent at the id the layout gives it and returns that id: right after
  // the parent when it starts the parent's slice, else after the first child's subtree.
  unsigned int requestNewNode(const tTreeNode& node);
  // Unsplits node v (it keeps its slice and parent) and empties every slot of its subtree.
  void clearSubHierarchy(unsigned int v);
  // Refreshes the group positions and group leaves of the groups under node v (None: nothing).
  void computeHierarchyIndexing(unsigned int v);
  // The deepest node whose slice holds every member of the set (the set must not be empty and
  // the positions of its members must be current).
  unsigned int getSmallestNodeIdContainingSet(const ko2SATState& groups) const;
  // Copies the tree, the group list, the positions and the leaves of a hierarchy over the same
  // mesh groups.
  void copyFrom(const koDisassemblyHierarchy& other);

  const koMeshGroups& getMeshGroups() const { return *mMeshGroups; }
  const std::vector<tTreeNode>& getNodes() const { return mNodes; }
  const tTreeNode& getNode(unsigned int id) const { return mNodes[id]; }
  unsigned int getNoNodes() const { return static_cast<unsigned int>(mNodes.size()); }
  // Position -> group id; every node's groups are one slice of it.
  const std::vector<unsigned int>& getGroupList() const { return mGroupList; }
  // Group id -> position in the group list (the inverse of the group list).
  const std::vector<unsigned int>& getGroupPositions() const { return mGroupPositions; }
  // Group id -> the leaf holding it, as of the last computeHierarchyIndexing.
  const std::vector<unsigned int>& getGroupLeaves() const { return mGroupLeaves; }

  // Writers (the hierarchy builder) reorder slices and edit nodes in place.
  std::vector<tTreeNode>& editNodes() { return mNodes; }
  std::vector<unsigned int>& editGroupList() { return mGroupList; }
  std::vector<unsigned int>& editGroupPositions() { return mGroupPositions; }

private:
  const koMeshGroups* mMeshGroups;
  std::vector<tTreeNode> mNodes;
  std::vector<unsigned int> mGroupList;
  std::vector<unsigned int> mGroupPositions;
  std::vector<unsigned int> mGroupLeaves;
};
