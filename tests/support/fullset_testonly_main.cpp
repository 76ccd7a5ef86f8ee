// Test-only program: the full feature set with its command line, so that end-to-end tests
// reach every full-feature path that druxsvcadmin's fixed request cannot. Never installed.
#include "controller/exit_codes.h"
#include "frontend/command_line.h"
#include "frontend/startup.h"
#include "platform/platform.h"

void ProgramMain(int argc, char** argv) {
  const drux::FeatureSet& features = drux::kFullFeatureSet;
  drux::ServiceRequest request;
  if (!drux::ParseCommandLine(features, argc, argv, &request)) {
    platform::Exit(drux::kExitInvalidArgument);
  }
  platform::Exit(drux::RunServiceRequest(features, request));
}
