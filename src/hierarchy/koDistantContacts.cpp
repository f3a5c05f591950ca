#include "koDistantContacts.h"

#include "hierarchy/koDistantContactsJob.h"
#include "host/koWorldCopy.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"

#include <ko/koQBVH.h>
#include <ko/koTriMesh.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

koDistantContacts::koDistantContacts(koDisassemblyHierarchyBuilder& builder)
    : facingAngle(20.0f), partialHitRatio(0.33333f), sampleBudget(500), mBuilder(builder),
      mDiagram(builder.getContactDiagram()), mMeshGroups(builder.getMeshGroups()),
      mNoDirections(builder.getContactDiagram().getNoDirections()),
      mSceneDiagonal(INFINITY) {
  for (const ko::koTriMesh* mesh : mMeshGroups.meshes) {
    if (mesh->World.IsIdentity()) {
      mWorldMeshes.push_back(mesh);
    } else {
      mWorldCopies.push_back(koHost::makeWorldCopy(*mesh));
      mWorldMeshes.push_back(mWorldCopies.back());
    }
  }
  for (const ko::koTriMesh* mesh : mWorldMeshes) {
    std::vector<Wm4::Vector3<float>>& normals = mTriangleNormals.emplace_back();
    normals.resize(static_cast<size_t>(mesh->GetTriangleQuantity()));
    for (int t = 0; t < mesh->GetTriangleQuantity(); ++t) {
      int i0 = 0, i1 = 0, i2 = 0;
      mesh->GetTriangle(t, i0, i1, i2);
      const ko::koVertexBuffer& vertices = *mesh->VBuffer;
      const Wm4::Vector3<float> p0 = vertices.Position3(i0);
      const Wm4::Vector3<float> normal =
          (vertices.Position3(i1) - p0).Cross(vertices.Position3(i2) - p0);
      // A zero-area triangle keeps a zero normal, which never faces a ray.
      const float length = std::sqrt(normal.SquaredLength());
      normals[static_cast<size_t>(t)] = length > 0.0f ? normal / length : normal;
    }
  }
  initQBVH();
}

koDistantContacts::~koDistantContacts() = default;

void koDistantContacts::initQBVH() {
  mHierarchies.clear();
  for (const ko::koTriMesh* mesh : mWorldMeshes) {
    mHierarchies.push_back(std::make_unique<koQBVH>());
    mHierarchies.back()->buildFromMesh(koQBVH::eRobust, mesh, 12);
  }
}

void koDistantContacts::computeDistantContacts(unsigned int noThreads,
                                               ko::koProgressNotifierInterface* notifier) {
  if (mNoDirections == 0)
    return;
  computeBoundingPlanes();
  buildCandidates();

  // Every worker writes only its own slots; the hand-over sorts the joined relations, so the
  // result does not depend on which worker took which group.
  const unsigned int noWorkers = std::max(noThreads, 1u);
  const unsigned int noGroups = mMeshGroups.getNoGroups();
  mWorkerScores.assign(noWorkers, std::vector<unsigned int>(noGroups, None));
  mWorkerRelations.assign(noWorkers, {});
  mWorkerRays.assign(noWorkers, 0);
  koDistantContactsJob job;
  koMiniThreadPool<koDistantContactsJob> pool(job, noWorkers, notifier);
  pool.run(this, noGroups);
  handOver();
}

uint64_t koDistantContacts::getNoRaysCast() const {
  return std::accumulate(mWorkerRays.begin(), mWorkerRays.end(), uint64_t(0));
}

void koDistantContacts::buildCandidates() {
  const unsigned int noGroups = mMeshGroups.getNoGroups();
  mCandidates.assign(noGroups, {});
  for (unsigned int e = 0; e < mBuilder.getNoEdges(); ++e) {
    const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = mBuilder.getEdgeData(e);
    // Distant edges carry scores, not directions.
    if (edge.distant)
      continue;
    auto append = [&](unsigned int k, const Wm4::Vector3<double>& vector) {
      mCandidates[edge.group0].push_back({k, vector});
      mCandidates[edge.group1].push_back({k, vector});
    };
    // The edge's own directions, turned to the sense of their set entry, then every entry's set
    // direction.
    for (size_t j = 0; j < edge.perDirectionValues.size(); ++j) {
      const unsigned int entry = edge.perDirectionValues[j];
      const bool opposite = (entry & koDisassemblyHierarchyBuilder::msOppositeFlag) != 0;
      append(entry & ~koDisassemblyHierarchyBuilder::msOppositeFlag,
             opposite ? -edge.directions[j] : edge.directions[j]);
    }
    for (unsigned int entry : edge.entries) {
      const unsigned int k = entry & ~koDisassemblyHierarchyBuilder::msOppositeFlag;
      append(k, mDiagram.getDirectionFromId(k));
    }
  }

  // Within one index, a vector within 1 degree of an earlier one adds nothing.
  constexpr double kSameDirectionCosine = 0.99984771;
  for (std::vector<tCandidate>& candidates : mCandidates) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const tCandidate& a, const tCandidate& b) { return a.k < b.k; });
    // Compared with every earlier candidate of the index, dropped ones included.
    std::vector<tCandidate> kept;
    for (size_t c = 0; c < candidates.size(); ++c) {
      bool repeated = false;
      for (size_t earlier = c; earlier-- > 0 && candidates[earlier].k == candidates[c].k;)
        repeated = repeated ||
                   candidates[earlier].vector.Dot(candidates[c].vector) > kSameDirectionCosine;
      if (!repeated)
        kept.push_back(candidates[c]);
    }
    candidates.swap(kept);
  }
}

void koDistantContacts::handOver() {
  std::vector<tRelation> relations;
  for (const std::vector<tRelation>& found : mWorkerRelations)
    relations.insert(relations.end(), found.begin(), found.end());
  // By pair, by set index, the plain sense before the opposite one, the highest score first.
  constexpr unsigned int kIndexBits = ~koDisassemblyHierarchyBuilder::msOppositeFlag;
  std::sort(relations.begin(), relations.end(), [](const tRelation& a, const tRelation& b) {
    return std::make_tuple(a.group0, a.group1, a.entry & kIndexBits, a.entry, b.score) <
           std::make_tuple(b.group0, b.group1, b.entry & kIndexBits, b.entry, a.score);
  });
  relations.erase(std::unique(relations.begin(), relations.end(),
                              [](const tRelation& a, const tRelation& b) {
                                return a.group0 == b.group0 && a.group1 == b.group1 &&
                                       a.entry == b.entry;
                              }),
                  relations.end());

  unsigned int noPairs = 0;
  for (size_t r = 0; r < relations.size(); ++r)
    if (r == 0 || relations[r].group0 != relations[r - 1].group0 ||
        relations[r].group1 != relations[r - 1].group1)
      ++noPairs;
  mBuilder.setNoDistantConstraints(noPairs);
  std::vector<unsigned int> scores, entries;
  for (size_t first = 0; first < relations.size();) {
    size_t last = first;
    scores.clear();
    entries.clear();
    for (; last < relations.size() && relations[last].group0 == relations[first].group0 &&
           relations[last].group1 == relations[first].group1;
         ++last) {
      scores.push_back(relations[last].score);
      entries.push_back(relations[last].entry);
    }
    mBuilder.pushDistantConstraint(relations[first].group0, relations[first].group1, scores,
                                   entries);
    first = last;
  }
}
