// druxsvcadmin: the full feature set, always the one fixed request; the command line is not
// read.
#include "frontend/help.h"
#include "frontend/startup.h"
#include "platform/platform.h"

void ProgramMain(int /*argc*/, char** /*argv*/) {
  const drux::FeatureSet& features = drux::kFullFeatureSet;
  drux::PrintVersionLine(features);
  platform::Exit(drux::RunServiceRequest(features, drux::FixedAdminRequest()));
}
