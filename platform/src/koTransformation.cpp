#include <ko/koTransformation.h>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ko {

namespace {
bool isZero(const Wm4::Vector3<float>& v) { return v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f; }
bool isOne(const Wm4::Vector3<float>& v) { return v[0] == 1.0f && v[1] == 1.0f && v[2] == 1.0f; }
bool isIdentityMatrix(const Wm4::Matrix3<float>& m) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (m(r, c) != (r == c ? 1.0f : 0.0f))
        return false;
  return true;
}
} // namespace

koTransformation::koTransformation()
    : mMatrix(Wm4::Matrix3<float>::IDENTITY), mTranslate(0.0f, 0.0f, 0.0f),
      mScale(1.0f, 1.0f, 1.0f) {}

void koTransformation::MakeIdentity() { *this = koTransformation(); }

void koTransformation::SetRotate(const Wm4::Matrix3<float>& rotate) {
  mMatrix = rotate;
  if (!mIsRSMatrix) {
    // The old scale was folded into the general matrix and is meaningless now.
    mScale = Wm4::Vector3<float>(1.0f, 1.0f, 1.0f);
    mIsUniformScale = true;
    mIsRSMatrix = true;
  }
  updateIdentity();
}

const Wm4::Matrix3<float>& koTransformation::GetRotate() const {
  assert(mIsRSMatrix);
  return mMatrix;
}

void koTransformation::SetMatrix(const Wm4::Matrix3<float>& matrix) {
  mMatrix = matrix;
  mIsRSMatrix = false;
  mIsUniformScale = false;
  updateIdentity();
}

Wm4::Matrix3<float> koTransformation::GetLinearMatrix() const {
  return mIsRSMatrix ? mMatrix.TimesDiagonal(mScale) : mMatrix;
}

void koTransformation::SetTranslate(const Wm4::Vector3<float>& translate) {
  mTranslate = translate;
  updateIdentity();
}

void koTransformation::SetScale(const Wm4::Vector3<float>& scale) {
  assert(mIsRSMatrix);
  mScale = scale;
  mIsUniformScale = scale[0] == scale[1] && scale[1] == scale[2];
  updateIdentity();
}

void koTransformation::SetUniformScale(float scale) {
  assert(mIsRSMatrix);
  mScale = Wm4::Vector3<float>(scale, scale, scale);
  mIsUniformScale = true;
  updateIdentity();
}

const Wm4::Vector3<float>& koTransformation::GetScale() const {
  assert(mIsRSMatrix);
  return mScale;
}

float koTransformation::GetUniformScale() const {
  assert(mIsRSMatrix && mIsUniformScale);
  return mScale[0];
}

Wm4::Vector3<float> koTransformation::ApplyForward(const Wm4::Vector3<float>& point) const {
  if (mIsIdentity)
    return point;
  return ApplyForwardVector(point) + mTranslate;
}

Wm4::Vector3<float> koTransformation::ApplyForwardVector(const Wm4::Vector3<float>& vector) const {
  if (mIsIdentity)
    return vector;
  if (mIsRSMatrix)
    return mMatrix * Wm4::Vector3<float>(mScale[0] * vector[0], mScale[1] * vector[1],
                                         mScale[2] * vector[2]);
  return mMatrix * vector;
}

Wm4::Vector3<float> koTransformation::ApplyInverseVector(const Wm4::Vector3<float>& vector) const {
  if (mIsIdentity)
    return vector;
  if (mIsRSMatrix) {
    if (mScale[0] == 0.0f || mScale[1] == 0.0f || mScale[2] == 0.0f)
      return Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
    const Wm4::Vector3<float> unrotated = mMatrix.Transpose() * vector;
    return Wm4::Vector3<float>(unrotated[0] / mScale[0], unrotated[1] / mScale[1],
                               unrotated[2] / mScale[2]);
  }
  // The determinant scales with the cube of the entries: compare it with that cube, so that a
  // millimetre model in a metre scene is as invertible as the same model in millimetres.
  float largest = 0.0f;
  for (int i = 0; i < 9; ++i)
    largest = std::max(largest, std::fabs(mMatrix(i / 3, i % 3)));
  const float tolerance = Wm4::Math<float>::ZERO_TOLERANCE * largest * largest * largest;
  return mMatrix.Inverse(tolerance) * vector;
}

Wm4::Vector3<float> koTransformation::ApplyInverse(const Wm4::Vector3<float>& point) const {
  return ApplyInverseVector(point - mTranslate);
}

void koTransformation::Product(const koTransformation& a, const koTransformation& b) {
  if (a.mIsIdentity) {
    *this = b;
    return;
  }
  if (b.mIsIdentity) {
    *this = a;
    return;
  }
  // Built in a local first, since a or b may be this object.
  koTransformation result;
  if (a.mIsRSMatrix && b.mIsRSMatrix && a.mIsUniformScale) {
    const float s = a.mScale[0];
    result.mMatrix = a.mMatrix * b.mMatrix;
    result.mTranslate = (a.mMatrix * b.mTranslate) * s + a.mTranslate;
    result.mScale = b.mScale * s;
    result.mIsUniformScale = b.mIsUniformScale;
  } else {
    const Wm4::Matrix3<float> ma = a.GetLinearMatrix();
    result.mMatrix = ma * b.GetLinearMatrix();
    result.mTranslate = ma * b.mTranslate + a.mTranslate;
    result.mIsRSMatrix = false;
    result.mIsUniformScale = false;
  }
  result.updateIdentity();
  *this = result;
}

void koTransformation::updateIdentity() {
  mIsIdentity = isZero(mTranslate) && isIdentityMatrix(mMatrix) && (!mIsRSMatrix || isOne(mScale));
}

} // namespace ko
