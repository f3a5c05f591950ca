#pragma once

#include "tolvaneAnimation.h"
#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePlan.h"
#include "tolvaneRemoval.h"

#include <koTolvaneLib.h>

#include <memory>
#include <string>

struct tolvaneSettings {
  unsigned int threads = 2;
  float angleDegrees = 5.0f;
  float gap = -1.0f;  // negative: a tenth of the assembly's largest extent
  bool distantContacts = true;
  tolvaneAnimationStyle animation;  // its policy is the one played unless autoPolicy is set
  // Play the fastest policy whose frames are free of collisions (sequential when none is).
  bool autoPolicy = true;
  bool quiet = false;  // silences the library's timing lines on standard output
  bool progress = false;  // progress bars of the long stages on standard error
};

// Runs the library from the imported meshes to the exploded view and keeps its objects, which
// refer to each other and to the meshes, for as long as the outputs are written. A single part
// skips the library: its plan has no split and no offset.
class tolvanePipeline {
public:
  // Both must outlive the pipeline.
  tolvanePipeline(tolvaneImport& import, const tolvaneParts& parts);

  // Fills the plan; the import's timing is given by the caller, which did the import.
  void run(const tolvaneSettings& settings, double importMs);
  const tolvanePlan& plan() const { return mPlan; }
  // The steps that free one part, with their animation.
  tolvaneRemoval removal(unsigned int part) const;
  // Writes the meshes in the exploded pose as OBJ; false when the file cannot be written.
  bool saveExploded(const std::string& path) const;

private:
  void fillPlan();
  // Chooses, checks and plays the animation, into the plan.
  void animate(const tolvaneSettings& settings, float extent);

  tolvaneImport& mImport;
  const tolvaneParts& mParts;
  tolvanePlan mPlan;
  bool mQuiet = false;
  std::unique_ptr<koMeshGroups> mGroups;
  std::unique_ptr<koContactDiagram> mDiagram;
  std::unique_ptr<koDisassemblyHierarchy> mHierarchy;
  std::unique_ptr<koDisassemblyHierarchyBuilder> mBuilder;
  std::unique_ptr<koExplosionDiagram> mExplosion;
};
