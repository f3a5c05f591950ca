#pragma once

// The surface data both sides of a contact analysis read and write: a point on a mesh triangle
// with its interpolated and face normals, and the vertex layout of the point buffers.

#include <Wm4Foundation.h>
#include <ko/koAttributes.h>

namespace ko {
class koVertexBuffer;
}

namespace koSurfacePoints {

struct SurfacePoint {
  Wm4::Vector3<float> position;
  // The vertex normals interpolated with the point's weights, unit length.
  Wm4::Vector3<float> normal;
  // The triangle's unit normal, turned to agree with its vertex normals.
  Wm4::Vector3<float> faceNormal;
};

// Position, normal, texture channel 0 with 3 components (the face normal) and point size (the
// weight).
ko::koAttributes pointAttributes();

// The point with barycentric weights w on the triangle of vertices v of buffer.
SurfacePoint surfacePoint(const ko::koVertexBuffer& buffer, const int v[3], const float w[3]);

// The two halves of surfacePoint, for callers that take many points on one triangle: the
// triangle's face normal, and the position and normal of the point with weights w.
Wm4::Vector3<float> faceNormal(const ko::koVertexBuffer& buffer, const int v[3]);
void interpolate(const ko::koVertexBuffer& buffer, const int v[3], const float w[3],
                 SurfacePoint& point);

void writePoint(ko::koVertexBuffer& buffer, int i, const SurfacePoint& point, float weight);

} // namespace koSurfacePoints
