// Ray queries through koQBVH against Embree called directly, on one thread: the same 100k-triangle
// random soup and the same 1M incoherent rays, so that items_per_second (rays per second) of
// queryQBVH over queryEmbree is the cost of the wrapper. Also the scene build both ways.

#include "koEmbreeAnchor.h"

#include <ko/koQBVH.h>
#include <ko/koTriMesh.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;

constexpr int kTriangles = 100000;
constexpr int kRays = 1000000;

struct Workload {
  std::vector<Vec3> origins, directions;
  ko::koPointer<ko::koTriMesh> mesh;
  koEmbreeAnchor::tTriangles triangles;  // the mesh, for Embree alone
};

// Triangles of edge up to 0.04 scattered in the unit cube; rays from points of the cube in
// uniformly random directions.
const Workload& workload() {
  static const Workload w = [] {
    Workload w;
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> unit(0, 1), edge(-0.02f, 0.02f);
    ko::koAttributes attributes;
    attributes.SetPositionChannels(3);
    auto* vertices = new ko::koVertexBuffer(attributes, 3 * kTriangles);
    auto* indices = new ko::koIndexBuffer(3 * kTriangles, ko::koIndexBuffer::TriangleList);
    for (int i = 0; i < kTriangles; ++i) {
      const Vec3 center(unit(rng), unit(rng), unit(rng));
      for (int k = 0; k < 3; ++k) {
        const int corner = 3 * i + k;
        vertices->Position3(corner) = center + Vec3(edge(rng), edge(rng), edge(rng));
        indices->GetData()[corner] = corner;
      }
    }
    w.mesh = new ko::koTriMesh(vertices, indices);
    w.triangles = koEmbreeAnchor::tTriangles(*w.mesh);
    std::normal_distribution<float> normal;
    for (int r = 0; r < kRays; ++r) {
      w.origins.emplace_back(unit(rng), unit(rng), unit(rng));
      Vec3 direction(normal(rng), normal(rng), normal(rng));
      direction.Normalize();
      w.directions.push_back(direction);
    }
    return w;
  }();
  return w;
}

void queryQBVH(benchmark::State& state) {
  const Workload& w = workload();
  const auto policy = static_cast<koQBVH::tIntersectionPolicy>(state.range(0));
  koQBVH qbvh;
  qbvh.buildFromMesh(0, w.mesh, 4);
  for (auto _ : state) {
    float sum = 0;
    for (int r = 0; r < kRays; ++r) {
      float distance = 0;
      Vec2 barycentric;
      unsigned int triangle = 0;
      if (qbvh.intersectRay(w.origins[r], w.directions[r], 0, distance, barycentric, triangle,
                            policy))
        sum += distance;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRays);
}

void queryQBVHSymmetric(benchmark::State& state) {
  const Workload& w = workload();
  koQBVH qbvh;
  qbvh.buildFromMesh(0, w.mesh, 4);
  for (auto _ : state) {
    float sum = 0;
    for (int r = 0; r < kRays; ++r) {
      float distance = std::numeric_limits<float>::infinity();
      Vec2 barycentric;
      unsigned int triangle = 0;
      if (qbvh.intersectRaySymmetric(w.origins[r], w.directions[r], distance, barycentric,
                                     triangle))
        sum += distance;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRays);
}

void queryEmbree(benchmark::State& state) {
  const Workload& w = workload();
  // The scene one would build with Embree alone: shared buffers, default flags.
  RTCScene scene = koEmbreeAnchor::buildScene(w.triangles, RTC_SCENE_FLAG_NONE);
  for (auto _ : state) {
    float sum = 0;
    for (int r = 0; r < kRays; ++r) {
      const float distance = koEmbreeAnchor::nearestHit(scene, w.origins[r], w.directions[r]);
      if (distance < std::numeric_limits<float>::infinity())
        sum += distance;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRays);
  rtcReleaseScene(scene);
}

void buildQBVH(benchmark::State& state) {
  const Workload& w = workload();
  for (auto _ : state) {
    koQBVH qbvh;
    qbvh.buildFromMesh(0, w.mesh, 4);
  }
  state.SetItemsProcessed(state.iterations() * kTriangles);
}

void buildEmbree(benchmark::State& state) {
  const Workload& w = workload();
  for (auto _ : state)
    rtcReleaseScene(koEmbreeAnchor::buildScene(w.triangles, RTC_SCENE_FLAG_NONE));
  state.SetItemsProcessed(state.iterations() * kTriangles);
}

} // namespace

BENCHMARK(queryEmbree)->Unit(benchmark::kMillisecond);
BENCHMARK(queryQBVH)
    ->ArgName("policy")
    ->Arg(koQBVH::eNearestHit)
    ->Arg(koQBVH::eNearestFrontHit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(queryQBVHSymmetric)->Unit(benchmark::kMillisecond);
BENCHMARK(buildEmbree)->Unit(benchmark::kMillisecond);
BENCHMARK(buildQBVH)->Unit(benchmark::kMillisecond);
