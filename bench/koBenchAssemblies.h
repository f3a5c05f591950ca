#pragma once

// The generated assemblies the benchmarks share, and a planned hierarchy over them.

#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koSampleAssemblies.h"

#include <iostream>
#include <sstream>

enum tBenchShape { BrickWall = 0, RandomPacking = 1 };

// About noGroups parts: a running-bond brick wall in rows of 10 bricks (11 in the offset rows) on
// a ground slab, or a random packing of boxes.
inline koSampleAssemblies::Assembly makeBenchAssembly(tBenchShape shape, unsigned int noGroups,
                                                      bool withDiagonals = false) {
  if (shape == RandomPacking)
    return koSampleAssemblies::randomPacking(noGroups, 1, withDiagonals);
  const unsigned int rows = (noGroups - 1) * 2 / 21;
  return koSampleAssemblies::brickWall(rows, 10, withDiagonals);
}

// The builder always prints its timing lines; this keeps them out of a benchmark's report for
// as long as it lives, and hands them over on request.
class koCapturedOutput {
public:
  koCapturedOutput() : mConsole(std::cout.rdbuf(mCaptured.rdbuf())) {}
  ~koCapturedOutput() { std::cout.rdbuf(mConsole); }
  std::string take() {
    std::string text = mCaptured.str();
    mCaptured.str("");
    return text;
  }

private:
  std::ostringstream mCaptured;
  std::streambuf* mConsole;
};

// An assembly with its hierarchy computed on one thread (ties between directions then resolve
// the same way on every run).
struct koPlannedAssembly {
  koPlannedAssembly(tBenchShape shape, unsigned int noGroups)
      : assembly(makeBenchAssembly(shape, noGroups)), hierarchy(assembly->meshGroups()),
        builder(hierarchy, assembly->diagram(), 1) {
    koCapturedOutput quiet;
    builder.initSolver();
    builder.computeGroupsHierarchy(0, nullptr);
  }
  koSampleAssemblies::Assembly assembly;
  koDisassemblyHierarchy hierarchy;
  koDisassemblyHierarchyBuilder builder;
};
