#pragma once

#include <embree3/rtcore.h>

namespace ko {

// The one Embree device of the process, created on first use (thread-safe). Its scenes build on
// the calling thread only, so a build gives the same hierarchy every run; parallelism comes from
// our own worker pools, which may build and query different scenes at once.
RTCDevice koEmbreeDevice();

} // namespace ko
