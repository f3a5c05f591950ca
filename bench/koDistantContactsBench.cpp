// Distant contacts on tile grids from meshes, in rays per second, beside Embree's raw single-ray
// rate on a random scene measured in the same run.

#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koDistantContacts.h"
#include "koMeshAssemblies.h"

#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>

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
  std::vector<float> corners;  // x, y, z per corner
  std::vector<unsigned int> indices;
  for (unsigned int t = 0; t < kTriangles; ++t) {
    const float centre[3] = {unit(rng), unit(rng), unit(rng)};
    for (unsigned int k = 0; k < 3; ++k) {
      for (float c : centre)
        corners.push_back(c + edge(rng));
      indices.push_back(3 * t + k);
    }
  }
  corners.push_back(0);  // Embree loads the last vertex 16 bytes wide

  RTCDevice device = rtcNewDevice("threads=1");
  RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                             corners.data(), 0, 3 * sizeof(float), 3 * kTriangles);
  rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, indices.data(),
                             0, 3 * sizeof(unsigned int), kTriangles);
  rtcCommitGeometry(geometry);
  RTCScene scene = rtcNewScene(device);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(scene);

  std::vector<float> rays;  // origin and direction per ray
  for (unsigned int r = 0; r < kRays; ++r) {
    float d[3] = {normal(rng), normal(rng), normal(rng)};
    rays.insert(rays.end(), {unit(rng), unit(rng), unit(rng), d[0], d[1], d[2]});
  }
  for (auto _ : state) {
    unsigned int hits = 0;
    for (unsigned int r = 0; r < kRays; ++r) {
      const float* ray = &rays[6 * r];
      RTCRayHit query;
      query.ray.org_x = ray[0], query.ray.org_y = ray[1], query.ray.org_z = ray[2];
      query.ray.dir_x = ray[3], query.ray.dir_y = ray[4], query.ray.dir_z = ray[5];
      query.ray.tnear = 0, query.ray.time = 0;
      query.ray.tfar = std::numeric_limits<float>::infinity();
      query.ray.mask = ~0u, query.ray.id = 0, query.ray.flags = 0;
      query.hit.geomID = query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
      RTCIntersectContext context;
      rtcInitIntersectContext(&context);
      rtcIntersect1(scene, &context, &query);
      hits += query.hit.geomID != RTC_INVALID_GEOMETRY_ID;
    }
    benchmark::DoNotOptimize(hits);
  }
  state.counters["rays/s"] =
      benchmark::Counter(double(state.iterations()) * kRays, benchmark::Counter::kIsRate);
  rtcReleaseScene(scene);
  rtcReleaseDevice(device);
}
BENCHMARK(BM_EmbreeRawRays)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
