#include "tolvaneAssimpGuards.h"

#include "tolvaneInputError.h"

#include <algorithm>
#include <cctype>
#include <string_view>

void refuseKnownAssimpHangs(const char* head, size_t size, const std::string& where) {
  const std::string_view text(head, std::min(size, kGuardedHeadSize));
  // Assimp's PLY reader takes files that start with "ply" in any case.
  const bool isPly = text.size() >= 3 && std::tolower(text[0]) == 'p' &&
                     std::tolower(text[1]) == 'l' && std::tolower(text[2]) == 'y';
  if (isPly && text.find("end_header") == std::string_view::npos)
    throw tolvaneInputError(where + ": a PLY header without end_header in its first 64 KiB");
}
