#pragma once

#include "contacts/koPatchSampling.h"
#include "contacts/koSurfacePoints.h"

#include <vector>

class koMeshAndBVH;

namespace koSampleMatching {

// Normals at least 165 degrees apart (cos 165 degrees): the two surfaces face each other.
constexpr float FacingLimit = -0.9659258f;

// A sample whose normal line met a facing contact face.
struct Match {
  // Its position in the side's samples.
  int sample;
  float distance;
  koSurfacePoints::SurfacePoint hit;
};

// One thread's working storage for matchSamples, kept between calls.
struct Workspace {
  std::vector<Match> accepted, kept;
};

// The contact point pairs of one side's samples: each sample's normal line, both ways up to
// tolerance, is cast at the other side; a pair is accepted when the nearest hit lies on one of
// the other side's contact faces (contactFace flagged per triangle) facing the sample. Per patch,
// accepted pairs whose distance is not below mean + 2 standard deviations (weighted by the
// samples' weights) are dropped as stray hits, unless their distances all agree to within a
// thousandth of the tolerance. Returns the
// kept pairs in sample order (sample, then the point met), or null when none is kept.
ko::koVertexBuffer* matchSamples(const koPatchSampling::SideSamples& samples,
                                 const koMeshAndBVH& other,
                                 const std::vector<unsigned char>& contactFace, float tolerance,
                                 Workspace& workspace);

} // namespace koSampleMatching
