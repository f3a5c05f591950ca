#pragma once

#include "koTolvaneLibExport.h"

// Which build of the library a host talks to. The strings are constant text owned by the
// library; the bool arguments are accepted for compatibility and do not change them.
namespace koTolvaneLib {
namespace Version {

KOTOLVANE_API int GetMajor();
KOTOLVANE_API int GetMinor();
KOTOLVANE_API int GetRelease();
KOTOLVANE_API int GetRevision();
KOTOLVANE_API int GetYear();
KOTOLVANE_API int GetMonth();

KOTOLVANE_API const char* GetDescStringMajorMinor(bool);                  // "1.0"
KOTOLVANE_API const char* GetDescStringMajorMinorRelease(bool);           // "1.0.0"
// Major.minor.release.revision, then "#" and the source revision.
KOTOLVANE_API const char* GetDescStringMajorMinorReleaseRevision(bool);
// As above, then the year and the month of the build.
KOTOLVANE_API const char* GetDescStringMajorMinorReleaseRevisionDate();

KOTOLVANE_API bool IsBeta();
KOTOLVANE_API bool IsDebug();
KOTOLVANE_API bool IsDev();

} // namespace Version
} // namespace koTolvaneLib
