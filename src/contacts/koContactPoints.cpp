#include "koContactPoints.h"

#include "contacts/koContactPatches.h"
#include "contacts/koLatticeSampling.h"
#include "contacts/koPatchSampling.h"
#include "contacts/koPatchUnfolding.h"
#include "contacts/koSampleMatching.h"
#include "koMeshAndBVH.h"

#include <ko/koDataToGeometry.h>
#include <ko/koMeshManager.h>
#include <ko/koNode.h>

namespace {

using PatchList = std::vector<ko::koPointer<ko::koTriMesh>>;

PatchList unfoldedPatches(const ko::koTriMesh& mesh, const std::vector<unsigned int>& faces) {
  PatchList patches;
  koContactPatches::extractPatches(mesh, faces, patches);
  for (ko::koPointer<ko::koTriMesh>& patch : patches)
    patch = koPatchUnfolding::unfoldPatch(*patch);
  return patches;
}

std::vector<unsigned char> contactFlags(const ko::koTriMesh& mesh,
                                        const std::vector<unsigned int>& faces) {
  std::vector<unsigned char> flags(static_cast<size_t>(mesh.GetTriangleQuantity()), 0);
  for (unsigned int face : faces)
    flags[face] = 1;
  return flags;
}

} // namespace

koContactPoints::koContactPoints(const koMeshAndBVH& meshA, const koMeshAndBVH& meshB,
                                 float tolerance)
    : meshA(&meshA), meshB(&meshB), tolerance(tolerance), debugOutput(false) {}

void koContactPoints::getContactPoints(const std::vector<unsigned int>& facesA,
                                       const std::vector<unsigned int>& facesB,
                                       ko::koPointer<ko::koVertexBuffer>& pointsA,
                                       ko::koPointer<ko::koVertexBuffer>& pointsB) {
  const PatchList patchesA = unfoldedPatches(*meshA->mesh, facesA);
  const PatchList patchesB = unfoldedPatches(*meshB->mesh, facesB);
  koLatticeSampler sampler;
  const koPatchSampling::SideSamples samplesA = koPatchSampling::sampleSide(patchesA, sampler);
  const koPatchSampling::SideSamples samplesB = koPatchSampling::sampleSide(patchesB, sampler);

  pointsA = koSampleMatching::matchSamples(samplesA, *meshB, contactFlags(*meshB->mesh, facesB),
                                           tolerance);
  pointsB = koSampleMatching::matchSamples(samplesB, *meshA, contactFlags(*meshA->mesh, facesA),
                                           tolerance);

  if (debugOutput) {
    const ko::koPointer<ko::koNode> scene = new ko::koNode;
    for (ko::koVertexBuffer* points : {pointsA.Get(), pointsB.Get()})
      if (points != nullptr)
        scene->attachChild(koDataToGeometry::VertexBufferToGeometry(points, true));
    ko::koMeshManager::saveMesh("d:/assembly_tmp/test_samples_" + meshA->mesh->GetName() + "_" +
                                    meshB->mesh->GetName() + ".obj",
                                scene, nullptr, {});
  }
}
