// The command-line host end to end on the 135-part keyboard of examples/data, as tolvane runs it:
// import, the pipeline's stages and the three output files. One iteration is one whole run; the
// counters are each stage's milliseconds (the pipeline's own clock, the writing timed here).
// The animation plays the optimal policy, so that its collision check runs over one animation
// (the automatic choice may check up to three).

#include "tolvaneGlb.h"
#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePipeline.h"
#include "tolvanePlan.h"

#include <ko/koSystemUtils.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(KO_SAMPLE_DATA_DIR) + "/keyboard.glb";

tolvaneSettings benchSettings() {
  tolvaneSettings settings;
  settings.quiet = true;
  settings.autoPolicy = false;
  settings.animation.policy = koExplodedViewAnimation::ePolicyOptimal;
  return settings;
}

fs::path outputDir() {
  const fs::path dir = fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir;
}

void BM_HostKeyboard(benchmark::State& state) {
  const fs::path dir = outputDir();
  std::map<std::string, double> totals;
  for (auto _ : state) {
    const double start = ko::koSystemUtils::GetTimeBaseMs();
    tolvaneImport import = importAssembly({kSample});
    const tolvaneParts parts = groupParts(import, tolvaneGroupBy::Mesh);
    tolvanePipeline pipeline(import, parts);
    pipeline.run(benchSettings(), ko::koSystemUtils::GetTimeBaseMs() - start);
    const double written = ko::koSystemUtils::GetTimeBaseMs();
    const bool ok = writePlanJson(pipeline.plan(), (dir / "plan.json").string()) &&
                    pipeline.saveExploded((dir / "exploded.obj").string()) &&
                    writeAnimatedGlb(import, parts, pipeline.plan().tracks,
                                     (dir / "exploded.glb").string());
    if (!ok) {
      state.SkipWithError("cannot write the outputs");
      break;
    }
    for (const auto& [stage, ms] : pipeline.plan().timingsMs)
      totals[stage + "_ms"] += ms;
    totals["writing_ms"] += ko::koSystemUtils::GetTimeBaseMs() - written;
  }
  for (const auto& [name, ms] : totals)
    state.counters[name] = benchmark::Counter(ms, benchmark::Counter::kAvgIterations);
  fs::remove_all(dir);
}
BENCHMARK(BM_HostKeyboard)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The GLB writer alone, with the tracks of one planned run.
void BM_WriteGlbKeyboard(benchmark::State& state) {
  const fs::path dir = outputDir();
  tolvaneImport import = importAssembly({kSample});
  const tolvaneParts parts = groupParts(import, tolvaneGroupBy::Mesh);
  tolvanePipeline pipeline(import, parts);
  pipeline.run(benchSettings(), 0.0);
  for (auto _ : state)
    if (!writeAnimatedGlb(import, parts, pipeline.plan().tracks, (dir / "exploded.glb").string()))
      state.SkipWithError("cannot write exploded.glb");
  state.counters["bytes"] = static_cast<double>(fs::file_size(dir / "exploded.glb"));
  fs::remove_all(dir);
}
BENCHMARK(BM_WriteGlbKeyboard)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
