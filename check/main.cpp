// kelvara4-check: reads an initial-data file back and tells whether it is what the run
// promised. See checker.h.
#include <cstdio>
#include <string>
#include <vector>

#include "check/checker.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const CheckerOutput output = runChecker(arguments);
  std::fwrite(output.out.data(), 1, output.out.size(), stdout);
  std::fwrite(output.err.data(), 1, output.err.size(), stderr);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("kelvara4-check: cannot write the summary to standard output\n", stderr);
    return kStatusNotChecked;
  }
  return output.status;
}
