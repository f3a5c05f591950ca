// The whole hierarchy construction (direction search, splitting, indexing) on generated box
// assemblies: a running-bond brick wall and a random packing of boxes, with contacts that list
// axes only (3 directions) or axes and diagonals (up to 13), on 1 or 2 threads.

#include "koBenchAssemblies.h"

#include <benchmark/benchmark.h>

namespace {

// Reports what the split search itself took, next to the whole, from the builder's timing lines.
double solverSeconds(const std::string& timing) {
  const std::string key = "solver time: ";
  const size_t at = timing.rfind(key);
  return at == std::string::npos ? 0.0 : std::stod(timing.substr(at + key.size()));
}

void computeHierarchy(benchmark::State& state) {
  const tBenchShape shape = static_cast<tBenchShape>(state.range(0));
  const unsigned int noGroups = static_cast<unsigned int>(state.range(1));
  const bool diagonals = state.range(2) != 0;
  const unsigned int threads = static_cast<unsigned int>(state.range(3));
  auto assembly = makeBenchAssembly(shape, noGroups, diagonals);

  koDisassemblyHierarchy hierarchy(assembly->meshGroups());
  koDisassemblyHierarchyBuilder builder(hierarchy, assembly->diagram(), threads);
  builder.initSolver();

  koCapturedOutput timing;
  double searchSeconds = 0.0;
  for (auto _ : state) {
    builder.computeGroupsHierarchy(0, nullptr);
    searchSeconds += solverSeconds(timing.take());
  }

  state.counters["groups"] = assembly->meshGroups().getNoGroups();
  state.counters["directions"] = assembly->diagram().getNoDirections();
  state.counters["search_s"] =
      benchmark::Counter(searchSeconds, benchmark::Counter::kAvgIterations);
}

void shapes(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"shape", "groups", "diagonals", "threads"});
  for (int shape : {BrickWall, RandomPacking})
    for (int groups : {50, 200, 1000})
      for (int diagonals : {0, 1})
        for (int threads : {1, 2})
          bench->Args({shape, groups, diagonals, threads});
}

} // namespace

BENCHMARK(computeHierarchy)->Apply(shapes)->Unit(benchmark::kMillisecond)->UseRealTime();
