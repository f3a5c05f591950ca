#pragma once

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePlan.h"

#include <memory>
#include <optional>
#include <vector>

class koMeshAndBVH;

// Plays animations frame by frame and looks for parts that overlap. Touching is not colliding:
// every part is shrunk by `margin` (each face moved inward along its normal), so faces that lie
// on each other, or slide along each other, stay apart, while a part that enters another deeper
// than about twice the margin is found. Only pairs that have moved relative to each other count:
// whatever overlaps in the assembled pose (a press fit drawn overlapping) is taken as given.
//
// Frames: every key time of every track, and between neighbouring key times as many evenly
// spaced frames as keep every part's step within `frameSpacing` (model units). A collision
// shorter than a frame can be missed: parts thinner than the spacing may pass each other unseen.
class tolvaneCollisionCheck {
public:
  tolvaneCollisionCheck(const tolvaneImport& import, const tolvaneParts& parts, float margin,
                        float frameSpacing);
  ~tolvaneCollisionCheck();
  tolvaneCollisionCheck(const tolvaneCollisionCheck&) = delete;
  tolvaneCollisionCheck& operator=(const tolvaneCollisionCheck&) = delete;

  // The first collision in time (then by pair) of the animation given by one track per part.
  std::optional<tolvanePlan::tCollision> findFirstCollision(
      const std::vector<tolvanePlan::tTrack>& tracks);
  // Frames looked at by the last findFirstCollision.
  unsigned int framesChecked() const { return mFramesChecked; }

private:
  struct tShrunkPart;
  // Moves every part to its offset at `time`, noting which ones moved.
  void placeParts(const std::vector<tolvanePlan::tTrack>& tracks, float time);
  // The first pair (by index) that collides with the parts where they are now.
  std::optional<tolvanePlan::tCollision> collisionAt(float time);

  std::vector<std::unique_ptr<tShrunkPart>> mParts;
  std::vector<koMeshAndBVH> mMeshes;
  // Per pair (a, b), a < b, at a * n + b: b's offset minus a's when the pair was last found
  // clear (zero: the assembled pose, taken as given).
  std::vector<std::array<float, 3>> mCheckedRelative;
  std::vector<char> mMoved;  // per part: whether the last placeParts moved it
  float mMargin;
  float mFrameSpacing;
  unsigned int mFramesChecked = 0;
};

// A track's offset at a time: linear between keys, held before the first and after the last;
// zero without keys.
std::array<float, 3> offsetAt(const tolvanePlan::tTrack& track, float time);
