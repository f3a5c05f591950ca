#include <ko/koNode.h>

#include <algorithm>
#include <cassert>

namespace ko {

koNode::~koNode() { removeAllChildren(); }

int koNode::attachChild(koSpatial* child) {
  if (child == nullptr)
    return -1;
#ifndef NDEBUG
  for (const koSpatial* ancestor = this; ancestor != nullptr; ancestor = ancestor->GetParent())
    assert(ancestor != child && "attaching a node below itself would make a cycle");
#endif
  if (child->mParent == this)
    return static_cast<int>(std::find(mChildren.begin(), mChildren.end(), child) -
                            mChildren.begin());
  // Hold a reference across the move, in case the old parent holds the only one.
  koPointer<koSpatial> keep(child);
  if (child->mParent != nullptr)
    child->mParent->detachChild(child);
  mChildren.push_back(std::move(keep));
  child->mParent = this;
  return GetQuantity() - 1;
}

int koNode::detachChild(koSpatial* child) {
  auto found = std::find(mChildren.begin(), mChildren.end(), child);
  if (found == mChildren.end())
    return -1;
  const int index = static_cast<int>(found - mChildren.begin());
  child->mParent = nullptr;
  mChildren.erase(found);
  return index;
}

void koNode::removeAllChildren() {
  for (koPointer<koSpatial>& child : mChildren)
    child->mParent = nullptr;
  // Swapped out first so that a child whose destruction reaches back into this node sees it
  // already empty.
  std::vector<koPointer<koSpatial>> released;
  released.swap(mChildren);
}

koSpatial* koNode::GetChild(int i) const {
  assert(i >= 0 && i < GetQuantity());
  return mChildren[static_cast<size_t>(i)];
}

void koNode::UpdateGS(double time) {
  koSpatial::UpdateGS(time);
  for (size_t i = 0; i < mChildren.size(); ++i)
    mChildren[i]->UpdateGS(time);
}

} // namespace ko
