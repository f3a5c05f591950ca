#include "tolvaneUniqueNames.h"

std::string tolvaneUniqueNames::claim(const std::string& name) {
  if (mTaken.insert(name).second)
    return name;
  // Resuming where the last search stopped keeps many repeats of one name linear.
  unsigned int& suffix = mNextSuffix.emplace(name, 2u).first->second;
  for (;; ++suffix) {
    std::string candidate = name + "#" + std::to_string(suffix);
    if (mTaken.insert(candidate).second) {
      ++suffix;
      return candidate;
    }
  }
}
