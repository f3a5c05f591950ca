#include <ko/koMeshUtils.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;

// Values derived from the vertex and the channel, so that one from the wrong place shows.
ko::koVertexBuffer* filledBuffer(int noVertices) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 2);
  attributes.SetTCoordChannels(7, 3);
  attributes.SetPSizeChannels(1);
  auto* buffer = new ko::koVertexBuffer(attributes, noVertices);
  for (int i = 0; i < noVertices; ++i) {
    const float f = static_cast<float>(i);
    buffer->Position3(i) = Vec3(f, f + 0.1f, f + 0.2f);
    buffer->Normal3(i) = Vec3(-f, -f - 0.1f, -f - 0.2f);
    buffer->TCoord2(0, i) = Vec2(10.0f + f, 20.0f + f);
    buffer->TCoord3(7, i) = Vec3(30.0f + f, 40.0f + f, 50.0f + f);
    buffer->PSize1(i) = 100.0f + f;
  }
  return buffer;
}

std::vector<float> values(const ko::koVertexBuffer& b, int i) {
  const Vec3 &p = b.Position3(i), &n = b.Normal3(i), &t7 = b.TCoord3(7, i);
  const Vec2& t0 = b.TCoord2(0, i);
  return {p[0], p[1], p[2], n[0], n[1], n[2], t0[0], t0[1], t7[0], t7[1], t7[2], b.PSize1(i)};
}

} // namespace

TEST(koBufferTest, ResizeAndCopyVertexDataKeepEveryChannel) {
  // Shrinking then growing keeps the kept vertices and must not resurrect the cut ones.
  ko::koPointer<ko::koVertexBuffer> buffer(filledBuffer(4)), source(filledBuffer(3));
  buffer->resizeVertexBuffer(2);
  buffer->resizeVertexBuffer(3);
  ASSERT_EQ(buffer->GetVertexQuantity(), 3);
  EXPECT_EQ(values(*buffer, 1), values(*source, 1));
  EXPECT_EQ(values(*buffer, 2), std::vector<float>(12, 0.0f));

  ko::koMeshUtils::CopyVertexData(*source, *buffer, 2, 0); // one layout: every channel copies
  EXPECT_EQ(values(*buffer, 0), values(*source, 2));
  // To other channels: of units of different widths (0: 2 to 3, 7: 3 to 2) the common components
  // copy; unit 3, which the source lacks, stays.
  ko::koAttributes narrow;
  narrow.SetPositionChannels(3);
  narrow.SetTCoordChannels(0, 3);
  narrow.SetTCoordChannels(3, 2);
  narrow.SetTCoordChannels(7, 2);
  ko::koVertexBuffer target(narrow, 2);
  target.TCoord2(3, 1) = Vec2(-5.0f, -6.0f);
  target.TCoord3(0, 1) = Vec3(0.0f, 0.0f, 9.0f);
  ko::koMeshUtils::CopyVertexData(*source, target, 1, 1);
  EXPECT_EQ(target.TCoord2(3, 1), Vec2(-5.0f, -6.0f));
  EXPECT_EQ(target.TCoord3(0, 1), Vec3(11.0f, 21.0f, 9.0f));
  EXPECT_EQ(target.TCoord2(7, 1), Vec2(31.0f, 41.0f));
}
