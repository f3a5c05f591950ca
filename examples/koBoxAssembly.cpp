#include "koBoxAssembly.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTouchTolerance = 1e-4f;

// The overlap of two intervals, as a length; negative when they are apart.
float overlap(float min0, float max0, float min1, float max1) {
  return std::min(max0, max1) - std::max(min0, min1);
}

} // namespace

unsigned int koBoxAssembly::addBox(const std::string& name, const Wm4::Vector3<float>& minCorner,
                                   const Wm4::Vector3<float>& maxCorner, unsigned int part) {
  mBoxes.push_back({name, minCorner, maxCorner, part});
  mNextPart = std::max(mNextPart, part + 1);
  return static_cast<unsigned int>(mBoxes.size() - 1);
}

unsigned int koBoxAssembly::addPart(const std::string& name, const Wm4::Vector3<float>& minCorner,
                                    const Wm4::Vector3<float>& maxCorner) {
  return addBox(name, minCorner, maxCorner, mNextPart);
}

unsigned int koBoxAssembly::partOf(const std::string& boxName) const {
  for (const tBox& box : mBoxes)
    if (box.name == boxName)
      return box.part;
  return 0xFFFFFFFFu;
}

std::string koBoxAssembly::partName(unsigned int part) const {
  const tBox* first = nullptr;
  unsigned int noBoxes = 0;
  for (const tBox& box : mBoxes) {
    if (box.part != part)
      continue;
    if (first == nullptr)
      first = &box;
    ++noBoxes;
  }
  if (first == nullptr)
    return "part " + std::to_string(part);
  const size_t lastSpace = first->name.rfind(' ');
  return noBoxes == 1 || lastSpace == std::string::npos ? first->name
                                                        : first->name.substr(0, lastSpace);
}

void koBoxAssembly::finish(float angleTolerance, bool withDiagonals) {
  mScene = new ko::koNode;
  std::vector<unsigned int> parts;
  for (const tBox& box : mBoxes) {
    ko::koTriMesh* mesh = makeBoxMesh(box.name, box.minCorner, box.maxCorner);
    mScene->attachChild(mesh);
    mMeshes.push_back(mesh);
    parts.push_back(box.part);
  }
  mScene->UpdateGS();
  mMeshGroups.reset(new koMeshGroups(mMeshes, &parts));
  mDiagram.reset(new koContactDiagram(0, static_cast<unsigned int>(mBoxes.size()), *mMeshGroups));
  pushFaceContacts(withDiagonals);
  mDiagram->computeDirectionSet(angleTolerance);
}

void koBoxAssembly::pushFaceContacts(bool withDiagonals) {
  const unsigned int noBoxes = static_cast<unsigned int>(mBoxes.size());
  for (unsigned int i = 0; i < noBoxes; ++i) {
    for (unsigned int j = i + 1; j < noBoxes; ++j) {
      const tBox& a = mBoxes[i];
      const tBox& b = mBoxes[j];
      if (a.part == b.part)
        continue;
      for (int axis = 0; axis < 3; ++axis) {
        // a's face at its maximum on b's face at its minimum, or the other way round.
        float sign = 0.0f;
        if (std::fabs(a.maxCorner[axis] - b.minCorner[axis]) < kTouchTolerance)
          sign = -1.0f;  // a lies below b along the axis, so it leaves towards -axis
        else if (std::fabs(a.minCorner[axis] - b.maxCorner[axis]) < kTouchTolerance)
          sign = 1.0f;
        if (sign == 0.0f)
          continue;
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        const float overlapU = overlap(a.minCorner[u], a.maxCorner[u], b.minCorner[u], b.maxCorner[u]);
        const float overlapV = overlap(a.minCorner[v], a.maxCorner[v], b.minCorner[v], b.maxCorner[v]);
        if (overlapU <= kTouchTolerance || overlapV <= kTouchTolerance)
          continue;

        Wm4::Vector3<double> normal(0.0, 0.0, 0.0), tangentU(0.0, 0.0, 0.0),
            tangentV(0.0, 0.0, 0.0);
        normal[axis] = sign;
        tangentU[u] = 1.0;
        tangentV[v] = 1.0;
        std::vector<Wm4::Vector3<double>> directions{normal, tangentU, -tangentU, tangentV,
                                                     -tangentV};
        if (withDiagonals) {
          const double half = std::sqrt(0.5);
          for (const auto& t : {tangentU, -tangentU, tangentV, -tangentV})
            directions.push_back(half * (normal + t));
          const double third = std::sqrt(1.0 / 3.0);
          for (const auto& t : {tangentU, -tangentU}) {
            for (const auto& w : {tangentV, -tangentV}) {
              directions.push_back(half * (t + w));
              directions.push_back(third * (normal + t + w));
            }
          }
        }

        Wm4::Vector3<float> point;
        point[axis] = sign < 0.0f ? a.maxCorner[axis] : a.minCorner[axis];
        point[u] = 0.5f * (std::max(a.minCorner[u], b.minCorner[u]) +
                           std::min(a.maxCorner[u], b.maxCorner[u]));
        point[v] = 0.5f * (std::max(a.minCorner[v], b.minCorner[v]) +
                           std::min(a.maxCorner[v], b.maxCorner[v]));
        mDiagram->pushContactEdge(i, j, directions.data(),
                                  static_cast<unsigned int>(directions.size()), point);
      }
    }
  }
}
