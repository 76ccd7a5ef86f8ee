// druxsvc: the service feature set, request from the command line.
#include "controller/exit_codes.h"
#include "frontend/command_line.h"
#include "frontend/startup.h"
#include "platform/platform.h"

void ProgramMain(int argc, char** argv) {
  const drux::FeatureSet& features = drux::kServiceFeatureSet;
  drux::ServiceRequest request;
  if (!drux::ParseCommandLine(features, argc, argv, &request)) {
    platform::Exit(drux::kExitInvalidArgument);
  }
  platform::Exit(drux::RunServiceRequest(features, request));
}
