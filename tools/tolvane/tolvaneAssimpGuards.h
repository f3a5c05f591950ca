#pragma once

#include <cstddef>
#include <string>

// How much of a file's start refuseKnownAssimpHangs needs.
constexpr size_t kGuardedHeadSize = 64 * 1024;

// Refuses, with tolvaneInputError naming `where`, inputs on which assimp 5.2 loops forever instead
// of failing; `head` is the input's first bytes, up to kGuardedHeadSize. Known so far, found by
// fuzzing: a PLY file whose header never ends (no line holding "end_header" alone).
void refuseKnownAssimpHangs(const char* head, size_t size, const std::string& where);
