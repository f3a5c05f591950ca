#include "koTolvaneLibVersion.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace koTolvaneLib;

TEST(koTolvaneLibVersion, NumbersAndStringsDescribeOneBuild) {
  EXPECT_EQ(std::vector<int>({Version::GetMajor(), Version::GetMinor(), Version::GetRelease(),
                              Version::GetRevision(), Version::GetYear(), Version::GetMonth()}),
            std::vector<int>({1, 0, 0, 47, 2025, 6}));
  for (bool flag : {false, true}) {
    EXPECT_STREQ(Version::GetDescStringMajorMinor(flag), "1.0");
    EXPECT_STREQ(Version::GetDescStringMajorMinorRelease(flag), "1.0.0");
    EXPECT_STREQ(Version::GetDescStringMajorMinorReleaseRevision(flag),
                 "1.0.0.47 #2259eebdee2cb526");
  }
  EXPECT_STREQ(Version::GetDescStringMajorMinorReleaseRevisionDate(),
               "1.0.0.47 #2259eebdee2cb526 2025-6");
  EXPECT_FALSE(Version::IsBeta() || Version::IsDebug() || Version::IsDev());
}

} // namespace
