#pragma once

#include <span>
#include <string>

// The whole checker behind the command line, for the program entry and the tests.
struct CheckerOutput {
  int status = 0;   // 0 consistent, 1 not consistent, 2 not checked (unreadable, usage)
  std::string out;  // for standard output: the summary, or the help
  std::string err;  // for standard error: one line per problem or failure
};

// The exit statuses.
constexpr int kStatusConsistent = 0;
constexpr int kStatusInconsistent = 1;
constexpr int kStatusNotChecked = 2;

// Runs the checker on the command-line arguments (without the program name), in the working
// directory.
CheckerOutput runChecker(std::span<const std::string> arguments);

// The text of --help.
std::string helpText();
