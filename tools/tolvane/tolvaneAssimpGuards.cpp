#include "tolvaneAssimpGuards.h"

#include "tolvaneInputError.h"

#include <algorithm>
#include <cctype>
#include <string_view>

void refuseKnownAssimpHangs(const char* head, size_t size, const std::string& where) {
  const std::string_view text(head, std::min(size, kGuardedHeadSize));
  // Assimp's PLY reader takes files that start with "ply" in any case, and loops forever looking
  // for the header's end when there is none.
  const bool isPly = text.size() >= 3 && std::tolower(text[0]) == 'p' &&
                     std::tolower(text[1]) == 'l' && std::tolower(text[2]) == 'y';
  if (!isPly)
    return;
  // The header ends at a line that holds end_header alone; one inside a line does not count.
  for (size_t at = text.find("end_header"); at != std::string_view::npos;
       at = text.find("end_header", at + 1)) {
    const size_t lineStart = text.find_last_of("\r\n", at);
    const size_t blanks = lineStart == std::string_view::npos ? at : at - lineStart - 1;
    const std::string_view before = text.substr(at - blanks, blanks);
    const size_t lineEnd = text.find_first_not_of(" \t", at + 10);
    if (before.find_first_not_of(" \t") == std::string_view::npos &&
        lineEnd != std::string_view::npos && (text[lineEnd] == '\n' || text[lineEnd] == '\r'))
      return;
  }
  throw tolvaneInputError(where + ": a PLY header without an end_header line in its first 64 KiB");
}
