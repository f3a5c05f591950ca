// The whole hierarchy construction (direction search, splitting, indexing) on generated box
// assemblies: a running-bond brick wall and a random packing of boxes, with contacts that list
// axes only (3 directions) or axes and diagonals (up to 13), on 1 or 2 threads.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koSampleAssemblies.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <sstream>

namespace {

enum Shape { BrickWall, RandomPacking };

koSampleAssemblies::Assembly makeAssembly(Shape shape, unsigned int noGroups, bool diagonals) {
  if (shape == RandomPacking)
    return koSampleAssemblies::randomPacking(noGroups, 1, diagonals);
  // Rows of 10 bricks (11 in the offset rows) on a ground slab.
  const unsigned int rows = (noGroups - 1) * 2 / 21;
  return koSampleAssemblies::brickWall(rows, 10, diagonals);
}

// Reports what the split search itself took, next to the whole, from the builder's timing lines.
double solverSeconds(const std::string& timing) {
  const std::string key = "solver time: ";
  const size_t at = timing.rfind(key);
  return at == std::string::npos ? 0.0 : std::stod(timing.substr(at + key.size()));
}

void computeHierarchy(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(0));
  const unsigned int noGroups = static_cast<unsigned int>(state.range(1));
  const bool diagonals = state.range(2) != 0;
  const unsigned int threads = static_cast<unsigned int>(state.range(3));
  auto assembly = makeAssembly(shape, noGroups, diagonals);

  koDisassemblyHierarchy hierarchy(assembly->meshGroups());
  koDisassemblyHierarchyBuilder builder(hierarchy, assembly->diagram(), threads);
  builder.initSolver();

  // The builder always prints its timing lines; keep them out of the benchmark's report.
  std::ostringstream timing;
  std::streambuf* console = std::cout.rdbuf(timing.rdbuf());
  double searchSeconds = 0.0;
  for (auto _ : state) {
    builder.computeGroupsHierarchy(0, nullptr);
    searchSeconds += solverSeconds(timing.str());
    timing.str("");
  }
  std::cout.rdbuf(console);

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
