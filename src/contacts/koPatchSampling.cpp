#include "contacts/koPatchSampling.h"

#include "contacts/koLatticeSampling.h"
#include "contacts/koSurfacePoints.h"

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

SideSamples sampleSide(const std::vector<ko::koPointer<ko::koTriMesh>>& unfoldedPatches,
                       koLatticeSampler& sampler) {
  double totalArea = 0.0;
  forEachTriangle(unfoldedPatches, [&](size_t, const ko::koVertexBuffer& vertices, const int* v) {
    totalArea += doubledPlaneArea(vertices, v);
  });
  int capacity = 0;
  Budget sizing(totalArea);
  forEachTriangle(unfoldedPatches, [&](size_t, const ko::koVertexBuffer& vertices, const int* v) {
    capacity += sizing.next(doubledPlaneArea(vertices, v));
  });

  SideSamples samples;
  samples.points = new ko::koVertexBuffer(koSurfacePoints::pointAttributes(), capacity);
  samples.perPatch.assign(unfoldedPatches.size(), 0);
  std::vector<Wm4::Vector3<double>> weights;
  int written = 0;
  Budget budget(totalArea);
  forEachTriangle(unfoldedPatches, [&](size_t p, const ko::koVertexBuffer& vertices, const int* v) {
    const float area = doubledPlaneArea(vertices, v);
    const int count = budget.next(area);
    const Vector2 corners[3] = {vertices.TCoord2(0, v[0]), vertices.TCoord2(0, v[1]),
                                vertices.TCoord2(0, v[2])};
    sampler.sample(corners, count, weights);
    for (const Wm4::Vector3<double>& w : weights) {
      const float wf[3] = {static_cast<float>(w.X()), static_cast<float>(w.Y()),
                           static_cast<float>(w.Z())};
      koSurfacePoints::writePoint(*samples.points, written++,
                                  koSurfacePoints::surfacePoint(vertices, v, wf),
                                  area / static_cast<float>(count));
    }
    samples.perPatch[p] += static_cast<int>(weights.size());
  });

  if (written > 0) {
    samples.points->resizeVertexBuffer(written);
  } else {
    // Nothing to match, yet a buffer to hand on; the samples of no patch include it.
    samples.points->resizeVertexBuffer(1);
    koSurfacePoints::SurfacePoint origin;
    origin.position = Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
    origin.normal = origin.faceNormal = Wm4::Vector3<float>(1.0f, 0.0f, 0.0f);
    koSurfacePoints::writePoint(*samples.points, 0, origin, 0.0f);
  }
  return samples;
}

} // namespace koPatchSampling
