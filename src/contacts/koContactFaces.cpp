#include "koContactFaces.h"

#include "contacts/koContactGeometry.h"
#include "koMeshAndBVH.h"

#include <ko/koGenericBVH.h>

#include <algorithm>

using koContactGeometry::boxDistance;
using koContactGeometry::boxMeetsTriangle;
using koContactGeometry::grownBox;
using koContactGeometry::triangleOf;

namespace {

// cos 135 degrees, bits 0xBF3504F3.
constexpr float kFacingLimit = -0.70710677f;

// The largest of the values at positions [first, first + count); 0 for none.
float largestValue(const std::vector<float>& values, unsigned int first, unsigned int count) {
  float largest = 0.0f;
  for (unsigned int k = first; k < first + count; ++k)
    largest = std::max(largest, values[k]);
  return largest;
}

} // namespace

koContactFaces::koContactFaces(const koMeshAndBVH* meshA_, const koMeshAndBVH* meshB_,
                               float tolerance_)
    : meshA(meshA_), meshB(meshB_), tolerance(tolerance_), facingLimit(kFacingLimit),
      mNoExactTests(0) {
  if (meshA) {
    nodeDistA.assign(meshA->bvh->nodes.size(), tolerance);
    faceDistA.assign(meshA->bvh->primitivePositions.size(), tolerance);
  }
  if (meshB) {
    nodeDistB.assign(meshB->bvh->nodes.size(), tolerance);
    faceDistB.assign(meshB->bvh->primitivePositions.size(), tolerance);
  }
}

koContactFaces::~koContactFaces() = default;

void koContactFaces::InitializeBVHList(const std::vector<ko::koTriMesh*>& meshes,
                                       std::vector<koMeshAndBVH>& parts) {
  parts.clear();
  parts.resize(meshes.size());
  for (size_t i = 0; i < meshes.size(); ++i) {
    parts[i].mesh = meshes[i];
    parts[i].updateBVH();
  }
}

void koContactFaces::getContactFacesList(std::vector<unsigned int>& facesA,
                                         std::vector<unsigned int>& facesB) {
  visit(0, 0);
  const auto collect = [this](const koMeshAndBVH& mesh, const std::vector<float>& faceDist,
                              std::vector<unsigned int>& faces) {
    faces.clear();
    for (size_t p = 0; p < faceDist.size(); ++p)
      if (faceDist[p] < tolerance)
        faces.push_back(mesh.bvh->primitivePositions[p]);
  };
  collect(*meshA, faceDistA, facesA);
  collect(*meshB, faceDistB, facesB);
}

void koContactFaces::visit(unsigned int nodeA, unsigned int nodeB) {
  const koGenericBVH::tNode& a = meshA->bvh->nodes[nodeA];
  const koGenericBVH::tNode& b = meshB->bvh->nodes[nodeB];
  if (a.isLeaf() && b.isLeaf()) {
    testLeaves(nodeA, nodeB);
  } else {
    split(nodeA, nodeB, koContactGeometry::splitsFirst(a, b));
  }
}

// Visits the children of one node with the other node, nearer child first, each only while some
// triangle below either may still lower its value: a pair of triangles is never closer than its
// nodes' boxes.
void koContactFaces::split(unsigned int nodeA, unsigned int nodeB, bool splitA) {
  const std::vector<koGenericBVH::tNode>& nodes = (splitA ? meshA : meshB)->bvh->nodes;
  const unsigned int node = splitA ? nodeA : nodeB;
  const unsigned int other = splitA ? nodeB : nodeA;
  const koBBox& otherBox = (splitA ? meshB : meshA)->bvh->nodes[other].box;
  std::vector<float>& values = splitA ? nodeDistA : nodeDistB;

  const unsigned int left = nodes[node].getLeftChild();
  const unsigned int right = nodes[node].getRightChild();
  const float leftDistance = boxDistance(nodes[left].box, otherBox);
  const float rightDistance = boxDistance(nodes[right].box, otherBox);
  const bool leftFirst = leftDistance < rightDistance;
  const unsigned int children[2] = {leftFirst ? left : right, leftFirst ? right : left};
  const float distances[2] = {leftFirst ? leftDistance : rightDistance,
                              leftFirst ? rightDistance : leftDistance};
  for (int k = 0; k < 2; ++k) {
    // The other node's value is read again: the first visit may have lowered it.
    const float otherNow = (splitA ? nodeDistB : nodeDistA)[other];
    if (std::max(otherNow, values[children[k]]) > distances[k]) {
      if (splitA)
        visit(children[k], other);
      else
        visit(other, children[k]);
    }
  }
  values[node] = std::max(values[left], values[right]);
}

