// The work of one group: rays from its meshes along its candidate directions, scored per group
// they run into, and the relations that hold for every candidate vector of a direction.

#include "hierarchy/koDistantContactsJob.h"

#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"

#include <ko/koQBVH.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr unsigned int kOpposite = koDisassemblyHierarchyBuilder::msOppositeFlag;
constexpr double kPi = 3.141592653589793;

using tGroupScores = std::vector<koDistantContacts::tRelation>;

// Keeps, per group, the larger score of the two lists (both ascending by group1).
void uniteByLargest(tGroupScores& into, const tGroupScores& more) {
  tGroupScores united;
  std::merge(into.begin(), into.end(), more.begin(), more.end(), std::back_inserter(united),
             [](const auto& a, const auto& b) { return a.group1 < b.group1; });
  into.clear();
  for (const auto& score : united)
    if (!into.empty() && into.back().group1 == score.group1)
      into.back().score = std::max(into.back().score, score.score);
    else
      into.push_back(score);
}

// Keeps the groups present in both lists, with the smaller score.
void intersectBySmallest(tGroupScores& into, const tGroupScores& more) {
  tGroupScores common;
  auto other = more.begin();
  for (const auto& score : into) {
    while (other != more.end() && other->group1 < score.group1)
      ++other;
    if (other != more.end() && other->group1 == score.group1)
      common.push_back({score.group0, score.group1, score.entry,
                        std::min(score.score, other->score)});
  }
  into.swap(common);
}

} // namespace

void koDistantContactsJob::operator()(unsigned int job, unsigned int thread,
                                      void* jobData) const {
  static_cast<koDistantContacts*>(jobData)->findGroupRelations(job, thread);
}

void koDistantContacts::findGroupRelations(unsigned int group, unsigned int worker) {
  const std::vector<tCandidate>& candidates = mCandidates[group];
  tGroupScores found, alongVector[2], alongIndex[2];
  for (size_t first = 0; first < candidates.size();) {
    const unsigned int k = candidates[first].k;
    size_t next = first;
    for (; next < candidates.size() && candidates[next].k == k; ++next) {
      const Wm4::Vector3<double>& vector = candidates[next].vector;
      const Wm4::Vector3<float> d(float(vector.X()), float(vector.Y()), float(vector.Z()));
      for (unsigned int sense = 0; sense < 2; ++sense) {
        alongVector[sense].clear();
        for (unsigned int a = 0; a < mMeshGroups.getNoMeshes(group); ++a) {
          rayTest(meshOfGroup(mMeshGroups, group, a), k | (sense == 0 ? 0u : kOpposite),
                  sense == 0 ? d : -d, worker, found);
          uniteByLargest(alongVector[sense], found);
        }
        // A relation must hold for every vector that the contacts give this direction.
        if (next == first)
          alongIndex[sense].swap(alongVector[sense]);
        else
          intersectBySmallest(alongIndex[sense], alongVector[sense]);
      }
    }

    // The entry names the motion of the lower group: this group's along +d, or the other's
    // along -d.
    for (unsigned int sense = 0; sense < 2; ++sense)
      for (const tRelation& blocker : alongIndex[sense]) {
        const unsigned int other = blocker.group1;
        const bool plain = (sense == 0) == (group < other);
        mWorkerRelations[worker].push_back({std::min(group, other), std::max(group, other),
                                            k | (plain ? 0u : kOpposite), blocker.score});
      }
    first = next;
  }
}

void koDistantContacts::rayTest(unsigned int mesh, unsigned int entry,
                                const Wm4::Vector3<float>& direction, unsigned int worker,
                                std::vector<tRelation>& found) {
  found.clear();
  ko::koPointer<ko::koVertexBuffer> samples;
  sampleMesh(mesh, direction, samples, mWorkerRays[worker]);
  const int noSamples = samples->GetVertexQuantity();
  if (noSamples == 0)
    return;

  const unsigned int k = entry & ~kOpposite;
  const unsigned int along = (entry & kOpposite) != 0 ? 1 : 0;
  const unsigned int group = mMeshGroups.meshGroupIds[mesh];
  const tBoundingPlanes& own = getBoundingPlanes(mesh, k);
  const float facing = float(std::sin(double(facingAngle) * kPi / 180.0));
  std::vector<unsigned int>& scores = mWorkerScores[worker];
  for (unsigned int j = 0; j < mMeshGroups.meshes.size(); ++j) {
    const unsigned int other = mMeshGroups.meshGroupIds[j];
    const tBoundingPlanes& planes = getBoundingPlanes(j, k);
    bool across = other != group;
    for (int a = 0; a < 2; ++a)
      across = across && std::min(own.crossMax[a], planes.crossMax[a]) -
                                 std::max(own.crossMin[a], planes.crossMin[a]) >
                             0.0f;
    if (!across)
      continue;

    // How far the two must travel apart anyway to leave the meshes they touch.
    const float limit = std::min(own.clearance[along], planes.clearance[1 - along]);
    unsigned int hits = 0;
    float nearest = INFINITY;
    for (int s = 0; s < noSamples; ++s) {
      float t = 0.0f;
      Wm4::Vector2<float> barycentric;
      unsigned int triangle = 0;
      if (mHierarchies[j]->intersectRay(samples->Position3(s), direction, 0.0f, t, barycentric,
                                        triangle, koQBVH::eNearestHit) &&
          -mTriangleNormals[j][triangle].Dot(direction) > facing && t <= FLT_MAX) {
        ++hits;
        nearest = std::min(nearest, t);
      }
    }
    mWorkerRays[worker] += uint64_t(noSamples);
    if (hits < 2)
      continue;

    // Few hits: a glancing blocker, scored by its share. Many: scored by nearness, higher when
    // it stands closer than the parts must travel anyway to leave their contacts.
    unsigned int score;
    const float ratio = float(hits) / float(noSamples);
    if (ratio <= partialHitRatio) {
      score = unsigned(std::min(double(ratio) * 2147483648.0, double(0x7FFFFFFF)));
    } else {
      const double f = double(nearest) / double(mSceneDiagonal);
      const unsigned int nearness =
          f >= 1.0 ? 0u : unsigned(std::min((1.0 - f) * 1073741824.0, double(0x3FFFFFFF)));
      score = (limit <= nearest ? 0x80000000u : 0xC0000000u) | nearness;
    }
    scores[other] = std::min(scores[other], score);
  }

  for (unsigned int other = 0; other < scores.size(); ++other)
    if (scores[other] != None) {
      found.push_back({group, other, entry, scores[other]});
      scores[other] = None;
    }
}
