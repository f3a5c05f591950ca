#include "tolvaneCollisionCheck.h"

#include <koContactFaces.h>
#include <koMeshAndBVH.h>

#include <ko/koAttributes.h>
#include <ko/koGenericBVH.h>
#include <ko/koIndexBuffer.h>
#include <ko/koMeshProcessing.h>
#include <ko/koPointer.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <algorithm>
#include <cmath>

namespace {

using tVec = Wm4::Vector3<double>;

tVec toDouble(const Wm4::Vector3<float>& v) { return tVec(v.X(), v.Y(), v.Z()); }

// One mesh holding the triangles of every mesh of the part, equal positions welded so that the
// faces around a corner share its vertex.
ko::koTriMesh* mergePart(const tolvaneImport& import, const tolvaneParts& parts, unsigned int p) {
  std::vector<Wm4::Vector3<float>> positions;
  std::vector<int> indices;
  for (size_t i = 0; i < import.instances.size(); ++i) {
    if (parts.partOfMesh[i] != p)
      continue;
    const ko::koTriMesh& mesh = *import.instances[i].mesh;
    const int base = static_cast<int>(positions.size());
    for (int v = 0; v < mesh.VBuffer->GetVertexQuantity(); ++v)
      positions.push_back(mesh.VBuffer->Position3(v));
    for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
      int corner[3];
      mesh.GetTriangle(t, corner[0], corner[1], corner[2]);
      for (int c : corner)
        indices.push_back(base + c);
    }
  }
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(positions.size()));
  for (size_t v = 0; v < positions.size(); ++v)
    vertices->Position3(static_cast<int>(v)) = positions[v];
  auto* triangles =
      new ko::koIndexBuffer(static_cast<int>(indices.size()), ko::koIndexBuffer::TriangleList);
  std::copy(indices.begin(), indices.end(), triangles->GetData());
  auto* merged = new ko::koTriMesh(vertices, triangles);
  koMeshProcessing::WeldSimilarVertices(merged, 0.0f, true);
  return merged;
}

// Per vertex, the displacement that moves every face around it `margin` inward: along the
// angle-weighted mean of the inward face normals, lengthened so that each face moves the full
// margin (at most three times it, at sharp corners). Inward is judged by the sign of the part's
// volume, so that meshes wound either way shrink.
std::vector<tVec> inwardDisplacements(const ko::koTriMesh& mesh, double margin) {
  const ko::koVertexBuffer& vertices = *mesh.VBuffer;
  const int n = vertices.GetVertexQuantity();
  std::vector<tVec> faceNormals;
  double volume = 0.0;
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int i0, i1, i2;
    mesh.GetTriangle(t, i0, i1, i2);
    const tVec p0 = toDouble(vertices.Position3(i0)), p1 = toDouble(vertices.Position3(i1)),
               p2 = toDouble(vertices.Position3(i2));
    volume += p0.Dot(p1.Cross(p2));
    const tVec normal = (p1 - p0).Cross(p2 - p0);
    const double length = normal.Length();
    faceNormals.push_back(length > 0.0 ? normal / length : tVec::ZERO);
  }
  const double inward = volume < 0.0 ? 1.0 : -1.0;

  std::vector<tVec> mean(n, tVec::ZERO);
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int corner[3];
    mesh.GetTriangle(t, corner[0], corner[1], corner[2]);
    for (int k = 0; k < 3; ++k) {
      const tVec p = toDouble(vertices.Position3(corner[k]));
      tVec a = toDouble(vertices.Position3(corner[(k + 1) % 3])) - p;
      tVec b = toDouble(vertices.Position3(corner[(k + 2) % 3])) - p;
      if (a.Normalize() == 0.0 || b.Normalize() == 0.0)
        continue;
      const double angle = std::acos(std::clamp(a.Dot(b), -1.0, 1.0));
      mean[corner[k]] += (inward * angle) * faceNormals[t];
    }
  }
  std::vector<double> leastCosine(n, 1.0);
  for (tVec& m : mean)
    m.Normalize();
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int corner[3];
    mesh.GetTriangle(t, corner[0], corner[1], corner[2]);
    for (int c : corner)
      leastCosine[c] = std::min(leastCosine[c], inward * mean[c].Dot(faceNormals[t]));
  }
  std::vector<tVec> displacements(n);
  for (int v = 0; v < n; ++v)
    displacements[v] = mean[v] * (margin / std::max(leastCosine[v], 1.0 / 3.0));
  return displacements;
}

} // namespace

