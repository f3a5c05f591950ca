#include <ko/koController.h>
#include <ko/koNode.h>
#include <ko/koTransformation.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Mat3 = Wm4::Matrix3<float>;

// Quarter turn about z (row-major): x -> y, y -> -x.
const Mat3 kRotZ90(0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
const Vec3 kOnes(1.0f, 1.0f, 1.0f);

void expectNear(const Vec3& actual, const Vec3& expected) {
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(actual[k], expected[k], 1e-5f) << "component " << k;
}

template <typename Base>
class Counted : public Base {
public:
  explicit Counted(int& destroyed) : mDestroyed(destroyed) {}
  ~Counted() override { ++mDestroyed; }

private:
  int& mDestroyed;
};

class TimeController : public Counted<ko::koController> {
public:
  using Counted::Counted;
  bool Update(double time) override {
    lastTime = time;
    return true;
  }
  double lastTime = -1.0;
};

} // namespace

TEST(koSceneTest, TransformationMapsPointsBothWays) {
  ko::koTransformation t;
  t.SetRotate(kRotZ90);
  t.SetScale(Vec3(1.0f, 2.0f, 3.0f));
  t.SetTranslate(Vec3(10.0f, 0.0f, 0.0f));
  EXPECT_FALSE(t.IsIdentity() || t.IsUniformScale());
  // Scale first, then rotate, then shift: (1,1,1) -> (1,2,3) -> (-2,1,3) -> (8,1,3).
  expectNear(t.ApplyForward(kOnes), Vec3(8.0f, 1.0f, 3.0f));
  expectNear(t.ApplyInverse(Vec3(8.0f, 1.0f, 3.0f)), kOnes);

  // The same map as a general matrix answers the same.
  ko::koTransformation general;
  general.SetMatrix(t.GetLinearMatrix());
  general.SetTranslate(t.GetTranslate());
  expectNear(general.ApplyForward(kOnes), Vec3(8.0f, 1.0f, 3.0f));
  expectNear(general.ApplyInverse(Vec3(8.0f, 1.0f, 3.0f)), kOnes);

  // The identity flag follows the value, however it is reached.
  t.SetRotate(Mat3::IDENTITY);
  t.SetScale(kOnes);
  EXPECT_FALSE(t.IsIdentity());
  t.SetTranslate(Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_TRUE(t.IsIdentity());
  // Returning from a general matrix to a rotation starts again from unit scale.
  t.SetMatrix(Mat3(2.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, 2.0f));
  EXPECT_FALSE(t.IsIdentity() || t.IsRSMatrix());
  t.SetRotate(Mat3::IDENTITY);
  EXPECT_TRUE(t.IsIdentity() && t.IsUniformScale());
}

TEST(koSceneTest, UpdateGSComposesWorldDownTheTree) {
  // Root: uniform scale 2, quarter turn, shift by (10,0,0); middle: shift; leaf: per-axis scale.
  ko::koPointer<ko::koNode> root(new ko::koNode);
  auto* middle = new ko::koNode;
  ko::koPointer<ko::koTriMesh> leaf(new ko::koTriMesh(nullptr, nullptr));
  root->attachChild(middle);
  middle->attachChild(leaf);
  root->Local.SetRotate(kRotZ90);
  root->Local.SetUniformScale(2.0f);
  root->Local.SetTranslate(Vec3(10.0f, 0.0f, 0.0f));
  middle->Local.SetTranslate(Vec3(1.0f, 0.0f, 0.0f));
  leaf->Local.SetScale(Vec3(1.0f, 2.0f, 3.0f));
  root->UpdateGS();
  // (1,1,1) -> leaf (1,2,3) -> middle (2,2,3) -> root (6,4,6); still a rotation and a scale.
  expectNear(leaf->World.ApplyForward(kOnes), Vec3(6.0f, 4.0f, 6.0f));
  EXPECT_TRUE(leaf->World.IsRSMatrix());
  expectNear(leaf->World.GetScale(), Vec3(2.0f, 4.0f, 6.0f));
  // Into one of its own arguments.
  ko::koTransformation aliased = leaf->Local;
  aliased.Product(middle->World, aliased);
  expectNear(aliased.ApplyForward(kOnes), Vec3(6.0f, 4.0f, 6.0f));

  // A non-uniformly scaled parent over a rotated child is no R*S: (0,1,0) -> turn (-1,0,0) ->
  // scale (-2,0,0), where an R*S shortcut would give (-1,0,0).
  ko::koTransformation stretched, turned, skew;
  stretched.SetScale(Vec3(2.0f, 1.0f, 1.0f));
  turned.SetRotate(kRotZ90);
  skew.Product(stretched, turned);
  EXPECT_FALSE(skew.IsRSMatrix());
  expectNear(skew.ApplyForward(Vec3(0.0f, 1.0f, 0.0f)), Vec3(-2.0f, 0.0f, 0.0f));
  skew.Product(ko::koTransformation(), leaf->Local);
  expectNear(skew.ApplyForward(kOnes), Vec3(1.0f, 2.0f, 3.0f));

  // Change flags rise to the ancestors, not to siblings; clearing is per object.
  auto* sibling = new ko::koNode;
  root->attachChild(sibling);
  leaf->markChanged();
  EXPECT_TRUE(middle->isChanged() && root->isChanged());
  EXPECT_FALSE(sibling->isChanged());
  root->clearChanged();
  EXPECT_TRUE(leaf->isChanged() && middle->isChanged());
  EXPECT_FALSE(root->isChanged());
}

TEST(koSceneTest, NodesHoldAndReleaseTheirChildren) {
  int destroyed = 0;
  ko::koPointer<ko::koSpatial> survivor(new Counted<ko::koSpatial>(destroyed));
  {
    ko::koPointer<ko::koNode> root(new ko::koNode);
    EXPECT_EQ(root->attachChild(new Counted<ko::koSpatial>(destroyed)), 0);
    EXPECT_EQ(root->attachChild(survivor), 1);
    EXPECT_EQ(root->attachChild(survivor), 1); // already there: nothing changes
    EXPECT_EQ(root->GetQuantity(), 2);
    EXPECT_EQ(survivor->GetParent(), root);
    EXPECT_EQ(survivor->GetReferences(), 2);
  }
  // The node's own child died with it; the shared one lives on as a root.
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(survivor->GetReferences(), 1);
  EXPECT_EQ(survivor->GetParent(), nullptr);

  // Moving a child whose only reference is its old parent must not delete it on the way.
  ko::koPointer<ko::koNode> a(new ko::koNode);
  ko::koPointer<ko::koNode> b(new ko::koNode);
  auto* moved = new Counted<ko::koSpatial>(destroyed);
  a->attachChild(moved);
  b->attachChild(moved);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(a->GetQuantity(), 0);
  EXPECT_EQ(moved->GetParent(), b);
  EXPECT_EQ(moved->GetReferences(), 1);

  b->attachChild(survivor);
  b->removeAllChildren();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(survivor->GetParent(), nullptr);
}

TEST(koSceneTest, ControllersRunOnUpdateAndFollowTheirObject) {
  int destroyed = 0;
  ko::koPointer<ko::koNode> root(new ko::koNode);
  auto* child = new ko::koNode;
  root->attachChild(child);
  auto* owned = new TimeController(destroyed);
  ko::koPointer<TimeController> shared(new TimeController(destroyed));
  child->AttachController(owned);
  child->AttachController(shared);
  child->AttachController(shared);
  ASSERT_EQ(child->GetControllerQuantity(), 2);
  EXPECT_EQ(owned->GetObject(), child);

  root->UpdateGS(2.5);
  EXPECT_EQ(owned->lastTime, 2.5);
  EXPECT_EQ(shared->lastTime, 2.5);

  // Attaching elsewhere moves the controller.
  root->AttachController(shared);
  EXPECT_EQ(child->GetControllerQuantity(), 1);
  EXPECT_EQ(shared->GetObject(), root);
  EXPECT_EQ(shared->GetReferences(), 2);

  // Dropping an object drops the controllers only it held, and unhooks the others.
  child->AttachController(shared);
  root->removeAllChildren();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(shared->GetObject(), nullptr);
  EXPECT_EQ(shared->GetReferences(), 1);
}

TEST(koSceneTest, TriMeshReadsWholeTrianglesAndHoldsItsParts) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  // Seven indices: two whole triangles, the last index belongs to none.
  ko::koPointer<ko::koIndexBuffer> indices(new ko::koIndexBuffer(7, 1));
  const int data[7] = {0, 1, 2, 2, 1, 3, 3};
  std::copy(data, data + 7, indices->GetData());
  ko::koPointer<ko::koTriMesh> mesh(
      new ko::koTriMesh(new ko::koVertexBuffer(attributes, 4), indices));
  EXPECT_EQ(mesh->GetTriangleQuantity(), 2);
  int v0 = -1, v1 = -1, v2 = -1;
  ASSERT_TRUE(mesh->GetTriangle(1, v0, v1, v2));
  EXPECT_TRUE(v0 == 2 && v1 == 1 && v2 == 3);
  EXPECT_FALSE(mesh->GetTriangle(2, v0, v1, v2));
  EXPECT_FALSE(mesh->GetTriangle(-1, v0, v1, v2));
  EXPECT_EQ(v0, 2);

  auto* material = new ko::koMaterialState;
  mesh->SetMaterialState(material);
  EXPECT_EQ(material->GetReferences(), 1);
  mesh->IBuffer = nullptr;
  EXPECT_EQ(mesh->GetTriangleQuantity(), 0);
  EXPECT_FALSE(mesh->GetTriangle(0, v0, v1, v2));
}
