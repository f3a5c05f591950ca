// The linear hierarchy build over a finely tessellated sphere of about 100k triangles, from the
// mesh (boxes and centroids read through the triangle container) and from filled primitive
// arrays alone; next to it, as an anchor, Embree's own build of the same triangles on one thread.

#include "koEmbreeAnchor.h"

#include <ko/koBVHTriangleContainer.h>
#include <ko/koLinearGenericBVHBuilder.h>
#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kSlices = 256;
constexpr int kStacks = 196; // 2 * 256 * 196 = 100352 triangles

// A unit sphere as a latitude-longitude grid, two triangles per cell (those at the poles
// degenerate, as in many tessellated parts).
ko::koPointer<ko::koTriMesh> makeSphere() {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, (kStacks + 1) * (kSlices + 1));
  for (int s = 0; s <= kStacks; ++s)
    for (int t = 0; t <= kSlices; ++t) {
      const double polar = M_PI * s / kStacks, azimuth = 2.0 * M_PI * t / kSlices;
      vertices->Position3(s * (kSlices + 1) + t) = Wm4::Vector3<float>(
          static_cast<float>(std::sin(polar) * std::cos(azimuth)),
          static_cast<float>(std::sin(polar) * std::sin(azimuth)),
          static_cast<float>(std::cos(polar)));
    }
  auto* indices = new ko::koIndexBuffer(6 * kStacks * kSlices, ko::koIndexBuffer::TriangleList);
  int* index = indices->GetData();
  for (int s = 0; s < kStacks; ++s)
    for (int t = 0; t < kSlices; ++t) {
      const int a = s * (kSlices + 1) + t, b = a + 1, c = a + kSlices + 1, d = c + 1;
      for (int v : {a, c, b, b, c, d})
        *index++ = v;
    }
  return new ko::koTriMesh(vertices, indices);
}

void fillBuilder(koLinearGenericBVHBuilder& builder, const koBVHTriangleContainer& triangles) {
  const unsigned int n = triangles.getQuantity();
  builder.setup(n);
  for (unsigned int i = 0; i < n; ++i)
    builder.setPrimitive(i, triangles.getBBox(i), i);
}

void linearBuildFromMesh(benchmark::State& state) {
  const auto mesh = makeSphere();
  const koBVHTriangleContainer triangles(*mesh);
  koLinearGenericBVHBuilder builder;
  koGenericBVH bvh;
  for (auto _ : state) {
    fillBuilder(builder, triangles);
    builder.build(bvh, nullptr, 20);
    benchmark::DoNotOptimize(bvh.nodes.data());
  }
  state.counters["triangles"] = triangles.getQuantity();
  state.counters["nodes"] = static_cast<double>(bvh.nodes.size());
}

void linearBuildOnly(benchmark::State& state) {
  const auto mesh = makeSphere();
  koLinearGenericBVHBuilder builder;
  fillBuilder(builder, koBVHTriangleContainer(*mesh));
  koGenericBVH bvh;
  for (auto _ : state) {
    builder.build(bvh, nullptr, 20);
    benchmark::DoNotOptimize(bvh.nodes.data());
  }
}

void embreeBuild(benchmark::State& state) {
  const auto mesh = makeSphere();
  const koEmbreeAnchor::tTriangles triangles(*mesh);
  for (auto _ : state)
    rtcReleaseScene(koEmbreeAnchor::buildScene(triangles, RTC_SCENE_FLAG_NONE));
}

void medianOfNine(benchmark::internal::Benchmark* bench) {
  bench->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(linearBuildFromMesh)->Apply(medianOfNine);
BENCHMARK(linearBuildOnly)->Apply(medianOfNine);
BENCHMARK(embreeBuild)->Apply(medianOfNine);
