#include <ko/koKeyframeController.h>
#include <ko/koNode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

namespace {

using Vec3 = Wm4::Vector3<float>;

void expectNear(const Vec3& actual, const Vec3& expected) {
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(actual[k], expected[k], 1e-5f) << "component " << k;
}

// Translations along x only, which is enough to see the interpolation.
ko::koKeyframeController* makeController(std::initializer_list<float> times,
                                         std::initializer_list<float> xs) {
  auto* controller = new ko::koKeyframeController;
  auto* t = new float[times.size()];
  std::copy(times.begin(), times.end(), t);
  auto* d = new Vec3[xs.size()];
  std::transform(xs.begin(), xs.end(), d, [](float x) { return Vec3(x, 2.0f * x, 0.0f); });
  controller->TranslationTimes = new ko::koTSharedArray<float>(static_cast<int>(times.size()), t);
  controller->TranslationData = new ko::koTSharedArray<Vec3>(static_cast<int>(xs.size()), d);
  return controller;
}

} // namespace

TEST(koKeyframeControllerTest, InterpolatesBetweenKeysAndHoldsOutside) {
  ko::koPointer<ko::koKeyframeController> c = makeController({1.0f, 3.0f, 4.0f}, {0.0f, 2.0f, 6.0f});
  const double times[] = {-5.0, 1.0, 2.0, 3.0, 3.5, 4.0, 100.0};
  const float expected[] = {0.0f, 0.0f, 1.0f, 2.0f, 4.0f, 6.0f, 6.0f};
  for (int i = 0; i < 7; ++i)
    expectNear(c->GetTranslation(times[i]), Vec3(expected[i], 2.0f * expected[i], 0.0f));

  // Equal neighbouring times make a jump: from that time on the later key holds, with no
  // division by the zero-length span.
  ko::koPointer<ko::koKeyframeController> jump =
      makeController({0.0f, 1.0f, 1.0f, 2.0f}, {0.0f, 1.0f, 5.0f, 7.0f});
  expectNear(jump->GetTranslation(0.5), Vec3(0.5f, 1.0f, 0.0f));
  expectNear(jump->GetTranslation(1.0), Vec3(5.0f, 10.0f, 0.0f));
  expectNear(jump->GetTranslation(1.5), Vec3(6.0f, 12.0f, 0.0f));

  // Arrays of different lengths: the extra translations are not keys.
  ko::koPointer<ko::koKeyframeController> shorter = makeController({0.0f, 1.0f}, {0.0f, 1.0f, 9.0f});
  EXPECT_EQ(shorter->GetKeyQuantity(), 2);
  expectNear(shorter->GetTranslation(5.0), Vec3(1.0f, 2.0f, 0.0f));
}

// A mesh placed, rotated and scaled under a rotated and scaled parent plays its keys as world
// offsets from where it rests: exactly in place at a zero key, moved by the key in world space
// at every time, its own rotation and scale untouched.
TEST(koKeyframeControllerTest, KeysMoveAPlacedMeshFromItsRestInWorldSpace) {
  ko::koPointer<ko::koNode> root(new ko::koNode);
  auto* mesh = new ko::koNode;
  root->attachChild(mesh);
  root->Local.SetTranslate(Vec3(100.0f, 0.0f, 0.0f));
  root->Local.SetRotate(Wm4::Matrix3<float>(Vec3(0.0f, 0.6f, 0.8f), 1.1f));
  root->Local.SetUniformScale(0.001f);
  mesh->Local.SetTranslate(Vec3(3.0f, -7.0f, 2.5f));
  mesh->Local.SetRotate(Wm4::Matrix3<float>(Vec3(1.0f, 0.0f, 0.0f), 0.4f));
  mesh->Local.SetScale(Vec3(2.0f, 3.0f, 0.5f));
  root->UpdateGS(0.0);
  const Vec3 restLocal = mesh->Local.GetTranslate();
  const Vec3 restWorld = mesh->World.GetTranslate();

  ko::koPointer<ko::koKeyframeController> c = makeController({0.0f, 2.0f}, {0.0f, 4.0f});
  mesh->AttachController(c);
  EXPECT_EQ(c->GetRestTranslation(), restLocal);
  for (double time : {0.0, 0.5, 2.0, 9.0, 0.0}) {
    root->UpdateGS(time);
    const Vec3 moved = mesh->World.GetTranslate() - restWorld;
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(moved[k], c->GetTranslation(time)[k], 1e-4f) << "time " << time;
    EXPECT_EQ(mesh->Local.GetScale(), Vec3(2.0f, 3.0f, 0.5f));
  }
  EXPECT_EQ(mesh->Local.GetTranslate(), restLocal) << "a zero key is the rest pose, exactly";

  // Attached elsewhere, a controller rests where its new object is; without keys, Update() leaves
  // the object alone.
  auto* other = new ko::koNode;
  root->attachChild(other);
  other->Local.SetTranslate(Vec3(1.0f, 2.0f, 3.0f));
  other->AttachController(c);
  EXPECT_EQ(c->GetRestTranslation(), Vec3(1.0f, 2.0f, 3.0f));
  ko::koPointer<ko::koKeyframeController> empty(new ko::koKeyframeController);
  mesh->AttachController(empty);
  EXPECT_FALSE(empty->Update(5.0));
  EXPECT_EQ(mesh->Local.GetTranslate(), restLocal);
}
