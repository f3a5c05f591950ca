// Distant contacts on tile grids from meshes, in rays per second, beside Embree's raw single-ray
// rate on a random scene measured in the same run.

#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koEmbreeAnchor.h"
#include "koMeshAssemblies.h"

#include <benchmark/benchmark.h>

#include <limits>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

// A tile grid with its automatic contact diagram, which takes seconds: built once per size.
struct Prepared {
  explicit Prepared(unsigned int parts)
      : assembly(koMeshAssemblies::tileGrid(parts)), groups(assembly.makeGroups()),
        diagram(groups, 2, nullptr) {
    diagram.computeDirectionSet(5.0f);
  }
  koMeshAssembly assembly;
  koMeshGroups groups;
  koContactDiagram diagram;
};

const Prepared& prepared(unsigned int parts) {
  static std::map<unsigned int, std::unique_ptr<Prepared>> cache;
  std::unique_ptr<Prepared>& entry = cache[parts];
  if (!entry)
    entry = std::make_unique<Prepared>(parts);
  return *entry;
}

void BM_DistantContacts(benchmark::State& state) {
  const Prepared& grid = prepared(unsigned(state.range(0)));
  const unsigned int threads = unsigned(state.range(1));
  double rays = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    koDisassemblyHierarchy hierarchy(grid.groups);
    koDisassemblyHierarchyBuilder builder(hierarchy, grid.diagram, 1);
    koDistantContacts contacts(builder);
    state.ResumeTiming();
    contacts.computeDistantContacts(threads, nullptr);
    rays += double(contacts.getNoRaysCast());
    benchmark::DoNotOptimize(builder.getNoEdges());
  }
  state.counters["rays/s"] = benchmark::Counter(rays, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DistantContacts)
    ->ArgsProduct({{50, 200}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// The anchor: rtcIntersect1 on one thread over 10,000 small triangles scattered in the unit cube,
// rays from points of the cube in random directions.
void BM_EmbreeRawRays(benchmark::State& state) {
  constexpr unsigned int kTriangles = 10000, kRays = 200000;
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> unit(0, 1), edge(-0.02f, 0.02f);
  std::normal_distribution<float> normal;
  koEmbreeAnchor::tTriangles soup;
  for (unsigned int t = 0; t < kTriangles; ++t) {
    const float centre[3] = {unit(rng), unit(rng), unit(rng)};
    for (unsigned int k = 0; k < 3; ++k) {
      for (float c : centre)
        soup.positions.push_back(c + edge(rng));
      soup.indices.push_back(3 * t + k);
    }
  }
  soup.positions.push_back(0);  // Embree loads the last vertex 16 bytes wide
  RTCScene scene = koEmbreeAnchor::buildScene(soup, RTC_SCENE_FLAG_NONE);

  std::vector<float> rays;  // origin and direction per ray
  for (unsigned int r = 0; r < kRays; ++r) {
    float d[3] = {normal(rng), normal(rng), normal(rng)};
    rays.insert(rays.end(), {unit(rng), unit(rng), unit(rng), d[0], d[1], d[2]});
  }
  for (auto _ : state) {
    unsigned int hits = 0;
    for (unsigned int r = 0; r < kRays; ++r)
      hits += koEmbreeAnchor::nearestHit(scene, &rays[6 * r], &rays[6 * r + 3]) <
              std::numeric_limits<float>::infinity();
    benchmark::DoNotOptimize(hits);
  }
  state.counters["rays/s"] =
      benchmark::Counter(double(state.iterations()) * kRays, benchmark::Counter::kIsRate);
  rtcReleaseScene(scene);
}
BENCHMARK(BM_EmbreeRawRays)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
