// The animation check against boxes whose overlap is known in closed form, and a peg that must
// leave its bore along the axis only.

#include "tolvaneCollisionCheck.h"

#include "koTessellatedShapes.h"

#include <ko/koIndexBuffer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using tVec = Wm4::Vector3<float>;

tolvaneImport importOf(const std::vector<ko::koTriMesh*>& meshes) {
  tolvaneImport import;
  for (ko::koTriMesh* mesh : meshes) {
    import.scene->attachChild(mesh);
    import.instances.push_back({mesh, "", "", "", "", ""});
  }
  return import;
}

tolvaneParts onePartPerMesh(size_t n) {
  tolvaneParts parts;
  for (unsigned int p = 0; p < n; ++p) {
    parts.partOfMesh.push_back(p);
    parts.partNames.push_back("part" + std::to_string(p));
  }
  return parts;
}

// Turns a mesh inside out, as some exporters write them.
ko::koTriMesh* flipped(ko::koTriMesh* mesh) {
  int* indices = mesh->IBuffer->GetData();
  for (int i = 0; i < mesh->IBuffer->GetIndexQuantity(); i += 3)
    std::swap(indices[i + 1], indices[i + 2]);
  return mesh;
}

tolvanePlan::tTrack straightTrack(const tVec& to) {
  return {{0.0f, 1.0f}, {{0.0f, 0.0f, 0.0f}, {to.X(), to.Y(), to.Z()}}};
}

// Distance between two boxes, each shrunk by the margin on every side (0 when they overlap).
float shrunkDistance(const tVec& lowA, const tVec& highA, const tVec& lowB, const tVec& highB,
                     float margin) {
  float squared = 0.0f;
  for (int k = 0; k < 3; ++k) {
    const float overlap = std::min(highA[k], highB[k]) - std::max(lowA[k], lowB[k]) - 2 * margin;
    squared += overlap < 0.0f ? overlap * overlap : 0.0f;
  }
  return std::sqrt(squared);
}

TEST(TolvaneCollisionCheck, FindsTheFirstOverlapOfMovingBoxesAsTheClosedFormDoes) {
  constexpr float kMargin = 0.005f, kSpacing = 0.01f;
  // The check reports shrunk parts that come within a quarter margin of each other.
  constexpr float kReported = 0.25f * kMargin;
  std::mt19937 random(20261206);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  int collisions = 0, cases = 0;
  for (int trial = 0; trial < 60; ++trial) {
    // B rests beside A, either flush on one of A's faces or apart, and moves in a straight line:
    // along the face, into A, or away.
    const tVec lowA(0.0f, 0.0f, 0.0f), highA(1.0f, 1.0f, 1.0f);
    const tVec size(0.2f + 0.4f * unit(random), 0.2f + 0.4f * unit(random),
                    0.2f + 0.4f * unit(random));
    const int axis = trial % 3;
    tVec lowB(unit(random) - 0.3f, unit(random) - 0.3f, unit(random) - 0.3f);
    lowB[axis] = 1.0f + (trial % 2 ? 0.0f : 0.05f * unit(random));
    tVec to(unit(random) - 0.5f, unit(random) - 0.5f, unit(random) - 0.5f);
    to[axis] = trial % 4 < 2 ? 0.0f : -0.8f * unit(random);

    // The closed form, dense in time: the first moment the shrunk boxes come within reach.
    float firstTime = -1.0f, closest = 1e9f;
    for (int step = 1; step <= 20000; ++step) {
      const float t = step / 20000.0f;
      const float d = shrunkDistance(lowA, highA, lowB + to * t, lowB + size + to * t, kMargin);
      closest = std::min(closest, d);
      if (firstTime < 0.0f && d <= kReported)
        firstTime = t;
    }
    // Leave out the grazes that frames a spacing apart may or may not catch.
    if (std::abs(closest - kReported) < 0.2f * kMargin)
      continue;

    const tolvaneImport import = importOf({makeTessellatedBox("a", lowA, highA, 3),
                                           makeTessellatedBox("b", lowB, lowB + size, 2)});
    if (trial % 5 == 0)
      flipped(import.instances[1].mesh);
    tolvaneCollisionCheck check(import, onePartPerMesh(2), kMargin, kSpacing);
    const std::optional<tolvanePlan::tCollision> found =
        check.findFirstCollision({{}, straightTrack(to)});
    ++cases;
    ASSERT_EQ(found.has_value(), firstTime >= 0.0f) << "trial " << trial;
    if (!found)
      continue;
    ++collisions;
    EXPECT_EQ(found->partA, 0u);
    EXPECT_EQ(found->partB, 1u);
    // Found at the first frame at or after the moment; frames are kSpacing of travel apart.
    const float frame = 1.0f / std::ceil(to.Length() / kSpacing);
    EXPECT_GE(found->time, firstTime - 1e-3f) << "trial " << trial;
    EXPECT_LE(found->time, firstTime + frame + 1e-3f) << "trial " << trial;
  }
  EXPECT_GT(collisions, 5);
  EXPECT_GT(cases - collisions, 5);
}

TEST(TolvaneCollisionCheck, APegLeavesItsBoreAlongTheAxisOnly) {
  const tolvaneImport import =
      importOf({makeTube("bore", tVec(0.0f, 0.0f, 0.0f), 1.0f, 2.0f, 3.0f, 24, 3),
                makeCylinder("peg", tVec(0.0f, 0.0f, -1.0f), 1.0f, 5.0f, 24, 5),
                makeCylinder("pressed", tVec(5.0f, 0.0f, 0.0f), 1.1f, 3.0f, 24, 3),
                makeTube("hub", tVec(5.0f, 0.0f, 0.0f), 1.0f, 2.0f, 3.0f, 24, 3)});
  tolvaneCollisionCheck check(import, onePartPerMesh(4), 0.01f, 0.1f);
  const tolvanePlan::tTrack still;
  EXPECT_FALSE(check.findFirstCollision({still, straightTrack(tVec(0.0f, 0.0f, 6.0f)), {}, {}}));
  EXPECT_TRUE(check.findFirstCollision({still, straightTrack(tVec(3.0f, 0.0f, 0.0f)), {}, {}}));
  // A pin drawn overlapping its hub is as the model says while the two travel together, and
  // collides once it slides out.
  const tolvanePlan::tTrack away = straightTrack(tVec(0.0f, 9.0f, 0.0f));
  EXPECT_FALSE(check.findFirstCollision({still, still, away, away}));
  EXPECT_TRUE(check.findFirstCollision({still, still, straightTrack(tVec(0.0f, 0.0f, 4.0f)), {}}));
}

} // namespace
