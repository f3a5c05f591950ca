#include <ko/koKeyframeController.h>
#include <ko/koNode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

namespace {

using Vec3 = Wm4::Vector3<float>;

// Keys at the given times with translations (x, 2x, 0).
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
  // Plain keys; a jump at equal times (the later key holds); a translation without a time.
  ko::koPointer<ko::koKeyframeController> plain = makeController({1, 3, 4}, {0, 2, 6});
  ko::koPointer<ko::koKeyframeController> jump = makeController({0, 1, 1, 2}, {0, 1, 5, 7});
  ko::koPointer<ko::koKeyframeController> shorter = makeController({0, 1}, {0, 1, 9});
  const struct { ko::koKeyframeController* controller; double time; float x; } cases[] = {
      {plain, -5, 0}, {plain, 1, 0}, {plain, 2, 1}, {plain, 3, 2}, {plain, 3.5, 4}, {plain, 4, 6},
      {plain, 100, 6}, {jump, 0.5, 0.5}, {jump, 1, 5}, {jump, 1.5, 6}, {shorter, 5, 1}};
  for (const auto& c : cases) {
    const Vec3 error = c.controller->GetTranslation(c.time) - Vec3(c.x, 2.0f * c.x, 0.0f);
    EXPECT_LT(error.Length(), 1e-5f) << "time " << c.time;
  }
}

// Under a turned and scaled parent, keys move a placed mesh in world space from its rest.
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
  const Vec3 restLocal = mesh->Local.GetTranslate(), restWorld = mesh->World.GetTranslate();

  ko::koPointer<ko::koKeyframeController> c = makeController({0, 2}, {0, 4});
  mesh->AttachController(c);
  for (double time : {0.0, 0.5, 2.0, 9.0, 0.0}) {
    root->UpdateGS(time);
    const Vec3 moved = mesh->World.GetTranslate() - restWorld;
    EXPECT_LT((moved - c->GetTranslation(time)).Length(), 1e-4f) << "time " << time;
  }
  EXPECT_EQ(mesh->Local.GetTranslate(), restLocal) << "a zero key is the rest pose, exactly";
}