struct tolvaneCollisionCheck::tShrunkPart {
  ko::koPointer<ko::koTriMesh> mesh;
  std::vector<Wm4::Vector3<float>> rest;  // shrunk positions in the assembled pose
  std::vector<koGenericBVH::tNode> restNodes;  // its triangle hierarchy there
  std::array<float, 3> offset{0.0f, 0.0f, 0.0f};
};

std::array<float, 3> offsetAt(const tolvanePlan::tTrack& track, float time) {
  const std::vector<float>& times = track.times;
  if (times.empty())
    return {0.0f, 0.0f, 0.0f};
  if (time <= times.front())
    return track.offsets.front();
  if (time >= times.back())
    return track.offsets.back();
  const size_t k = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), time) -
                                       times.begin());
  const float w = (time - times[k - 1]) / (times[k] - times[k - 1]);
  std::array<float, 3> offset;
  for (int c = 0; c < 3; ++c)
    offset[c] = track.offsets[k - 1][c] + w * (track.offsets[k][c] - track.offsets[k - 1][c]);
  return offset;
}

tolvaneCollisionCheck::tolvaneCollisionCheck(const tolvaneImport& import,
                                             const tolvaneParts& parts, float margin,
                                             float frameSpacing)
    : mMargin(margin), mFrameSpacing(frameSpacing) {
  std::vector<ko::koTriMesh*> meshes;
  for (unsigned int p = 0; p < parts.partNames.size(); ++p) {
    auto part = std::make_unique<tShrunkPart>();
    part->mesh = mergePart(import, parts, p);
    ko::koVertexBuffer& vertices = *part->mesh->VBuffer;
    const std::vector<tVec> displacements = inwardDisplacements(*part->mesh, margin);
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v) {
      const tVec shrunk = toDouble(vertices.Position3(v)) + displacements[v];
      vertices.Position3(v) = Wm4::Vector3<float>(static_cast<float>(shrunk.X()),
                                                  static_cast<float>(shrunk.Y()),
                                                  static_cast<float>(shrunk.Z()));
      part->rest.push_back(vertices.Position3(v));
    }
    meshes.push_back(part->mesh);
    mParts.push_back(std::move(part));
  }
  koContactFaces::InitializeBVHList(meshes, mMeshes);
  mMoved.assign(mParts.size(), 0);
  for (size_t p = 0; p < mParts.size(); ++p)
    mParts[p]->restNodes = mMeshes[p].bvh->nodes;
}

tolvaneCollisionCheck::~tolvaneCollisionCheck() = default;

void tolvaneCollisionCheck::placeParts(const std::vector<tolvanePlan::tTrack>& tracks,
                                       float time) {
  for (size_t p = 0; p < mParts.size(); ++p) {
    tShrunkPart& part = *mParts[p];
    const std::array<float, 3> offset = offsetAt(tracks[p], time);
    mMoved[p] = offset != part.offset;
    if (!mMoved[p])
      continue;
    part.offset = offset;
    const Wm4::Vector3<float> shift(offset[0], offset[1], offset[2]);
    // A translated part keeps its hierarchy: only the boxes move, by the same float additions
    // as the vertices, so each box still holds its triangles exactly. (The distance queries do
    // not use the ray hierarchy, which stays where it was built.)
    ko::koVertexBuffer& vertices = *part.mesh->VBuffer;
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      vertices.Position3(v) = part.rest[v] + shift;
    std::vector<koGenericBVH::tNode>& nodes = mMeshes[p].bvh->nodes;
    for (size_t n = 0; n < nodes.size(); ++n) {
      nodes[n].box.min = part.restNodes[n].box.min + shift;
      nodes[n].box.max = part.restNodes[n].box.max + shift;
    }
  }
}

