#include "koProductAssemblies.h"

#include "koSampleAssemblies.h"
#include "koTessellatedShapes.h"

#include <algorithm>
#include <utility>

namespace koProductAssemblies {

namespace {

using Vec = Wm4::Vector3<float>;

enum tAxis { AlongX, AlongY, AlongZ };

// Shapes are built along z and turned by the axis cycle (x, y, z) -> (z, x, y), once to lie
// along x and twice along y; a cycle keeps the winding and maps grid values exactly. This is the
// point that the turn carries to p.
Vec unturned(const Vec& p, tAxis axis) {
  switch (axis) {
  case AlongX:
    return Vec(p.Y(), p.Z(), p.X());
  case AlongY:
    return Vec(p.Z(), p.X(), p.Y());
  default:
    return p;
  }
}

ko::koTriMesh* turned(ko::koTriMesh* mesh, tAxis axis) {
  const int turns = axis == AlongX ? 1 : axis == AlongY ? 2 : 0;
  const auto cycle = [](const Vec& p) { return Vec(p.Z(), p.X(), p.Y()); };
  ko::koVertexBuffer& vertices = *mesh->VBuffer;
  for (int t = 0; t < turns; ++t)
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v) {
      vertices.Position3(v) = cycle(vertices.Position3(v));
      vertices.Normal3(v) = cycle(vertices.Normal3(v));
    }
  return mesh;
}

// A round hole along the axis through the world point, in a square cell of half side `half`.
koBlockHole roundHole(const Vec& through, tAxis axis, float radius, float half) {
  const Vec p = unturned(through, axis);
  return {p.X(), p.Y(), half, half, radius};
}

// Collects named parts and their meshes.
class tProduct {
public:
  unsigned int part(const std::string& name) {
    mResult.partNames.push_back(name);
    return static_cast<unsigned int>(mResult.partNames.size() - 1);
  }
  void box(unsigned int part, const Vec& low, const Vec& high) {
    add(makeTessellatedBox(name(part), low, high, 1), part);
  }
  void cylinder(unsigned int part, tAxis axis, const Vec& base, float radius, float length,
                int segments) {
    add(turned(makeCylinder(name(part), unturned(base, axis), radius, length, segments, 1), axis),
        part);
  }
  void tube(unsigned int part, tAxis axis, const Vec& base, float inner, float outer,
            float length, int segments) {
    add(turned(makeTube(name(part), unturned(base, axis), inner, outer, length, segments, 1),
               axis),
        part);
  }
  // A block with holes along the axis (holes in the block's unturned frame).
  void block(unsigned int part, tAxis axis, const Vec& low, const Vec& high,
             const std::vector<koBlockHole>& holes, int segments) {
    add(turned(makeHoledBlock(name(part), unturned(low, axis), unturned(high, axis), holes,
                              segments),
               axis),
        part);
  }

  koNamedMeshAssembly finish() {
    mResult.assembly.scene = new ko::koNode;
    for (ko::koTriMesh* mesh : mResult.assembly.meshes)
      mResult.assembly.scene->attachChild(mesh);
    mResult.assembly.scene->UpdateGS();
    return std::move(mResult);
  }

private:
  const std::string& name(unsigned int part) const { return mResult.partNames[part]; }
  void add(ko::koTriMesh* mesh, unsigned int part) {
    mResult.assembly.meshes.push_back(mesh);
    mResult.assembly.partOfMesh.push_back(part);
  }

  koNamedMeshAssembly mResult;
};

} // namespace

koNamedMeshAssembly gearbox() {
  const koSampleAssemblies::Assembly boxes = koSampleAssemblies::gearbox();
  tProduct product;
  const unsigned int noParts = boxes->meshGroups().getNoGroups();
  for (unsigned int p = 0; p < noParts; ++p) {
    std::string name = boxes->partName(p);
    std::replace(name.begin(), name.end(), ' ', '-');
    product.part(name);
  }
  for (const koBoxAssembly::tBox& box : boxes->boxes())
    product.box(box.part, box.minCorner, box.maxCorner);
  return product.finish();
}

