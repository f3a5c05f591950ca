#include <ko/koGenericBVH.h>
#include <ko/koQBVH.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;
using Vec3d = Wm4::Vector3<double>;

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Soup {
  std::vector<Vec3> points;
  std::vector<int> indices;

  int triangles() const { return static_cast<int>(indices.size() / 3); }
  Vec3d corner(int triangle, int k) const {
    const Vec3& p = points[static_cast<size_t>(indices[3 * static_cast<size_t>(triangle) + k])];
    return Vec3d(p[0], p[1], p[2]);
  }
  void add(int a, int b, int c) { indices.insert(indices.end(), {a, b, c}); }
};

ko::koTriMesh* makeMesh(const Soup& soup) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(soup.points.size()));
  for (int i = 0; i < vertices->GetVertexQuantity(); ++i)
    vertices->Position3(i) = soup.points[static_cast<size_t>(i)];
  auto* indices =
      new ko::koIndexBuffer(static_cast<int>(soup.indices.size()), ko::koIndexBuffer::TriangleList);
  std::copy(soup.indices.begin(), soup.indices.end(), indices->GetData());
  return new ko::koTriMesh(vertices, indices);
}

// A closed lat-long sphere wound outwards; its rings share every edge.
void addSphere(Soup& soup, const Vec3& center, float radius, int rings, int segments) {
  const int north = static_cast<int>(soup.points.size());
  const float pi = 3.14159265f;
  soup.points.push_back(center + Vec3(0, 0, radius));
  for (int i = 1; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const float theta = pi * i / rings, phi = 2 * pi * j / segments;
      soup.points.push_back(center + radius * Vec3(std::sin(theta) * std::cos(phi),
                                                   std::sin(theta) * std::sin(phi),
                                                   std::cos(theta)));
    }
  soup.points.push_back(center - Vec3(0, 0, radius));
  const int south = north + 1 + (rings - 1) * segments;
  auto at = [&](int i, int j) { return north + 1 + (i - 1) * segments + j % segments; };
  for (int j = 0; j < segments; ++j) {
    soup.add(north, at(1, j), at(1, j + 1));
    soup.add(at(rings - 1, j), south, at(rings - 1, j + 1));
    for (int i = 1; i + 1 < rings; ++i) {
      soup.add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      soup.add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  }
}

struct Query {
  Vec3 origin = Vec3(0, 0, 0), direction = Vec3(0, 0, 1);
  float tMin = 0, reach = 0; // reach > 0: intersectRaySymmetric
  koQBVH::tIntersectionPolicy policy = koQBVH::eNearestHit;
};
struct Answer {
  bool hit = false;
  float distance = -1;
  Vec2 barycentric = Vec2(-1, -1);
  unsigned int triangle = 0;
  bool operator==(const Answer& o) const {
    return hit == o.hit && distance == o.distance && barycentric == o.barycentric &&
           triangle == o.triangle;
  }
};

Answer ask(const koQBVH& qbvh, const Query& q) {
  Answer a;
  a.distance = q.reach > 0 ? q.reach : a.distance;
  a.hit = q.reach > 0 ? qbvh.intersectRaySymmetric(q.origin, q.direction, a.distance, a.barycentric,
                                                   a.triangle)
                      : qbvh.intersectRay(q.origin, q.direction, q.tMin, a.distance, a.barycentric,
                                          a.triangle, q.policy);
  return a;
}

// The three questions one ray can ask: intersectRay under each policy, and intersectRaySymmetric.
std::vector<Query> askedThreeWays(const Vec3& origin, const Vec3& direction, float tMin,
                                  float reach) {
  Query q{origin, direction, tMin, 0, koQBVH::eNearestHit};
  Query front = q, symmetric = q;
  front.policy = koQBVH::eNearestFrontHit;
  symmetric.reach = reach;
  return {q, front, symmetric};
}

// Checks an answer against every triangle, in double precision. A triangle the ray crosses more
// than kEdge inside its edges (and, for the front policy, clearly facing the ray) must be
// found; the answer must be within kEdge of its triangle, at that triangle's distance, no
// farther than any such clear hit, and at the point its barycentric coordinates name.
void expectMatchesBruteForce(const Soup& soup, const Query& q, const Answer& a) {
  constexpr double kEdge = 1e-5;
  const Vec3d o(q.origin[0], q.origin[1], q.origin[2]);
  const Vec3d d(q.direction[0], q.direction[1], q.direction[2]);
  double nearestClear = kInf;
  for (int k = 0; k < soup.triangles(); ++k) {
    const Vec3d p0 = soup.corner(k, 0), p1 = soup.corner(k, 1), p2 = soup.corner(k, 2);
    // Moller-Trumbore without the inside test.
    const Vec3d e1 = p1 - p0, e2 = p2 - p0, s = o - p0, pv = d.Cross(e2), qv = s.Cross(e1);
    const double det = e1.Dot(pv), twiceArea = e1.Cross(e2).Length();
    if (std::abs(det) < 1e-14)
      continue;
    const double u = s.Dot(pv) / det, v = d.Dot(qv) / det, t = e2.Dot(qv) / det;
    // Distance from the crossing to the nearest edge, negative outside.
    const double inside = twiceArea * std::min({(1 - u - v) / (p2 - p1).Length(),
                                                u / (p2 - p0).Length(), v / e1.Length()});
    const double cosine = e1.Cross(e2).Dot(d) / (twiceArea * d.Length());
    // Float answers lose precision on grazing rays, and on slivers along their long edges.
    const double longest = std::max({e1.Length(), e2.Length(), (p2 - p1).Length()});
    const double tol =
        1e-4 + 1e-5 / std::max(std::abs(cosine), 1e-3) + 2e-7 * longest * longest / twiceArea;
    const double measure = q.reach > 0 ? std::abs(t) : t;
    auto inRange = [&](double slack) {
      return q.reach > 0 ? measure <= q.reach + slack : t >= q.tMin - slack;
    };
    const bool front = q.policy == koQBVH::eNearestFrontHit;
    if (inside > kEdge && inRange(-tol) && std::abs(cosine) > 1e-2 && (!front || cosine < 0))
      nearestClear = std::min(nearestClear, measure);
    if (!a.hit || a.triangle != static_cast<unsigned int>(k))
      continue;
    EXPECT_TRUE(inside > -kEdge && inRange(tol) && (!front || cosine < 1e-2));
    EXPECT_NEAR(a.distance, measure, tol);
    const double b1 = a.barycentric[0], b2 = a.barycentric[1];
    const Vec3d onTriangle = b1 * p0 + b2 * p1 + (1 - b1 - b2) * p2;
    const Vec3d onRay = o + (q.reach > 0 && t < 0 ? -1.0 : 1.0) * double(a.distance) * d;
    EXPECT_LT((onTriangle - onRay).Length(), tol);
  }
  EXPECT_TRUE(a.hit || nearestClear == kInf);
  if (a.hit) {
    EXPECT_LT(a.triangle, static_cast<unsigned int>(soup.triangles()));
    EXPECT_LE(a.distance, nearestClear + 1e-4);
  }
}

float uniform(std::mt19937& rng, float lo, float hi) {
  return std::uniform_real_distribution<float>(lo, hi)(rng);
}
Vec3 randomPoint(std::mt19937& rng, float lo, float hi) {
  const float x = uniform(rng, lo, hi), y = uniform(rng, lo, hi); // drawn in order
  return Vec3(x, y, uniform(rng, lo, hi));
}

} // namespace

