#pragma once

// The Wm4 names used by the library and its hosts, mapped onto Wild Magic 5 (libwildmagic-dev),
// the maintained successor of Wild Magic 4. Only the types the library uses are mapped.

#include <Wm5DistTriangle3Triangle3.h>
#include <Wm5EigenDecomposition.h>
#include <Wm5Math.h>
#include <Wm5Matrix3.h>
#include <Wm5Triangle3.h>
#include <Wm5Vector2.h>
#include <Wm5Vector3.h>

namespace Wm4 {

using Wm5::DistTriangle3Triangle3;
using Wm5::Math;
using Wm5::Matrix3;
using Wm5::Triangle3;
using Wm5::Vector2;
using Wm5::Vector3;

typedef Vector2<float> Vector2f;
typedef Vector2<double> Vector2d;
typedef Vector3<float> Vector3f;
typedef Vector3<double> Vector3d;
typedef Matrix3<float> Matrix3f;
typedef Matrix3<double> Matrix3d;

// The symmetric eigen solver with the Wild Magic 4 calling convention: fill the matrix through
// operator(), call EigenStuff3(), then read the eigenpairs in ascending eigenvalue order.
template <typename Real>
class Eigen {
public:
  explicit Eigen(int size) : mDecomposition(size) {}
  explicit Eigen(const Matrix3<Real>& matrix) : mDecomposition(matrix) {}

  Real& operator()(int row, int column) { return mDecomposition(row, column); }

  void EigenStuff3() { mDecomposition.Solve(true); }

  Real GetEigenvalue(int i) const { return mDecomposition.GetEigenvalue(i); }
  Vector3<Real> GetEigenvector3(int i) const { return mDecomposition.GetEigenvector3(i); }
  void GetEigenvector(int i, Vector3<Real>& vector) const {
    vector = mDecomposition.GetEigenvector3(i);
  }

private:
  Wm5::EigenDecomposition<Real> mDecomposition;
};

// A colour of three floats in [0, 1]: red, green, blue.
struct ColorRGB {
  float R = 0.0f, G = 0.0f, B = 0.0f;

  ColorRGB() = default;
  ColorRGB(float red, float green, float blue) : R(red), G(green), B(blue) {}
  bool operator==(const ColorRGB& other) const {
    return R == other.R && G == other.G && B == other.B;
  }
  bool operator!=(const ColorRGB& other) const { return !(*this == other); }
};

} // namespace Wm4
