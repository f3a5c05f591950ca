#pragma once

#include <ko/koObject.h>

namespace ko {

class koSpatial;

// Drives one scene object over time. koSpatial::AttachController() sets the object and keeps a
// reference to the controller; the controller itself does not own its object.
class koController : public koObject {
public:
  // The time range the controller animates, in the caller's time unit. Informative: the
  // controller's own Update() decides what happens outside it.
  double MinTime = 0.0;
  double MaxTime = 0.0;

  // The object this controller drives: set by koSpatial::AttachController(), null before that,
  // after DetachController() and once the object has died.
  koSpatial* GetObject() const { return mObject; }

  // Brings the object to its state at the given time. Returns true when it changed the object.
  // The base controller does nothing.
  virtual bool Update(double time);

protected:
  // Called by koSpatial::AttachController() once GetObject() is the new object.
  virtual void onAttached() {}

private:
  friend class koSpatial;
  koSpatial* mObject = nullptr;
};

} // namespace ko
