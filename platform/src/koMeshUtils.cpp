#include <ko/koMeshUtils.h>

namespace ko::koMeshUtils {

void CopyVertexData(const koVertexBuffer& source, koVertexBuffer& target, int sourceIndex,
                    int targetIndex) {
  const koAttributes& from = source.GetAttributes();
  const koAttributes& to = target.GetAttributes();
  if (from.HasPosition() && to.HasPosition())
    target.Position3(targetIndex) = source.Position3(sourceIndex);
  if (from.HasNormal() && to.HasNormal())
    target.Normal3(targetIndex) = source.Normal3(sourceIndex);
  if (from.HasPSize() && to.HasPSize())
    target.PSize1(targetIndex) = source.PSize1(sourceIndex);
  for (int unit = 0; unit < koAttributes::MaxTCoordUnits; ++unit) {
    const int fromChannels = from.GetTCoordChannels(unit);
    const int toChannels = to.GetTCoordChannels(unit);
    if (fromChannels == 0 || toChannels == 0)
      continue;
    // Read the source components before writing, in case source and target are one vertex.
    float value[3] = {0.0f, 0.0f, 0.0f};
    if (fromChannels == 2) {
      const Wm4::Vector2<float>& t = source.TCoord2(unit, sourceIndex);
      value[0] = t[0];
      value[1] = t[1];
    } else {
      const Wm4::Vector3<float>& t = source.TCoord3(unit, sourceIndex);
      value[0] = t[0];
      value[1] = t[1];
      value[2] = t[2];
    }
    if (toChannels == 2) {
      Wm4::Vector2<float>& t = target.TCoord2(unit, targetIndex);
      t[0] = value[0];
      t[1] = value[1];
    } else {
      Wm4::Vector3<float>& t = target.TCoord3(unit, targetIndex);
      t[0] = value[0];
      t[1] = value[1];
      if (fromChannels == 3)
        t[2] = value[2];
    }
  }
}

} // namespace ko::koMeshUtils
