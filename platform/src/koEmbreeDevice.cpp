#include "koEmbreeDevice.h"

#include <cstdio>
#include <cstdlib>

namespace ko {

namespace {

// Embree reports errors only for calls we got wrong (bad buffers, invalid arguments) or for
// running out of memory; neither can be handed back to the caller of a query, so stop loudly.
void abortOnEmbreeError(void*, RTCError code, const char* message) {
  std::fprintf(stderr, "koTolvaneLib: Embree error %d: %s\n", static_cast<int>(code),
               message != nullptr ? message : "(no message)");
  std::abort();
}

RTCDevice createDevice() {
  // One thread: builds run on the calling thread and are deterministic. Under Embree's TBB
  // tasking this also caps TBB's parallelism for the whole process, which uses no other TBB.
  RTCDevice device = rtcNewDevice("threads=1");
  if (device == nullptr)
    abortOnEmbreeError(nullptr, rtcGetDeviceError(nullptr), "the device could not be created");
  rtcSetDeviceErrorFunction(device, abortOnEmbreeError, nullptr);
  return device;
}

} // namespace

RTCDevice koEmbreeDevice() {
  // Never released: scenes of static objects may outlive any exit-time release, and the process
  // end frees it anyway.
  static const RTCDevice device = createDevice();
  return device;
}

} // namespace ko
