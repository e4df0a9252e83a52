#include "run/validation.h"

// Stub: to be built.
std::vector<std::string> checkParameters(const RunState&) { return {}; }
std::vector<std::string> checkDataFileName(RunState&) { return {}; }
std::vector<std::string> checkResultsFinite(const RunState&) { return {}; }
void refuseRunIf(const std::vector<std::string>&) {}
