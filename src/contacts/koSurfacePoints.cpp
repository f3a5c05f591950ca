#include "contacts/koSurfacePoints.h"

#include <ko/koVertexBuffer.h>

namespace koSurfacePoints {

ko::koAttributes pointAttributes() {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 3);
  attributes.SetPSizeChannels(1);
  return attributes;
}

Wm4::Vector3<float> faceNormal(const ko::koVertexBuffer& buffer, const int v[3]) {
  const Wm4::Vector3<float>& p0 = buffer.Position3(v[0]);
  Wm4::Vector3<float> normal = (buffer.Position3(v[1]) - p0).Cross(buffer.Position3(v[2]) - p0);
  // The winding of contact faces is not trusted; the smoothed vertex normals say which way is out.
  if (normal.Dot(buffer.Normal3(v[0]) + buffer.Normal3(v[1]) + buffer.Normal3(v[2])) < 0.0f)
    normal = -normal;
  normal.Normalize();
  return normal;
}

void interpolate(const ko::koVertexBuffer& buffer, const int v[3], const float w[3],
                 SurfacePoint& point) {
  point.position =
      buffer.Position3(v[0]) * w[0] + buffer.Position3(v[1]) * w[1] + buffer.Position3(v[2]) * w[2];
  point.normal =
      buffer.Normal3(v[0]) * w[0] + buffer.Normal3(v[1]) * w[1] + buffer.Normal3(v[2]) * w[2];
  point.normal.Normalize();
}

SurfacePoint surfacePoint(const ko::koVertexBuffer& buffer, const int v[3], const float w[3]) {
  SurfacePoint point;
  interpolate(buffer, v, w, point);
  point.faceNormal = faceNormal(buffer, v);
  return point;
}

void writePoint(ko::koVertexBuffer& buffer, int i, const SurfacePoint& point, float weight) {
  buffer.Position3(i) = point.position;
  buffer.Normal3(i) = point.normal;
  buffer.TCoord3(0, i) = point.faceNormal;
  buffer.PSize1(i) = weight;
}

} // namespace koSurfacePoints
