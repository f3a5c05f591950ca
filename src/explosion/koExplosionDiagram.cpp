// Set-up of the explosion diagram: reference groups, bounding prisms, the orientation of the moving
// sides over the clusters, and the axis segments.

#include "koExplosionDiagram.h"

#include "explosion/koExplosionDiagramTools.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"

#include <ko/koTriMesh.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <set>

using koExplosionTools::isInUse;
using koExplosionTools::rangeEnd;

koExplosionDiagram::koExplosionDiagram(const koDisassemblyHierarchyBuilder& builder)
    : hierarchy(builder.getHierarchy()), builder(builder),
      contactDiagram(builder.getContactDiagram()), meshGroups(builder.getMeshGroups()), gap(1.0f),
      groupSet(builder.getMeshGroups().getNoGroups()),
      referenceGroups(builder.getMeshGroups().getNoGroups(), 0u),
      finalPerGroupTranslations(builder.getMeshGroups().getNoGroups(),
                                Wm4::Vector3<float>(0.0f, 0.0f, 0.0f)),
      groupMinSplitDistances(builder.getMeshGroups().getNoGroups(), 0.0f) {
  splitData.reserve(hierarchy.getNoNodes());
  perSplitTranslations.reserve(hierarchy.getNoNodes());
}

void koExplosionDiagram::computeReferenceGroups() {
  referenceGroups.resize(meshGroups.getNoGroups(), 0u);
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  for (const koDisassemblyHierarchy::tTreeNode& node : hierarchy.getNodes()) {
    if (!isInUse(node) || !node.isLeaf() || node.noGroups == 0)
      continue;
    const unsigned int reference = groupList[node.first];
    for (unsigned int p = node.first; p < rangeEnd(node); ++p)
      referenceGroups[groupList[p]] = reference;
  }
}

void koExplosionDiagram::computeBoundingPrisms(std::vector<tOrthogonalDirectionSet>& sets,
                                               std::vector<tBoundingPlanesMinMax>& planes) const {
  const unsigned int noDirections = contactDiagram.getNoDirections();
  if (noDirections == 0)
    return;
  const unsigned int noGroups = meshGroups.getNoGroups();
  sets.resize(noDirections);
  planes.assign(size_t(noGroups) * noDirections, tBoundingPlanesMinMax());

  // The float constants of cos and sin at 45, 90 and 135 degrees, as the lateral vectors
  // cos(phi) * w + sin(phi) * u are defined with them.
  constexpr float kCos45 = 0.70710677f;  // also sin 45 and sin 135 degrees, and -cos 135
  constexpr float kCos90 = -4.371139e-8f;  // the float cosine of the float pi / 2
  for (unsigned int d = 0; d < noDirections; ++d) {
    const Wm4::Vector3<double>& source = contactDiagram.getDirectionFromId(d);
    const Wm4::Vector3<float> v(static_cast<float>(source.X()), static_cast<float>(source.Y()),
                                static_cast<float>(source.Z()));
    // Any axis not parallel to v gives a perpendicular; pick the one furthest from it in x/y.
    const Wm4::Vector3<float> e = std::fabs(v.X()) > std::fabs(v.Y())
                                      ? Wm4::Vector3<float>(0.0f, 1.0f, 0.0f)
                                      : Wm4::Vector3<float>(1.0f, 0.0f, 0.0f);
    Wm4::Vector3<float> u = v.Cross(e);
    const float length = u.Length();
    const float inverse = 1.0f / length;
    if (length == 0.0f || !std::isfinite(inverse))
      u = Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
    else
      u *= inverse;
    const Wm4::Vector3<float> w = u.Cross(v);

    tOrthogonalDirectionSet& set = sets[d];
    set.directions[0] = v;
    set.directions[1] = w;
    set.directions[2] = kCos45 * (u + w);
    set.directions[3] = u + kCos90 * w;
    set.directions[4] = kCos45 * (u - w);
  }

  for (unsigned int g = 0; g < noGroups; ++g) {
    tBoundingPlanesMinMax* groupPlanes = &planes[size_t(g) * noDirections];
    for (unsigned int m = meshGroups.groupOffsets[g]; m < meshGroups.groupOffsets[g + 1]; ++m) {
      const ko::koTriMesh* mesh = meshGroups.meshes[meshGroups.groupMeshIndices[m]];
      if (mesh == nullptr || mesh->VBuffer == nullptr)
        continue;
      const ko::koVertexBuffer& vertices = *mesh->VBuffer;
      for (int i = 0; i < vertices.GetVertexQuantity(); ++i) {
        const Wm4::Vector3<float>& position = vertices.Position3(i);
        for (unsigned int d = 0; d < noDirections; ++d) {
          for (int k = 0; k < 5; ++k) {
            const float projection = position.Dot(sets[d].directions[k]);
            tBoundingPlanesMinMax::tMinMax& pair = groupPlanes[d].pairs[k];
            pair.min = std::min(pair.min, projection);
            pair.max = std::max(pair.max, projection);
          }
        }
      }
    }
  }
}

