#include "koContactDiagram.h"

#include "koMeshGroups.h"

koContactDiagram::koContactDiagram(unsigned int, unsigned int expectedEdges,
                                   const koMeshGroups& meshGroups)
    : mMeshGroups(meshGroups), verbose(false), mAngleTolerance(0.0f) {
  mDisassemblyDirections.reserve(expectedEdges);
  mDisassemblyDirectionIds.reserve(expectedEdges);
  mEdges.reserve(expectedEdges);
  mContactPoints.reserve(expectedEdges);
}

void koContactDiagram::pushContactEdge(unsigned int mesh0, unsigned int mesh1,
                                       const Wm4::Vector3<double>* edgeDirections,
                                       unsigned int noDirections,
                                       const Wm4::Vector3<float>& contactPoint) {
  const unsigned int group0 = mMeshGroups.meshGroupIds[mesh0];
  const unsigned int group1 = mMeshGroups.meshGroupIds[mesh1];
  // Meshes of one group move together, so a contact between them constrains nothing.
  if (group0 == group1)
    return;
  mEdges.push_back(tContactEdge{mesh0, mesh1, group0, group1});
  if (noDirections == 0)
    mDisassemblyDirections.emplace_back();
  else
    mDisassemblyDirections.emplace_back(edgeDirections, edgeDirections + noDirections);
  mDisassemblyDirectionIds.emplace_back(noDirections, 0u);
  mContactPoints.push_back(contactPoint);
}
