#pragma once

#include <ko/koObject.h>

#include <Wm4Foundation.h>

namespace ko {

// Surface colours of a mesh for the host's renderer (the fixed-function lighting model). Colours
// are in [0, 1]. Defaults: no emission, grey ambient 0.2 and diffuse 0.8, no specular, opaque.
class koMaterialState : public koObject {
public:
  Wm4::ColorRGB Emissive{0.0f, 0.0f, 0.0f};
  Wm4::ColorRGB Ambient{0.2f, 0.2f, 0.2f};
  Wm4::ColorRGB Diffuse{0.8f, 0.8f, 0.8f};
  Wm4::ColorRGB Specular{0.0f, 0.0f, 0.0f};
  // Opacity in [0, 1]; 1 is opaque.
  float Alpha = 1.0f;
  // Specular exponent.
  float Shininess = 1.0f;
  // Share of the environment mirrored by the surface, in [0, 1]; 0 reflects nothing.
  float Reflectivity = 0.0f;
};

} // namespace ko
