#include "koTolvaneLibVersion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace koTolvaneLib;

TEST(koTolvaneLibVersion, NumbersAndStringsDescribeOneBuild) {
  EXPECT_EQ(Version::GetMajor(), 1);
  EXPECT_EQ(Version::GetMinor(), 0);
  EXPECT_EQ(Version::GetRelease(), 0);
  EXPECT_EQ(Version::GetRevision(), 47);
  EXPECT_EQ(Version::GetYear(), 2025);
  EXPECT_EQ(Version::GetMonth(), 6);
  for (bool flag : {false, true}) {
    EXPECT_STREQ(Version::GetDescStringMajorMinor(flag), "1.0");
    EXPECT_STREQ(Version::GetDescStringMajorMinorRelease(flag), "1.0.0");
    EXPECT_STREQ(Version::GetDescStringMajorMinorReleaseRevision(flag),
                 "1.0.0.47 #2259eebdee2cb526");
  }
  EXPECT_STREQ(Version::GetDescStringMajorMinorReleaseRevisionDate(),
               "1.0.0.47 #2259eebdee2cb526 2025-6");
  EXPECT_FALSE(Version::IsBeta());
  EXPECT_FALSE(Version::IsDebug());
  EXPECT_FALSE(Version::IsDev());
}

} // namespace
