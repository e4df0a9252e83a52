#pragma once

// Helpers for whole runs under faults: parameter files made from a case of the test tree,
// snapshots of a run directory, modification times, and runs whose peak memory is measured.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"

namespace faults {

namespace fs = std::filesystem;

inline const fs::path kCases = fs::path(KELVARA4_SOURCE_DIR) / "tests" / "e2e" / "cases";

// The parameter file of case `name` with columns 60 onward of record 12 replaced by `field`.
inline std::string withNameField(const std::string& name, const std::string& field) {
  std::istringstream lines(readFile(kCases / name / "Kelvara4.dat"));
  std::string text;
  int record = 0;
  for (std::string line; std::getline(lines, line);) {
    if (++record == 12) line = line.substr(0, 59) + field;
    text += line + "\n";
  }
  return text;
}

// One entry of a run directory: its content (or "<directory>") and modification time.
struct Entry {
  std::string content;
  struct timespec modified {};

  bool operator==(const Entry& other) const {
    return content == other.content && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
  }
};

// Shows an entry in a failure message: the start of its content, its size and time.
inline void PrintTo(const Entry& entry, std::ostream* os) {
  *os << testing::PrintToString(entry.content.substr(0, 60))
      << (entry.content.size() > 60 ? "..." : "") << " (" << entry.content.size()
      << " bytes, modified " << entry.modified.tv_sec << "." << entry.modified.tv_nsec << ")";
}

inline struct timespec modificationTime(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mtim;
}

// Every entry of `dir` by name.
inline std::map<std::string, Entry> snapshot(const fs::path& dir) {
  std::map<std::string, Entry> entries;
  for (const auto& entry : fs::directory_iterator(dir)) {
    Entry e;
    e.content = entry.is_directory() ? "<directory>" : readFile(entry.path());
    e.modified = modificationTime(entry.path());
    entries[entry.path().filename().string()] = e;
  }
  return entries;
}

inline std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& [name, entry] : snapshot(dir)) names.push_back(name);
  return names;
}

// Sets the modification time of `path` to a moment long past, so that any write shows.
inline void makeOld(const fs::path& path) {
  const struct timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct MeasuredRun {
  RunResult result;
  long peakMemoryKb = 0;  // peak resident memory of the program
};

// Runs the built program in `dir` with no arguments and standard input on /dev/null, and
// measures its peak resident memory.
inline MeasuredRun runMeasured(const fs::path& dir) {
  TempDir io;
  const auto outPath = io.path() / "stdout";
  const auto errPath = io.path() / "stderr";
  const std::string program = KELVARA4_BINARY;
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execv(program.c_str(), argv);
    _exit(127);
  }
  int waitStatus = 0;
  struct rusage usage {};
  wait4(pid, &waitStatus, 0, &usage);
  MeasuredRun run;
  run.result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  run.result.out = readFile(outPath);
  run.result.err = readFile(errPath);
  run.peakMemoryKb = usage.ru_maxrss;
  return run;
}

}  // namespace faults
