#pragma once

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePlan.h"

#include <string>
#include <vector>

// An 8-bit RGB picture, rows from the top.
struct tolvaneImage {
  unsigned int width = 0;
  unsigned int height = 0;
  std::vector<unsigned char> rgb;  // width * height * 3 bytes
};

// The assembled pose on the left half and the exploded pose on the right (part p moved by
// plan.parts[p].translation; plan.parts holds one entry per part), ray-cast with Embree. The
// camera is orthographic and looks along (-1, -1.4, -0.9), down onto the x-y plane with +z up on
// screen: a Z-up model is seen from above at three quarters, a Y-up one from above but lying on
// its side. Each half is centred on its own pose, both at the scale that fits the larger one.
// Parts take colours from a fixed palette by part index, lit by a lamp riding with the camera
// plus some ambient, and outlined where they stand in front of something else. The plan's axes
// are dark lines on the right half, hidden where a part is in front of them. The same input
// gives the same picture, bit for bit.
tolvaneImage renderPreview(const tolvaneImport& import, const tolvaneParts& parts,
                           const tolvanePlan& plan, unsigned int width = 1200,
                           unsigned int height = 600);

// Renders at 1200 x 600 and writes the picture as PNG; false when the file cannot be written.
bool writePreview(const tolvaneImport& import, const tolvaneParts& parts, const tolvanePlan& plan,
                  const std::string& path);
