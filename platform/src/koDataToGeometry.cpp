#include <ko/koDataToGeometry.h>

#include <ko/koIndexBuffer.h>
#include <ko/koMeshUtils.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>

namespace koDataToGeometry {

namespace {

using Vec = Wm4::Vector3<float>;

// Two unit vectors u, v with u x v = n for a unit n (the basis of Frisvad / Duff et al.).
void orthonormalBasis(const Vec& n, Vec& u, Vec& v) {
  const float sign = std::copysign(1.0f, n[2]);
  const float a = -1.0f / (sign + n[2]);
  const float b = n[0] * n[1] * a;
  u = Vec(1.0f + sign * n[0] * n[0] * a, sign * b, -sign * n[0]);
  v = Vec(b, sign + n[1] * n[1] * a, -n[1]);
}

} // namespace

ko::koTriMesh* VertexBufferToGeometry(ko::koVertexBuffer* buffer, bool markers) {
  if (buffer == nullptr)
    return nullptr;
  const std::string name = buffer->GetName().empty() ? "points" : buffer->GetName();
  const ko::koAttributes& attributes = buffer->GetAttributes();
  const int noPoints = buffer->GetVertexQuantity();
  if (!markers || !attributes.HasPosition()) {
    auto* empty = new ko::koIndexBuffer(0, ko::koIndexBuffer::TriangleList);
    auto* mesh = new ko::koTriMesh(buffer, empty);
    mesh->SetName(name);
    return mesh;
  }

  Vec low(0.0f, 0.0f, 0.0f), high(0.0f, 0.0f, 0.0f);
  for (int i = 0; i < noPoints; ++i) {
    const Vec& p = buffer->Position3(i);
    for (int c = 0; c < 3; ++c) {
      low[c] = i == 0 ? p[c] : std::min(low[c], p[c]);
      high[c] = i == 0 ? p[c] : std::max(high[c], p[c]);
    }
  }
  const float diagonal = (high - low).Length();
  const float radius = diagonal > 0.0f ? diagonal / 200.0f : 0.005f;

  auto* corners = new ko::koVertexBuffer(attributes, 3 * noPoints);
  auto* triangles = new ko::koIndexBuffer(3 * noPoints, ko::koIndexBuffer::TriangleList);
  int* indices = triangles->GetData();
  // Corners at angles 0, 120 and 240 degrees around the point: counter-clockwise about n.
  const float cosines[3] = {1.0f, -0.5f, -0.5f};
  const float sines[3] = {0.0f, 0.8660254f, -0.8660254f};
  for (int i = 0; i < noPoints; ++i) {
    Vec n(0.0f, 0.0f, 1.0f);
    if (attributes.HasNormal() && buffer->Normal3(i).Length() > 0.0f) {
      n = buffer->Normal3(i);
      n.Normalize();
    }
    Vec u, v;
    orthonormalBasis(n, u, v);
    const Vec centre = buffer->Position3(i);
    for (int c = 0; c < 3; ++c) {
      ko::koMeshUtils::CopyVertexData(*buffer, *corners, i, 3 * i + c);
      corners->Position3(3 * i + c) = centre + radius * (cosines[c] * u + sines[c] * v);
      if (attributes.HasNormal())
        corners->Normal3(3 * i + c) = n;
      indices[3 * i + c] = 3 * i + c;
    }
  }
  auto* mesh = new ko::koTriMesh(corners, triangles);
  mesh->SetName(name);
  return mesh;
}

} // namespace koDataToGeometry
