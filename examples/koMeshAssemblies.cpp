#include "koMeshAssemblies.h"

#include "koTessellatedShapes.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace {

using Vec = Wm4::Vector3<float>;

// Fine enough that every contact of the assemblies below spans many triangles; round parts that
// fit each other share their segments, so their facets coincide exactly.
constexpr int kDivisions = 8;
constexpr int kSegments = 32;
constexpr int kRings = 3;

void add(koMeshAssembly& assembly, ko::koTriMesh* mesh, unsigned int part) {
  assembly.meshes.push_back(mesh);
  assembly.partOfMesh.push_back(part);
}

void addBox(koMeshAssembly& assembly, const std::string& name, const Vec& minCorner,
            const Vec& maxCorner, unsigned int part) {
  add(assembly, makeTessellatedBox(name, minCorner, maxCorner, kDivisions), part);
}

void addCylinder(koMeshAssembly& assembly, const std::string& name, const Vec& baseCentre,
                 float radius, float height, unsigned int part) {
  add(assembly, makeCylinder(name, baseCentre, radius, height, kSegments, kRings), part);
}

void addTube(koMeshAssembly& assembly, const std::string& name, const Vec& baseCentre,
             float innerRadius, float outerRadius, float height, unsigned int part) {
  add(assembly, makeTube(name, baseCentre, innerRadius, outerRadius, height, kSegments, kRings),
      part);
}

// Turns a mesh built along z to lie along x by the exact axis cycle (x, y, z) -> (z, x, y), which
// keeps the winding: build it with base centre (y, z, x) to start at (x, y, z).
ko::koTriMesh* alongX(ko::koTriMesh* mesh) {
  const auto cycle = [](const Vec& p) { return Vec(p.Z(), p.X(), p.Y()); };
  for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v) {
    mesh->VBuffer->Position3(v) = cycle(mesh->VBuffer->Position3(v));
    mesh->VBuffer->Normal3(v) = cycle(mesh->VBuffer->Normal3(v));
  }
  return mesh;
}

koMeshAssembly finished(koMeshAssembly assembly) {
  assembly.scene = new ko::koNode;
  for (ko::koTriMesh* mesh : assembly.meshes)
    assembly.scene->attachChild(mesh);
  assembly.scene->UpdateGS();
  return assembly;
}

} // namespace

koMeshGroups koMeshAssembly::makeGroups() const {
  return koMeshGroups(std::vector<ko::koTriMesh*>(meshes.begin(), meshes.end()), &partOfMesh);
}

unsigned int koMeshAssembly::noParts() const {
  return partOfMesh.empty() ? 0u : *std::max_element(partOfMesh.begin(), partOfMesh.end()) + 1u;
}

