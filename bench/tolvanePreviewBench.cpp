// The host's preview picture of a 1M-triangle assembly (64 finely tessellated boxes and cylinders
// in a grid, every part lifted by its own offset in the exploded pose), against Embree called
// directly: one flat scene of the assembled pose built and hit by as many orthographic rays, one
// rtcIntersect1 each, as the preview casts.

#include "koEmbreeAnchor.h"
#include "koTessellatedShapes.h"
#include "tolvanePreview.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

namespace {

using Vec = Wm4::Vector3<float>;

constexpr unsigned int kSide = 8;  // parts per grid row
constexpr unsigned int kWidth = 1200, kHeight = 600;

struct tWorkload {
  tolvaneImport import;
  tolvaneParts parts;
  tolvanePlan plan;
  koEmbreeAnchor::tTriangles triangles;  // every mesh, for Embree alone
  size_t noTriangles = 0;
};

// Boxes of 6 * 36 * 36 * 2 and cylinders of 2 * 96 * 81 triangles: 15552 each.
const tWorkload& workload() {
  static const tWorkload w = [] {
    tWorkload w;
    for (unsigned int p = 0; p < kSide * kSide; ++p) {
      const Vec corner(float(p % kSide), float(p / kSide), 0.0f);
      const std::string name = "part " + std::to_string(p);
      ko::koTriMesh* mesh =
          p % 2 == 0 ? makeTessellatedBox(name, corner, corner + Vec(0.9f, 0.9f, 0.5f), 36)
                     : makeCylinder(name, corner + Vec(0.45f, 0.45f, 0.0f), 0.4f, 0.8f, 96, 80);
      w.import.scene->attachChild(mesh);
      w.import.instances.push_back({mesh, name, name, name, "0", "grid"});
      w.parts.partOfMesh.push_back(p);
      w.parts.partNames.push_back(name);
      const float lift = 0.3f * float(p % kSide + p / kSide);
      w.plan.parts.push_back({name, {name}, {0.0f, 0.0f, lift}});
      const Vec top = corner + Vec(0.45f, 0.45f, 0.8f);
      w.plan.axes.push_back({{top.X(), top.Y(), top.Z()}, {top.X(), top.Y(), top.Z() + lift}});

      const unsigned int base = unsigned(w.triangles.positions.size() / 3);
      const ko::koVertexBuffer& vertices = *mesh->VBuffer;
      for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
        for (int k = 0; k < 3; ++k)
          w.triangles.positions.push_back(vertices.Position3(v)[k]);
      for (int t = 0; t < mesh->GetTriangleQuantity(); ++t) {
        int v0 = 0, v1 = 0, v2 = 0;
        mesh->GetTriangle(t, v0, v1, v2);
        w.triangles.indices.insert(w.triangles.indices.end(),
                                   {base + unsigned(v0), base + unsigned(v1), base + unsigned(v2)});
      }
      w.noTriangles += size_t(mesh->GetTriangleQuantity());
    }
    w.triangles.positions.push_back(0.0f);  // the padding of Embree's last vertex load
    return w;
  }();
  return w;
}

void BM_RenderPreview(benchmark::State& state) {
  const tWorkload& w = workload();
  for (auto _ : state)
    benchmark::DoNotOptimize(renderPreview(w.import, w.parts, w.plan, kWidth, kHeight).rgb.data());
  state.counters["triangles"] = double(w.noTriangles);
}
BENCHMARK(BM_RenderPreview)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_WritePreview(benchmark::State& state) {
  const tWorkload& w = workload();
  const std::string path = (std::filesystem::temp_directory_path() / "tolvane-bench.png").string();
  for (auto _ : state)
    if (!writePreview(w.import, w.parts, w.plan, path))
      state.SkipWithError("cannot write the preview");
  std::remove(path.c_str());
}
BENCHMARK(BM_WritePreview)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// The same view direction, the assembled pose's box fitting the whole picture.
void BM_EmbreeAnchor(benchmark::State& state) {
  const tWorkload& w = workload();
  Vec forward(-1.0f, -1.4f, -0.9f);
  forward.Normalize();
  const Vec right = forward.UnitCross(Vec::UNIT_Z), up = right.Cross(forward);
  const float kInf = std::numeric_limits<float>::infinity();
  Vec low(kInf, kInf, kInf), high(-kInf, -kInf, -kInf);
  const std::vector<float>& positions = w.triangles.positions;
  for (size_t i = 0; i + 3 <= positions.size(); i += 3) {
    const Vec p(positions[i], positions[i + 1], positions[i + 2]);
    const Vec v(p.Dot(right), p.Dot(up), p.Dot(forward));
    for (int k = 0; k < 3; ++k)
      low[k] = std::min(low[k], v[k]), high[k] = std::max(high[k], v[k]);
  }
  const float unitsPerPixel =
      std::max((high.X() - low.X()) / kWidth, (high.Y() - low.Y()) / kHeight);
  unsigned int hits = 0;
  for (auto _ : state) {
    RTCScene scene = koEmbreeAnchor::buildScene(w.triangles, RTC_SCENE_FLAG_NONE);
    hits = 0;
    for (unsigned int row = 0; row < kHeight; ++row)
      for (unsigned int column = 0; column < kWidth; ++column) {
        const Vec o = (low.X() + (float(column) + 0.5f) * unitsPerPixel) * right +
                      (high.Y() - (float(row) + 0.5f) * unitsPerPixel) * up +
                      (low.Z() - 1.0f) * forward;
        const float origin[3] = {o.X(), o.Y(), o.Z()};
        const float direction[3] = {forward.X(), forward.Y(), forward.Z()};
        hits += std::isfinite(koEmbreeAnchor::nearestHit(scene, origin, direction));
      }
    rtcReleaseScene(scene);
  }
  state.counters["hits"] = hits;
}
BENCHMARK(BM_EmbreeAnchor)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

} // namespace
