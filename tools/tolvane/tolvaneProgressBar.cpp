#include "tolvaneProgressBar.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kWidth = 30;  // characters between the brackets

} // namespace

tolvaneProgressBar::tolvaneProgressBar(std::FILE* out, std::string label)
    : mOut(out), mLabel(std::move(label)) {}

void tolvaneProgressBar::openRange(double noSteps) {
  const std::lock_guard<std::mutex> lock(mMutex);
  mTotal = noSteps;
  mDone = 0.0;
  mShown = -1;
  show(0);
}

void tolvaneProgressBar::advance(double noSteps) {
  const std::lock_guard<std::mutex> lock(mMutex);
  mDone += noSteps;
  // Below the total stays below 100%, however the division rounds.
  const int percent = mDone >= mTotal ? 100
                                      : std::min(99, static_cast<int>(100.0 * mDone / mTotal));
  if (percent > mShown)
    show(percent);
}

void tolvaneProgressBar::finish() {
  const std::lock_guard<std::mutex> lock(mMutex);
  if (mShown < 100)
    show(100);
}

void tolvaneProgressBar::show(int percent) {
  mShown = percent;
  if (!mOut)
    return;
  const int filled = percent * kWidth / 100;
  std::fprintf(mOut, "\r%-16s [%s%s] %3d%%%s", mLabel.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), percent, percent == 100 ? "\n" : "");
  std::fflush(mOut);
}
