// The exploded view of a finished hierarchy (prisms, axes, alignment and both translation passes)
// on generated box assemblies: a running-bond brick wall and a random packing of boxes. The
// hierarchy is built once, outside the timed loop.

#include "koBenchAssemblies.h"
#include "koExplosionDiagram.h"

#include <benchmark/benchmark.h>

namespace {

void computeTranslationHierarchy(benchmark::State& state) {
  const koPlannedAssembly planned(static_cast<tBenchShape>(state.range(0)),
                                  static_cast<unsigned int>(state.range(1)));
  const auto& assembly = planned.assembly;
  koExplosionDiagram explosion(planned.builder);
  for (auto _ : state) {
    explosion.computeTranslationHierarchy(1.0f);
    benchmark::DoNotOptimize(explosion.getFinalPerGroupTranslation(0));
  }
  state.counters["groups"] = assembly->meshGroups().getNoGroups();
  state.counters["directions"] = assembly->diagram().getNoDirections();
}

} // namespace

BENCHMARK(computeTranslationHierarchy)
    ->ArgNames({"shape", "groups"})
    ->ArgsProduct({{BrickWall, RandomPacking}, {50, 200, 1000}})
    ->Unit(benchmark::kMillisecond);