koNamedMeshAssembly benchVise() {
  constexpr int kSegments = 32;
  tProduct vise;
  // Bores along x through the jaws: the spindle's in the middle, the jaw plates' screws above.
  const float spindleZ = 42, screwZ = 63.5f;
  const auto jawHoles = [&](float x) {
    return std::vector<koBlockHole>{roundHole(Vec(x, 0, spindleZ), AlongX, 8, 10),
                                    roundHole(Vec(x, -25, screwZ), AlongX, 3, 5),
                                    roundHole(Vec(x, 25, screwZ), AlongX, 3, 5)};
  };
  const auto plateHoles = [&](float x) {
    return std::vector<koBlockHole>{roundHole(Vec(x, -25, screwZ), AlongX, 3, 5),
                                    roundHole(Vec(x, 25, screwZ), AlongX, 3, 5)};
  };
  const std::vector<koBlockHole> boltHoles{roundHole(Vec(-15, -25, 0), AlongZ, 5, 7),
                                           roundHole(Vec(-15, 25, 0), AlongZ, 5, 7)};

  const unsigned int base = vise.part("base");
  vise.block(base, AlongZ, Vec(-30, -40, 0), Vec(200, 40, 15), boltHoles, kSegments);
  vise.box(base, Vec(30, -10, 15), Vec(200, 10, 30));  // the guide rail

  const unsigned int fixedJaw = vise.part("jaw-fixed");
  vise.block(fixedJaw, AlongZ, Vec(-30, -40, 15), Vec(0, 40, 27), boltHoles, kSegments);
  vise.block(fixedJaw, AlongX, Vec(0, -40, 15), Vec(30, 40, 75), jawHoles(0), kSegments);
  for (float y : {-25.0f, 25.0f}) {
    const unsigned int bolt = vise.part(y < 0 ? "bolt-1" : "bolt-2");
    vise.cylinder(bolt, AlongZ, Vec(-15, y, 3), 5, 24, kSegments);
    vise.cylinder(bolt, AlongZ, Vec(-15, y, 27), 8, 6, kSegments);
  }

  // The jaw plates face each other between the jaws, their screws' heads on the open faces.
  const unsigned int fixedPlate = vise.part("jaw-plate-fixed");
  vise.block(fixedPlate, AlongX, Vec(30, -40, 52), Vec(36, 40, 75), plateHoles(30), kSegments);
  const unsigned int slidingJaw = vise.part("jaw-sliding");
  vise.block(slidingJaw, AlongX, Vec(110, -40, 30), Vec(140, 40, 75), jawHoles(110), kSegments);
  vise.box(slidingJaw, Vec(110, -40, 15), Vec(140, -10, 30));  // cheeks astride the rail
  vise.box(slidingJaw, Vec(110, 10, 15), Vec(140, 40, 30));
  const unsigned int slidingPlate = vise.part("jaw-plate-sliding");
  vise.block(slidingPlate, AlongX, Vec(104, -40, 52), Vec(110, 40, 75), plateHoles(104),
             kSegments);
  int screwNumber = 1;
  for (const bool onFixed : {true, false}) {
    for (float y : {-25.0f, 25.0f}) {
      const unsigned int screw = vise.part("screw-" + std::to_string(screwNumber++));
      if (onFixed) {
        vise.cylinder(screw, AlongX, Vec(12, y, screwZ), 3, 24, kSegments);
        vise.cylinder(screw, AlongX, Vec(36, y, screwZ), 5, 3, kSegments);
      } else {
        vise.cylinder(screw, AlongX, Vec(104, y, screwZ), 3, 24, kSegments);
        vise.cylinder(screw, AlongX, Vec(101, y, screwZ), 5, 3, kSegments);
      }
    }
  }

  // The spindle runs from inside the fixed jaw's bore through the sliding jaw; its hub, with a
  // cross bore along y for the handle, bears on the sliding jaw's front and clears the rail.
  const unsigned int spindle = vise.part("spindle");
  vise.cylinder(spindle, AlongX, Vec(5, 0, spindleZ), 8, 135, kSegments);
  vise.block(spindle, AlongY, Vec(140, -11, 31), Vec(162, 11, 53),
             {roundHole(Vec(151, 0, spindleZ), AlongY, 4, 6)}, kSegments);
  const unsigned int handle = vise.part("handle");
  vise.cylinder(handle, AlongY, Vec(151, -60, spindleZ), 4, 120, kSegments);
  vise.cylinder(handle, AlongY, Vec(151, 60, spindleZ), 7, 12, kSegments);
  return vise.finish();
}

