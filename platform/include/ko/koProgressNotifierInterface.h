#pragma once

namespace ko {

// Receives progress of a long computation: openRange() announces how many steps follow, advance()
// reports steps done. Computations that run on several threads call advance() concurrently, so
// implementations must be thread-safe. Callers accept a null notifier and then report nothing.
class koProgressNotifierInterface {
public:
  virtual ~koProgressNotifierInterface() = default;
  virtual void openRange(double noSteps) = 0;
  virtual void advance(double noSteps) = 0;
};

} // namespace ko
