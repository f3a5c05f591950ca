#pragma once

class koDisassemblyHierarchyBuilder;
struct ko2SATSystemRoot;

// The job data of one direction-search batch: every job tests one direction of the set as the
// removal direction of one node.
struct koSplitDirectionBatch {
  koDisassemblyHierarchyBuilder* builder;
  const ko2SATSystemRoot* systemRoot;  // the node's columns; the solvers are already baked
  unsigned int node;
  unsigned int directionsPerJob;  // always 1
  unsigned int noDirections;
  bool strict;  // distant edges forbid the blocked configurations instead of charging them
};

// The worker-pool functor of the direction search: job k tests direction set entry k on the
// solver of the worker's thread and keeps the thread's best split.
class koSplitDirectionTester {
public:
  void operator()(unsigned int job, unsigned int thread, void* jobData);
};
