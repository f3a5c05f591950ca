#pragma once

#include <stdexcept>
#include <string>

// Bad input from the user (a file, its contents, the groups map, the output folder): the message
// is one line that names the file and the problem, and the host exits with code 1.
class tolvaneInputError : public std::runtime_error {
public:
  explicit tolvaneInputError(const std::string& message) : std::runtime_error(message) {}
};
