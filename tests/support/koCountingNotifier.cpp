#include "support/koCountingNotifier.h"

void koCountingNotifier::openRange(double noSteps) {
  ++noOpenRangeCalls;
  lastRange = noSteps;
}

void koCountingNotifier::advance(double noSteps) {
  ++noAdvanceCalls;
  double seen = advancedSteps.load();
  while (!advancedSteps.compare_exchange_weak(seen, seen + noSteps)) {
  }
}
