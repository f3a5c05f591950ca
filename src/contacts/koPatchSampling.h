#pragma once

#include <ko/koPointer.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <vector>

class koLatticeSampler;

namespace koPatchSampling {

// About this many samples per side, shared among its triangles by plane area.
constexpr int SampleBudget = 10000;
// No triangle gets fewer, so small triangles are still seen.
constexpr int MinimumTriangleSamples = 5;

struct SideSamples {
  // One vertex per sample in the layout of koSurfacePoints::pointAttributes(), patch after
  // patch; a single zero-weight vertex at the origin when no sample was written.
  ko::koPointer<ko::koVertexBuffer> points;
  // Samples per patch, in patch order.
  std::vector<int> perPatch;
};

// The samples of one side's unfolded patches: every triangle gets a share of the budget by its
// plane area (at least MinimumTriangleSamples), spread over its plane triangle by the lattice
// sampler and mapped onto the 3D triangle. A sample's weight is the triangle's doubled plane area
// over its sample count.
SideSamples sampleSide(const std::vector<ko::koPointer<ko::koTriMesh>>& unfoldedPatches,
                       koLatticeSampler& sampler);

} // namespace koPatchSampling
