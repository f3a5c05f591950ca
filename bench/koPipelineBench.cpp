// The whole pipeline from meshes alone, on grids of touching tiles and cylinders: the automatic
// contact diagram on 1 and 2 threads, its stages one by one (the way the diagram runs them,
// timed apart), and the plan, exploded view and animation after it.
#include "host/koWorldCopy.h"
#include "koMeshAssemblies.h"

#include <koTolvaneLib.h>
#include <ko/koMeshProcessing.h>
#include <ko/koSystemUtils.h>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

void BM_AutomaticDiagram(benchmark::State& state) {
  const koMeshAssembly assembly = koMeshAssemblies::tileGrid(unsigned(state.range(0)));
  const koMeshGroups groups = assembly.makeGroups();
  unsigned int noEdges = 0;
  for (auto _ : state)
    noEdges = koContactDiagram(groups, unsigned(state.range(1)), nullptr).getNoContacts();
  state.counters["edges"] = noEdges;
}
BENCHMARK(BM_AutomaticDiagram)
    ->ArgsProduct({{50, 200, 1000}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

// World copies of the assembly's meshes (owners keeps them alive), as the diagram takes them.
std::vector<ko::koTriMesh*> worldCopies(const koMeshAssembly& assembly,
                                        std::vector<ko::koPointer<ko::koTriMesh>>& owners) {
  std::vector<ko::koTriMesh*> meshes;
  for (const auto& mesh : assembly.meshes) {
    owners.push_back(koHost::makeWorldCopy(*mesh));
    meshes.push_back(owners.back());
  }
  return meshes;
}

void weldAndSmooth(const std::vector<ko::koTriMesh*>& meshes) {
  for (ko::koTriMesh* mesh : meshes) {
    koMeshProcessing::WeldSimilarVertices(mesh, 0.0f, true);
    koMeshProcessing::SmoothenNormals(mesh, 0.8203048f);
  }
}

// The contact points of every touching pair: entries 2c and 2c + 1 for pair c.
std::vector<ko::koPointer<ko::koVertexBuffer>> contactPoints(
    const std::vector<koMeshAndBVH>& parts,
    const std::vector<koContactFaces::tContactFacesData>& contacts, float tolerance) {
  std::vector<ko::koPointer<ko::koVertexBuffer>> pairPoints(2 * contacts.size());
  for (size_t c = 0; c < contacts.size(); ++c)
    koContactPoints(parts[contacts[c].partA], parts[contacts[c].partB], tolerance)
        .getContactPoints(contacts[c].facesA, contacts[c].facesB, pairPoints[2 * c],
                          pairPoints[2 * c + 1]);
  return pairPoints;
}

// The removal directions of one pair, from its two point buffers (either may be null).
unsigned int removalDirections(koMotionDetect& detector, ko::koVertexBuffer* pointsA,
                               ko::koVertexBuffer* pointsB, Wm4::Vector3<float> (&found)[3],
                               bool (&twoWay)[3]) {
  detector.clearSystems();
  for (ko::koVertexBuffer* side : {pointsA, pointsB})
    if (side != nullptr)
      detector.pushContactPoints(side);
  detector.centerSystems();
  Wm4::Vector3<double> directions[3];
  const unsigned int noFound = detector.computeRemovalDirection(directions, twoWay);
  for (unsigned int i = 0; i < noFound; ++i)
    found[i] = Wm4::Vector3<float>(float(directions[i].X()), float(directions[i].Y()),
                                   float(directions[i].Z()));
  return noFound;
}

// The diagram's stages on one thread, each timed on its own; counters in milliseconds. The
// per-pair stages run pair by pair, as the diagram runs them, each pair's points released before
// the next: kept all at once, they would cost the first touch of hundreds of megabytes instead.
void BM_DiagramStages(benchmark::State& state) {
  const koMeshAssembly assembly = koMeshAssemblies::tileGrid(unsigned(state.range(0)));
  double copy = 0, weld = 0, samples = 0, bvh = 0, faces = 0, points = 0, motion = 0, centres = 0;
  for (auto _ : state) {
    double t = ko::koSystemUtils::GetTimeBaseMs();
    const auto lap = [&t](double& stage) {
      const double now = ko::koSystemUtils::GetTimeBaseMs();
      stage += now - t;
      t = now;
    };
    copy = weld = samples = bvh = faces = points = motion = centres = 0;
    std::vector<ko::koPointer<ko::koTriMesh>> owners;
    const std::vector<ko::koTriMesh*> meshes = worldCopies(assembly, owners);
    lap(copy);
    weldAndSmooth(meshes);
    lap(weld);
    koMotionDetect detector;
    detector.generateDirectionSamples(300);
    lap(samples);
    std::vector<koMeshAndBVH> parts;
    koContactFaces::InitializeBVHList(meshes, parts);
    lap(bvh);
    std::vector<koContactFaces::tContactFacesData> contacts;
    const float tolerance = koContactFaces::ProcessParts(parts, contacts);
    lap(faces);
    for (const koContactFaces::tContactFacesData& contact : contacts) {
      ko::koPointer<ko::koVertexBuffer> pointsA, pointsB;
      koContactPoints(parts[contact.partA], parts[contact.partB], tolerance)
          .getContactPoints(contact.facesA, contact.facesB, pointsA, pointsB);
      lap(points);
      Wm4::Vector3<float> found[3];
      bool twoWay[3];
      const unsigned int noFound = removalDirections(detector, pointsA, pointsB, found, twoWay);
      lap(motion);
      for (unsigned int i = 0; i < noFound; ++i)
        for (const float way : {1.0f, -1.0f})
          if (way > 0.0f || twoWay[i]) {
            float quality = 0.0f;
            benchmark::DoNotOptimize(koMotionDetect::ComputeCircleBasedCentroid(
                way * found[i], {pointsA, pointsB}, quality));
          }
      lap(centres);
    }
  }
  state.counters["copyMs"] = copy;
  state.counters["weldSmoothMs"] = weld;
  state.counters["samplesMs"] = samples;
  state.counters["bvhMs"] = bvh;
  state.counters["contactFacesMs"] = faces;
  state.counters["contactPointsMs"] = points;
  state.counters["motionMs"] = motion;
  state.counters["regionCentresMs"] = centres;
}
BENCHMARK(BM_DiagramStages)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The region centres alone, on every touching pair of the grid and each direction the diagram
// asks about (both ways of a two-way direction), on one thread.
void BM_RegionCentres(benchmark::State& state) {
  const koMeshAssembly assembly = koMeshAssemblies::tileGrid(unsigned(state.range(0)));
  std::vector<ko::koPointer<ko::koTriMesh>> owners;
  const std::vector<ko::koTriMesh*> meshes = worldCopies(assembly, owners);
  weldAndSmooth(meshes);
  koMotionDetect detector;
  detector.generateDirectionSamples(300);
  std::vector<koMeshAndBVH> parts;
  koContactFaces::InitializeBVHList(meshes, parts);
  std::vector<koContactFaces::tContactFacesData> contacts;
  const float tolerance = koContactFaces::ProcessParts(parts, contacts);
  const auto pairPoints = contactPoints(parts, contacts, tolerance);
  std::vector<std::pair<size_t, Wm4::Vector3<float>>> jobs;
  for (size_t c = 0; c < contacts.size(); ++c) {
    Wm4::Vector3<float> found[3];
    bool twoWay[3];
    const unsigned int noFound =
        removalDirections(detector, pairPoints[2 * c], pairPoints[2 * c + 1], found, twoWay);
    for (unsigned int i = 0; i < noFound; ++i) {
      jobs.emplace_back(c, found[i]);
      if (twoWay[i])
        jobs.emplace_back(c, -found[i]);
    }
  }
  for (auto _ : state)
    for (const auto& [c, d] : jobs) {
      float quality = 0.0f;
      benchmark::DoNotOptimize(koMotionDetect::ComputeCircleBasedCentroid(
          d, {pairPoints[2 * c], pairPoints[2 * c + 1]}, quality));
    }
  state.counters["centres"] = double(jobs.size());
}
BENCHMARK(BM_RegionCentres)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);

// Everything a host runs, from the meshes to the animation, distant contacts included, on 2
// threads.
void BM_WholePipeline(benchmark::State& state) {
  koMeshAssembly assembly = koMeshAssemblies::tileGrid(unsigned(state.range(0)));
  const koMeshGroups groups = assembly.makeGroups();
  double diagramMs = 0, distantMs = 0, planMs = 0, explosionMs = 0;
  for (auto _ : state) {
    double t = ko::koSystemUtils::GetTimeBaseMs();
    koContactDiagram diagram(groups, 2, nullptr);
    diagram.computeDirectionSet(5.0f);
    diagramMs = ko::koSystemUtils::GetTimeBaseMs() - t;
    t = ko::koSystemUtils::GetTimeBaseMs();
    koDisassemblyHierarchy hierarchy(groups);
    koDisassemblyHierarchyBuilder builder(hierarchy, diagram, 2);
    koDistantContacts(builder).computeDistantContacts(2, nullptr);
    distantMs = ko::koSystemUtils::GetTimeBaseMs() - t;
    t = ko::koSystemUtils::GetTimeBaseMs();
    builder.initSolver();
    builder.computeGroupsHierarchy(0, nullptr);
    planMs = ko::koSystemUtils::GetTimeBaseMs() - t;
    t = ko::koSystemUtils::GetTimeBaseMs();
    koExplosionDiagram explosion(builder);
    explosion.computeTranslationHierarchy(0.5f);
    koExplodedViewAnimation animation(explosion);
    animation.createKeyFrameControllers();
    explosionMs = ko::koSystemUtils::GetTimeBaseMs() - t;
  }
  state.counters["diagramMs"] = diagramMs;
  state.counters["distantMs"] = distantMs;
  state.counters["planMs"] = planMs;
  state.counters["explosionMs"] = explosionMs;
}
BENCHMARK(BM_WholePipeline)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();

} // namespace
