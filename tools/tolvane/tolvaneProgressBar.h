#pragma once

#include <ko/koProgressNotifierInterface.h>

#include <cstdio>
#include <mutex>
#include <string>

// A stage's progress on one line, "contacts         [#########.........]  47%", redrawn in place
// each time the work done crosses a whole percent and ended with a newline at 100%, so that what
// the stage prints next starts on a line of its own. Advances may come from several threads at
// once. Without an output the bar is off and hands the library no notifier.
class tolvaneProgressBar : public ko::koProgressNotifierInterface {
public:
  // `out` may be null (no bar); it must outlive the bar.
  tolvaneProgressBar(std::FILE* out, std::string label);

  // This bar, or null when it is off, for the library's notifier arguments.
  ko::koProgressNotifierInterface* notifier() { return mOut ? this : nullptr; }
  // Starts the bar over for noSteps steps.
  void openRange(double noSteps) override;
  void advance(double noSteps) override;
  // The stage is over: shows 100% unless the range already did.
  void finish();

private:
  void show(int percent);

  std::FILE* mOut;
  std::string mLabel;
  std::mutex mMutex;  // guards the counts below and the drawing
  double mTotal = 0.0;
  double mDone = 0.0;
  int mShown = -1;  // the percent on screen, -1 before the first drawing of a range
};