namespace {

// One key of the layout: its label (for part names) and its width in key units.
struct tKey {
  const char* label;
  float width;
};

// The five rows of a 60% ANSI layout, top row first; each row spans 15 units.
const std::vector<std::vector<tKey>>& sixtyPercentRows() {
  static const std::vector<std::vector<tKey>> rows{
      {{"esc", 1}, {"1", 1}, {"2", 1}, {"3", 1}, {"4", 1}, {"5", 1}, {"6", 1}, {"7", 1},
       {"8", 1}, {"9", 1}, {"0", 1}, {"minus", 1}, {"equal", 1}, {"backspace", 2}},
      {{"tab", 1.5f}, {"q", 1}, {"w", 1}, {"e", 1}, {"r", 1}, {"t", 1}, {"y", 1}, {"u", 1},
       {"i", 1}, {"o", 1}, {"p", 1}, {"lbracket", 1}, {"rbracket", 1}, {"backslash", 1.5f}},
      {{"caps", 1.75f}, {"a", 1}, {"s", 1}, {"d", 1}, {"f", 1}, {"g", 1}, {"h", 1}, {"j", 1},
       {"k", 1}, {"l", 1}, {"semicolon", 1}, {"quote", 1}, {"enter", 2.25f}},
      {{"lshift", 2.25f}, {"z", 1}, {"x", 1}, {"c", 1}, {"v", 1}, {"b", 1}, {"n", 1}, {"m", 1},
       {"comma", 1}, {"period", 1}, {"slash", 1}, {"rshift", 2.75f}},
      {{"lctrl", 1.25f}, {"lwin", 1.25f}, {"lalt", 1.25f}, {"space", 6.25f}, {"ralt", 1.25f},
       {"rwin", 1.25f}, {"menu", 1.25f}, {"rctrl", 1.25f}}};
  return rows;
}

} // namespace

