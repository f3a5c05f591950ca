#include "koSampleAssemblies.h"

#include <random>

namespace koSampleAssemblies {

namespace {

using Vec = Wm4::Vector3<float>;

// Five boxes of one part around the square column [lo, hi]^2 from z = 0 to z = top: a floor
// below `floor` and four walls around the column above it.
void addHollowBlock(koBoxAssembly& assembly, const std::string& name, unsigned int part,
                    float lo, float hi, float size, float floor, float zMin, float top) {
  assembly.addBox(name + " floor", Vec(0, 0, zMin), Vec(size, size, floor), part);
  assembly.addBox(name + " wall -x", Vec(0, 0, floor), Vec(lo, size, top), part);
  assembly.addBox(name + " wall +x", Vec(hi, 0, floor), Vec(size, size, top), part);
  assembly.addBox(name + " wall -y", Vec(lo, 0, floor), Vec(hi, lo, top), part);
  assembly.addBox(name + " wall +y", Vec(lo, hi, floor), Vec(hi, size, top), part);
}

// A screw of one part in the unit column at (x, y): its shaft from zBottom up to zTop, its head
// a quarter wider on every side, resting on whatever the shaft passes through at zTop.
void addScrew(koBoxAssembly& assembly, const std::string& name, unsigned int part, float x,
              float y, float zBottom, float zTop) {
  assembly.addBox(name + " shaft", Vec(x, y, zBottom), Vec(x + 1, y + 1, zTop), part);
  assembly.addBox(name + " head", Vec(x - 0.25f, y - 0.25f, zTop),
                  Vec(x + 1.25f, y + 1.25f, zTop + 0.5f), part);
}

} // namespace

Assembly boxOnPlate() {
  Assembly assembly(new koBoxAssembly);
  assembly->addPart("plate", Vec(0, 0, 0), Vec(10, 10, 1));
  assembly->addPart("box", Vec(3, 3, 1), Vec(6, 6, 3));
  assembly->finish();
  return assembly;
}

Assembly stack(unsigned int count) {
  Assembly assembly(new koBoxAssembly);
  assembly->addPart("plate", Vec(0, 0, 0), Vec(10, 10, 1));
  for (unsigned int i = 0; i < count; ++i) {
    const float inset = 0.5f * float(i + 1);
    assembly->addPart("box " + std::to_string(i), Vec(inset, inset, 1.0f + i),
                      Vec(10 - inset, 10 - inset, 2.0f + i));
  }
  assembly->finish();
  return assembly;
}

Assembly pegInBlock() {
  Assembly assembly(new koBoxAssembly);
  addHollowBlock(*assembly, "block", 0, 2, 4, 6, 1, 0, 4);
  assembly->addPart("peg", Vec(2, 2, 1), Vec(4, 4, 6));
  assembly->finish();
  return assembly;
}

Assembly lidWithScrews() {
  // A 3 x 3 grid of unit cells; the four corner cells are the screw holes through lid and base.
  Assembly assembly(new koBoxAssembly);
  const unsigned int base = 0, lid = 1;
  assembly->addBox("base floor", Vec(0, 0, 0), Vec(3, 3, 0.5f), base);
  assembly->addBox("base cross x", Vec(0, 1, 0.5f), Vec(3, 2, 2), base);
  assembly->addBox("base cross -y", Vec(1, 0, 0.5f), Vec(2, 1, 2), base);
  assembly->addBox("base cross +y", Vec(1, 2, 0.5f), Vec(2, 3, 2), base);
  assembly->addBox("lid cross x", Vec(0, 1, 2), Vec(3, 2, 3), lid);
  assembly->addBox("lid cross -y", Vec(1, 0, 2), Vec(2, 1, 3), lid);
  assembly->addBox("lid cross +y", Vec(1, 2, 2), Vec(2, 3, 3), lid);
  unsigned int screw = 2;
  for (float x : {0.0f, 2.0f}) {
    for (float y : {0.0f, 2.0f}) {
      addScrew(*assembly, "screw " + std::to_string(screw - 1), screw, x, y, 0.5f, 3);
      ++screw;
    }
  }
  assembly->finish();
  return assembly;
}

Assembly gearbox() {
  Assembly assembly(new koBoxAssembly);
  const unsigned int housing = 0, lid = 1;
  assembly->addBox("housing floor", Vec(0, 0, 0), Vec(12, 8, 1), housing);
  assembly->addBox("housing wall left", Vec(0, 1, 1), Vec(1, 7, 6), housing);
  assembly->addBox("housing wall right", Vec(11, 1, 1), Vec(12, 7, 6), housing);
  assembly->addBox("housing wall front", Vec(1, 0, 1), Vec(11, 1, 6), housing);
  assembly->addBox("housing wall back", Vec(1, 7, 1), Vec(11, 8, 6), housing);
  assembly->addBox("lid middle", Vec(1, 0, 6), Vec(11, 8, 7), lid);
  assembly->addBox("lid left", Vec(0, 1, 6), Vec(1, 7, 7), lid);
  assembly->addBox("lid right", Vec(11, 1, 6), Vec(12, 7, 7), lid);
  // The corner columns are the screw holes: a post at the bottom, the screw's shaft above it.
  unsigned int part = 2;
  for (float x : {0.0f, 11.0f}) {
    for (float y : {0.0f, 7.0f}) {
      const std::string corner = std::to_string(part - 1);
      assembly->addBox("housing post " + corner, Vec(x, y, 1), Vec(x + 1, y + 1, 3), housing);
      addScrew(*assembly, "screw " + corner, part, x, y, 3, 7);
      ++part;
    }
  }
  // Inside, four blocks fill the housing from wall to wall: input bearing, input gear, output
  // gear, output bearing. Each shaft lies in a slot along the top of the blocks it runs through,
  // end to end between a wall and the block that stops it, under the lid.
  const struct {
    const char* name;
    float x0, x1, slotY;
  } blocks[] = {{"input bearing", 1, 3, 2},
                {"input gear", 3, 6, 2},
                {"output gear", 6, 9, 5},
                {"output bearing", 9, 11, 5}};
  for (const auto& block : blocks) {
    const std::string name = block.name;
    const float x0 = block.x0, x1 = block.x1, y = block.slotY;
    const unsigned int box = assembly->addPart(name + " body", Vec(x0, 1, 1), Vec(x1, 7, 5));
    const unsigned int blockPart = assembly->boxes()[box].part;
    assembly->addBox(name + " cheek front", Vec(x0, 1, 5), Vec(x1, y, 6), blockPart);
    assembly->addBox(name + " cheek back", Vec(x0, y + 1, 5), Vec(x1, 7, 6), blockPart);
  }
  assembly->addPart("input shaft", Vec(1, 2, 5), Vec(6, 3, 6));
  assembly->addPart("output shaft", Vec(6, 5, 5), Vec(11, 6, 6));
  assembly->finish();
  return assembly;
}

Assembly brickWall(unsigned int rows, unsigned int bricksPerRow, bool withDiagonals) {
  Assembly assembly(new koBoxAssembly);
  const float length = 2.0f, depth = 1.0f, height = 1.0f;
  const float width = length * bricksPerRow;
  assembly->addPart("ground", Vec(-1, -1, -1), Vec(width + 1, depth + 1, 0));
  for (unsigned int row = 0; row < rows; ++row) {
    const float z = height * row;
    std::vector<float> joints{0.0f};
    for (float x = (row % 2 == 1) ? 0.5f * length : length; x < width - 0.25f * length; x += length)
      joints.push_back(x);
    joints.push_back(width);
    for (size_t b = 0; b + 1 < joints.size(); ++b)
      assembly->addPart("brick " + std::to_string(row) + "." + std::to_string(b),
                        Vec(joints[b], 0, z), Vec(joints[b + 1], depth, z + height));
  }
  assembly->finish(5.0f, withDiagonals);
  return assembly;
}

Assembly randomPacking(unsigned int noParts, unsigned int seed, bool withDiagonals) {
  std::mt19937 random(seed);
  struct Piece {
    Vec low, high;
  };
  std::vector<Piece> pieces{{Vec(0, 0, 0), Vec(16, 16, 16)}};
  while (pieces.size() < noParts) {
    // Cut a random piece across its longest side, at a point on a 1/16 grid of that side.
    Piece& piece = pieces[random() % pieces.size()];
    const Vec size = piece.high - piece.low;
    const int axis = size[0] >= size[1] && size[0] >= size[2] ? 0 : (size[1] >= size[2] ? 1 : 2);
    const float at = piece.low[axis] + size[axis] * float(1 + random() % 15) / 16.0f;
    Piece upper = piece;
    upper.low[axis] = at;
    piece.high[axis] = at;
    pieces.push_back(upper);
  }
  Assembly assembly(new koBoxAssembly);
  for (size_t i = 0; i < pieces.size(); ++i)
    assembly->addPart("piece " + std::to_string(i), pieces[i].low, pieces[i].high);
  assembly->finish(5.0f, withDiagonals);
  return assembly;
}

} // namespace koSampleAssemblies
