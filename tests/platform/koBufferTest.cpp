#include <ko/koIndexBuffer.h>
#include <ko/koMeshUtils.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;

// Every channel of vertex i holds values derived from i and the channel, so that a value read
// from the wrong vertex or the wrong channel shows.
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

} // namespace

TEST(koBufferTest, ResizeKeepsTheKeptVerticesAndZeroesTheNewOnes) {
  ko::koPointer<ko::koVertexBuffer> buffer(filledBuffer(4));
  buffer->resizeVertexBuffer(2);  // shrinking then growing must not resurrect the cut vertices
  buffer->resizeVertexBuffer(3);
  ASSERT_EQ(buffer->GetVertexQuantity(), 3);
  // The channels are separate: writing one must not have overwritten another.
  EXPECT_EQ(buffer->Position3(1), Vec3(1.0f, 1.1f, 1.2f));
  EXPECT_EQ(buffer->Normal3(1), Vec3(-1.0f, -1.1f, -1.2f));
  EXPECT_EQ(buffer->TCoord2(0, 1), Vec2(11.0f, 21.0f));
  EXPECT_EQ(buffer->TCoord3(7, 1), Vec3(31.0f, 41.0f, 51.0f));
  EXPECT_EQ(buffer->PSize1(1), 101.0f);
  EXPECT_EQ(buffer->Position3(2), Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(buffer->Normal3(2), Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(buffer->TCoord2(0, 2), Vec2(0.0f, 0.0f));
  EXPECT_EQ(buffer->TCoord3(7, 2), Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(buffer->PSize1(2), 0.0f);

  ko::koIndexBuffer indices(2, ko::koIndexBuffer::TriangleList);
  indices.GetData()[1] = 7;
  indices.resizeIndexBuffer(3);
  EXPECT_EQ(indices.GetData()[1], 7);
  EXPECT_EQ(indices.GetData()[2], 0);
}

TEST(koBufferTest, CopyVertexDataCopiesEveryChannelBothBuffersHave) {
  ko::koPointer<ko::koVertexBuffer> source(filledBuffer(3));
  ko::koPointer<ko::koVertexBuffer> same(filledBuffer(2));
  ko::koMeshUtils::CopyVertexData(*source, *same, 2, 0);
  EXPECT_EQ(same->Position3(0), source->Position3(2));
  EXPECT_EQ(same->Normal3(0), source->Normal3(2));
  EXPECT_EQ(same->TCoord2(0, 0), source->TCoord2(0, 2));
  EXPECT_EQ(same->TCoord3(7, 0), source->TCoord3(7, 2));
  EXPECT_EQ(same->PSize1(0), source->PSize1(2));
  EXPECT_EQ(same->Position3(1), source->Position3(1));

  // A target with fewer attributes and a unit of its own: shared channels copy, the rest stays.
  // Unit 0 and 7 have different widths on the two sides: the common components copy.
  ko::koAttributes narrow;
  narrow.SetPositionChannels(3);
  narrow.SetTCoordChannels(0, 3);
  narrow.SetTCoordChannels(3, 2);
  narrow.SetTCoordChannels(7, 2);
  ko::koVertexBuffer target(narrow, 2);
  target.TCoord2(3, 1) = Vec2(-5.0f, -6.0f);
  target.TCoord3(0, 1) = Vec3(0.0f, 0.0f, 9.0f);
  ko::koMeshUtils::CopyVertexData(*source, target, 1, 1);
  EXPECT_EQ(target.Position3(1), source->Position3(1));
  EXPECT_EQ(target.TCoord2(3, 1), Vec2(-5.0f, -6.0f));
  EXPECT_EQ(target.TCoord3(0, 1), Vec3(11.0f, 21.0f, 9.0f));
  EXPECT_EQ(target.TCoord2(7, 1), Vec2(31.0f, 41.0f));
}
