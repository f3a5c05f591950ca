#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <vector>

class koMeshAndBVH;

namespace ko {
class koTriMesh;
}

// Which parts of an assembly touch, and on which triangles. A part is one koMeshAndBVH of a list;
// parts are named by their index in it. Two triangles are in contact when they face each other
// (normals at least 135 degrees apart) and their exact distance is below the tolerance. An object
// holds the state of one pair of parts and serves one search.
class KOTOLVANE_API koContactFaces {
public:
  // One touching pair, partA < partB, with the contact faces (triangle indices) of each side.
  struct tContactFacesData {
    unsigned int partA;
    unsigned int partB;
    std::vector<unsigned int> facesA;
    std::vector<unsigned int> facesB;
  };

  // One pair of parts that come within a distance of each other, partA < partB.
  struct tCollisionData {
    unsigned int partA;
    unsigned int partB;
  };

  const koMeshAndBVH* meshA;
  const koMeshAndBVH* meshB;
  float tolerance;
  // cos 135 degrees: a triangle pair is tested only when its normals' dot product is not above.
  float facingLimit;
  // Per node of meshA's / meshB's bvh: the largest current triangle value below the node.
  std::vector<float> nodeDistA;
  std::vector<float> nodeDistB;
  // Per primitive position of meshA's / meshB's bvh: the triangle's current distance to the other
  // mesh over facing triangles, capped at the tolerance.
  std::vector<float> faceDistA;
  std::vector<float> faceDistB;

  // Either mesh may be null (its vectors stay empty).
  koContactFaces(const koMeshAndBVH* meshA, const koMeshAndBVH* meshB, float tolerance);
  ~koContactFaces();

  // One part per mesh, in order, each with its hierarchies built.
  static void InitializeBVHList(const std::vector<ko::koTriMesh*>& meshes,
                                std::vector<koMeshAndBVH>& parts);

  // The contact faces of both (set, non-empty) meshes, in hierarchy order.
  void getContactFacesList(std::vector<unsigned int>& facesA, std::vector<unsigned int>& facesB);

  // All touching pairs, sorted by (partA, partB), with their contact faces; returns the tolerance
  // used: 0.001 times the longest root box side over all parts.
  static float ProcessParts(const std::vector<koMeshAndBVH>& parts,
                            std::vector<tContactFacesData>& contacts);

  // All pairs that come within tolerance of each other (interpenetrating pairs included), sorted.
  static void DetectCollisions(const std::vector<koMeshAndBVH>& parts,
                               std::vector<tCollisionData>& collisions, float tolerance);

  // Whether meshA and meshB come within the tolerance, as a distance: at most the tolerance
  // exactly when some triangle pair does, and then the distance of such a pair (the search stops
  // at the first one, which need not be the closest); otherwise an upper bound above the
  // tolerance. Never below the true distance.
  float computeMinDistance() const;
  // The same, also giving the closest points of the best pair found (left unchanged when no
  // triangle pair improves on the first bound). For crossing triangles (distance 0) Wild
  // Magic's triangle distance may give two points a little apart.
  float computeMinDistance(Wm4::Vector3<float>& pointA, Wm4::Vector3<float>& pointB) const;

  // The exact triangle distances getContactFacesList computed: the search's work, for profiling.
  unsigned long long getNoExactTests() const { return mNoExactTests; }

private:
  unsigned long long mNoExactTests;
  // One byte per primitive of the current leaf of meshA: whether its pairs with the current leaf
  // of meshB were computed in the first half of the leaf test.
  std::vector<unsigned char> mLeafFlags;
  // The triangles of the current leaves.
  std::vector<Wm4::Triangle3<float>> mLeafTrianglesA;
  std::vector<Wm4::Triangle3<float>> mLeafTrianglesB;

  void visit(unsigned int nodeA, unsigned int nodeB);
  // Splits nodeA (splitA) or nodeB and visits the children with the other node.
  void split(unsigned int nodeA, unsigned int nodeB, bool splitA);
  void testLeaves(unsigned int nodeA, unsigned int nodeB);
  float searchMinDistance(Wm4::Vector3<float>* pointA, Wm4::Vector3<float>* pointB) const;
};
