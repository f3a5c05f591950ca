#pragma once

#include <ko/koController.h>
#include <ko/koPointer.h>
#include <ko/koTSharedArray.h>

#include <Wm4Foundation.h>

namespace ko {

// Moves its object along a piecewise-linear path of offsets from where it rests. Key k is at time
// TranslationTimes[k] with the world-space offset TranslationData[k]; times must ascend (equal
// neighbours make a jump). The rest pose is the object's local translation when the controller
// is attached, so a mesh placed anywhere in its scene plays from its own place, and a key of
// zero puts it back exactly there. The arrays are shared and may drive several controllers at
// once. Only the translation is animated; rotation and scale of the object stay as they are.
class koKeyframeController : public koController {
public:
  // Null or empty means no keys; with arrays of different lengths, the shorter one counts.
  koPointer<koTSharedArray<float>> TranslationTimes;
  koPointer<koTSharedArray<Wm4::Vector3<float>>> TranslationData;

  // Number of usable keys.
  int GetKeyQuantity() const;

  // The offset at the given time: linear between neighbouring keys, the first key's before the
  // first time, the last key's after the last time; zero without keys.
  Wm4::Vector3<float> GetTranslation(double time) const;

  // The object's local translation when the controller was attached to it.
  const Wm4::Vector3<float>& GetRestTranslation() const { return mRestTranslation; }

  // Moves the object by GetTranslation(time) in world space from its rest translation (the
  // parent's world rotation and scale are undone, see koSpatial::parentSpaceOffset). Returns
  // false (and does nothing) without an object or without keys.
  bool Update(double time) override;

protected:
  void onAttached() override;

private:
  Wm4::Vector3<float> mRestTranslation{0.0f, 0.0f, 0.0f};
};

} // namespace ko
