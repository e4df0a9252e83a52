#include "run/run_sequence.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "frame/barycentric_frame.h"
#include "frame/closest_pair.h"
#include "frame/initial_data.h"
#include "model/placement.h"
#include "model/scales.h"
#include "run/parameter_input.h"
#include "run/run_state.h"
#include "run/validation.h"
#include "textio/file_channel.h"
#include "textio/report_writer.h"

namespace {

// Fills a 12-character name field, padding with blanks.
void setName(Name12& field, std::string_view value) {
  field.fill(' ');
  std::memcpy(field.data(), value.data(), value.size());
}

// The run state is a few hundred kilobytes of zero pages, nearly all of which a run touches.
// Mapping them in one call spares the system a page fault at the first touch of each page,
// which costs more than the computation in some of them. Only a request: where the system does
// not know it, the pages come one fault at a time as before.
void mapRunState(RunState& run) {
  const auto pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  if (pageSize == 0 || (pageSize & (pageSize - 1)) != 0) return;
  const auto start = reinterpret_cast<uintptr_t>(&run);
  const uintptr_t first = start & ~(pageSize - 1);
  const uintptr_t end = (start + sizeof(RunState) + pageSize - 1) & ~(pageSize - 1);
#ifdef MADV_POPULATE_WRITE
  (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#endif
}

}  // namespace

int runProgram() {
  // Static storage: zero-initialised before the run, never allocated or copied.
  static RunState run;
  mapRunState(run);

  setName(run.parameterFileName, "Kelvara4.dat");
  setName(run.reportFileName, "Kelvara4Err");
  setName(run.overrideFileName, "file_okf.dat");
  // A report file that is a link to an input file would be written over it, on the
  // read-error path too: refuse before anything is read or written.
  refuseRunIf(checkReportFileName(run));

  if (!readParameters(run)) {
    // The read-error record has gone to the console and the report file; no initial-data
    // file was written, so the run reports failure.
    finishConsole();
    return 1;
  }
  applyOverride(run);

  // Refuse parameters outside the ranges in which the formulas hold before anything is
  // computed.
  refuseRunIf(checkParameters(run));

  computeScales(run);
  placeBodies(run);
  buildBarycentricFrame(run);
  computeInitialDataValues(run);
  // The search reads and changes nothing the initial-data file holds, so it may run before
  // the file is written; its distances are checked with the rest.
  findClosestPair(run);
  // Before the first output file is opened: refuse results that overflowed, and an
  // initial-data file name (resolved now, as its open would) that names the run's own files.
  refuseRunIf(checkResultsFinite(run));
  refuseRunIf(checkDataFileName(run));

  writeInitialData(run);
  writeReport(run);
  finishConsole();
  return 0;
}
