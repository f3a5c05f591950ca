#include <ko/koSpatial.h>

#include <ko/koNode.h>

#include <algorithm>
#include <cassert>

namespace ko {

koSpatial::~koSpatial() {
  // Controllers may outlive this object through other references; they must not keep a dangling
  // target.
  for (koPointer<koController>& controller : mControllers)
    controller->mObject = nullptr;
}

void koSpatial::UpdateGS(double time) {
  updateControllers(time);
  if (mParent != nullptr)
    World.Product(mParent->World, Local);
  else
    World = Local;
}

Wm4::Vector3<float> koSpatial::parentSpaceOffset(const Wm4::Vector3<float>& worldOffset) const {
  return mParent != nullptr ? mParent->World.ApplyInverseVector(worldOffset) : worldOffset;
}

void koSpatial::markChanged() {
  for (koSpatial* object = this; object != nullptr; object = object->mParent)
    object->mChanged = true;
}

void koSpatial::AttachController(koController* controller) {
  if (controller == nullptr || controller->mObject == this)
    return;
  // Hold a reference while moving it, in case the old object holds the only one.
  koPointer<koController> keep(controller);
  if (controller->mObject != nullptr)
    controller->mObject->DetachController(controller);
  mControllers.push_back(keep);
  controller->mObject = this;
  controller->onAttached();
}

void koSpatial::DetachController(koController* controller) {
  auto found = std::find(mControllers.begin(), mControllers.end(), controller);
  if (found == mControllers.end())
    return;
  controller->mObject = nullptr;
  // The erase may drop the last reference and delete the controller; nothing touches it after.
  mControllers.erase(found);
}

void koSpatial::DetachAllControllers() {
  for (koPointer<koController>& controller : mControllers)
    controller->mObject = nullptr;
  mControllers.clear();
}

koController* koSpatial::GetController(int i) const {
  assert(i >= 0 && i < GetControllerQuantity());
  return mControllers[static_cast<size_t>(i)];
}

void koSpatial::updateControllers(double time) {
  // By index: a controller's Update() may attach further controllers, which reallocates.
  for (size_t i = 0; i < mControllers.size(); ++i)
    mControllers[i]->Update(time);
}

} // namespace ko
