#pragma once

#include <ko/koProgressNotifierInterface.h>

#include <atomic>

// A progress notifier that records what it was told; safe for concurrent advance() calls.
class koCountingNotifier : public ko::koProgressNotifierInterface {
public:
  void openRange(double noSteps) override {
    ++noOpenRangeCalls;
    lastRange = noSteps;
  }
  void advance(double noSteps) override {
    ++noAdvanceCalls;
    double seen = advancedSteps.load();
    while (!advancedSteps.compare_exchange_weak(seen, seen + noSteps)) {
    }
  }

  std::atomic<int> noOpenRangeCalls{0};
  std::atomic<int> noAdvanceCalls{0};
  double lastRange = -1.0;  // written only by openRange, which runs on the calling thread
  std::atomic<double> advancedSteps{0.0};
};
