#include <ko/koAttributes.h>

#include <cassert>

namespace ko {

void koAttributes::SetPositionChannels(int channels) {
  assert(channels == 0 || channels == 3);
  mPositionChannels = channels;
}

void koAttributes::SetNormalChannels(int channels) {
  assert(channels == 0 || channels == 3);
  mNormalChannels = channels;
}

void koAttributes::SetTCoordChannels(int unit, int channels) {
  assert(unit >= 0 && unit < MaxTCoordUnits);
  assert(channels == 0 || channels == 2 || channels == 3);
  mTCoordChannels[unit] = channels;
}

void koAttributes::SetPSizeChannels(int channels) {
  assert(channels == 0 || channels == 1);
  mPSizeChannels = channels;
}

int koAttributes::GetTCoordChannels(int unit) const {
  return unit >= 0 && unit < MaxTCoordUnits ? mTCoordChannels[unit] : 0;
}

int koAttributes::GetChannelQuantity() const {
  int quantity = mPositionChannels + mNormalChannels + mPSizeChannels;
  for (int channels : mTCoordChannels)
    quantity += channels;
  return quantity;
}

bool koAttributes::operator==(const koAttributes& other) const {
  if (mPositionChannels != other.mPositionChannels || mNormalChannels != other.mNormalChannels ||
      mPSizeChannels != other.mPSizeChannels)
    return false;
  for (int unit = 0; unit < MaxTCoordUnits; ++unit)
    if (mTCoordChannels[unit] != other.mTCoordChannels[unit])
      return false;
  return true;
}

} // namespace ko
