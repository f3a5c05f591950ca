#include "koContactFaces.h"
#include "koMeshAndBVH.h"
#include "koTessellatedShapes.h"

#include <ko/koAttributes.h>
#include <ko/koGenericBVH.h>
#include <ko/koIndexBuffer.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

typedef Wm4::Vector3<float> Vec3;

// A soup of small random triangles in the box [low, low + size], a few of them slivers or
// collapsed to a segment (zero area, NaN normal).
ko::koTriMesh* makeTriangleSoup(std::mt19937& random, const Vec3& low, float size, int count) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, 3 * count);
  auto* indices = new ko::koIndexBuffer(3 * count, 1);
  for (int t = 0; t < count; ++t) {
    const Vec3 centre = low + Vec3(unit(random), unit(random), unit(random)) * size;
    for (int c = 0; c < 3; ++c) {
      Vec3 corner = centre + Vec3(unit(random) - 0.5f, unit(random) - 0.5f, unit(random) - 0.5f) *
                                 (0.3f * size);
      if (c == 2 && t % 7 == 0) // a segment: the first corner again
        corner = vertices->Position3(3 * t);
      if (c == 2 && t % 11 == 0) // a sliver: almost on that line
        corner += Vec3(0.0f, 1e-5f, 0.0f);
      vertices->Position3(3 * t + c) = corner;
      indices->GetData()[3 * t + c] = 3 * t + c;
    }
  }
  return new ko::koTriMesh(vertices, indices);
}

Wm4::Triangle3<float> triangle(const ko::koTriMesh& mesh, int t) {
  int v[3];
  mesh.GetTriangle(t, v[0], v[1], v[2]);
  return Wm4::Triangle3<float>(mesh.VBuffer->Position3(v[0]), mesh.VBuffer->Position3(v[1]),
                               mesh.VBuffer->Position3(v[2]));
}

// All-pairs references: per triangle of a, its distance to b over facing triangles (a NaN normal
// counts as facing), and the plain minimum over all pairs.
struct BruteForce {
  std::vector<float> faceDistA, faceDistB;
  float minimum = Wm4::Math<float>::MAX_REAL;

  BruteForce(const koMeshAndBVH& a, const koMeshAndBVH& b, float tolerance)
      : faceDistA(a.faceNormals.size(), tolerance), faceDistB(b.faceNormals.size(), tolerance) {
    for (size_t i = 0; i < faceDistA.size(); ++i)
      for (size_t j = 0; j < faceDistB.size(); ++j) {
        const float d = Wm4::DistTriangle3Triangle3<float>(triangle(*a.mesh, int(i)),
                                                           triangle(*b.mesh, int(j)))
                            .Get();
        minimum = std::min(minimum, d);
        const float dot = a.faceNormals[i].Dot(b.faceNormals[j]);
        if (std::isnan(dot) || dot <= -0.70710677f) {
          faceDistA[i] = std::min(faceDistA[i], d);
          faceDistB[j] = std::min(faceDistB[j], d);
        }
      }
  }

  static std::vector<unsigned int> below(const std::vector<float>& values, float tolerance) {
    std::vector<unsigned int> faces;
    for (size_t i = 0; i < values.size(); ++i)
      if (values[i] < tolerance)
        faces.push_back(static_cast<unsigned int>(i));
    return faces;
  }
};

std::vector<unsigned int> sorted(std::vector<unsigned int> values) {
  std::sort(values.begin(), values.end());
  return values;
}

} // namespace

