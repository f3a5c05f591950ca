#pragma once

#include <ko/koController.h>
#include <ko/koPointer.h>
#include <ko/koTSharedArray.h>

#include <Wm4Foundation.h>

namespace ko {

// Moves its object along a piecewise-linear translation path. Key k is at time
// TranslationTimes[k] with translation TranslationData[k]; times must ascend (equal neighbours
// make a jump). The arrays are shared and may drive several controllers at once. Only the
// translation is animated; rotation and scale of the object stay as they are.
class koKeyframeController : public koController {
public:
  // Null or empty means no keys; with arrays of different lengths, the shorter one counts.
  koPointer<koTSharedArray<float>> TranslationTimes;
  koPointer<koTSharedArray<Wm4::Vector3<float>>> TranslationData;

  // Number of usable keys.
  int GetKeyQuantity() const;

  // The translation at the given time: linear between neighbouring keys, the first key's before
  // the first time, the last key's after the last time. With no keys: the object's current local
  // translation (so that Update() leaves it in place), or zero without an object.
  Wm4::Vector3<float> GetTranslation(double time) const;

  // Sets the object's local translation to GetTranslation(time). Returns false (and does nothing)
  // without an object or without keys.
  bool Update(double time) override;
};

} // namespace ko
