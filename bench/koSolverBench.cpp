// The split solvers on contact graphs shaped like real assemblies, ko2SATSolver (BM_Solve...) and
// ko2SATSolverV2 (BM_SolveV2...) on the same systems. Each benchmark times solve() alone:
// building, reordering and baking the system happen once, outside the timed loop (solve() leaves
// the baked structure as it found it, so it can be repeated). The rate counters measure the
// search's own work: nodes unlinked by covers (ko2SATSolver), rows masked (ko2SATSolverV2).
//
// Shapes, n groups and about 2n contact constraints each:
//   chain:  group i touches i + 1 and i + 2 (a long rod of parts);
//   grid:   a square grid, each group touching its four neighbours (a plate of parts);
//   random: each group touches two random others (average degree 4).
// The tested direction releases half of the contacts one-sidedly, as a removal direction
// does: every group gets a random height and a released contact lets the higher group move
// (weight 1 for in/out, 2 for out/in, as the hierarchy builder charges them); the other contacts
// keep their groups together.

#include "ko2SATSolver.h"
#include "ko2SATSolverV2.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

namespace {

enum tShape { kChain, kGrid, kRandom };

std::vector<std::pair<unsigned int, unsigned int>> makeContacts(tShape shape, unsigned int n,
                                                                std::mt19937& rng) {
  std::vector<std::pair<unsigned int, unsigned int>> edges;
  if (shape == kChain) {
    for (unsigned int i = 0; i + 1 < n; ++i) {
      edges.emplace_back(i, i + 1);
      if (i + 2 < n)
        edges.emplace_back(i, i + 2);
    }
  } else if (shape == kGrid) {
    const unsigned int width = unsigned(std::lround(std::sqrt(double(n))));
    for (unsigned int i = 0; i < n; ++i) {
      if ((i + 1) % width != 0 && i + 1 < n)
        edges.emplace_back(i, i + 1);
      if (i + width < n)
        edges.emplace_back(i, i + width);
    }
  } else {
    for (unsigned int i = 0; i < n; ++i)
      for (int k = 0; k < 2; ++k) {
        unsigned int j = unsigned(rng() % (n - 1));
        edges.emplace_back(i, j >= i ? j + 1 : j);
      }
  }
  return edges;
}

// The contacts and, per contact, the crossing the tested direction releases: 0 none, 1 in/out
// (weight 1), 2 out/in (weight 2).
struct tBenchSystem {
  unsigned int n;
  std::vector<std::pair<unsigned int, unsigned int>> edges;
  std::vector<unsigned int> released;
};

tBenchSystem makeSystem(tShape shape, unsigned int n) {
  std::mt19937 rng(12345u + n);
  tBenchSystem system{n, makeContacts(shape, n, rng), {}};
  std::vector<unsigned int> height(n);
  std::iota(height.begin(), height.end(), 0u);
  std::shuffle(height.begin(), height.end(), rng);
  for (const auto& [a, b] : system.edges)
    system.released.push_back(rng() % 2 != 0 ? 0u : height[a] > height[b] ? 1u : 2u);
  return system;
}

template <typename tSolver, typename tSetStrength>
void setStrengths(const tBenchSystem& system, tSolver& solver, tSetStrength setStrength) {
  for (unsigned int c = 0; c < system.released.size(); ++c) {
    if (system.released[c] == 1)
      (solver.*setStrength)(c, true, false, 1, 1, false);
    else if (system.released[c] == 2)
      (solver.*setStrength)(c, false, true, 2, 2, false);
  }
}

std::unique_ptr<ko2SATSolver> makeBakedSolver(const tBenchSystem& system) {
  auto solver = std::make_unique<ko2SATSolver>(system.n, unsigned(system.edges.size()));
  for (unsigned int c = 0; c < system.edges.size(); ++c)
    solver->addNewConstraint(c, system.edges[c].first, system.edges[c].second, true);
  setStrengths(system, *solver, &ko2SATSolver::desactivateConstraint);
  const ko2SATSystemRoot root = solver->getGlobalSystemRoot();
  solver->reorderColumns(root);
  solver->bakeSystem(root, nullptr, false);
  return solver;
}

std::unique_ptr<ko2SATSolverV2> makeBakedSolverV2(const tBenchSystem& system) {
  auto solver = std::make_unique<ko2SATSolverV2>(system.n, unsigned(system.edges.size()));
  for (unsigned int c = 0; c < system.edges.size(); ++c)
    solver->createConstraint(c, system.edges[c].first, system.edges[c].second, true);
  setStrengths(system, *solver, &ko2SATSolverV2::setConstraintParameters);
  solver->bakeSystem(solver->getGlobalSystemRoot());
  return solver;
}

template <typename tSolver>
void reportSplit(benchmark::State& state, const tSolver& solver) {
  unsigned int moved = 0;
  solver.bestState.forEachMember([&](unsigned int) { ++moved; });
  state.counters["moved"] = moved;
  state.counters["weight"] = double(uint32_t(solver.bestCost) >> solver.groupBits);
}

void solveOnly(benchmark::State& state, tShape shape) {
  const auto solver = makeBakedSolver(makeSystem(shape, unsigned(state.range(0))));
  for (auto _ : state) {
    solver->solve();
    benchmark::DoNotOptimize(solver->bestCost);
  }
  reportSplit(state, *solver);
  state.counters["updates/s"] = benchmark::Counter(
      double(solver->noLinkUpdates), benchmark::Counter::kIsIterationInvariantRate);
}

void solveOnlyV2(benchmark::State& state, tShape shape) {
  const auto solver = makeBakedSolverV2(makeSystem(shape, unsigned(state.range(0))));
  const ko2SATSolverV2::tSystemRoot root = solver->getGlobalSystemRoot();
  for (auto _ : state) {
    solver->solve(root);
    benchmark::DoNotOptimize(solver->bestCost);
  }
  reportSplit(state, *solver);
  state.counters["rows/s"] = benchmark::Counter(double(solver->noMaskedRows),
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SolveChain(benchmark::State& state) { solveOnly(state, kChain); }
void BM_SolveGrid(benchmark::State& state) { solveOnly(state, kGrid); }
void BM_SolveRandom(benchmark::State& state) { solveOnly(state, kRandom); }
void BM_SolveV2Chain(benchmark::State& state) { solveOnlyV2(state, kChain); }
void BM_SolveV2Grid(benchmark::State& state) { solveOnlyV2(state, kGrid); }
void BM_SolveV2Random(benchmark::State& state) { solveOnlyV2(state, kRandom); }

BENCHMARK(BM_SolveChain)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveV2Chain)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveGrid)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveV2Grid)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveRandom)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveV2Random)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

} // namespace
