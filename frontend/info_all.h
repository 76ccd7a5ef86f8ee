// Info ALL: every data type's info for the PC, its modules and each reachable panel, on the
// console or into a report file.
#pragma once

#include "controller/feature_set.h"

namespace drux {

// fileName: the report file, or nullptr (the full set asks for one). 0, or 2 when the report
// file cannot be opened. The handlers' own failures show only in their text.
int RunInfoAllSweep(const FeatureSet& features, const char* fileName);

}  // namespace drux