koNamedMeshAssembly keyboard() {
  constexpr int kSegments = 16;
  constexpr float u = 19;  // the key pitch
  // Heights: floor, bosses up to the board, board, switch bottoms on the board, plate on the
  // walls, switch tops, stems, keycaps.
  constexpr float floorTop = 3, boardBottom = 8, boardTop = 9.6f, plateBottom = 15,
                  plateTop = 16.5f, housingTop = 21, stemTop = 25, capTop = 32;
  // The case is 307 x 117 with walls 5 thick; the board fills the inside, the keys start 6
  // further in.
  const float length = 307, depth = 117, wall = 5, keysX = 11, keysY = 11;

  tProduct keyboard;
  const unsigned int caseBody = keyboard.part("case");
  keyboard.box(caseBody, Vec(0, 0, 0), Vec(length, depth, floorTop));
  keyboard.box(caseBody, Vec(0, 0, floorTop), Vec(wall, depth, plateBottom));
  keyboard.box(caseBody, Vec(length - wall, 0, floorTop), Vec(length, depth, plateBottom));
  keyboard.box(caseBody, Vec(wall, 0, floorTop), Vec(length - wall, wall, plateBottom));
  keyboard.box(caseBody, Vec(wall, depth - wall, floorTop), Vec(length - wall, depth, plateBottom));
  std::vector<Vec> mounts;
  for (float x : {8.0f, 153.5f, 299.0f})
    for (float y : {8.0f, 109.0f})
      mounts.push_back(Vec(x, y, floorTop));
  for (const Vec& at : mounts)
    keyboard.tube(caseBody, AlongZ, at, 1.2f, 2.5f, boardBottom - floorTop, kSegments);

  // Key centres, row by row from the top.
  struct tPlaced {
    std::string label;
    float x, y, width;
  };
  std::vector<tPlaced> keys;
  const auto& rows = sixtyPercentRows();
  for (size_t r = 0; r < rows.size(); ++r) {
    float x = keysX;
    const float y = keysY + u * (float(rows.size() - r) - 0.5f);
    for (const tKey& key : rows[r]) {
      keys.push_back({key.label, x + 0.5f * u * key.width, y, key.width});
      x += u * key.width;
    }
  }

  std::vector<koBlockHole> boardHoles, plateHoles;
  for (const Vec& at : mounts)
    boardHoles.push_back(roundHole(at, AlongZ, 1.2f, 2.8f));
  for (const tPlaced& key : keys) {
    boardHoles.push_back(roundHole(Vec(key.x, key.y, 0), AlongZ, 2, 0.5f * u));
    plateHoles.push_back({key.x, key.y, 0.5f * u * key.width, 0.5f * u, 7, true});
  }
  const unsigned int board = keyboard.part("pcb");
  keyboard.block(board, AlongZ, Vec(wall, wall, boardBottom),
                 Vec(length - wall, depth - wall, boardTop), boardHoles, kSegments);
  for (size_t m = 0; m < mounts.size(); ++m) {
    const unsigned int screw = keyboard.part("pcb-screw-" + std::to_string(m + 1));
    const Vec& at = mounts[m];
    keyboard.cylinder(screw, AlongZ, Vec(at.X(), at.Y(), floorTop + 1), 1.2f,
                      boardTop - floorTop - 1, kSegments);
    keyboard.cylinder(screw, AlongZ, Vec(at.X(), at.Y(), boardTop), 2.4f, 1.4f, kSegments);
  }
  const unsigned int plate = keyboard.part("plate");
  keyboard.block(plate, AlongZ, Vec(0, 0, plateBottom), Vec(length, depth, plateTop), plateHoles,
                 kSegments);

  for (const tPlaced& key : keys) {
    const unsigned int keySwitch = keyboard.part("switch-" + key.label);
    keyboard.cylinder(keySwitch, AlongZ, Vec(key.x, key.y, boardBottom), 2,
                      boardTop - boardBottom, kSegments);
    keyboard.box(keySwitch, Vec(key.x - 7, key.y - 7, boardTop), Vec(key.x + 7, key.y + 7, plateTop));
    keyboard.box(keySwitch, Vec(key.x - 7.8f, key.y - 7.8f, plateTop),
                 Vec(key.x + 7.8f, key.y + 7.8f, housingTop));
    keyboard.cylinder(keySwitch, AlongZ, Vec(key.x, key.y, housingTop), 2, stemTop - housingTop,
                      kSegments);
  }
  for (const tPlaced& key : keys) {
    const unsigned int cap = keyboard.part("keycap-" + key.label);
    const float halfWidth = 0.5f * (u * key.width - 1), halfDepth = 0.5f * (u - 1);
    keyboard.tube(cap, AlongZ, Vec(key.x, key.y, housingTop + 1), 2, 3, stemTop - housingTop - 1,
                  kSegments);
    keyboard.box(cap, Vec(key.x - halfWidth, key.y - halfDepth, stemTop),
                 Vec(key.x + halfWidth, key.y + halfDepth, capTop));
  }
  int foot = 1;
  for (float y : {15.0f, depth - 15})
    for (float x : {20.0f, length - 20})
      keyboard.cylinder(keyboard.part("foot-" + std::to_string(foot++)), AlongZ, Vec(x, y, -3), 5,
                        3, kSegments);
  return keyboard.finish();
}

} // namespace koProductAssemblies
