// The progress bar as written to a file: what a known sequence of calls draws, and that advances
// from several threads at once draw rising percents and 100% exactly once.

#include "tolvaneProgressBar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs `calls` on a bar labelled "stage" that writes to a temporary file, and returns the text.
template <typename Calls>
std::string drawn(Calls calls) {
  std::FILE* file = std::tmpfile();
  {
    tolvaneProgressBar bar(file, "stage");
    calls(bar);
  }
  std::string text(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

std::string line(int percent) {
  const int filled = percent * 30 / 100;
  return "\rstage            [" + std::string(filled, '#') + std::string(30 - filled, '.') + "] " +
         (percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) + "%" +
         (percent == 100 ? "\n" : "");
}

TEST(TolvaneProgressBar, DrawsEachPercentOnceAndEndsTheLineAt100) {
  EXPECT_EQ(drawn([](tolvaneProgressBar& bar) {
              bar.openRange(8.0);
              bar.advance(2.0);
              bar.advance(0.0625);  // 25.8%: still 25, not drawn again
              bar.advance(0.9375);
              bar.advance(5.0);
              bar.finish();  // 100% already shown
            }),
            line(0) + line(25) + line(37) + line(100));
  // A stage that ends short of its steps, or never opens a range, still ends at 100%.
  EXPECT_EQ(drawn([](tolvaneProgressBar& bar) {
              bar.openRange(4.0);
              bar.advance(1.0);
              bar.finish();
            }),
            line(0) + line(25) + line(100));
  EXPECT_EQ(drawn([](tolvaneProgressBar& bar) { bar.finish(); }), line(100));
  EXPECT_EQ(tolvaneProgressBar(nullptr, "off").notifier(), nullptr);
}

TEST(TolvaneProgressBar, ConcurrentAdvancesRiseToOneHundredOnce) {
  constexpr int kThreads = 4, kStepsPerThread = 2500;
  const std::string text = drawn([](tolvaneProgressBar& bar) {
    bar.openRange(kThreads * kStepsPerThread);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&bar] {
        for (int s = 0; s < kStepsPerThread; ++s)
          bar.notifier()->advance(1.0);
      });
    for (std::thread& thread : threads)
      thread.join();
    bar.finish();
  });
  // Every percent from 0 to 100 drawn once, in order, as whole lines.
  std::string expected;
  for (int percent = 0; percent <= 100; ++percent)
    expected += line(percent);
  EXPECT_EQ(text, expected);
}

} // namespace
