#pragma once

#include "koTolvaneLibExport.h"

#include <vector>

namespace ko {
class koTriMesh;
}

// The rigid parts of an assembly: a partition of the host's meshes into groups 0..n-1 that later
// stages move as a whole. Built once, then only read (also concurrently by worker threads); the
// fields are public and their layout is what every later stage reads.
class KOTOLVANE_API koMeshGroups {
public:
  // The caller's meshes in the caller's order; the position is the mesh index. Not owned, no
  // reference taken: the host keeps the meshes alive while any stage uses them.
  std::vector<ko::koTriMesh*> meshes;
  // n + 1 entries: group g owns positions [groupOffsets[g], groupOffsets[g + 1]) of
  // groupMeshIndices. groupOffsets[0] is 0 and groupOffsets[n] the number of meshes.
  std::vector<unsigned int> groupOffsets;
  // One entry per mesh: the mesh indices ordered by group id, ascending within a group.
  std::vector<unsigned int> groupMeshIndices;
  // One entry per mesh: the group id of mesh i at position i.
  std::vector<unsigned int> meshGroupIds;

  // groupIds may be null (every mesh is its own group); otherwise it holds at least one id per
  // mesh, each below 0xFFFFFFFE, and entries beyond the number of meshes are ignored. A group id
  // that no mesh carries makes an empty group.
  koMeshGroups(const std::vector<ko::koTriMesh*>& meshes,
               const std::vector<unsigned int>* groupIds);

  // Rebuilds groupOffsets and groupMeshIndices from meshGroupIds (a counting sort by group id).
  void computeMeshGroups();

  // n: one more than the largest group id, and 1 for an empty mesh list.
  unsigned int getNoGroups() const { return static_cast<unsigned int>(groupOffsets.size()) - 1u; }
  unsigned int getNoMeshes(unsigned int group) const {
    return groupOffsets[group + 1] - groupOffsets[group];
  }
  // The k-th mesh of a group, in ascending mesh index.
  ko::koTriMesh* getMesh(unsigned int group, unsigned int k) const {
    return meshes[groupMeshIndices[groupOffsets[group] + k]];
  }
};
