#include <ko/koIndexBuffer.h>
#include <ko/koMeshUtils.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;

ko::koAttributes fullAttributes() {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 2);
  attributes.SetTCoordChannels(7, 3);
  attributes.SetPSizeChannels(1);
  return attributes;
}

// Gives vertex i of every channel values derived from i and the channel, so that a value read
// from the wrong vertex or the wrong channel shows.
void fill(ko::koVertexBuffer& buffer) {
  for (int i = 0; i < buffer.GetVertexQuantity(); ++i) {
    const float f = static_cast<float>(i);
    buffer.Position3(i) = Vec3(f, f + 0.1f, f + 0.2f);
    buffer.Normal3(i) = Vec3(-f, -f - 0.1f, -f - 0.2f);
    buffer.TCoord2(0, i) = Vec2(10.0f + f, 20.0f + f);
    buffer.TCoord3(7, i) = Vec3(30.0f + f, 40.0f + f, 50.0f + f);
    buffer.PSize1(i) = 100.0f + f;
  }
}

} // namespace

TEST(koBufferTest, ChannelsAreSeparateZeroedAndKeptByResize) {
  ko::koVertexBuffer buffer(fullAttributes(), 4);
  EXPECT_EQ(buffer.TCoord3(7, 3), Vec3(0.0f, 0.0f, 0.0f));
  fill(buffer);
  // Writing one channel must not have overwritten another.
  EXPECT_EQ(buffer.Position3(3), Vec3(3.0f, 3.1f, 3.2f));
  EXPECT_EQ(buffer.Normal3(3), Vec3(-3.0f, -3.1f, -3.2f));
  EXPECT_EQ(buffer.TCoord2(0, 3), Vec2(13.0f, 23.0f));
  EXPECT_EQ(buffer.PSize1(3), 103.0f);

  buffer.resizeVertexBuffer(6);
  ASSERT_EQ(buffer.GetVertexQuantity(), 6);
  for (int i = 0; i < 4; ++i) {
    const float f = static_cast<float>(i);
    EXPECT_EQ(buffer.Position3(i), Vec3(f, f + 0.1f, f + 0.2f)) << i;
    EXPECT_EQ(buffer.TCoord3(7, i), Vec3(30.0f + f, 40.0f + f, 50.0f + f)) << i;
  }
  EXPECT_EQ(buffer.Normal3(5), Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(buffer.PSize1(4), 0.0f);

  // Shrinking then growing must not resurrect the cut vertices.
  buffer.resizeVertexBuffer(2);
  buffer.resizeVertexBuffer(3);
  EXPECT_EQ(buffer.Normal3(1), Vec3(-1.0f, -1.1f, -1.2f));
  EXPECT_EQ(buffer.Position3(2), Vec3(0.0f, 0.0f, 0.0f));

  ko::koIndexBuffer indices(2, ko::koIndexBuffer::TriangleList);
  indices.GetData()[1] = 7;
  indices.resizeIndexBuffer(3);
  EXPECT_EQ(indices.GetData()[1], 7);
  EXPECT_EQ(indices.GetData()[2], 0);
}

TEST(koBufferTest, CopyVertexDataCopiesEveryChannelBothBuffersHave) {
  ko::koVertexBuffer source(fullAttributes(), 3);
  fill(source);

  ko::koVertexBuffer same(fullAttributes(), 3);
  ko::koMeshUtils::CopyVertexData(source, same, 2, 0);
  EXPECT_EQ(same.Position3(0), source.Position3(2));
  EXPECT_EQ(same.Normal3(0), source.Normal3(2));
  EXPECT_EQ(same.TCoord2(0, 0), source.TCoord2(0, 2));
  EXPECT_EQ(same.TCoord3(7, 0), source.TCoord3(7, 2));
  EXPECT_EQ(same.PSize1(0), source.PSize1(2));
  EXPECT_EQ(same.Position3(1), Vec3(0.0f, 0.0f, 0.0f));

  // A target with fewer attributes and a unit of its own: shared channels copy, the rest stays.
  ko::koAttributes narrow;
  narrow.SetPositionChannels(3);
  narrow.SetTCoordChannels(3, 2);
  ko::koVertexBuffer target(narrow, 2);
  target.TCoord2(3, 1) = Vec2(-5.0f, -6.0f);
  ko::koMeshUtils::CopyVertexData(source, target, 1, 1);
  EXPECT_EQ(target.Position3(1), source.Position3(1));
  EXPECT_EQ(target.TCoord2(3, 1), Vec2(-5.0f, -6.0f));

  // One unit with different widths on the two sides: the common components copy.
  ko::koAttributes wide;
  wide.SetTCoordChannels(0, 3);
  wide.SetTCoordChannels(7, 2);
  ko::koVertexBuffer mixed(wide, 1);
  mixed.TCoord3(0, 0) = Vec3(0.0f, 0.0f, 9.0f);
  ko::koMeshUtils::CopyVertexData(source, mixed, 1, 0);
  EXPECT_EQ(mixed.TCoord3(0, 0), Vec3(11.0f, 21.0f, 9.0f));
  EXPECT_EQ(mixed.TCoord2(7, 0), Vec2(31.0f, 41.0f));
}
