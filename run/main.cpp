#include "run/run_sequence.h"
#include "textio/file_channel.h"

int main(int argc, char** argv) {
  setCommandLineArguments(argc, argv);
  return runProgram();
}
