#include "koContactDiagram.h"

#include "diagram/koContactDiagramFunctor.h"
#include "host/koWorldCopy.h"
#include "koContactFaces.h"
#include "koMeshAndBVH.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"
#include "koMotionDetect.h"

#include <ko/koBBox.h>
#include <ko/koMeshProcessing.h>
#include <ko/koTriMesh.h>

#include <algorithm>
#include <memory>

namespace {

// Direction samples of the motion analysis: 906,015 unit directions.
constexpr unsigned int kDirectionSubdivisions = 300;
// Normals of faces meeting at more than 47 degrees stay apart.
constexpr float kSmoothingAngle = 0.8203048f;

} // namespace

koContactDiagram::koContactDiagram(const koMeshGroups& meshGroups, unsigned int threadCount,
                                   ko::koProgressNotifierInterface* notifier)
    : koContactDiagram(0, 0, meshGroups) {
  const unsigned int noThreads = std::max(threadCount, 1u);
  std::vector<koMotionDetect> motionDetectors(noThreads);
  motionDetectors[0].generateDirectionSamples(kDirectionSubdivisions);
  for (unsigned int t = 1; t < noThreads; ++t)
    motionDetectors[t].copyDirectionSamples(motionDetectors[0]);

  // Working copies in one space: world positions, centred and scaled by the box of the stored
  // positions so that every assembly is analysed at the same size.
  std::vector<ko::koPointer<ko::koTriMesh>> workingMeshes;
  koBBox box;
  for (ko::koTriMesh* mesh : meshGroups.meshes) {
    workingMeshes.push_back(koHost::makeWorldCopy(*mesh));
    for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v)
      box.grow(mesh->VBuffer->Position3(v));
  }
  const Wm4::Vector3<float> centre = (box.min + box.max) * 0.5f;
  koBBox::tAxis axis;
  const float halfSize = 0.5f * box.getMaxExtent(axis);
  const float inverseHalfSize = 1.0f / halfSize;
  for (ko::koTriMesh* mesh : workingMeshes) {
    for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v)
      mesh->VBuffer->Position3(v) = (mesh->VBuffer->Position3(v) - centre) * inverseHalfSize;
    koMeshProcessing::WeldSimilarVertices(mesh, 0.0f, true);
    koMeshProcessing::SmoothenNormals(mesh, kSmoothingAngle);
  }
  const double backTransformation[16] = {halfSize, 0.0, 0.0, centre.X(),
                                         0.0, halfSize, 0.0, centre.Y(),
                                         0.0, 0.0, halfSize, centre.Z(),
                                         0.0, 0.0, 0.0, 1.0};

  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList(
      std::vector<ko::koTriMesh*>(workingMeshes.begin(), workingMeshes.end()), parts);
  std::vector<koContactFaces::tContactFacesData> contacts;
  const float tolerance = koContactFaces::ProcessParts(parts, contacts);

  // One job per touching pair; each writes only its own result, so the edges come out in pair
  // order whatever the thread count.
  std::vector<tContactResult> results(contacts.size());
  if (!contacts.empty()) {
    tContactBatch batch{&parts, &contacts, motionDetectors.data(), results.data(),
                        backTransformation, tolerance};
    koContactDiagramFunctor functor;
    koMiniThreadPool<koContactDiagramFunctor> pool(functor, noThreads, notifier);
    pool.run(&batch, static_cast<unsigned int>(contacts.size()));
  }

  results.erase(std::remove_if(results.begin(), results.end(),
                               [](const tContactResult& result) {
                                 return result.firstMesh == 0xFFFFFFFF ||
                                        result.secondMesh == 0xFFFFFFFF;
                               }),
                results.end());
  mDisassemblyDirections.reserve(results.size());
  mDisassemblyDirectionIds.reserve(results.size());
  mEdges.reserve(results.size());
  mContactPoints.reserve(results.size());
  for (const tContactResult& result : results)
    pushContactEdge(result.firstMesh, result.secondMesh,
                    result.directions.empty() ? nullptr : result.directions.data(),
                    static_cast<unsigned int>(result.directions.size()), result.contactPoint);
}
