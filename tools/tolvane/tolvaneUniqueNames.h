#pragma once

#include <map>
#include <set>
#include <string>

// Hands out names that are unique among those it handed out: a name already taken gets the first
// free "#k" suffix, k = 2, 3, ..., so that "a", "a", "a#2" become "a", "a#2", "a#2#2".
class tolvaneUniqueNames {
public:
  std::string claim(const std::string& name);

private:
  std::set<std::string> mTaken;
  std::map<std::string, unsigned int> mNextSuffix;  // where the search for a free "#k" resumes
};
