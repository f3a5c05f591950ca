#pragma once

#include <array>
#include <optional>
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

  // A drawn explode axis of one split, in the exploded pose, world space.
  struct tAxis {
    std::array<float, 3> start;
    std::array<float, 3> end;
  };
  // The motion of one part: its world offset from the assembled place at key times in seconds,
  // linear in between and held after the last key. A part that never moves has no keys.
  struct tTrack {
    std::vector<float> times;  // ascending
    std::vector<std::array<float, 3>> offsets;
  };

  // Two parts that pass through each other at some frame of an animation.
  struct tCollision {
    float time;  // seconds
    unsigned int partA;
    unsigned int partB;  // partA < partB
  };
  // One policy's animation looked at frame by frame.
  struct tPolicyCheck {
    std::string policy;
    float duration;  // seconds
    unsigned int frames;
    std::optional<tCollision> collision;  // the first one, if any
  };
  // A split opening: its moving side travels from start to end (seconds, in the explode half).
  struct tAnimationStep {
    unsigned int node;
    unsigned int step;  // from 1
    float start;
    float end;
  };
  struct tAnimation {
    std::string requestedPolicy;  // "auto" or a policy's name
    std::string policy;           // the one played
    std::string playStyle;
    float secondsPerStep = 1.0f;
    float duration = 0.0f;  // seconds, the whole played animation
    std::vector<tAnimationStep> steps;  // in node-id order
    std::vector<tPolicyCheck> checks;   // in the order looked at
  };

  std::vector<tPart> parts;
  std::vector<tSplit> hierarchy;  // in node-id order (preorder: a split before its children)
  std::vector<std::array<double, 3>> directions;
  std::vector<tAxis> axes;
  // Per part, the exploded view's animation (empty for a single part).
  std::vector<tTrack> tracks;
  tAnimation animation;
  float gap = 0.0f;
  std::vector<std::pair<std::string, double>> timingsMs;  // stage and milliseconds, in run order
};

// Writes the plan as JSON; false when the file cannot be written.
bool writePlanJson(const tolvanePlan& plan, const std::string& path);