// Random soups in near contact: the hierarchical searches against all pairs of triangles.
TEST(koContactFaces, SearchesMatchAllPairsOnRandomSoups) {
  std::mt19937 random(20261206);
  for (int trial = 0; trial < 40; ++trial) {
    const float gap = 0.02f * float(trial % 5) - 0.02f;
    ko::koPointer<ko::koTriMesh> meshA = makeTriangleSoup(random, Vec3(0, 0, 0), 1.0f, 150);
    ko::koPointer<ko::koTriMesh> meshB =
        makeTriangleSoup(random, Vec3(1.0f + gap, 0.3f, 0.1f), 1.0f, 120);
    const koMeshAndBVH a(meshA), b(meshB);
    const float tolerance = 0.03f;
    const BruteForce reference(a, b, tolerance);

    std::vector<unsigned int> facesA, facesB;
    koContactFaces(&a, &b, tolerance).getContactFacesList(facesA, facesB);
    EXPECT_EQ(sorted(facesA), BruteForce::below(reference.faceDistA, tolerance)) << trial;
    EXPECT_EQ(sorted(facesB), BruteForce::below(reference.faceDistB, tolerance)) << trial;
    // Listed in hierarchy order.
    std::vector<unsigned int> inOrder;
    for (unsigned int t : a.bvh->primitivePositions)
      if (std::find(facesA.begin(), facesA.end(), t) != facesA.end())
        inOrder.push_back(t);
    EXPECT_EQ(facesA, inOrder);

    for (const float bound : {tolerance, 1e-6f, 10.0f}) {
      const koContactFaces search(&a, &b, bound);
      Vec3 pointA(7, 7, 7), pointB(7, 7, 7);
      const float distance = search.computeMinDistance(pointA, pointB);
      EXPECT_EQ(distance, search.computeMinDistance());
      // Within the bound exactly when some pair is, and never below the true minimum: the
      // search stops at the first pair within the bound, which need not be the closest.
      EXPECT_EQ(distance <= bound, reference.minimum <= bound) << trial;
      EXPECT_GE(distance, reference.minimum) << trial;
      // Wild Magic's closest points of crossing triangles are not always one point.
      if (distance > 0.0f) {
        EXPECT_NEAR(std::sqrt((pointA - pointB).Dot(pointA - pointB)), distance, 1e-5f) << trial;
      }
    }
  }
}

// Broad phase and pair lists of an assembly against the same questions asked of every pair.
TEST(koContactFaces, PartListsMatchEveryPairAsked) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> place(0.0f, 2.5f);
  std::vector<ko::koPointer<ko::koTriMesh>> owners;
  std::vector<ko::koTriMesh*> meshes;
  for (int i = 0; i < 14; ++i) {
    const Vec3 low(place(random), place(random), place(random));
    owners.push_back(i % 3 ? makeTriangleSoup(random, low, 1.0f, 40)
                           : makeTessellatedBox("box", low, low + Vec3(1, 1, 1), 2));
    meshes.push_back(owners.back());
  }
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList(meshes, parts);

  std::vector<koContactFaces::tContactFacesData> contacts;
  const float tolerance = koContactFaces::ProcessParts(parts, contacts);
  float extent = 0.0f;
  for (const koMeshAndBVH& part : parts) {
    koBBox::tAxis axis;
    extent = std::max(extent, part.bvh->nodes[0].box.getMaxExtent(axis));
  }
  EXPECT_EQ(tolerance, 0.001f * extent);

  for (const float collisionTolerance : {0.0f, 0.05f, 0.3f}) {
    std::vector<koContactFaces::tCollisionData> collisions;
    koContactFaces::DetectCollisions(parts, collisions, collisionTolerance);
    size_t nextCollision = 0, nextContact = 0;
    for (unsigned int i = 0; i < parts.size(); ++i)
      for (unsigned int j = i + 1; j < parts.size(); ++j) {
        const koBBox& boxI = parts[i].bvh->nodes[0].box;
        const koBBox& boxJ = parts[j].bvh->nodes[0].box;
        float boxGap = 0.0f;
        for (int k = 0; k < 3; ++k) {
          const float g = std::max(boxJ.min[k] - boxI.max[k], boxI.min[k] - boxJ.max[k]);
          boxGap += g > 0.0f ? g * g : 0.0f;
        }
        boxGap = std::sqrt(boxGap);
        const bool collides =
            boxGap < collisionTolerance &&
            BruteForce(parts[i], parts[j], collisionTolerance).minimum <= collisionTolerance;
        const bool listed = nextCollision < collisions.size() &&
                            collisions[nextCollision].partA == i &&
                            collisions[nextCollision].partB == j;
        EXPECT_EQ(collides, listed) << i << " " << j << " at " << collisionTolerance;
        nextCollision += listed;
        if (collisionTolerance != 0.0f)
          continue;
        const BruteForce touching(parts[i], parts[j], tolerance);
        const bool touches =
            boxGap < tolerance && !BruteForce::below(touching.faceDistA, tolerance).empty();
        const bool contactListed = nextContact < contacts.size() &&
                                   contacts[nextContact].partA == i &&
                                   contacts[nextContact].partB == j;
        EXPECT_EQ(touches, contactListed) << i << " " << j;
        if (contactListed) {
          EXPECT_EQ(sorted(contacts[nextContact].facesB),
                    BruteForce::below(touching.faceDistB, tolerance));
        }
        nextContact += contactListed;
      }
    EXPECT_EQ(nextCollision, collisions.size());
    if (collisionTolerance == 0.0f) {
      EXPECT_EQ(nextContact, contacts.size());
    }
  }
}

