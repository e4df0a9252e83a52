#include "run/run_sequence.h"

#include <sys/mman.h>

#include <cstddef>
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
// Taken one small page at a time, the first touch of each page costs the system more than the
// computation done in it. So the run state has a block of its own, aligned and sized for one
// large page: the system is asked to back the block with one, and to map the run state's part
// of it in one call (which maps the whole large page where there is one, and only the small
// pages the run state spans where there is not). Both are only requests; where the system
// does not know them, pages come one at a time as before.
constexpr size_t kLargePage = size_t{2} << 20;
struct alignas(kLargePage) RunStorage {
  RunState run;
};
static_assert(sizeof(RunStorage) == kLargePage);

void mapRunStorage(RunStorage& storage) {
#ifdef MADV_HUGEPAGE
  (void)::madvise(&storage, sizeof storage, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  const size_t pageSize = 4096;  // the smallest page there is; a larger one is a multiple
  const size_t used = (sizeof(RunState) + pageSize - 1) / pageSize * pageSize;
  (void)::madvise(&storage, used, MADV_POPULATE_WRITE);
#endif
}

}  // namespace

int runProgram() {
  // Static storage: zero-initialised before the run, never allocated or copied.
  static RunStorage storage;
  mapRunStorage(storage);
  RunState& run = storage.run;

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
