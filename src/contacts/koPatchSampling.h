#pragma once

#include "contacts/koLatticeSampling.h"
#include "contacts/koSurfacePoints.h"

#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <vector>

namespace koPatchSampling {

// About this many samples per side, shared among its triangles by plane area.
constexpr int SampleBudget = 10000;
// No triangle gets fewer, so small triangles are still seen.
constexpr int MinimumTriangleSamples = 5;

struct Sample {
  koSurfacePoints::SurfacePoint point;
  // The triangle's doubled plane area over its sample count.
  float weight;
};

struct SideSamples {
  // Patch after patch.
  std::vector<Sample> points;
  // Samples per patch, in patch order.
  std::vector<int> perPatch;
};

// One thread's working storage for sampleSide, kept between calls so that sampling allocates
// nothing once the buffers have grown.
struct Sampler {
  koLatticeSampler lattice;
  std::vector<Wm4::Vector3<double>> weights;
};

// The samples of one side's unfolded patches, replacing the contents of samples: every triangle
// gets a share of the budget by its plane area (at least MinimumTriangleSamples), spread over its
// plane triangle by the lattice sampler and mapped onto the 3D triangle.
void sampleSide(const std::vector<ko::koPointer<ko::koTriMesh>>& unfoldedPatches, Sampler& sampler,
                SideSamples& samples);

} // namespace koPatchSampling
