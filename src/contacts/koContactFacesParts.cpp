#include "koContactFaces.h"

#include "contacts/koContactGeometry.h"
#include "koMeshAndBVH.h"

#include <ko/koGenericBVH.h>
#include <ko/koLinearGenericBVHBuilder.h>

#include <algorithm>
#include <utility>

using koContactGeometry::boxDistance;

namespace {

// Morton grid bits per axis for the hierarchy over the parts of an assembly.
constexpr unsigned int kPartsBVHGridBits = 10;

typedef std::pair<unsigned int, unsigned int> tPartPair;

bool hasTriangles(const koMeshAndBVH& part) { return !part.bvh->nodes.empty(); }

const koBBox& rootBox(const koMeshAndBVH& part) { return part.bvh->nodes[0].box; }

// The pairs of parts whose root boxes are closer than threshold, each once, sorted. Parts
// without triangles take no part.
std::vector<tPartPair> findNearParts(const std::vector<koMeshAndBVH>& parts, float threshold) {
  const unsigned int noParts = static_cast<unsigned int>(parts.size());
  koLinearGenericBVHBuilder builder;
  builder.setup(noParts);
  std::vector<unsigned char> withTriangles(noParts);
  for (unsigned int i = 0; i < noParts; ++i) {
    withTriangles[i] = hasTriangles(parts[i]);
    builder.setPrimitive(i, withTriangles[i] ? rootBox(parts[i]) : koBBox(), i);
  }
  koGenericBVH hierarchy;
  builder.build(hierarchy, &withTriangles, kPartsBVHGridBits);
  builder.releasePrimitives();

  std::vector<tPartPair> pairs;
  std::vector<unsigned int> stack;
  for (unsigned int i = 0; i < noParts && !hierarchy.nodes.empty(); ++i) {
    if (!withTriangles[i])
      continue;
    const koBBox& box = rootBox(parts[i]);
    stack.assign(1, 0);
    while (!stack.empty()) {
      const koGenericBVH::tNode& node = hierarchy.nodes[stack.back()];
      stack.pop_back();
      if (!(boxDistance(node.box, box) < threshold))
        continue;
      if (!node.isLeaf()) {
        // Right pushed first so that the left child is visited first.
        stack.push_back(node.getRightChild());
        stack.push_back(node.getLeftChild());
        continue;
      }
      for (unsigned int k = 0; k < node.getNoPrimitives(); ++k) {
        const unsigned int j = hierarchy.primitivePositions[node.getFirstPrimitive() + k];
        if (j != i && boxDistance(rootBox(parts[j]), box) < threshold)
          pairs.emplace_back(std::min(i, j), std::max(i, j));
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}

} // namespace

float koContactFaces::ProcessParts(const std::vector<koMeshAndBVH>& parts,
                                   std::vector<tContactFacesData>& contacts) {
  float largestExtent = 0.0f;
  for (const koMeshAndBVH& part : parts) {
    koBBox::tAxis axis;
    if (hasTriangles(part))
      largestExtent = std::max(largestExtent, rootBox(part).getMaxExtent(axis));
  }
  const float contactTolerance = 0.001f * largestExtent;

  contacts.clear();
  for (const tPartPair& pair : findNearParts(parts, contactTolerance)) {
    tContactFacesData record{pair.first, pair.second, {}, {}};
    koContactFaces search(&parts[pair.first], &parts[pair.second], contactTolerance);
    search.getContactFacesList(record.facesA, record.facesB);
    if (!record.facesA.empty())
      contacts.push_back(std::move(record));
  }
  return contactTolerance;
}

void koContactFaces::DetectCollisions(const std::vector<koMeshAndBVH>& parts,
                                      std::vector<tCollisionData>& collisions, float tolerance) {
  collisions.clear();
  koContactFaces search(nullptr, nullptr, tolerance);
  for (const tPartPair& pair : findNearParts(parts, tolerance)) {
    search.meshA = &parts[pair.first];
    search.meshB = &parts[pair.second];
    if (tolerance >= search.computeMinDistance())
      collisions.push_back({pair.first, pair.second});
  }
}
