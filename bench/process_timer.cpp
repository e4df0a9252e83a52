// Times a program as a whole process: process_timer RUNS DIRECTORY PROGRAM [ARGS...] starts
// PROGRAM RUNS times in DIRECTORY (standard input and output on /dev/null), waits for each,
// and prints the median, fastest and slowest wall time from start to exit, in milliseconds.
// The clock runs from just before the process is spawned to just after it is reaped, so the
// time includes loading the program. A run that does not exit with status 0 ends the timing.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s RUNS DIRECTORY PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  if (runs < 1) {
    std::fprintf(stderr, "process_timer: RUNS must be at least 1\n");
    return 2;
  }
  if (chdir(argv[2]) != 0) {
    std::perror("process_timer: chdir");
    return 2;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

  std::vector<double> milliseconds;
  milliseconds.reserve(static_cast<size_t>(runs));
  for (int k = 0; k < runs; ++k) {
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[3], &actions, nullptr, argv + 3, environ);
    if (error != 0) {
      std::fprintf(stderr, "process_timer: cannot start %s: error %d\n", argv[3], error);
      return 1;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
      std::perror("process_timer: waitpid");
      return 1;
    }
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "process_timer: run %d of %s failed (status %d)\n", k + 1, argv[3],
                   status);
      return 1;
    }
    milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  posix_spawn_file_actions_destroy(&actions);

  std::vector<double> sorted = milliseconds;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  std::printf("runs %d  median %.3f ms  fastest %.3f ms  slowest %.3f ms\n", runs, median,
              sorted.front(), sorted.back());
  return 0;
}
