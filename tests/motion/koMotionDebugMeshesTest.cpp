#include "koMotionDetect.h"

#include "koBoxMesh.h"

#include <gtest/gtest.h>
#include <ko/koNode.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>

namespace {

using Vec3d = Wm4::Vector3<double>;
using Vec3f = Wm4::Vector3<float>;

// A cross section: the regular decagon inscribed in the circle of radius r.
double sectionArea(double r) { return 5.0 * r * r * std::sin(0.62831855); }

// Checks the sizes; that the mesh is closed and consistently oriented once coincident vertices
// are welded (every directed edge occurs once, and its reverse once) and encloses volume facing
// outwards; that every vertex lies within radius of the line through origin along unit d, and
// that the vertices reach from t0 to t1 along it. Returns where the widest cross section sits.
float checkShape(const ko::koTriMesh& mesh, int noVertices, int noTriangles, double volume,
                 const Vec3f& origin, const Vec3f& d, float t0, float t1, float radius) {
  const ko::koVertexBuffer& vb = *mesh.VBuffer;
  EXPECT_EQ(vb.GetVertexQuantity(), noVertices);
  EXPECT_EQ(mesh.GetTriangleQuantity(), noTriangles);
  using Point = std::tuple<float, float, float>;
  std::map<std::pair<Point, Point>, int> edges;
  double enclosed = 0.0;
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int v[3];
    mesh.GetTriangle(t, v[0], v[1], v[2]);
    Point p[3];
    for (int k = 0; k < 3; ++k)
      p[k] = {vb.Position3(v[k]).X(), vb.Position3(v[k]).Y(), vb.Position3(v[k]).Z()};
    for (int k = 0; k < 3; ++k)
      ++edges[{p[k], p[(k + 1) % 3]}];
    enclosed += vb.Position3(v[0]).Dot(vb.Position3(v[1]).Cross(vb.Position3(v[2]))) / 6.0;
  }
  for (const auto& [edge, count] : edges)
    EXPECT_TRUE(count == 1 && edges.count({edge.second, edge.first}) == 1);
  EXPECT_NEAR(enclosed, volume, 1e-5 * volume);

  float lo = 1e30f, hi = -1e30f, widest = 0.0f, widestAt = 0.0f;
  for (int v = 0; v < vb.GetVertexQuantity(); ++v) {
    const Vec3f p = vb.Position3(v) - origin;
    const float t = p.Dot(d), off = (p - t * d).Length();
    EXPECT_LE(off, radius * 1.0001f);
    lo = std::min(lo, t);
    hi = std::max(hi, t);
    if (off > widest)
      std::tie(widest, widestAt) = std::make_pair(off, t);
  }
  EXPECT_TRUE(std::abs(lo - t0) < 1e-5f && std::abs(hi - t1) < 1e-5f) << lo << ", " << hi;
  return widestAt;
}

TEST(koMotionDetect, DebugMeshesAreClosedAndSpanTheClippedLine) {
  // The union box is [0, 6] x [0, 2] x [0, 1]: largest extent 6, a quarter of it 1.5.
  ko::koPointer<ko::koTriMesh> a = makeBoxMesh("A", Vec3f(0, 0, 0), Vec3f(4, 2, 1));
  ko::koPointer<ko::koTriMesh> b = makeBoxMesh("B", Vec3f(4, 0, 0), Vec3f(6, 2, 1));
  const Vec3f centre(3, 1, 0.5f);

  // Along x through (1, 1, 0.5), in the box grown by 0.06: [-1.06, 5.06], lengthened by 1/8.
  ko::koPointer<ko::koTriMesh> axis =
      koMotionDetect::ComputeAxisMesh(Vec3d(2, 0, 0), Vec3d(1, 1, 0.5), a, b);
  const float axisLength = 6.12f * 1.25f, axisStart = -1.06f - 6.12f / 8;
  checkShape(*axis, 42, 40, sectionArea(0.005 * axisLength) * axisLength, Vec3f(1, 1, 0.5f),
             Vec3f(1, 0, 0), axisStart, axisStart + axisLength, 0.005f * axisLength);

  // Along z the box is 1 deep, raised to 1.5, lengthened by 1/8; heads of twice the shaft's
  // radius reach 0.1 beyond.
  koMotionDetect motion;
  ko::koPointer<ko::koTriMesh> arrow = motion.computeTranslationMesh(Vec3d(0, 0, -1), a, b);
  const double arrowLength = 1.5 * 1.25;
  checkShape(*arrow, 64, 80,
             sectionArea(0.03 * arrowLength) * arrowLength +
                 2.0 * sectionArea(0.06 * arrowLength) * 0.1 * arrowLength / 3.0,
             centre, Vec3f(0, 0, -1), -0.6 * arrowLength, 0.6 * arrowLength, 0.06 * arrowLength);

  // Along (1, 1, 0) the clip is 2 sqrt 2 long, lengthened by 0.3 at each end.
  const float dartLength = 2.0f * std::sqrt(2.0f) * 1.6f;
  for (bool twoWay : {false, true}) {
    ko::koPointer<ko::koNode> pair =
        motion.computeDisassemblyDirectionMesh(Vec3d(1, 1, 0), twoWay, a, b);
    ASSERT_EQ(pair->GetQuantity(), 2);
    float headAt[2];
    for (int k = 0; k < 2; ++k)
      headAt[k] = checkShape(static_cast<const ko::koTriMesh&>(*pair->GetChild(k)), 22, 20,
                             sectionArea(0.03 * dartLength) * dartLength / 3.0, centre,
                             Vec3f(std::sqrt(0.5f), std::sqrt(0.5f), 0), -0.5f * dartLength,
                             0.5f * dartLength, 0.03f * dartLength);
    EXPECT_EQ(pair->GetChild(0)->GetName(), "Unmount_A_B");
    EXPECT_EQ(pair->GetChild(1)->GetName(), "Unmount_B_A");
    // Heads 0.1 long: A leaves along +d; B along -d, or along +d when A may also leave along -d.
    EXPECT_NEAR(headAt[0], 0.4f * dartLength, 1e-5f);
    EXPECT_NEAR(headAt[1], (twoWay ? 0.4f : -0.4f) * dartLength, 1e-5f);
  }
}

}  // namespace
