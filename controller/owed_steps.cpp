// The interrupt rule of the run: acted on at once where nothing is owed to the controller,
// after the owed steps otherwise.
#include "controller/owed_steps.h"

#include <cstdint>

#include "controller/exit_codes.h"
#include "platform/platform.h"

namespace drux {
namespace {

uint32_t gOwedDepth = 0;

}  // namespace

void BeginOwedSteps() {
  EndRunIfInterrupted();
  ++gOwedDepth;
}

void EndOwedSteps() {
  if (gOwedDepth > 0) {
    --gOwedDepth;
  }
  EndRunIfInterrupted();
}

bool StepsOwed() {
  return gOwedDepth > 0;
}

void EndRunIfInterrupted() {
  if (gOwedDepth == 0 && platform::InterruptRequested()) {
    platform::PrintError("\nERROR: Interrupted.\n");
    platform::Exit(kExitCancelled);
  }
}

}  // namespace drux