// Boxes face to face and a peg in a tube: exactly the triangles of the touching surfaces.
TEST(koContactFaces, TouchingSolidsShareExactlyTheirCommonSurface) {
  ko::koPointer<ko::koTriMesh> lower = makeTessellatedBox("lower", Vec3(0, 0, 0), Vec3(2, 2, 1), 6);
  ko::koPointer<ko::koTriMesh> upper =
      makeTessellatedBox("upper", Vec3(0, 0, 1), Vec3(2, 2, 1.5f), 6);
  ko::koPointer<ko::koTriMesh> peg = makeCylinder("peg", Vec3(0, 0, -0.5f), 0.5f, 2.0f, 48, 4);
  ko::koPointer<ko::koTriMesh> tube = makeTube("tube", Vec3(0, 0, 0), 0.5f, 1.0f, 1.0f, 48, 4);
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList({lower, upper, peg, tube}, parts);

  // Triangles of a mesh whose three corners satisfy the predicate.
  const auto trianglesWhere = [](const ko::koTriMesh& mesh, auto&& predicate) {
    std::vector<unsigned int> faces;
    for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
      const Wm4::Triangle3<float> corners = triangle(mesh, t);
      if (predicate(corners.V[0]) && predicate(corners.V[1]) && predicate(corners.V[2]))
        faces.push_back(static_cast<unsigned int>(t));
    }
    return faces;
  };
  const auto atHeight = [](float z) { return [z](const Vec3& p) { return p.Z() == z; }; };
  const auto onRadius = [](float r) {
    return [r](const Vec3& p) { return std::fabs(Wm4::Vector2<float>(p.X(), p.Y()).Length() - r) < 1e-5f; };
  };

  std::vector<unsigned int> facesA, facesB;
  koContactFaces(&parts[0], &parts[1], 0.002f).getContactFacesList(facesA, facesB);
  EXPECT_EQ(sorted(facesA), trianglesWhere(*lower, atHeight(1.0f)));
  EXPECT_EQ(sorted(facesB), trianglesWhere(*upper, atHeight(1.0f)));
  EXPECT_EQ(facesA.size(), 72u);

  koContactFaces(&parts[2], &parts[3], 0.002f).getContactFacesList(facesA, facesB);
  // The peg's side ends flush with the bore's rims, so its triangles beyond them touch the
  // bore's edge there; the bore's ends meet the peg's side at right angles.
  EXPECT_EQ(sorted(facesA), trianglesWhere(*peg, onRadius(0.5f)));
  EXPECT_EQ(sorted(facesB), trianglesWhere(*tube, onRadius(0.5f)));
}
