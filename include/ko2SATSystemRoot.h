#pragma once

#include "koTolvaneLibExport.h"

// A sub-system of a split solver: the contiguous range of columns firstColumn ..
// firstColumn + noColumns - 1. A range holds group and constraint clauses only; the cluster
// chains are added by each bake. noColumns 0 is an empty system.
struct KOTOLVANE_API ko2SATSystemRoot {
  unsigned int firstColumn;
  unsigned int noColumns;
};
