#include "koMotionDetect.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace {

struct tIcosahedron {
  std::array<Wm4::Vector3<double>, 12> vertices;
  std::array<std::array<unsigned int, 3>, 20> faces;
};

// Built on first use; a function-local static is initialised exactly once even when several
// threads generate directions at the same time.
const tIcosahedron& icosahedron() {
  static const tIcosahedron table = [] {
    const double phi = 1.618033988749895;
    tIcosahedron t;
    t.vertices = {{{phi, 1.0, 0.0}, {-phi, 1.0, 0.0}, {phi, -1.0, 0.0}, {-phi, -1.0, 0.0},
                   {1.0, 0.0, phi}, {1.0, 0.0, -phi}, {-1.0, 0.0, phi}, {-1.0, 0.0, -phi},
                   {0.0, phi, 1.0}, {0.0, -phi, 1.0}, {0.0, phi, -1.0}, {0.0, -phi, -1.0}}};
    t.faces = {{{0, 8, 4}, {0, 5, 10}, {2, 4, 9}, {2, 11, 5}, {1, 6, 8},  {1, 10, 7}, {3, 9, 6},
                {3, 7, 11}, {0, 10, 8}, {1, 8, 10}, {2, 9, 11}, {3, 11, 9}, {4, 2, 0}, {5, 0, 2},
                {6, 1, 3}, {7, 3, 1}, {8, 6, 4},  {9, 4, 6},  {10, 5, 7}, {11, 7, 5}}};
    return t;
  }();
  return table;
}

// Each edge is shared by two faces that run it in opposite directions; only the direction whose
// largest-magnitude component is positive is subdivided, so every edge point appears once.
bool ownsEdge(const Wm4::Vector3<double>& from, const Wm4::Vector3<double>& to) {
  const Wm4::Vector3<double> d = to - from;
  const double largest = std::max({d.X(), d.Y(), d.Z()});
  return largest == std::max({std::abs(d.X()), std::abs(d.Y()), std::abs(d.Z())});
}

} // namespace

void koMotionDetect::GenerateDirections(unsigned int subdivisions,
                                        std::vector<Wm4::Vector3<double>>& directions) {
  const unsigned int k = subdivisions;
  directions.resize(15u + 30u * k + 10u * k * (k - 1u));
  const tIcosahedron& ico = icosahedron();

  size_t next = 0;
  directions[next++] = Wm4::Vector3<double>(1.0, 0.0, 0.0);
  directions[next++] = Wm4::Vector3<double>(0.0, 1.0, 0.0);
  directions[next++] = Wm4::Vector3<double>(0.0, 0.0, 1.0);
  for (const Wm4::Vector3<double>& v : ico.vertices)
    directions[next++] = v;

  const double parts = static_cast<double>(k + 1u);
  for (const auto& face : ico.faces) {
    const Wm4::Vector3<double>& a = ico.vertices[face[0]];
    const Wm4::Vector3<double>& b = ico.vertices[face[1]];
    const Wm4::Vector3<double>& c = ico.vertices[face[2]];
    for (const auto& [from, to] : {std::make_pair(&a, &b), std::make_pair(&b, &c),
                                   std::make_pair(&c, &a)}) {
      if (!ownsEdge(*from, *to))
        continue;
      for (unsigned int s = 1; s <= k; ++s)
        directions[next++] = *from + (static_cast<double>(s) / parts) * (*to - *from);
    }
    for (unsigned int m = 1; m < k; ++m)
      for (unsigned int s = 1; s <= k - m; ++s) {
        const double wa = static_cast<double>(m) / parts;
        const double wb = static_cast<double>(s) / parts;
        directions[next++] = wa * a + wb * b + (1.0 - static_cast<double>(m + s) / parts) * c;
      }
  }

  assert(next == directions.size());
  for (Wm4::Vector3<double>& d : directions)
    d.Normalize();
}
