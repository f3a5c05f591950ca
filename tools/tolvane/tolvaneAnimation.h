#pragma once

#include "tolvaneParts.h"
#include "tolvanePlan.h"

#include <koExplodedViewAnimation.h>

#include <map>
#include <string>
#include <vector>

class koExplosionDiagram;

// How the exploded view is played.
struct tolvaneAnimationStyle {
  koExplodedViewAnimation::tAnimationPolicy policy = koExplodedViewAnimation::ePolicyOptimal;
  koExplodedViewAnimation::tAnimationPlayStyle playStyle = koExplodedViewAnimation::ePlayExplode;
  float secondsPerStep = 1.0f;
};

// The exploded view's animation under one style, as plain data: one track per part, and per
// split the time step at which it opens (from 1; one entry per hierarchy node, 0 where no split
// is). The library's keyframe controllers are read and taken off the meshes again, which are left
// at rest, so that the host's later scene updates show the assembled pose.
struct tolvaneAnimation {
  std::vector<tolvanePlan::tTrack> tracks;
  std::vector<unsigned int> splitSteps;
  float duration = 0.0f;  // seconds, the last key of any track
};

tolvaneAnimation animateExplosion(const koExplosionDiagram& explosion, const tolvaneParts& parts,
                                  const tolvaneAnimationStyle& style);

// The names used on the command line and in plan.json.
extern const std::map<std::string, koExplodedViewAnimation::tAnimationPolicy> kPolicyNames;
extern const std::map<std::string, koExplodedViewAnimation::tAnimationPlayStyle> kPlayStyleNames;
const char* policyName(koExplodedViewAnimation::tAnimationPolicy policy);
const char* playStyleName(koExplodedViewAnimation::tAnimationPlayStyle style);
