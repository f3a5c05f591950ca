#pragma once

#include <ko/koController.h>
#include <ko/koObject.h>
#include <ko/koPointer.h>
#include <ko/koTransformation.h>

#include <vector>

namespace ko {

class koNode;

// A scene-graph object with a place in the hierarchy: a local transformation relative to its
// parent and a world transformation derived from it. Not copyable: a copy would not know its
// place in the graph.
class koSpatial : public koObject {
public:
  // Set freely by the host; read by UpdateGS().
  koTransformation Local;
  // Parent.World * Local (Local at a root) as of the last UpdateGS() that reached this object;
  // stale after Local or an ancestor changes until the next update.
  koTransformation World;

  koSpatial() = default;
  koSpatial(const koSpatial&) = delete;
  koSpatial& operator=(const koSpatial&) = delete;
  // Leaves the attached controllers without an object.
  ~koSpatial() override;

  // The node holding this object, or null at a root. Non-owning: the parent holds the reference.
  koNode* GetParent() const { return mParent; }

  // Runs the controllers at the given time, then recomputes World for this object and, in a
  // node, for the whole subtree. Call it on the topmost object whose Local changed.
  virtual void UpdateGS(double time = 0.0);

  // The change of the local translation that moves this object by worldOffset in world space:
  // the offset mapped back through the parent's world rotation and scale (unchanged at a root;
  // zero when the parent's world linear part is singular). Reads the parent's World as of the
  // last UpdateGS().
  Wm4::Vector3<float> parentSpaceOffset(const Wm4::Vector3<float>& worldOffset) const;

  // Change flags for the host (for instance to re-upload edited geometry). markChanged() flags
  // this object and every ancestor; clearChanged() clears this object's flag only.
  void markChanged();
  bool isChanged() const { return mChanged; }
  void clearChanged() { mChanged = false; }

  // Keeps a reference to the controller and makes this object its target; a controller attached
  // elsewhere is detached from there first. Attaching a controller twice does nothing. Controllers
  // run in attachment order.
  void AttachController(koController* controller);
  // Drops the controller (no-op if not attached here) and clears its object.
  void DetachController(koController* controller);
  void DetachAllControllers();
  int GetControllerQuantity() const { return static_cast<int>(mControllers.size()); }
  // i in [0, GetControllerQuantity()).
  koController* GetController(int i) const;

protected:
  void updateControllers(double time);

private:
  friend class koNode;
  koNode* mParent = nullptr;
  bool mChanged = false;
  std::vector<koPointer<koController>> mControllers;
};

} // namespace ko