// Lowers the values of both leaves' triangles by the exact distances of their facing pairs.
// Only triangles that come within their current value of the other leaf's box are tried, and
// the second half skips the pairs the first half already computed.
void koContactFaces::testLeaves(unsigned int nodeA, unsigned int nodeB) {
  const koGenericBVH& bvhA = *meshA->bvh;
  const koGenericBVH& bvhB = *meshB->bvh;
  const koGenericBVH::tNode& a = bvhA.nodes[nodeA];
  const koGenericBVH::tNode& b = bvhB.nodes[nodeB];
  const float leafDistance = boxDistance(a.box, b.box);
  const bool lowerA = nodeDistA[nodeA] > leafDistance;
  const bool lowerB = nodeDistB[nodeB] > leafDistance;
  if (!lowerA && !lowerB)
    return;

  const unsigned int firstA = a.getFirstPrimitive(), countA = a.getNoPrimitives();
  const unsigned int firstB = b.getFirstPrimitive(), countB = b.getNoPrimitives();
  mLeafFlags.assign(countA, 0);
  mLeafTrianglesA.resize(countA);
  mLeafTrianglesB.resize(countB);
  for (unsigned int k = 0; k < countA; ++k)
    mLeafTrianglesA[k] = triangleOf(*meshA, bvhA.primitivePositions[firstA + k]);
  for (unsigned int k = 0; k < countB; ++k)
    mLeafTrianglesB[k] = triangleOf(*meshB, bvhB.primitivePositions[firstB + k]);

  // i and j count within the leaves of A and B.
  const auto lowerPair = [&](unsigned int i, unsigned int j) {
    const unsigned int ta = bvhA.primitivePositions[firstA + i];
    const unsigned int tb = bvhB.primitivePositions[firstB + j];
    // Written as "not above" so that a NaN normal (zero-area triangle) counts as facing.
    if (meshA->faceNormals[ta].Dot(meshB->faceNormals[tb]) > facingLimit)
      return;
    const float distance =
        Wm4::DistTriangle3Triangle3<float>(mLeafTrianglesA[i], mLeafTrianglesB[j]).Get();
    ++mNoExactTests;
    faceDistA[firstA + i] = std::min(faceDistA[firstA + i], distance);
    faceDistB[firstB + j] = std::min(faceDistB[firstB + j], distance);
  };

  if (lowerA) {
    for (unsigned int i = 0; i < countA; ++i) {
      if (!boxMeetsTriangle(grownBox(b.box, faceDistA[firstA + i]), mLeafTrianglesA[i]))
        continue;
      mLeafFlags[i] = 1;
      for (unsigned int j = 0; j < countB; ++j)
        lowerPair(i, j);
    }
    nodeDistA[nodeA] = largestValue(faceDistA, firstA, countA);
  }

  if (lowerB) {
    for (unsigned int j = 0; j < countB; ++j) {
      if (!boxMeetsTriangle(grownBox(a.box, faceDistB[firstB + j]), mLeafTrianglesB[j]))
        continue;
      for (unsigned int i = 0; i < countA; ++i)
        if (!mLeafFlags[i])
          lowerPair(i, j);
    }
    nodeDistB[nodeB] = largestValue(faceDistB, firstB, countB);
  }
}
