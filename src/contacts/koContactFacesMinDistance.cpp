#include "koContactFaces.h"

#include "contacts/koContactGeometry.h"
#include "koMeshAndBVH.h"

#include <ko/koGenericBVH.h>

#include <algorithm>
#include <set>
#include <tuple>

using koContactGeometry::boxDistance;
using koContactGeometry::boxMeetsTriangle;
using koContactGeometry::grownBox;
using koContactGeometry::triangleOf;

namespace {

// Orders the node pairs of the best-first search: the box distance of separated boxes, and for
// touching or overlapping boxes minus the overlap's share of the larger box, so that deeper
// overlaps come first. Axes on which either box is flat are left out of the volumes.
float pairKey(const koBBox& a, const koBBox& b) {
  const float distance = boxDistance(a, b);
  if (distance > 0.0f)
    return distance;
  float overlap = 1.0f, volumeA = 1.0f, volumeB = 1.0f;
  for (int k = 0; k < 3; ++k) {
    const float extentA = a.max[k] - a.min[k];
    const float extentB = b.max[k] - b.min[k];
    if (!(extentA > 0.0f) || !(extentB > 0.0f))
      continue;
    overlap *= std::max(0.0f, std::min(a.max[k], b.max[k]) - std::max(a.min[k], b.min[k]));
    volumeA *= extentA;
    volumeB *= extentB;
  }
  return -(overlap / std::max(volumeA, volumeB));
}

} // namespace

float koContactFaces::computeMinDistance() const { return searchMinDistance(nullptr, nullptr); }

float koContactFaces::computeMinDistance(Wm4::Vector3<float>& pointA,
                                         Wm4::Vector3<float>& pointB) const {
  return searchMinDistance(&pointA, &pointB);
}

// Best-first descent of both hierarchies: node pairs in order of their key, dropped once their
// key is not below the best distance found, stopped once the best is within the tolerance.
float koContactFaces::searchMinDistance(Wm4::Vector3<float>* pointA,
                                        Wm4::Vector3<float>* pointB) const {
  const koGenericBVH& bvhA = *meshA->bvh;
  const koGenericBVH& bvhB = *meshB->bvh;
  const koBBox bothRoots = koBBox::unite(bvhA.nodes[0].box, bvhB.nodes[0].box);
  float best = (bothRoots.max - bothRoots.min).Length();

  typedef std::tuple<float, unsigned int, unsigned int> tEntry;
  std::set<tEntry> queue;
  queue.emplace(-1.0f, 0u, 0u);
  while (!queue.empty()) {
    const tEntry entry = *queue.begin();
    if (std::get<0>(entry) > std::min(tolerance, best))
      break;
    queue.erase(queue.begin());
    const unsigned int nodeA = std::get<1>(entry), nodeB = std::get<2>(entry);
    const koGenericBVH::tNode& a = bvhA.nodes[nodeA];
    const koGenericBVH::tNode& b = bvhB.nodes[nodeB];

    if (a.isLeaf() && b.isLeaf()) {
      bool withinTolerance = false;
      for (unsigned int p = a.getFirstPrimitive();
           p < a.getFirstPrimitive() + a.getNoPrimitives() && !withinTolerance; ++p) {
        const Wm4::Triangle3<float> triangleA = triangleOf(*meshA, bvhA.primitivePositions[p]);
        if (!boxMeetsTriangle(grownBox(b.box, best), triangleA))
          continue;
        for (unsigned int q = b.getFirstPrimitive();
             q < b.getFirstPrimitive() + b.getNoPrimitives() && !withinTolerance; ++q) {
          const Wm4::Triangle3<float> triangleB = triangleOf(*meshB, bvhB.primitivePositions[q]);
          Wm4::DistTriangle3Triangle3<float> query(triangleA, triangleB);
          const float distance = query.Get();
          if (distance < best) {
            best = distance;
            // Wild Magic's own closest points: its barycentric weights are not finite for a
            // zero-area triangle.
            if (pointA) {
              *pointA = query.GetClosestPoint0();
              *pointB = query.GetClosestPoint1();
            }
          }
          withinTolerance = best <= tolerance;
        }
      }
      continue;
    }

    const bool splitA = koContactGeometry::splitsFirst(a, b);
    const koGenericBVH::tNode& node = splitA ? a : b;
    for (const unsigned int child : {node.getLeftChild(), node.getRightChild()}) {
      const unsigned int childA = splitA ? child : nodeA;
      const unsigned int childB = splitA ? nodeB : child;
      const float key = pairKey(bvhA.nodes[childA].box, bvhB.nodes[childB].box);
      if (key < best)
        queue.emplace(key, childA, childB);
    }
  }
  return best;
}
