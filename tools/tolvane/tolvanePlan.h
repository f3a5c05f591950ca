#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

// What the host found, as written to plan.json.
struct tolvanePlan {
  struct tPart {
    std::string name;
    std::vector<std::string> meshes;
    std::array<float, 3> translation;  // the part's offset in the exploded view, world space
  };
  // One split of the disassembly hierarchy: the parts of the second child move along
  // directions[direction], away from those of the first child.
  struct tSplit {
    unsigned int node;
    std::vector<unsigned int> first;   // part indices
    std::vector<unsigned int> second;  // part indices
    unsigned int direction;
  };

  std::vector<tPart> parts;
  std::vector<tSplit> hierarchy;  // in node-id order (preorder: a split before its children)
  std::vector<std::array<double, 3>> directions;
  float gap = 0.0f;
  std::vector<std::pair<std::string, double>> timingsMs;  // stage and milliseconds, in run order
};

// Writes the plan as JSON; false when the file cannot be written.
bool writePlanJson(const tolvanePlan& plan, const std::string& path);
