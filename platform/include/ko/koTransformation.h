#pragma once

#include <Wm4Foundation.h>

namespace ko {

// An affine map Y = M*X + T, held the way scene graphs keep it so that the common cases stay
// cheap and invertible:
//  - as a rotation R with a per-axis scale S (IsRSMatrix()): M = R*diag(S), so Y = R*(S∘X) + T;
//  - or as a general 3x3 matrix M (after SetMatrix()), with no separate scale.
// Matrices are row-major and act on column vectors (M*X).
//
// IsIdentity() is exact: it holds whenever the translation is zero and the matrix (and the scale
// when RS) is the identity, however that state was reached. A new transformation is the identity.
class koTransformation {
public:
  koTransformation();

  void MakeIdentity();

  bool IsIdentity() const { return mIsIdentity; }
  bool IsRSMatrix() const { return mIsRSMatrix; }
  // True when RS and the three scale factors are equal.
  bool IsUniformScale() const { return mIsRSMatrix && mIsUniformScale; }

  // Sets the rotation (expected orthonormal; not checked) and makes the transformation RS. Coming
  // from a general matrix, the scale restarts at (1, 1, 1).
  void SetRotate(const Wm4::Matrix3<float>& rotate);
  // The rotation; only meaningful when IsRSMatrix().
  const Wm4::Matrix3<float>& GetRotate() const;

  // Sets a general matrix (any shear or scale folded in); the transformation stops being RS.
  void SetMatrix(const Wm4::Matrix3<float>& matrix);
  // The stored matrix: the rotation alone when IsRSMatrix(), the general matrix otherwise.
  const Wm4::Matrix3<float>& GetMatrix() const { return mMatrix; }
  // The whole linear part M: R*diag(S) when IsRSMatrix(), the general matrix otherwise.
  Wm4::Matrix3<float> GetLinearMatrix() const;

  void SetTranslate(const Wm4::Vector3<float>& translate);
  const Wm4::Vector3<float>& GetTranslate() const { return mTranslate; }

  // Per-axis scale; only for an RS transformation (asserted in debug builds).
  void SetScale(const Wm4::Vector3<float>& scale);
  void SetUniformScale(float scale);
  const Wm4::Vector3<float>& GetScale() const;
  // Only when IsUniformScale().
  float GetUniformScale() const;

  // Maps a point: M*X + T.
  Wm4::Vector3<float> ApplyForward(const Wm4::Vector3<float>& point) const;
  // Maps a direction or offset: M*V, no translation.
  Wm4::Vector3<float> ApplyForwardVector(const Wm4::Vector3<float>& vector) const;
  // Maps an offset back: M^-1*V; zero when M is singular (a zero scale factor, or a determinant
  // that vanishes next to the size of the entries, so that the test does not depend on the unit).
  Wm4::Vector3<float> ApplyInverseVector(const Wm4::Vector3<float>& vector) const;
  // Maps a point back: M^-1*(Y - T), with M^-1 as in ApplyInverseVector.
  Wm4::Vector3<float> ApplyInverse(const Wm4::Vector3<float>& point) const;

  // this = a*b: the map that applies b first, then a (a child's world transformation is
  // parent.World * child.Local). Stays RS when both are RS and a has a uniform scale, since then
  // sa*Ra*Rb*Sb = (Ra*Rb)*(sa*Sb); otherwise the result is a general matrix. Either argument may
  // be this object.
  void Product(const koTransformation& a, const koTransformation& b);

private:
  void updateIdentity();

  Wm4::Matrix3<float> mMatrix;
  Wm4::Vector3<float> mTranslate;
  Wm4::Vector3<float> mScale;
  bool mIsIdentity = true;
  bool mIsRSMatrix = true;
  bool mIsUniformScale = true;
};

} // namespace ko
