#include <ko/koController.h>
#include <ko/koNode.h>
#include <ko/koTransformation.h>

#include <gtest/gtest.h>

#include <random>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Mat3 = Wm4::Matrix3<float>;

// The affine map y = linear*x + shift that a transformation stands for.
struct Affine {
  Mat3 linear = Mat3::IDENTITY;
  Vec3 shift = Vec3::ZERO;
  Affine operator*(const Affine& b) const { return {linear * b.linear, linear * b.shift + shift}; }
};

// Checks that t maps x both ways like the affine map, up to rounding of the terms summed.
void expectMaps(const ko::koTransformation& t, const Affine& map, const Vec3& x) {
  const Mat3 inverse = map.linear.Inverse(0.0f);
  EXPECT_LE((t.ApplyForward(x) - (map.linear * x + map.shift)).Length(),
            1e-5f * ((map.linear * x).Length() + map.shift.Length()));
  EXPECT_LE((t.ApplyInverse(x) - inverse * (x - map.shift)).Length(),
            1e-5f * ((inverse * x).Length() + (inverse * map.shift).Length()));
}

} // namespace

TEST(koSceneTest, TransformationsAndProductsMatchMatrixArithmetic) {
  std::mt19937 random(20240612u);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 3);
  auto vec = [&] { return Vec3(unit(random), unit(random), unit(random)); };
  // A transformation and its map. Parts are often neutral, for the identity flag; scales span 1e-3
  // to 1e3 (invertibility must not depend on the unit); after a general matrix, the scale is 1.
  auto randomTransformation = [&]() -> std::pair<ko::koTransformation, Affine> {
    auto rotation = [&] {
      const float turn = pick(random) == 0 ? 0.0f : 3.0f;
      Mat3 r;
      r.MakeEulerXYZ(turn * unit(random), turn * unit(random), turn * unit(random));
      return r;
    };
    const float magnitudes[] = {1e-3f, 1.0f, 1.0f, 1e3f};
    Vec3 scale = (Vec3(1.0f, 1.0f, 1.0f) + 0.5f * vec()) * magnitudes[pick(random)];
    const Mat3 rotate = rotation();
    const Mat3 general = rotate * Mat3(scale[0], scale[1], scale[2]) * rotation();
    const Vec3 shift = pick(random) == 0 ? Vec3::ZERO : vec();
    ko::koTransformation t;
    if (pick(random) == 0) {
      t.SetScale(vec());
      t.SetMatrix(Mat3(vec(), vec(), vec(), true));
    }
    t.SetRotate(rotate);
    t.SetTranslate(shift);
    const int kind = pick(random); // general, uniform scale, per-axis scale, no scale
    if (kind == 0)
      t.SetMatrix(general);
    else if (kind == 1)
      t.SetUniformScale(scale[0] = scale[1] = scale[2]);
    else if (kind == 2)
      t.SetScale(scale);
    return {t, {kind == 0 ? general : kind == 3 ? rotate : rotate.TimesDiagonal(scale), shift}};
  };
  int identities = 0;
  for (int i = 0; i < 4000; ++i) {
    const auto [a, mapA] = randomTransformation();
    const auto [b, mapB] = randomTransformation();
    const Vec3 x = vec();
    identities += a.IsIdentity();
    EXPECT_EQ(a.IsIdentity(), mapA.linear == Mat3::IDENTITY && mapA.shift == Vec3::ZERO);
    expectMaps(a, mapA, x);
    ko::koTransformation product, intoA = a, intoB = b; // also into its own arguments
    product.Product(a, b);
    intoA.Product(intoA, b);
    intoB.Product(a, intoB);
    for (const ko::koTransformation* p : {&product, &intoA, &intoB})
      expectMaps(*p, mapA * mapB, x);
    // Under a uniform scale, rotations with scales stay so: the cheap case of a scene.
    EXPECT_TRUE(product.IsRSMatrix() || !a.IsUniformScale() || !b.IsRSMatrix());
    ASSERT_FALSE(HasFailure()) << "sample " << i;
  }
  EXPECT_GT(identities, 30);
}

TEST(koSceneTest, NodesAndControllersHoldWhatTheyUseAndLetGo) {
  ko::koPointer<ko::koSpatial> survivor(new ko::koSpatial);
  ko::koPointer<ko::koController> shared(new ko::koController);
  {
    ko::koPointer<ko::koNode> root(new ko::koNode);
    auto* child = new ko::koNode;
    root->attachChild(child);
    EXPECT_TRUE(child->attachChild(survivor) == 0 && child->attachChild(survivor) == 0);
    survivor->markChanged(); // the flag rises through every ancestor
    EXPECT_TRUE(root->isChanged());
    child->AttachController(shared);
    child->AttachController(shared);
    EXPECT_TRUE(child->GetControllerQuantity() == 1 && shared->GetObject() == child);
    root->AttachController(shared); // moves it
    EXPECT_TRUE(child->GetControllerQuantity() == 0 && shared->GetObject() == root);
    child->AttachController(shared);
  }
  // The child died with the root, releasing its children and its controllers.
  EXPECT_TRUE(shared->GetObject() == nullptr && shared->GetReferences() == 1);
  EXPECT_TRUE(survivor->GetParent() == nullptr && survivor->GetReferences() == 1);

  // A child held only by its old parent lives through a move (else its child loses its parent).
  ko::koPointer<ko::koNode> a(new ko::koNode), b(new ko::koNode);
  auto* moved = new ko::koNode;
  moved->attachChild(survivor);
  a->attachChild(moved);
  b->attachChild(moved);
  EXPECT_TRUE(a->GetQuantity() == 0 && moved->GetParent() == b && survivor->GetParent() == moved);
}
