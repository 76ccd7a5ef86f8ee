// Older EX41 controllers keep some module areas elsewhere; the DRUX LZ70 version tells which.
#pragma once

#include <cstdint>

namespace drux {

struct Ex41Switches {
  bool oldSystemUnitSize;  // module 0: 1408 bytes
  bool oldFanKitArea;      // module 8: start 1408, 384 bytes
  bool swappedIfOptions;   // module 4 at 1024, module 5 at 0
};

// On an EX41 only: reads the LZ70 version and switches the areas that the module needs.
// Switches stay on for the rest of the run. A failed read is reported; the table stays.
void ApplyCompatibilitySwitches(int32_t module);
const Ex41Switches& ActiveEx41Switches();
// Back to the plain table (tests that run several PCs in one process).
void ResetCompatibilitySwitches();

}  // namespace drux
