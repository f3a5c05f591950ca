// What one batch of the worker pool costs beyond its jobs: batches of empty jobs on 1 and 2
// threads, as the hierarchy builder runs them (one batch per search pass of a node, a job per
// direction). The anchor starts and joins one std::thread per worker, the floor of a pool that
// makes its threads per batch.

#include "koMiniThreadPool.h"

#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

namespace {

struct tEmptyJob {
  void operator()(unsigned int, unsigned int, void*) const {}
};

void poolBatch(benchmark::State& state) {
  const unsigned int threads = static_cast<unsigned int>(state.range(0));
  const unsigned int jobs = static_cast<unsigned int>(state.range(1));
  tEmptyJob job;
  koMiniThreadPool<tEmptyJob> pool(job, threads, nullptr);
  for (auto _ : state)
    pool.run(nullptr, jobs);
}

void threadStartJoin(benchmark::State& state) {
  const unsigned int threads = static_cast<unsigned int>(state.range(0));
  for (auto _ : state) {
    std::vector<std::thread> workers;
    for (unsigned int t = 0; t < threads; ++t)
      workers.emplace_back([] {});
    for (std::thread& worker : workers)
      worker.join();
  }
}

} // namespace

BENCHMARK(poolBatch)->ArgNames({"threads", "jobs"})->ArgsProduct({{1, 2}, {1, 13}})->UseRealTime();
BENCHMARK(threadStartJoin)->ArgNames({"threads"})->Arg(1)->Arg(2)->UseRealTime();