void koExplosionDiagram::computePerSplitMovingChild() {
  // A graph over the clusters (their reference groups) whose edges are the valid splits. A
  // breadth-first walk moves every cluster it reaches by the split through which it got there,
  // so that a cluster is moved by one split only wherever the splits form a tree.
  const unsigned int noGroups = meshGroups.getNoGroups();
  std::vector<std::vector<unsigned int>> adjacency(noGroups);
  std::set<unsigned int> pending;
  for (unsigned int s = 0; s < splitData.size(); ++s) {
    if (!splitData[s].isValid())
      continue;
    adjacency[referenceGroups[splitData[s].groupA]].push_back(s);
    adjacency[referenceGroups[splitData[s].groupB]].push_back(s);
    pending.insert(s);
  }

  std::vector<char> visited(noGroups, 0);
  std::deque<unsigned int> queue;
  while (!pending.empty()) {
    queue.push_back(*pending.begin());
    pending.erase(pending.begin());
    while (!queue.empty()) {
      tSplitData& split = splitData[queue.front()];
      queue.pop_front();
      const unsigned int referenceA = referenceGroups[split.groupA];
      const unsigned int referenceB = referenceGroups[split.groupB];
      unsigned int moving = split.moveFirstChild ? referenceA : referenceB;
      if (visited[moving]) {
        moving = split.moveFirstChild ? referenceB : referenceA;
        split.moveFirstChild = split.moveFirstChild ? 0u : 1u;
      }
      visited[moving] = 1;
      for (unsigned int next : adjacency[moving]) {
        if (pending.erase(next) != 0)
          queue.push_back(next);
      }
    }
  }
}

void koExplosionDiagram::bakeAxes() {
  const std::vector<koDisassemblyHierarchy::tTreeNode>& nodes = hierarchy.getNodes();
  const size_t noSplits = static_cast<size_t>(
      std::count_if(nodes.begin(), nodes.end(), [](const koDisassemblyHierarchy::tTreeNode& node) {
        return isInUse(node) && !node.isLeaf();
      }));
  axes.clear();
  axes.reserve(noSplits);
  const Wm4::Vector3<float> zero(0.0f, 0.0f, 0.0f);
  for (unsigned int v = 0; v < nodes.size(); ++v) {
    if (!isInUse(nodes[v]) || nodes[v].isLeaf())
      continue;
    const tSplitData& split = splitData[v];
    tAxis axis;
    axis.groupA = split.groupA;
    axis.groupB = split.groupB;
    axis.start = split.anchor + (axis.groupA != NoGroupA ? finalPerGroupTranslations[axis.groupA]
                                                         : zero);
    axis.end = split.anchor + (axis.groupB != None ? finalPerGroupTranslations[axis.groupB] : zero);
    axes.push_back(axis);
  }
}
