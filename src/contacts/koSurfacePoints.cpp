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

SurfacePoint surfacePoint(const ko::koVertexBuffer& buffer, const int v[3], const float w[3]) {
  const Wm4::Vector3<float>& p0 = buffer.Position3(v[0]);
  const Wm4::Vector3<float>& p1 = buffer.Position3(v[1]);
  const Wm4::Vector3<float>& p2 = buffer.Position3(v[2]);
  const Wm4::Vector3<float>& n0 = buffer.Normal3(v[0]);
  const Wm4::Vector3<float>& n1 = buffer.Normal3(v[1]);
  const Wm4::Vector3<float>& n2 = buffer.Normal3(v[2]);

  SurfacePoint point;
  point.position = p0 * w[0] + p1 * w[1] + p2 * w[2];
  point.normal = n0 * w[0] + n1 * w[1] + n2 * w[2];
  point.normal.Normalize();
  // The winding of contact faces is not trusted; the smoothed vertex normals say which way is out.
  point.faceNormal = (p1 - p0).Cross(p2 - p0);
  if (point.faceNormal.Dot(n0 + n1 + n2) < 0.0f)
    point.faceNormal = -point.faceNormal;
  point.faceNormal.Normalize();
  return point;
}

void writePoint(ko::koVertexBuffer& buffer, int i, const SurfacePoint& point, float weight) {
  buffer.Position3(i) = point.position;
  buffer.Normal3(i) = point.normal;
  buffer.TCoord3(0, i) = point.faceNormal;
  buffer.PSize1(i) = weight;
}

} // namespace koSurfacePoints
