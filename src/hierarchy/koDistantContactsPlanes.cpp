// Extents of every mesh along and across every direction of the set, and how far touching meshes
// must travel to leave each other.

#include "koDistantContacts.h"

#include "hierarchy/koDistantContactsJob.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"

#include <ko/koBBox.h>
#include <ko/koTriMesh.h>

#include <algorithm>
#include <cmath>

void koDistantContacts::computeBoundingPlanes() {
  const size_t noMeshes = mMeshGroups.meshes.size();
  const unsigned int D = mNoDirections;
  std::vector<Wm4::Vector3<float>> directions(D), u(D), v(D);
  for (unsigned int k = 0; k < D; ++k) {
    const Wm4::Vector3<double>& d = mDiagram.getDirectionFromId(k);
    directions[k] = Wm4::Vector3<float>(float(d.X()), float(d.Y()), float(d.Z()));
    crossAxes(directions[k], u[k], v[k]);
  }

  const tBoundingPlanes empty{INFINITY, -INFINITY, {INFINITY, INFINITY}, {-INFINITY, -INFINITY},
                              {-1.0f, -1.0f}};
  mBoundingPlanes.assign(noMeshes * D, empty);
  koBBox scene;
  for (size_t m = 0; m < noMeshes; ++m) {
    const ko::koVertexBuffer& vertices = *mWorldMeshes[m]->VBuffer;
    for (int i = 0; i < vertices.GetVertexQuantity(); ++i) {
      const Wm4::Vector3<float>& p = vertices.Position3(i);
      scene.grow(p);
      for (unsigned int k = 0; k < D; ++k) {
        tBoundingPlanes& planes = mBoundingPlanes[m * D + k];
        const float along = p.Dot(directions[k]);
        const float across[2] = {p.Dot(v[k]), p.Dot(u[k])};
        planes.dMin = std::min(planes.dMin, along);
        planes.dMax = std::max(planes.dMax, along);
        for (int a = 0; a < 2; ++a) {
          planes.crossMin[a] = std::min(planes.crossMin[a], across[a]);
          planes.crossMax[a] = std::max(planes.crossMax[a], across[a]);
        }
      }
    }
  }
  const Wm4::Vector3<float> diagonal = scene.max - scene.min;
  mSceneDiagonal = scene.isEmpty() ? INFINITY : std::sqrt(diagonal.SquaredLength());

  // Touching meshes that part along a direction must first travel past each other's interval.
  for (unsigned int e = 0; e < mBuilder.getNoEdges(); ++e) {
    const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = mBuilder.getEdgeData(e);
    if (edge.distant || edge.entries.empty() || mMeshGroups.getNoMeshes(edge.group0) == 0 ||
        mMeshGroups.getNoMeshes(edge.group1) == 0)
      continue;
    for (unsigned int entry : edge.entries) {
      const unsigned int k = entry & ~koDisassemblyHierarchyBuilder::msOppositeFlag;
      for (unsigned int a = 0; a < mMeshGroups.getNoMeshes(edge.group0); ++a)
        for (unsigned int b = 0; b < mMeshGroups.getNoMeshes(edge.group1); ++b) {
          const unsigned int i = meshOfGroup(mMeshGroups, edge.group0, a);
          const unsigned int j = meshOfGroup(mMeshGroups, edge.group1, b);
          tBoundingPlanes& pi = mBoundingPlanes[i * D + k];
          tBoundingPlanes& pj = mBoundingPlanes[j * D + k];
          pi.clearance[0] = std::max(pi.clearance[0], pj.dMax - pi.dMin);
          pi.clearance[1] = std::max(pi.clearance[1], pi.dMax - pj.dMin);
          pj.clearance[0] = std::max(pj.clearance[0], pi.dMax - pj.dMin);
          pj.clearance[1] = std::max(pj.clearance[1], pj.dMax - pi.dMin);
        }
    }
  }
}
