// The exploded view animation (split times, keys, clamping, swept box and controllers) on
// generated box assemblies: a running-bond brick wall and a random packing of boxes. The
// hierarchy and the explosion diagram are computed once per assembly, outside the timing.

#include "koBenchAssemblies.h"
#include "koExplodedViewAnimation.h"
#include "koExplosionDiagram.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

namespace {

struct Exploded {
  Exploded(tBenchShape shape, unsigned int noGroups)
      : planned(shape, noGroups), diagram(planned.builder) {
    diagram.computeTranslationHierarchy(1.0f);
  }
  koPlannedAssembly planned;
  koExplosionDiagram diagram;
};

// One planned assembly per shape and size, shared by the policies.
const Exploded& exploded(tBenchShape shape, unsigned int noGroups) {
  static std::map<std::pair<int, unsigned int>, std::unique_ptr<Exploded>> cache;
  auto& entry = cache[{shape, noGroups}];
  if (!entry)
    entry = std::make_unique<Exploded>(shape, noGroups);
  return *entry;
}

void createKeyFrameControllers(benchmark::State& state) {
  const tBenchShape shape = static_cast<tBenchShape>(state.range(0));
  const unsigned int noGroups = static_cast<unsigned int>(state.range(1));
  const auto policy = static_cast<koExplodedViewAnimation::tAnimationPolicy>(state.range(2));
  const Exploded& planned = exploded(shape, noGroups);

  koExplodedViewAnimation animation(planned.diagram);
  animation.setAnimationPolicy(policy);
  for (auto _ : state) {
    animation.createKeyFrameControllers();
    benchmark::DoNotOptimize(animation.getGlobalBBox());
  }

  size_t noKeys = 0;
  float length = 0.0f;
  for (const auto& controller : animation.getControllers()) {
    noKeys += static_cast<size_t>(controller->GetKeyQuantity());
    length = std::max(length, static_cast<float>(controller->MaxTime));
  }
  state.counters["groups"] = planned.planned.assembly->meshGroups().getNoGroups();
  state.counters["controllers"] = static_cast<double>(animation.getControllers().size());
  state.counters["keys"] = static_cast<double>(noKeys);
  state.counters["length"] = length;  // end time of the played animation
}

void shapes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"shape", "groups", "policy"});
  for (int shape : {BrickWall, RandomPacking})
    for (int groups : {50, 200, 1000})
      for (int policy : {0, 1, 2})
        bench->Args({shape, groups, policy});
}

} // namespace

BENCHMARK(createKeyFrameControllers)->Apply(shapes)->Unit(benchmark::kMillisecond)->UseRealTime();
