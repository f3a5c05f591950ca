#include "koMeshGroups.h"

#include <algorithm>

koMeshGroups::koMeshGroups(const std::vector<ko::koTriMesh*>& meshes,
                           const std::vector<unsigned int>* groupIds)
    : meshes(meshes), groupMeshIndices(meshes.size(), 0u) {
  const size_t noMeshes = meshes.size();
  if (groupIds == nullptr) {
    meshGroupIds.resize(noMeshes);
    for (size_t i = 0; i < noMeshes; ++i)
      meshGroupIds[i] = static_cast<unsigned int>(i);
  } else {
    meshGroupIds.assign(groupIds->begin(), groupIds->begin() + noMeshes);
  }
  computeMeshGroups();
}

void koMeshGroups::computeMeshGroups() {
  const size_t noMeshes = meshGroupIds.size();
  const unsigned int top =
      noMeshes == 0 ? 0u : *std::max_element(meshGroupIds.begin(), meshGroupIds.end());
  const size_t noGroups = size_t(top) + 1;

  groupOffsets.assign(noGroups + 1, 0u);
  for (unsigned int group : meshGroupIds)
    ++groupOffsets[group];
  for (size_t g = 1; g <= noGroups; ++g)
    groupOffsets[g] += groupOffsets[g - 1];

  // Each offset now ends its group; walking the meshes backwards fills every group from its end,
  // which leaves the offsets at the group starts and the members in ascending mesh index.
  groupMeshIndices.resize(noMeshes);
  for (size_t i = noMeshes; i-- > 0;) {
    const unsigned int group = meshGroupIds[i];
    groupMeshIndices[--groupOffsets[group]] = static_cast<unsigned int>(i);
  }
}
