#include <ko/koBVHTriangleContainer.h>
#include <ko/koLinearGenericBVHBuilder.h>
#include <ko/koPointer.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;

enum tLayout { eScattered, ePoints, eFewCentres, eFlat };

bool encloses(const koBBox& outer, const koBBox& inner) {
  return outer.contains(inner.min) && outer.contains(inner.max);
}

// Random boxes: scattered, of size zero, sharing a handful of centres, or all in the plane z = 1.
// The order entries are a random permutation, so a position holding an index instead shows.
void fill(koLinearGenericBVHBuilder& builder, std::mt19937& rng, unsigned int n, tLayout layout) {
  std::uniform_real_distribution<float> coord(-10.0f, 10.0f), half(0.0f, 2.0f);
  const Vec3 centres[3] = {{1, 2, 3}, {-4, 0, 0}, {1, 2, 3.5f}};
  builder.setup(n);
  std::iota(builder.primitiveOrder.begin(), builder.primitiveOrder.end(), 0u);
  std::shuffle(builder.primitiveOrder.begin(), builder.primitiveOrder.end(), rng);
  for (unsigned int i = 0; i < n; ++i) {
    Vec3 c(coord(rng), coord(rng), layout == eFlat ? 1.0f : coord(rng));
    Vec3 h(half(rng), half(rng), layout == eFlat ? 0.0f : half(rng));
    if (layout == eFewCentres)
      c = centres[i % 3];
    if (layout == ePoints)
      h = Vec3(0, 0, 0);
    builder.primitiveBoxes[i] = koBBox(c - h, c + h);
    builder.primitiveCentroids[i] = c;
    builder.unionBox.grow(builder.primitiveBoxes[i]);
  }
}

struct tWalk {
  const koGenericBVH& bvh;
  const koLinearGenericBVHBuilder& builder;
  std::vector<unsigned int> primitiveOf; // inverse of primitiveOrder
  bool checkSeparation;                  // whether distinct centroids have distinct codes
  unsigned int noVisited = 0;
  unsigned int nextPosition = 0;

  // Checks the links, leaves and boxes of the subtree at `index`; returns its centroids' box.
  koBBox check(unsigned int index) {
    ++noVisited;
    const koGenericBVH::tNode& node = bvh.nodes[index];
    koBBox centroids;
    if (node.isLeaf()) {
      EXPECT_TRUE(node.getFirstPrimitive() == nextPosition && node.getNoPrimitives() >= 1 &&
                  node.getNoPrimitives() <= builder.maxLeafSize);
      for (unsigned int k = 0; k < node.getNoPrimitives(); ++k, ++nextPosition) {
        const unsigned int i = primitiveOf[bvh.primitivePositions[nextPosition]];
        EXPECT_TRUE(encloses(node.box, builder.primitiveBoxes[i]));
        centroids.grow(builder.primitiveCentroids[i]);
      }
      return centroids;
    }
    const unsigned int left = node.getLeftChild(), right = node.getRightChild();
    EXPECT_TRUE(left == index + 1 && right > left && right < bvh.nodes.size());
    if (left != index + 1 || right <= left || right >= bvh.nodes.size())
      return centroids;
    const koBBox l = check(left), r = check(right);
    EXPECT_TRUE(encloses(node.box, bvh.nodes[left].box) &&
                encloses(node.box, bvh.nodes[right].box));
    // A cut at a Morton bit puts the children's centroids strictly on either side of a grid
    // plane; only a range of one repeated centroid is cut elsewhere.
    const bool oneCentroid = l.min == l.max && r.min == r.max && l.min == r.min;
    EXPECT_TRUE(!checkSeparation || oneCentroid || l.max[0] < r.min[0] || l.max[1] < r.min[1] ||
                l.max[2] < r.min[2]);
    return koBBox::unite(l, r);
  }
};

} // namespace