namespace koMeshAssemblies {

koMeshAssembly boxOnPlate() {
  koMeshAssembly assembly;
  addBox(assembly, "plate", Vec(-2, -2, -0.5f), Vec(2, 2, 0), 0);
  addBox(assembly, "box", Vec(-1, -0.75f, 0), Vec(1, 0.75f, 1), 1);
  return finished(std::move(assembly));
}

koMeshAssembly stack(unsigned int count) {
  koMeshAssembly assembly;
  for (unsigned int i = 0; i < count; ++i) {
    const float half = 2.0f * std::pow(0.8f, float(i)), bottom = 0.5f * float(i);
    addBox(assembly, "box " + std::to_string(i), Vec(-half, -half, bottom),
           Vec(half, half, bottom + 0.5f), i);
  }
  return finished(std::move(assembly));
}

koMeshAssembly pegInBlindHole() {
  koMeshAssembly assembly;
  addBox(assembly, "block bottom", Vec(-1.5f, -1.5f, -0.5f), Vec(1.5f, 1.5f, 0), 0);
  addTube(assembly, "block tube", Vec(0, 0, 0), 0.5f, 1.2f, 2.0f, 0);
  addCylinder(assembly, "peg", Vec(0, 0, 0), 0.5f, 2.5f, 1);
  return finished(std::move(assembly));
}

koMeshAssembly lidWithScrews() {
  koMeshAssembly assembly;
  addBox(assembly, "base plate", Vec(-3, -3, -1), Vec(3, 3, 0), 0);
  addBox(assembly, "base block", Vec(-2, -2, 0), Vec(2, 2, 1), 0);
  addBox(assembly, "lid plate", Vec(-2, -2, 1), Vec(2, 2, 1.5f), 1);
  // The bosses and eyes reach over the corners of the block and the lid plate, their bores
  // stay clear of them.
  const float corners[4][2] = {{-2.3f, -2.3f}, {2.3f, -2.3f}, {-2.3f, 2.3f}, {2.3f, 2.3f}};
  for (unsigned int i = 0; i < 4; ++i) {
    const std::string screw = "screw " + std::to_string(i);
    const float x = corners[i][0], y = corners[i][1];
    addTube(assembly, "base boss " + std::to_string(i), Vec(x, y, 0), 0.25f, 0.6f, 1.0f, 0);
    addTube(assembly, "lid eye " + std::to_string(i), Vec(x, y, 1), 0.25f, 0.6f, 0.5f, 1);
    addCylinder(assembly, screw + " shaft", Vec(x, y, 0), 0.25f, 1.5f, 2 + i);
    addCylinder(assembly, screw + " head", Vec(x, y, 1.5f), 0.5f, 0.3f, 2 + i);
  }
  return finished(std::move(assembly));
}

koMeshAssembly nestedBoxWithLid() {
  koMeshAssembly assembly;
  addBox(assembly, "box floor", Vec(-2, -2, 0), Vec(2, 2, 0.5f), 0);
  addBox(assembly, "box wall -x", Vec(-2, -2, 0.5f), Vec(-1.5f, 2, 2.5f), 0);
  addBox(assembly, "box wall +x", Vec(1.5f, -2, 0.5f), Vec(2, 2, 2.5f), 0);
  addBox(assembly, "box wall -y", Vec(-1.5f, -2, 0.5f), Vec(1.5f, -1.5f, 2.5f), 0);
  addBox(assembly, "box wall +y", Vec(-1.5f, 1.5f, 0.5f), Vec(1.5f, 2, 2.5f), 0);
  addBox(assembly, "inner box", Vec(-1, -1, 0.5f), Vec(1, 1, 2.5f), 1);
  addBox(assembly, "lid", Vec(-2, -2, 2.5f), Vec(2, 2, 3), 2);
  return finished(std::move(assembly));
}

koMeshAssembly shaftInBearings() {
  koMeshAssembly assembly;
  addBox(assembly, "base", Vec(-3, -1, -0.5f), Vec(3, 1, 0), 0);
  // Each pedestal reaches into its tube below the bore, so the two form one solid.
  for (unsigned int i = 0; i < 2; ++i) {
    const std::string name = "bearing " + std::to_string(i);
    const float x = i == 0 ? -2.0f : 1.5f;
    addBox(assembly, name + " pedestal", Vec(x, -0.8f, 0), Vec(x + 0.5f, 0.8f, 1), 1 + i);
    add(assembly,
        alongX(makeTube(name + " tube", Vec(0, 1.5f, x), 0.4f, 0.8f, 0.5f, kSegments, kRings)),
        1 + i);
  }
  add(assembly, alongX(makeCylinder("shaft", Vec(0, 1.5f, -2.5f), 0.4f, 5, kSegments, kRings)), 3);
  return finished(std::move(assembly));
}

koMeshAssembly ringBetweenCollars() {
  koMeshAssembly assembly;
  addCylinder(assembly, "shaft", Vec(0, 0, 0), 0.3f, 4, 0);
  addTube(assembly, "lower collar", Vec(0, 0, 1), 0.3f, 0.6f, 0.3f, 0);
  addTube(assembly, "upper collar", Vec(0, 0, 2.3f), 0.3f, 0.6f, 0.3f, 0);
  addTube(assembly, "ring", Vec(0, 0, 1.3f), 0.3f, 0.8f, 1.0f, 1);
  return finished(std::move(assembly));
}

koMeshAssembly placedBoxOnPlate(const Vec& scale) {
  koMeshAssembly assembly;
  addBox(assembly, "plate", Vec(-3, -3, -0.5f), Vec(3, 3, 0), 0);
  addBox(assembly, "box", Vec(-0.5f, -0.5f, -0.5f), Vec(0.5f, 0.5f, 0.5f), 1);
  ko::koTransformation& place = assembly.meshes.back()->Local;
  place.SetRotate(Wm4::Matrix3<float>(0, -1, 0, 1, 0, 0, 0, 0, 1));  // exact, unlike cos(pi/2)
  place.SetScale(scale);
  place.SetTranslate(Vec(0.25f, -0.25f, 0.5f * scale.Z()));
  return finished(std::move(assembly));
}

koMeshAssembly tileGrid(unsigned int count) {
  // Coarser than the others so that a thousand parts stay a benchmark of seconds.
  const int divisions = 4, segments = 24, rings = 2;
  const unsigned int noCylinders = count / 3, noTiles = count - noCylinders;
  const unsigned int columns = static_cast<unsigned int>(std::ceil(std::sqrt(double(noTiles))));
  const auto corner = [&](unsigned int tile) {
    return Vec(float(tile % columns), float(tile / columns), 0);
  };
  koMeshAssembly assembly;
  for (unsigned int t = 0; t < noTiles; ++t)
    add(assembly,
        makeTessellatedBox("tile " + std::to_string(t), corner(t), corner(t) + Vec(1, 1, 0.5f),
                           divisions),
        t);
  for (unsigned int k = 0; k < noCylinders; ++k)
    add(assembly,
        makeCylinder("cylinder " + std::to_string(k), corner(2 * k) + Vec(0.5f, 0.5f, 0.5f), 0.3f,
                     0.8f, segments, rings),
        noTiles + k);
  return finished(std::move(assembly));
}

} // namespace koMeshAssemblies
