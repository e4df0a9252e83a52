// Fuzz target: whole runs on an arbitrary parameter file and override file.
//
// The input is split at the first line "@@file_okf.dat@@": the bytes before it are the
// parameter file, the bytes after it the override file (without the line there is no override
// file). Each input runs the program's real logic, runProgram(), in a forked child process in
// a scratch directory, with no arguments and standard input on /dev/null, so that a blank file
// name is asked for and the question ends at once. The parent then checks that the run ended in
// one of the four ways a run may end, with what that way leaves behind:
//   - a complete run: exit status 0, nothing on the console or standard error, the report file
//     and the initial-data file (under the name record 12 gives) written anew, no stale tail;
//   - the read-error record: exit status 1, the record on the console and alone in the report
//     file, no initial-data file written;
//   - a refusal: exit status 1, one "kelvara4: run refused: ..." line per cause, no file
//     created or changed;
//   - an I/O-layer stop: exit status 1, one line "kelvara4: cannot <operation> file '<name>':
//     <cause>" (or the end of standard input at the file-name question).
// After every kind of run the parameter and override files hold the same bytes and the same
// modification time as before. A crash, a sanitizer report or a leak in the child, a child
// still running after kChildSeconds (a hang), a run whose peak resident memory passed
// kChildMemoryKb, or any other ending aborts the fuzzer with the child's output.
//
// The leak check in the child sees every thread the parent had; run this target with
// -rss_limit_mb=0 (no watchdog thread in libFuzzer) and bound the parent with -malloc_limit_mb.
//
// The program stops itself through exit(); the target is linked with --wrap=exit so that the
// child's exit ends in finishChild, which hands the child's coverage counters back to the
// parent (libFuzzer sees the coverage of the run although it happened in another process),
// runs the leak check (in every kLeakCheckEvery-th run) and leaves with the program's exit
// status.
//
// Record 12 names the initial-data file, and the child runs as whatever user runs the fuzzer,
// root in CI: every "/" in its columns 60 to 71 is made "_" before the run, so that a run can
// only ever write inside its scratch directory.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_sequence.h"
#include "textio/file_channel.h"

namespace fs = std::filesystem;

extern "C" [[noreturn]] void __real_exit(int status);
extern "C" void __real___sanitizer_cov_8bit_counters_init(uint8_t* start, uint8_t* stop);

