#include "koContactPoints.h"

#include "contacts/koContactPatches.h"
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

const std::vector<unsigned char>& contactFlags(const ko::koTriMesh& mesh,
                                               const std::vector<unsigned int>& faces,
                                               std::vector<unsigned char>& flags) {
  flags.assign(static_cast<size_t>(mesh.GetTriangleQuantity()), 0);
  for (unsigned int face : faces)
    flags[face] = 1;
  return flags;
}

// One thread's working storage, kept from pair to pair: a pair then allocates little more than
// its patches and results.
struct Scratch {
  koPatchSampling::Sampler sampler;
  koPatchSampling::SideSamples samplesA, samplesB;
  koSampleMatching::Workspace matching;
  std::vector<unsigned char> flags;
};

thread_local Scratch scratch;

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
  koPatchSampling::sampleSide(patchesA, scratch.sampler, scratch.samplesA);
  koPatchSampling::sampleSide(patchesB, scratch.sampler, scratch.samplesB);

  pointsA = koSampleMatching::matchSamples(scratch.samplesA, *meshB,
                                           contactFlags(*meshB->mesh, facesB, scratch.flags),
                                           tolerance, scratch.matching);
  pointsB = koSampleMatching::matchSamples(scratch.samplesB, *meshA,
                                           contactFlags(*meshA->mesh, facesA, scratch.flags),
                                           tolerance, scratch.matching);

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
