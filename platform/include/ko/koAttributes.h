#pragma once

namespace ko {

// The layout of a vertex: how many float channels each attribute has. A count of 0 means the
// attribute is absent. Positions and normals have 0 or 3 channels, point sizes 0 or 1, and each of
// the MaxTCoordUnits texture units 0, 2 or 3. A new koAttributes has no attribute at all.
class koAttributes {
public:
  static constexpr int MaxTCoordUnits = 8;

  koAttributes() = default;

  void SetPositionChannels(int channels);
  void SetNormalChannels(int channels);
  // unit in [0, MaxTCoordUnits).
  void SetTCoordChannels(int unit, int channels);
  void SetPSizeChannels(int channels);

  int GetPositionChannels() const { return mPositionChannels; }
  int GetNormalChannels() const { return mNormalChannels; }
  // 0 for a unit outside [0, MaxTCoordUnits).
  int GetTCoordChannels(int unit) const;
  int GetPSizeChannels() const { return mPSizeChannels; }
  int GetMaxTCoords() const { return MaxTCoordUnits; }

  bool HasPosition() const { return mPositionChannels > 0; }
  bool HasNormal() const { return mNormalChannels > 0; }
  bool HasTCoord(int unit) const { return GetTCoordChannels(unit) > 0; }
  bool HasPSize() const { return mPSizeChannels > 0; }

  // Floats per vertex over all attributes.
  int GetChannelQuantity() const;

  bool operator==(const koAttributes& other) const;
  bool operator!=(const koAttributes& other) const { return !(*this == other); }

private:
  int mPositionChannels = 0;
  int mNormalChannels = 0;
  int mTCoordChannels[MaxTCoordUnits] = {};
  int mPSizeChannels = 0;
};

} // namespace ko
