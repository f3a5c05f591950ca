// Contact detection on tessellated solids, with anchors measured in the same run: Embree's own
// scene build for the hierarchies, FCL's distance query and the cost of the exact triangle
// distances for the contact face search.
#include "contacts/koLatticeSampling.h"
#include "koContactFaces.h"
#include "koEmbreeAnchor.h"
#include "koContactPoints.h"
#include "koMeshAndBVH.h"
#include "koTessellatedShapes.h"

#include <ko/koBBox.h>
#include <ko/koMeshProcessing.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <benchmark/benchmark.h>

#ifdef KOTOLVANE_BENCH_WITH_FCL
#include <fcl/fcl.h>
#endif

#include <random>
#include <vector>

namespace {

typedef Wm4::Vector3<float> Vec3;

// 12 x 91^2 = 99,372 triangles.
ko::koTriMesh* makeLargeMesh() { return makeTessellatedBox("large", Vec3(0, 0, 0), Vec3(1, 1, 1), 91); }

void BM_MeshAndBVHBuild(benchmark::State& state) {
  ko::koPointer<ko::koTriMesh> mesh = makeLargeMesh();
  for (auto _ : state) {
    koMeshAndBVH part(mesh);
    benchmark::DoNotOptimize(part.bvh);
  }
  state.counters["triangles"] = mesh->GetTriangleQuantity();
}
BENCHMARK(BM_MeshAndBVHBuild)->Unit(benchmark::kMillisecond);

// The anchor: Embree building its own hierarchy over the same triangles, on one thread, robust
// like ours, copying the triangles first as ours does.
void BM_EmbreeSceneBuild(benchmark::State& state) {
  ko::koPointer<ko::koTriMesh> mesh = makeLargeMesh();
  for (auto _ : state)
    rtcReleaseScene(
        koEmbreeAnchor::buildScene(koEmbreeAnchor::tTriangles(*mesh), RTC_SCENE_FLAG_ROBUST));
}
BENCHMARK(BM_EmbreeSceneBuild)->Unit(benchmark::kMillisecond);

// Two boxes of 12 x 41^2 = 20,172 triangles each, face to face 1e-4 apart.
struct FacingBoxes {
  ko::koPointer<ko::koTriMesh> lower =
      makeTessellatedBox("lower", Vec3(0, 0, 0), Vec3(1, 1, 1), 41);
  ko::koPointer<ko::koTriMesh> upper =
      makeTessellatedBox("upper", Vec3(0, 0, 1.0001f), Vec3(1, 1, 2), 41);
  koMeshAndBVH a{lower};
  koMeshAndBVH b{upper};
  // What ProcessParts would use for the pair.
  float tolerance = 0.002f;
};

void BM_ContactFaces(benchmark::State& state) {
  FacingBoxes boxes;
  std::vector<unsigned int> facesA, facesB;
  unsigned long long noExactTests = 0;
  for (auto _ : state) {
    koContactFaces search(&boxes.a, &boxes.b, boxes.tolerance);
    search.getContactFacesList(facesA, facesB);
    noExactTests = search.getNoExactTests();
  }
  state.counters["exactTests"] = double(noExactTests);
  state.counters["facesA"] = double(facesA.size());
}
BENCHMARK(BM_ContactFaces)->Unit(benchmark::kMillisecond);

// The floor's unit: one exact distance between facing triangles of the two boxes, averaged over
// every pair of the touching faces whose boxes meet, the pairs the contact search has to try.
void BM_ExactTriangleDistance(benchmark::State& state) {
  FacingBoxes boxes;
  const auto facesAt = [](const ko::koTriMesh& mesh, float z) {
    std::vector<Wm4::Triangle3<float>> faces;
    for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
      int v[3];
      mesh.GetTriangle(t, v[0], v[1], v[2]);
      const Wm4::Triangle3<float> triangle(mesh.VBuffer->Position3(v[0]),
                                           mesh.VBuffer->Position3(v[1]),
                                           mesh.VBuffer->Position3(v[2]));
      if (triangle.V[0].Z() == z && triangle.V[1].Z() == z && triangle.V[2].Z() == z)
        faces.push_back(triangle);
    }
    return faces;
  };
  const auto boxOf = [](const Wm4::Triangle3<float>& triangle) {
    koBBox box;
    for (const Vec3& corner : triangle.V)
      box.grow(Vec3(corner.X(), corner.Y(), 0.0f));
    return box;
  };
  const std::vector<Wm4::Triangle3<float>> lower = facesAt(*boxes.lower, 1.0f);
  const std::vector<Wm4::Triangle3<float>> upper = facesAt(*boxes.upper, 1.0001f);
  std::vector<std::pair<size_t, size_t>> pairs;
  for (size_t i = 0; i < lower.size(); ++i)
    for (size_t j = 0; j < upper.size(); ++j)
      if (boxOf(lower[i]).overlaps(boxOf(upper[j])))
        pairs.emplace_back(i, j);
  for (auto _ : state)
    for (const auto& pair : pairs)
      benchmark::DoNotOptimize(
          Wm4::DistTriangle3Triangle3<float>(lower[pair.first], upper[pair.second]).Get());
  state.SetItemsProcessed(int64_t(state.iterations() * pairs.size()));
  state.counters["pairs"] = double(pairs.size());
}
BENCHMARK(BM_ExactTriangleDistance)->Unit(benchmark::kMillisecond);

