// The split solver on contact graphs shaped like real assemblies. Each benchmark times solve()
// alone: building, reordering and baking the system happen once, outside the timed loop (solve()
// leaves the baked structure as it found it, so it can be repeated).
//
// Shapes, n groups and about 2n contact constraints each:
//   chain:  group i touches i + 1 and i + 2 (a long rod of parts);
//   grid:   a square grid, each group touching its four neighbours (a plate of parts);
//   random: each group touches two random others (average degree 4).
// The tested direction releases a quarter of the contacts one-sidedly, as a removal direction
// does: every group gets a random height and a released contact lets the higher group move
// (weight 1 for in/out, 2 for out/in, as the hierarchy builder charges them); the other contacts
// keep their groups together.

#include "ko2SATSolver.h"

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

std::unique_ptr<ko2SATSolver> makeBakedSystem(tShape shape, unsigned int n) {
  std::mt19937 rng(12345u + n);
  const auto edges = makeContacts(shape, n, rng);
  std::vector<unsigned int> height(n);
  std::iota(height.begin(), height.end(), 0u);
  std::shuffle(height.begin(), height.end(), rng);

  const unsigned int m = unsigned(edges.size());
  auto solver = std::make_unique<ko2SATSolver>(n, m);
  for (unsigned int c = 0; c < m; ++c) {
    const auto [a, b] = edges[c];
    solver->addNewConstraint(c, a, b, true);
    if (rng() % 2 == 0) {
      if (height[a] > height[b])
        solver->desactivateConstraint(c, true, false, 1, 1, false);
      else
        solver->desactivateConstraint(c, false, true, 2, 2, false);
    }
  }
  const ko2SATSystemRoot root = solver->getGlobalSystemRoot();
  solver->reorderColumns(root);
  solver->bakeSystem(root, nullptr, false);
  return solver;
}

void solveOnly(benchmark::State& state, tShape shape) {
  const std::unique_ptr<ko2SATSolver> solver = makeBakedSystem(shape, unsigned(state.range(0)));
  for (auto _ : state) {
    solver->solve();
    benchmark::DoNotOptimize(solver->bestCost);
  }
  unsigned int moved = 0;
  solver->bestState.forEachMember([&](unsigned int) { ++moved; });
  state.counters["moved"] = moved;
  state.counters["weight"] = double(uint32_t(solver->bestCost) >> solver->groupBits);
}

void BM_SolveChain(benchmark::State& state) { solveOnly(state, kChain); }
void BM_SolveGrid(benchmark::State& state) { solveOnly(state, kGrid); }
void BM_SolveRandom(benchmark::State& state) { solveOnly(state, kRandom); }

BENCHMARK(BM_SolveChain)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveGrid)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveRandom)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

} // namespace
