#include "contacts/koPatchSampling.h"

#include <algorithm>
#include <cmath>

namespace koPatchSampling {

namespace {

using Vector2 = Wm4::Vector2<float>;

// Twice the plane area of a triangle of an unfolded patch.
float doubledPlaneArea(const ko::koVertexBuffer& vertices, const int v[3]) {
  const Vector2& a = vertices.TCoord2(0, v[0]);
  return std::fabs((vertices.TCoord2(0, v[1]) - a).DotPerp(vertices.TCoord2(0, v[2]) - a));
}

// Hands out the budget triangle by triangle, each its share of what is left by area.
class Budget {
public:
  explicit Budget(double totalArea) : mArea(totalArea) {}

  int next(float area) {
    const double share = static_cast<double>(static_cast<float>(mSamples) * area) / mArea;
    int n = 0;
    if (share > 0.0) {
      // Never above what is left, which only rounding could exceed.
      n = static_cast<int>(std::min(share, static_cast<double>(mSamples)));
      mSamples -= n;
    }
    mArea -= area;
    return std::max(n, MinimumTriangleSamples);
  }

private:
  int mSamples = SampleBudget;
  double mArea;
};

template <typename Visit>
void forEachTriangle(const std::vector<ko::koPointer<ko::koTriMesh>>& patches, Visit visit) {
  for (size_t p = 0; p < patches.size(); ++p) {
    const ko::koTriMesh& patch = *patches[p];
    const int* indices = patch.IBuffer->GetData();
    for (int t = 0; t < patch.GetTriangleQuantity(); ++t)
      visit(p, *patch.VBuffer, indices + 3 * t);
  }
}

} // namespace

void sampleSide(const std::vector<ko::koPointer<ko::koTriMesh>>& unfoldedPatches, Sampler& sampler,
                SideSamples& samples) {
  double totalArea = 0.0;
  forEachTriangle(unfoldedPatches, [&](size_t, const ko::koVertexBuffer& vertices, const int* v) {
    totalArea += doubledPlaneArea(vertices, v);
  });

  samples.points.clear();
  samples.perPatch.assign(unfoldedPatches.size(), 0);
  Budget budget(totalArea);
  Sample sample;
  forEachTriangle(unfoldedPatches, [&](size_t p, const ko::koVertexBuffer& vertices, const int* v) {
    const float area = doubledPlaneArea(vertices, v);
    const int count = budget.next(area);
    const Vector2 corners[3] = {vertices.TCoord2(0, v[0]), vertices.TCoord2(0, v[1]),
                                vertices.TCoord2(0, v[2])};
    sampler.lattice.sample(corners, count, sampler.weights);
    if (sampler.weights.empty())
      return;
    sample.point.faceNormal = koSurfacePoints::faceNormal(vertices, v);
    sample.weight = area / static_cast<float>(count);
    for (const Wm4::Vector3<double>& w : sampler.weights) {
      const float wf[3] = {static_cast<float>(w.X()), static_cast<float>(w.Y()),
                           static_cast<float>(w.Z())};
      koSurfacePoints::interpolate(vertices, v, wf, sample.point);
      samples.points.push_back(sample);
    }
    samples.perPatch[p] += static_cast<int>(sampler.weights.size());
  });
}

} // namespace koPatchSampling