TEST(koGenericBVHTest, LinearBuildIsSoundAndAnswersOverlapQueriesLikeBruteForce) {
  std::mt19937 rng(20240531);
  for (unsigned int trial = 0; trial < 48; ++trial) {
    const unsigned int n = trial < 2 ? trial : std::uniform_int_distribution<unsigned>(2, 400)(rng);
    koLinearGenericBVHBuilder builder;
    fill(builder, rng, n, static_cast<tLayout>(trial % 4));
    builder.maxLeafSize = std::uniform_int_distribution<unsigned>(1, 6)(rng);
    const unsigned int bits[4] = {1, 2, 10, 21};
    const unsigned int size = bits[trial / 4 % 4];
    std::vector<unsigned char> mask(n);
    for (auto& m : mask)
      m = rng() % 4 != 0;
    const bool masked = trial % 3 == 0;
    koGenericBVH bvh;
    builder.build(bvh, masked ? &mask : nullptr, size);

    std::vector<unsigned int> expected;
    for (unsigned int i = 0; i < n; ++i)
      if (!masked || mask[i])
        expected.push_back(builder.primitiveOrder[i]);
    ASSERT_EQ(bvh.primitivePositions.size(), expected.size());
    ASSERT_EQ(bvh.nodes.empty(), expected.empty());
    if (expected.empty())
      continue;
    tWalk walk{bvh, builder, std::vector<unsigned int>(n), size == 21};
    for (unsigned int i = 0; i < n; ++i)
      walk.primitiveOf[builder.primitiveOrder[i]] = i;
    walk.check(0);
    EXPECT_EQ(walk.noVisited, bvh.nodes.size());
    std::vector<unsigned int> positions = bvh.primitivePositions;
    std::sort(positions.begin(), positions.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(positions, expected) << "trial " << trial;

    std::uniform_real_distribution<float> coord(-12.0f, 12.0f), half(0.0f, 4.0f);
    for (int query = 0; query < 20; ++query) {
      const Vec3 c(coord(rng), coord(rng), query % 2 ? 1.0f : coord(rng));
      const Vec3 h = query % 5 == 0 ? Vec3(0, 0, 0) : Vec3(half(rng), half(rng), half(rng));
      const koBBox box(c - h, c + h);
      std::vector<unsigned int> found, brute;
      std::vector<unsigned int> stack{0};
      while (!stack.empty()) {
        const koGenericBVH::tNode& node = bvh.nodes[stack.back()];
        stack.pop_back();
        if (!node.box.overlaps(box))
          continue;
        if (!node.isLeaf()) {
          stack.insert(stack.end(), {node.getLeftChild(), node.getRightChild()});
          continue;
        }
        for (unsigned int k = node.getFirstPrimitive();
             k < node.getFirstPrimitive() + node.getNoPrimitives(); ++k)
          if (builder.primitiveBoxes[walk.primitiveOf[bvh.primitivePositions[k]]].overlaps(box))
            found.push_back(bvh.primitivePositions[k]);
      }
      for (unsigned int i = 0; i < n; ++i)
        if ((!masked || mask[i]) && builder.primitiveBoxes[i].overlaps(box))
          brute.push_back(builder.primitiveOrder[i]);
      std::sort(found.begin(), found.end());
      std::sort(brute.begin(), brute.end());
      EXPECT_EQ(found, brute) << "trial " << trial << ", query " << query;
    }
  }
}

TEST(koGenericBVHTest, TriangleContainerReadsTheMeshCorners) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, 4);
  const Vec3 corners[4] = {{0, 0, 0}, {2, 0, -1}, {0, 3, 0}, {-1, 1, 5}};
  for (int i = 0; i < 4; ++i)
    vertices->Position3(i) = corners[i];
  auto* indices = new ko::koIndexBuffer(6, ko::koIndexBuffer::TriangleList);
  const int triangles[6] = {0, 1, 2, 3, 2, 1};
  std::copy(triangles, triangles + 6, indices->GetData());
  ko::koPointer<ko::koTriMesh> mesh(new ko::koTriMesh(vertices, indices));

  const koBVHTriangleContainer container(*mesh);
  ASSERT_EQ(container.getQuantity(), 2u);
  Vec3 a, b, c;
  container.getTriangle(1, a, b, c);
  EXPECT_TRUE(a == corners[3] && b == corners[2] && c == corners[1]);
  const koBBox box = container.getBBox(1);
  EXPECT_TRUE(box.min == Vec3(-1, 0, -1) && box.max == Vec3(2, 3, 5));
}
