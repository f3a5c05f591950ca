#include "koTolvaneLibVersion.h"

namespace koTolvaneLib::Version {

#define KO_VERSION_MAJOR_MINOR "1.0"
#define KO_VERSION_MAJOR_MINOR_RELEASE KO_VERSION_MAJOR_MINOR ".0"
#define KO_VERSION_WITH_REVISION KO_VERSION_MAJOR_MINOR_RELEASE ".47 #2259eebdee2cb526"

int GetMajor() { return 1; }
int GetMinor() { return 0; }
int GetRelease() { return 0; }
int GetRevision() { return 47; }
int GetYear() { return 2025; }
int GetMonth() { return 6; }

const char* GetDescStringMajorMinor(bool) { return KO_VERSION_MAJOR_MINOR; }
const char* GetDescStringMajorMinorRelease(bool) { return KO_VERSION_MAJOR_MINOR_RELEASE; }
const char* GetDescStringMajorMinorReleaseRevision(bool) { return KO_VERSION_WITH_REVISION; }
const char* GetDescStringMajorMinorReleaseRevisionDate() { return KO_VERSION_WITH_REVISION " 2025-6"; }

bool IsBeta() { return false; }
bool IsDebug() { return false; }
bool IsDev() { return false; }

} // namespace koTolvaneLib::Version