namespace {

constexpr std::string_view kSeparator = "@@file_okf.dat@@\n";
constexpr unsigned kChildSeconds = 8;
constexpr long kChildMemoryKb = 2048L * 1024;  // peak resident memory a run may reach
constexpr int kSanitizerExit = 86;  // the child's sanitizer reported an error
constexpr int kLeakExit = 87;       // the child's leak check found a leak
// The leak check costs several times a whole run (it stops and scans the whole process, the
// fuzzer's corpus included), so the child of every kLeakCheckEvery-th run makes it.
constexpr unsigned kLeakCheckEvery = 8;

constexpr const char* kParameterFile = "Kelvara4.dat";
constexpr const char* kOverrideFile = "file_okf.dat";
constexpr const char* kReportFile = "Kelvara4Err";
constexpr const char* kStale = "stale record of an earlier run\r\n";

bool inChild = false;
bool checkLeaks = false;  // in the child: whether finishChild runs the leak check
unsigned runCount = 0;
// The coverage counters of the program (one region: everything is linked statically), and a
// copy of them that parent and child share.
uint8_t* counterStart = nullptr;
size_t counterCount = 0;
uint8_t* sharedCounters = nullptr;

[[noreturn]] void finishChild(int status) {
  std::fflush(nullptr);
  if (sharedCounters != nullptr) {
    std::memcpy(sharedCounters, counterStart, counterCount);
  }
  if (checkLeaks && __lsan_do_recoverable_leak_check() != 0) _exit(kLeakExit);
  _exit(status);
}

void onSanitizerDeath() { _exit(kSanitizerExit); }

// The scratch directory of the run and the one that takes the child's standard streams.
struct Directories {
  fs::path work;
  fs::path streams;
};

// Made once per fuzzer process, removed when it ends (never freed, so that the removal at
// exit still finds it).
const Directories& directories() {
  static const Directories* dirs = [] {
    std::string pattern = (fs::temp_directory_path() / "kelvara4-fuzz-XXXXXX").string();
    const fs::path base = mkdtemp(pattern.data());
    auto* d = new Directories{base / "run", base / "streams"};
    fs::create_directories(d->work);
    fs::create_directories(d->streams);
    std::atexit([] {
      if (inChild) return;
      std::error_code ignored;
      fs::remove_all(directories().work.parent_path(), ignored);
    });
    return d;
  }();
  return *dirs;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct timespec modificationTime(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mtim;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The lines of the parameter file as the program reads them: records ended by line feeds.
std::vector<std::string_view> recordsOf(std::string_view bytes) {
  std::vector<std::string_view> records;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    records.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return records;
}

// The name record 12 gives the initial-data file: its columns 60 to 71 before any carriage
// return, without leading and trailing blanks; empty when there is no record 12.
std::string dataFileName(std::string_view parameters) {
  const std::vector<std::string_view> records = recordsOf(parameters);
  if (records.size() < 12) return {};
  std::string_view data = records[11];
  data = data.substr(0, data.find('\r'));
  if (data.size() <= 59) return {};
  const std::string_view field = data.substr(59, 12);
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = field.find_last_not_of(' ');
  return std::string(field.substr(first, last - first + 1));
}

// Makes every "/" in columns 60 to 71 of record 12 a "_".
void keepNameInside(std::string& parameters) {
  size_t start = 0;
  for (int record = 1; record < 12; ++record) {
    start = parameters.find('\n', start);
    if (start == std::string::npos) return;
    ++start;
  }
  size_t end = parameters.find('\n', start);
  if (end == std::string::npos) end = parameters.size();
  for (size_t k = start + 59; k < std::min(end, start + 71); ++k) {
    if (parameters[k] == '/') parameters[k] = '_';
  }
}

std::map<std::string, std::string> filesIn(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? readFile(entry.path()) : std::string("<not a file>");
  }
  return files;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Child {
  int waitStatus = 0;
  long peakMemoryKb = 0;
  std::string out;
  std::string err;
};

Child runChild() {
  const Directories& dirs = directories();
  const fs::path outPath = dirs.streams / "stdout";
  const fs::path errPath = dirs.streams / "stderr";
  const size_t counters = counterCount;
  if (counters > 0 && sharedCounters == nullptr) {
    void* shared =
        mmap(nullptr, counters, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) sharedCounters = static_cast<uint8_t*>(shared);
  }
  if (sharedCounters != nullptr) std::memcpy(sharedCounters, counterStart, counters);

  ++runCount;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::abort();
  }
  if (pid == 0) {
    inChild = true;
    checkLeaks = runCount % kLeakCheckEvery == 0;
    __sanitizer_set_death_callback(onSanitizerDeath);
    signal(SIGALRM, SIG_DFL);
    alarm(kChildSeconds);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dirs.work.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    char program[] = "kelvara4";
    char* argv[] = {program, nullptr};
    setCommandLineArguments(1, argv);
    std::exit(runProgram());
  }
  Child child;
  struct rusage usage {};
  while (wait4(pid, &child.waitStatus, 0, &usage) < 0) {
  }
  child.peakMemoryKb = usage.ru_maxrss;

  if (sharedCounters != nullptr) std::memcpy(counterStart, sharedCounters, counters);
  child.out = readFile(outPath);
  child.err = readFile(errPath);
  return child;
}

[[noreturn]] void fail(const Child& child, const std::string& what) {
  std::fprintf(stderr,
               "whole run check failed: %s\n--- wait status %d\n--- stdout:\n%s\n--- stderr:\n%s\n",
               what.c_str(), child.waitStatus, child.out.c_str(), child.err.c_str());
  std::abort();
}

void check(bool condition, const Child& child, const std::string& what) {
  if (!condition) fail(child, what);
}

// The stderr line of an I/O-layer stop: "kelvara4: cannot open file 'x': No such file ...".
bool isIoStopLine(const std::string& line) {
  if (line == "kelvara4: no file name for unit 5: standard input ended") return true;
  for (const char* operation : {"open", "read", "write", "close"}) {
    const std::string prefix = std::string("kelvara4: cannot ") + operation + " file '";
    if (!startsWith(line, prefix)) continue;
    const size_t cause = line.rfind("': ");
    return cause != std::string::npos && cause >= prefix.size() - 1 &&
           line.size() > cause + 3;
  }
  return false;
}

// An output record that holds nothing a finite value would not: no NaN, no infinity.
bool holdsOnlyFiniteValues(std::string text, const std::string& name) {
  if (!name.empty()) {
    for (size_t at; (at = text.find(name)) != std::string::npos;) text.erase(at, name.size());
  }
  return text.find("NaN") == std::string::npos && text.find("Infinity") == std::string::npos;
}

bool endsWithLineEnd(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

}  // namespace

// The coverage counters register themselves at start-up; the target notes where they are.
extern "C" void __wrap___sanitizer_cov_8bit_counters_init(uint8_t* start, uint8_t* stop) {
  if (counterStart == nullptr) {
    counterStart = start;
    counterCount = static_cast<size_t>(stop - start);
  }
  __real___sanitizer_cov_8bit_counters_init(start, stop);
}

extern "C" [[noreturn]] void __wrap_exit(int status) {
  if (inChild) finishChild(status);
  __real_exit(status);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find(kSeparator);
  std::string parameters(input.substr(0, split));
  keepNameInside(parameters);
  const bool hasOverride = split != std::string_view::npos;
  const std::string override =
      hasOverride ? std::string(input.substr(split + kSeparator.size())) : std::string();
  const std::string name = dataFileName(parameters);

  const Directories& dirs = directories();
  for (const auto& entry : fs::directory_iterator(dirs.work)) fs::remove_all(entry.path());
  writeFile(dirs.work / kParameterFile, parameters);
  if (hasOverride) writeFile(dirs.work / kOverrideFile, override);
  // When the parameter file has an even number of bytes, the output files of an earlier run
  // are there, longer than anything a run writes in their place: a refused run must leave them
  // alone, a complete run must leave none of them behind.
  if (parameters.size() % 2 == 0) {
    std::string stale;
    for (int k = 0; k < 200; ++k) stale += kStale;
    writeFile(dirs.work / kReportFile, stale);
    const bool nameIsPlain = !name.empty() && name.find('\0') == std::string::npos &&
                             name != "." && name != ".." && name != kParameterFile &&
                             name != kOverrideFile && name != kReportFile;
    if (nameIsPlain) writeFile(dirs.work / name, stale);
  }
  const std::map<std::string, std::string> before = filesIn(dirs.work);
  const struct timespec parameterTime = modificationTime(dirs.work / kParameterFile);
  const struct timespec overrideTime = modificationTime(dirs.work / kOverrideFile);

  const Child child = runChild();
  std::map<std::string, std::string> after = filesIn(dirs.work);

  if (WIFSIGNALED(child.waitStatus)) {
    fail(child, WTERMSIG(child.waitStatus) == SIGALRM
                    ? "the run did not end within " + std::to_string(kChildSeconds) + " s"
                    : "the run was killed by signal " + std::to_string(WTERMSIG(child.waitStatus)));
  }
  check(WIFEXITED(child.waitStatus), child, "the run did not exit");
  check(child.peakMemoryKb <= kChildMemoryKb, child,
        "the run took " + std::to_string(child.peakMemoryKb) + " kB of memory");
  const int status = WEXITSTATUS(child.waitStatus);
  check(status != kSanitizerExit, child, "sanitizer report in the run");
  check(status != kLeakExit, child, "leak in the run");
  check(status == 0 || status == 1, child, "exit status " + std::to_string(status));

  // The input files are never written.
  check(after[kParameterFile] == parameters, child, "the parameter file was changed");
  check(sameTime(modificationTime(dirs.work / kParameterFile), parameterTime), child,
        "the parameter file's modification time changed");
  if (hasOverride) {
    check(after[kOverrideFile] == override, child, "the override file was changed");
    check(sameTime(modificationTime(dirs.work / kOverrideFile), overrideTime), child,
          "the override file's modification time changed");
  } else {
    check(after.count(kOverrideFile) == 0, child, "an override file appeared");
  }

  const std::vector<std::string> errLines = linesOf(child.err);
  if (status == 0) {
    check(child.out.empty() && child.err.empty(), child, "a complete run is silent");
    check(!name.empty() && name.find('\0') == std::string::npos, child,
          "a complete run with no usable initial-data file name in record 12");
    check(after.size() == (hasOverride ? 4u : 3u) && after.count(name) == 1, child,
          "a complete run leaves the inputs, the report and the initial-data file '" + name +
              "'");
    for (const std::string& file : {std::string(kReportFile), name}) {
      const std::string& text = after[file];
      check(endsWithLineEnd(text), child, file + " does not end with CR LF");
      check(text.find(kStale) == std::string::npos, child, file + " keeps stale records");
      check(holdsOnlyFiniteValues(text, name), child, file + " holds a value that is not finite");
    }
    return 0;
  }

  const std::string readErrorPrefix = "*01Rt Error reading file Kelvara4.dat *** ";
  if (startsWith(child.out, readErrorPrefix)) {
    check(child.err.empty(), child, "the read-error path writes nothing to standard error");
    // The console shows each record of the report without its first character.
    const std::string& report = after[kReportFile];
    check(startsWith(report, " " + readErrorPrefix) && endsWithLineEnd(report), child,
          "the report holds the read-error record alone");
    std::string shown;
    size_t start = 0;
    for (size_t end; (end = report.find("\r\n", start)) != std::string::npos; start = end + 2) {
      shown += report.substr(start + 1, end - start - 1) + "\r\n";
    }
    check(shown == child.out, child, "the console shows the read-error record of the report");
    after.erase(kReportFile);
    std::map<std::string, std::string> expected = before;
    expected.erase(kReportFile);
    check(after == expected, child, "the read-error path writes only the report");
    return 0;
  }

  check(!errLines.empty(), child, "exit status 1 without a message");
  if (startsWith(child.err, "kelvara4: run refused: ")) {
    // Each line names what is wrong: a parameter by its record, a result, or the file name.
    for (const std::string& line : errLines) {
      check(startsWith(line, "kelvara4: run refused: parameter file record ") ||
                startsWith(line, "kelvara4: run refused: the result ") ||
                startsWith(line, "kelvara4: run refused: the initial-data file name "),
            child, "a refusal line that names no cause: " + line);
    }
    check(child.out.empty(), child, "a refusal writes nothing to the console");
    check(after == before, child, "a refused run changed the directory");
    return 0;
  }
  check(errLines.size() == 1 && isIoStopLine(errLines[0]), child,
        "exit status 1 without a message that says what is wrong");
  return 0;
}