std::optional<tolvanePlan::tCollision> tolvaneCollisionCheck::collisionAt(float time) {
  // Faces shrunk apart by twice the margin are not reported at a quarter of it.
  const float tolerance = 0.25f * mMargin;
  const unsigned int n = static_cast<unsigned int>(mParts.size());
  for (unsigned int a = 0; a < n; ++a) {
    for (unsigned int b = a + 1; b < n; ++b) {
      // Only a pair whose relative place changed since it was last found clear can collide now,
      // which needs one of the two to have moved in this frame.
      if (!mMoved[a] && !mMoved[b])
        continue;
      std::array<float, 3>& checked = mCheckedRelative[a * n + b];
      const std::array<float, 3>& offsetA = mParts[a]->offset;
      const std::array<float, 3>& offsetB = mParts[b]->offset;
      const std::array<float, 3> relative{offsetB[0] - offsetA[0], offsetB[1] - offsetA[1],
                                          offsetB[2] - offsetA[2]};
      if (relative == checked)
        continue;
      // Parts travelling together reach equal offsets through differently rounded key sums.
      const bool moved = std::hypot(relative[0], relative[1], relative[2]) > 0.01f * mMargin;
      koBBox reach = mMeshes[a].bvh->nodes.empty() ? koBBox() : mMeshes[a].bvh->nodes[0].box;
      reach.min -= Wm4::Vector3<float>(tolerance, tolerance, tolerance);
      reach.max += Wm4::Vector3<float>(tolerance, tolerance, tolerance);
      const bool near = !mMeshes[b].bvh->nodes.empty() &&
                        reach.overlaps(mMeshes[b].bvh->nodes[0].box);
      if (moved && near &&
          koContactFaces(&mMeshes[a], &mMeshes[b], tolerance).computeMinDistance() <= tolerance)
        return tolvanePlan::tCollision{time, a, b};
      checked = relative;
    }
  }
  return std::nullopt;
}

std::optional<tolvanePlan::tCollision> tolvaneCollisionCheck::findFirstCollision(
    const std::vector<tolvanePlan::tTrack>& tracks) {
  std::vector<float> keyTimes;
  for (const tolvanePlan::tTrack& track : tracks)
    keyTimes.insert(keyTimes.end(), track.times.begin(), track.times.end());
  std::sort(keyTimes.begin(), keyTimes.end());
  keyTimes.erase(std::unique(keyTimes.begin(), keyTimes.end()), keyTimes.end());

  mFramesChecked = 0;
  mCheckedRelative.assign(mParts.size() * mParts.size(), std::array<float, 3>{});
  for (size_t k = 0; k < keyTimes.size(); ++k) {
    unsigned int frames = 1;
    if (k > 0) {
      float step = 0.0f;
      for (const tolvanePlan::tTrack& track : tracks) {
        const std::array<float, 3> a = offsetAt(track, keyTimes[k - 1]);
        const std::array<float, 3> b = offsetAt(track, keyTimes[k]);
        step = std::max(step, std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]));
      }
      frames = std::max(1u, static_cast<unsigned int>(std::ceil(step / mFrameSpacing)));
    }
    for (unsigned int f = 1; f <= frames; ++f) {
      const float time = k == 0 ? keyTimes[0]
                                : keyTimes[k - 1] + (keyTimes[k] - keyTimes[k - 1]) *
                                                        static_cast<float>(f) /
                                                        static_cast<float>(frames);
      placeParts(tracks, time);
      if (k == 0)  // the pairs were last found clear at rest, wherever the parts come from
        std::fill(mMoved.begin(), mMoved.end(), 1);
      ++mFramesChecked;
      if (std::optional<tolvanePlan::tCollision> collision = collisionAt(time))
        return collision;
    }
  }
  return std::nullopt;
}
