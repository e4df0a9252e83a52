#include <csignal>

#include "run/run_sequence.h"
#include "textio/file_channel.h"

int main(int argc, char** argv) {
  // A write to a pipe or socket whose reader has gone fails like any other write, so that the
  // run stops with a message naming the file and the cause, not silently by a signal.
  std::signal(SIGPIPE, SIG_IGN);
  setCommandLineArguments(argc, argv);
  return runProgram();
}
