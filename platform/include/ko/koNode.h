#pragma once

#include <ko/koPointer.h>
#include <ko/koSpatial.h>

#include <vector>

namespace ko {

// A grouping node: owns references to its children, which inherit its world transformation.
// Children are kept in attachment order without gaps; detaching one shifts the later ones down.
class koNode : public koSpatial {
public:
  koNode() = default;
  // Releases the children; a child that survives (referenced elsewhere) becomes a root.
  ~koNode() override;

  // Takes a reference to the child and becomes its parent; a child under another node is
  // detached from it first. Returns the child's index, or -1 for a null child. The child must
  // not be this node or one of its ancestors (asserted in debug builds).
  int attachChild(koSpatial* child);
  // Detaches the child if it is one of this node's; returns its former index or -1. May delete
  // the child when this node held its last reference.
  int detachChild(koSpatial* child);
  void removeAllChildren();

  int GetQuantity() const { return static_cast<int>(mChildren.size()); }
  // i in [0, GetQuantity()).
  koSpatial* GetChild(int i) const;

  // Updates this node as a koSpatial, then every child's subtree at the same time.
  void UpdateGS(double time = 0.0) override;

private:
  std::vector<koPointer<koSpatial>> mChildren;
};

} // namespace ko
