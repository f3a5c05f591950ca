#pragma once

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePlan.h"

#include <array>
#include <string>
#include <vector>

class koDisassemblyHierarchyBuilder;

// The steps that free one part, as written to remove-PART.json and animated in remove-PART.glb:
// each step takes its parts out along its direction, far enough that they clear every part still
// in place by the gap, one step after another. The last step is the freed part, which stays.
struct tolvaneRemoval {
  struct tStep {
    std::vector<unsigned int> parts;
    std::array<double, 3> direction;  // unit; zero for the freed part
    float distance;                   // model units travelled
    float start;                      // seconds
    float end;
  };
  unsigned int part;
  std::vector<tStep> steps;
  std::vector<tolvanePlan::tTrack> tracks;  // one per part
};

// Plans the removal of `part` from a finished hierarchy.
tolvaneRemoval planRemoval(const koDisassemblyHierarchyBuilder& builder,
                           const tolvaneImport& import, const tolvaneParts& parts,
                           unsigned int part, float gap, float secondsPerStep);

// Writes remove-PART.json's content; false when the file cannot be written.
bool writeRemovalJson(const tolvaneRemoval& removal, const tolvaneParts& parts,
                      const std::string& path);
