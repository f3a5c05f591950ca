// The contact point pairs of every touching pair of generated assemblies, compared with
// fingerprints of the pairs found before the sampling and matching were tuned for speed: no bit of
// a point, normal or weight may move.

#include "host/koWorldCopy.h"
#include "koContactFaces.h"
#include "koContactPoints.h"
#include "koMeshAndBVH.h"
#include "koMeshAssemblies.h"
#include "support/koFingerprint.h"

#include <ko/koMeshProcessing.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

// Every channel of every point of a result buffer (a null one as count -1).
void mixPoints(koFingerprint& print, const ko::koVertexBuffer* points) {
  const int count = points != nullptr ? points->GetVertexQuantity() : -1;
  print.mix(count);
  for (int i = 0; i < count; ++i) {
    print.mix(points->Position3(i));
    print.mix(points->Normal3(i));
    print.mix(points->TCoord3(0, i));
    print.mix(points->PSize1(i));
  }
}

// Both point sets of every pair the contact search finds, on world copies welded and smoothed as
// the diagram prepares them.
uint64_t contactPointsFingerprint(const koMeshAssembly& assembly) {
  std::vector<ko::koPointer<ko::koTriMesh>> owners;
  std::vector<ko::koTriMesh*> meshes;
  for (const ko::koPointer<ko::koTriMesh>& mesh : assembly.meshes) {
    owners.push_back(koHost::makeWorldCopy(*mesh));
    meshes.push_back(owners.back());
    koMeshProcessing::WeldSimilarVertices(meshes.back(), 0.0f, true);
    koMeshProcessing::SmoothenNormals(meshes.back(), 0.8203048f);
  }
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList(meshes, parts);
  std::vector<koContactFaces::tContactFacesData> contacts;
  const float tolerance = koContactFaces::ProcessParts(parts, contacts);
  koFingerprint print;
  for (const koContactFaces::tContactFacesData& contact : contacts) {
    ko::koPointer<ko::koVertexBuffer> pointsA, pointsB;
    koContactPoints(parts[contact.partA], parts[contact.partB], tolerance)
        .getContactPoints(contact.facesA, contact.facesB, pointsA, pointsB);
    mixPoints(print, pointsA);
    mixPoints(print, pointsB);
  }
  return print.hash;
}

} // namespace

TEST(koStoredContactPoints, PairsFoundAsBefore) {
  const struct {
    const char* name;
    std::function<koMeshAssembly()> make;
    uint64_t stored;
  } assemblies[] = {
      {"lid with screws", koMeshAssemblies::lidWithScrews, 2164787712866466489ull},
      {"shaft in bearings", koMeshAssemblies::shaftInBearings, 66296108700254691ull},
      {"nested box with lid", koMeshAssemblies::nestedBoxWithLid, 7712594525708522522ull},
      {"ring between collars", koMeshAssemblies::ringBetweenCollars, 12965306217998275440ull},
      {"tile grid", [] { return koMeshAssemblies::tileGrid(9); }, 15259456607037414190ull},
  };
  for (const auto& named : assemblies)
    EXPECT_EQ(contactPointsFingerprint(named.make()), named.stored) << named.name;
}