TEST(koQBVHTest, RandomRaysMatchBruteForceForBothQueriesAndPolicies) {
  std::mt19937 rng(20240611);
  Soup soup;
  addSphere(soup, Vec3(0.5f, 0.5f, 0.5f), 0.3f, 8, 12);
  for (int i = 0; i < 300; ++i) {
    const Vec3 p0 = randomPoint(rng, 0, 1), p1 = p0 + randomPoint(rng, -0.2f, 0.2f);
    // One in ten is a sliver, 1e-6 to 1e-3 off the line through its first two corners.
    const Vec3 p2 = i % 10 == 0
                        ? p0 + 0.4f * (p1 - p0) +
                              std::pow(10.0f, uniform(rng, -6, -3)) * randomPoint(rng, -1, 1)
                        : p0 + randomPoint(rng, -0.2f, 0.2f);
    const int base = static_cast<int>(soup.points.size());
    soup.points.insert(soup.points.end(), {p0, p1, p2});
    soup.add(base, base + 1, base + 2);
  }
  ko::koPointer<ko::koTriMesh> mesh(makeMesh(soup));
  for (unsigned int flags : {0u, static_cast<unsigned int>(koQBVH::eRobust)}) {
    koQBVH qbvh;
    qbvh.buildFromMesh(flags, mesh, 4);
    for (int r = 0; r < 1500; ++r) {
      // Mostly aimed at a point of a random triangle; directions of varying length.
      const int k = std::uniform_int_distribution<int>(0, soup.triangles() - 1)(rng);
      const double b1 = uniform(rng, 0, 1), b2 = uniform(rng, 0, 1 - float(b1));
      const Vec3d aim =
          b1 * soup.corner(k, 0) + b2 * soup.corner(k, 1) + (1 - b1 - b2) * soup.corner(k, 2);
      const Vec3 target =
          r % 5 == 0 ? randomPoint(rng, 0, 1) : Vec3(float(aim[0]), float(aim[1]), float(aim[2]));
      const Vec3 origin = randomPoint(rng, -0.5f, 1.5f);
      Vec3 direction = target - origin;
      direction *= uniform(rng, 0.5f, 2.0f) / direction.Length();
      const float tMin = r % 4 == 0 ? uniform(rng, -1, 0) : r % 4 == 1 ? uniform(rng, 0, 1.5f) : 0;
      for (const Query& q : askedThreeWays(origin, direction, tMin, uniform(rng, 0.2f, 3.0f))) {
        SCOPED_TRACE(::testing::Message() << "flags " << flags << " ray " << r << " policy "
                                          << q.policy << " reach " << q.reach);
        expectMatchesBruteForce(soup, q, ask(qbvh, q));
      }
    }
  }
}

