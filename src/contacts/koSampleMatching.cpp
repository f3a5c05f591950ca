#include "contacts/koSampleMatching.h"

#include "contacts/koSurfacePoints.h"
#include "koMeshAndBVH.h"

#include <ko/koQBVH.h>

#include <algorithm>
#include <cmath>

namespace koSampleMatching {

namespace {

// The hit of the sample's normal line on a facing contact face of the other side, if any.
bool matchSample(const koPatchSampling::Sample& sample, int i, const koMeshAndBVH& other,
                 const std::vector<unsigned char>& contactFace, float tolerance, Match& match) {
  float distance = tolerance;
  Wm4::Vector2<float> barycentric;
  unsigned int triangle = 0;
  if (!other.qbvh->intersectRaySymmetric(sample.point.position, sample.point.normal, distance,
                                         barycentric, triangle) ||
      triangle >= contactFace.size() || !contactFace[triangle])
    return false;
  int v[3];
  other.mesh->GetTriangle(static_cast<int>(triangle), v[0], v[1], v[2]);
  const float w[3] = {barycentric.X(), barycentric.Y(), 1.0f - barycentric.X() - barycentric.Y()};
  match.sample = i;
  match.distance = distance;
  match.hit = koSurfacePoints::surfacePoint(*other.mesh->VBuffer, v, w);
  return std::min(sample.point.faceNormal.Dot(match.hit.faceNormal),
                  sample.point.normal.Dot(match.hit.normal)) <= FacingLimit;
}

// Distances that differ by at most this share of the tolerance count as equal.
constexpr float kEqualDistanceShare = 1e-3f;

// Appends the accepted matches of one patch that are not stray: below mean + 2 standard
// deviations of the weighted distances. When all distances agree to within a thousandth of the
// tolerance (faces flush against each other, apart only by rounding), none is a stray and all
// are kept: the strict bound would drop every one of exactly equal distances, and those one
// rounding step above the rest otherwise.
void keepNearMatches(const std::vector<koPatchSampling::Sample>& samples,
                     const std::vector<Match>& accepted,
                     float tolerance, std::vector<Match>& kept) {
  if (accepted.empty())
    return;
  double weight = 0.0, moment1 = 0.0, moment2 = 0.0;
  for (const Match& match : accepted) {
    const double w = samples[static_cast<size_t>(match.sample)].weight, t = match.distance;
    weight += w;
    moment1 += w * t;
    moment2 += w * t * t;
  }
  const double mean = moment1 / weight;
  const double deviation = std::sqrt(std::max(0.0, moment2 / weight - mean * mean));
  const float bound = 2.0f * static_cast<float>(deviation) + static_cast<float>(mean);
  const auto [nearest, farthest] = std::minmax_element(
      accepted.begin(), accepted.end(),
      [](const Match& a, const Match& b) { return a.distance < b.distance; });
  const bool allEqual = farthest->distance - nearest->distance <= kEqualDistanceShare * tolerance;
  for (const Match& match : accepted)
    if (allEqual || match.distance < bound)
      kept.push_back(match);
}

} // namespace

ko::koVertexBuffer* matchSamples(const koPatchSampling::SideSamples& samples,
                                 const koMeshAndBVH& other,
                                 const std::vector<unsigned char>& contactFace, float tolerance,
                                 Workspace& workspace) {
  std::vector<Match>& accepted = workspace.accepted;
  std::vector<Match>& kept = workspace.kept;
  kept.clear();
  Match match;
  int first = 0;
  for (int count : samples.perPatch) {
    accepted.clear();
    for (int i = first; i < first + count; ++i)
      if (matchSample(samples.points[static_cast<size_t>(i)], i, other, contactFace, tolerance,
                      match))
        accepted.push_back(match);
    keepNearMatches(samples.points, accepted, tolerance, kept);
    first += count;
  }
  if (kept.empty())
    return nullptr;

  ko::koVertexBuffer* pairs =
      new ko::koVertexBuffer(koSurfacePoints::pointAttributes(), 2 * static_cast<int>(kept.size()));
  for (size_t k = 0; k < kept.size(); ++k) {
    const koPatchSampling::Sample& sample = samples.points[static_cast<size_t>(kept[k].sample)];
    const int sampleVertex = 2 * static_cast<int>(k);
    koSurfacePoints::writePoint(*pairs, sampleVertex, sample.point, sample.weight);
    koSurfacePoints::writePoint(*pairs, sampleVertex + 1, kept[k].hit, sample.weight);
  }
  return pairs;
}

} // namespace koSampleMatching