#ifdef KOTOLVANE_BENCH_WITH_FCL
std::shared_ptr<fcl::BVHModel<fcl::OBBRSSd>> toFcl(const ko::koTriMesh& mesh) {
  std::vector<fcl::Vector3d> points;
  for (int v = 0; v < mesh.VBuffer->GetVertexQuantity(); ++v) {
    const Vec3& p = mesh.VBuffer->Position3(v);
    points.emplace_back(p.X(), p.Y(), p.Z());
  }
  std::vector<fcl::Triangle> triangles;
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int v0, v1, v2;
    mesh.GetTriangle(t, v0, v1, v2);
    triangles.emplace_back(v0, v1, v2);
  }
  auto model = std::make_shared<fcl::BVHModel<fcl::OBBRSSd>>();
  model->beginModel();
  model->addSubModel(points, triangles);
  model->endModel();
  return model;
}

// The anchor: FCL's distance query between the same two meshes (hierarchies built outside).
void BM_FclDistance(benchmark::State& state) {
  FacingBoxes boxes;
  fcl::CollisionObjectd lower(toFcl(*boxes.lower)), upper(toFcl(*boxes.upper));
  for (auto _ : state) {
    fcl::DistanceRequestd request;
    fcl::DistanceResultd result;
    fcl::distance(&lower, &upper, request, result);
    benchmark::DoNotOptimize(result.min_distance);
  }
}
BENCHMARK(BM_FclDistance)->Unit(benchmark::kMillisecond);
#endif

// Welded, with normals split at creases, as the contact analysis prepares meshes.
ko::koTriMesh* prepared(ko::koTriMesh* mesh) {
  koMeshProcessing::WeldSimilarVertices(mesh, 0.0f, true);
  koMeshProcessing::SmoothenNormals(mesh, 0.8203048f);
  return mesh;
}

// Contact points of one touching pair: 0 = two boxes face to face (3,362 contact faces a side),
// 1 = a peg through a bore that fits it (a curved contact).
void BM_ContactPoints(benchmark::State& state) {
  ko::koPointer<ko::koTriMesh> first, second;
  if (state.range(0) == 0) {
    first = prepared(makeTessellatedBox("lower", Vec3(0, 0, 0), Vec3(1, 1, 1), 41));
    second = prepared(makeTessellatedBox("upper", Vec3(0, 0, 1), Vec3(1, 1, 2), 41));
  } else {
    first = prepared(makeCylinder("peg", Vec3(0, 0, -0.5f), 0.5f, 2.0f, 96, 24));
    second = prepared(makeTube("tube", Vec3(0, 0, 0), 0.5f, 1.0f, 1.0f, 96, 12));
  }
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList({first, second}, parts);
  std::vector<koContactFaces::tContactFacesData> contacts;
  const float tolerance = koContactFaces::ProcessParts(parts, contacts);
  ko::koPointer<ko::koVertexBuffer> pointsA, pointsB;
  for (auto _ : state)
    koContactPoints(parts[0], parts[1], tolerance)
        .getContactPoints(contacts[0].facesA, contacts[0].facesB, pointsA, pointsB);
  state.counters["facesA"] = double(contacts[0].facesA.size());
  state.counters["pairsA"] = pointsA ? pointsA->GetVertexQuantity() / 2 : 0;
}
BENCHMARK(BM_ContactPoints)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The lattice sampler alone on 1000 random triangles of the unit square, asking each for n
// points: 5 is the least any contact triangle gets, 400 about what a tile's face triangle gets.
void BM_LatticeSampler(benchmark::State& state) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<Wm4::Vector2<float>> corners(3 * 1000);
  for (Wm4::Vector2<float>& corner : corners)
    corner = Wm4::Vector2<float>(unit(random), unit(random));
  koLatticeSampler sampler;
  std::vector<Wm4::Vector3<double>> weights;
  const int count = int(state.range(0));
  for (auto _ : state)
    for (size_t t = 0; t < corners.size(); t += 3)
      benchmark::DoNotOptimize(sampler.sample(&corners[t], count, weights));
}
BENCHMARK(BM_LatticeSampler)->Arg(5)->Arg(400)->Unit(benchmark::kMillisecond);

// n tessellated unit boxes stacked in columns of ten, every box touching its neighbours.
void BM_ProcessParts(benchmark::State& state) {
  const int noBoxes = int(state.range(0));
  std::vector<ko::koPointer<ko::koTriMesh>> owners;
  std::vector<ko::koTriMesh*> meshes;
  for (int i = 0; i < noBoxes; ++i) {
    const Vec3 low(float(i / 10 % 10), float(i / 100), float(i % 10));
    owners.push_back(makeTessellatedBox("box", low, low + Vec3(1, 1, 1), 4));
    meshes.push_back(owners.back());
  }
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList(meshes, parts);
  std::vector<koContactFaces::tContactFacesData> contacts;
  for (auto _ : state)
    koContactFaces::ProcessParts(parts, contacts);
  state.counters["pairs"] = double(contacts.size());
}
BENCHMARK(BM_ProcessParts)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