TEST(koQBVHTest, RaysThroughSharedEdgesAndVerticesHitTheSameWayOnEveryThread) {
  // Robust mode: rays through the closed sphere's vertices and edge midpoints, heading inwards,
  // cannot slip through a crack and must enter at the aimed point (t = 1).
  Soup soup;
  const Vec3 center(0.5f, 0.5f, 0.5f);
  addSphere(soup, center, 0.3f, 8, 12);
  std::vector<Vec3> targets = soup.points;
  for (int k = 0; k < soup.triangles(); ++k)
    for (int e = 0; e < 3; ++e) {
      const Vec3d mid = 0.5 * (soup.corner(k, e) + soup.corner(k, (e + 1) % 3));
      targets.emplace_back(float(mid[0]), float(mid[1]), float(mid[2]));
    }
  std::mt19937 rng(7);
  std::vector<Query> queries;
  for (const Vec3& target : targets) {
    const Vec3 origin = center + 3.0f * (target - center) + randomPoint(rng, -0.2f, 0.2f);
    for (const Query& q : askedThreeWays(origin, target - origin, 0, 2))
      queries.push_back(q);
  }
  ko::koPointer<ko::koTriMesh> mesh(makeMesh(soup));
  koQBVH qbvh;
  qbvh.buildFromMesh(koQBVH::eRobust, mesh, 4);
  std::vector<Answer> answers;
  for (const Query& q : queries) {
    answers.push_back(ask(qbvh, q));
    SCOPED_TRACE(::testing::Message() << "query " << answers.size() - 1);
    ASSERT_TRUE(answers.back().hit);
    EXPECT_NEAR(answers.back().distance, 1.0f, 1e-4f);
    expectMatchesBruteForce(soup, queries[answers.size() - 1], answers.back());
  }
  // A second build, queried by four threads at once, must give the same answers bit for bit.
  koQBVH again;
  again.buildFromBVH(koQBVH::eRobust, koGenericBVH(), mesh);
  std::vector<Answer> threaded(queries.size());
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (size_t i = t; i < queries.size(); i += 4)
        threaded[i] = ask(again, queries[i]);
    });
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_TRUE(threaded == answers);
}

TEST(koQBVHTest, SymmetricTiesGoForwardAndEmptyMeshesNeverHit) {
  // Equally far both ways, the symmetric query goes forward (+z, the second triangle).
  const Soup planes{
      {Vec3(0, 0, -1), Vec3(1, 0, -1), Vec3(0, 1, -1), Vec3(0, 0, 1), Vec3(1, 0, 1), Vec3(0, 1, 1)},
      {0, 1, 2, 3, 4, 5}};
  ko::koPointer<ko::koTriMesh> planesMesh(makeMesh(planes));
  koQBVH tie;
  tie.buildFromMesh(koQBVH::eRobust, planesMesh, 4);
  Query both;
  both.origin = Vec3(0.25f, 0.25f, 0);
  both.direction = Vec3(0, 0, 1);
  both.reach = 2;
  const Answer forward = ask(tie, both);
  EXPECT_TRUE(forward.hit && forward.triangle == 1 && forward.distance == 1);
  // A mesh without triangles never hits and leaves the outputs alone.
  ko::koPointer<ko::koTriMesh> empty(new ko::koTriMesh(nullptr, nullptr));
  koQBVH none;
  none.buildFromMesh(koQBVH::eRobust, empty, 4);
  EXPECT_EQ(ask(none, Query()), Answer());
}
