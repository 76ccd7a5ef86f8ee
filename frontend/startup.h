// One run after the request is known: find the controller, name the PC, check the target, run
// the action, time it, handle the reboot, and return the exit code.
#pragma once

#include "controller/feature_set.h"
#include "controller/service_request.h"

namespace drux {

int RunServiceRequest(const FeatureSet& features, ServiceRequest request);

// druxsvcadmin's only request: correct the factory settings of PC module 0.
ServiceRequest FixedAdminRequest();

}  // namespace drux
