// One run after the request is known: find the controller, name the PC, check the target, run
// the action, time it, handle the reboot.
#include "frontend/startup.h"

#include <cstdint>

#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/pc_type.h"
#include "controller/status_text.h"
#include "frontend/action_drivers.h"
#include "frontend/menus.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// The full feature set asks for a missing action or data type in menus. False when the user
// entered nothing: the run then ends without an error.
bool SelectMissingActionAndDataType(ServiceRequest* request) {
  if (request->action == kActionNone) {
    request->action = SelectAction();
    if (request->action == kActionNone) {
      return false;
    }
  }
  if (request->dataType == kDataNone) {
    request->dataType = SelectDataType(request->action);
    if (request->dataType == kDataNone) {
      return false;
    }
  }
  return true;
}

// Another program of ours at work on the controller keeps this one off it for the whole run:
// it is reported like a locked command interface.
int AcquireController() {
  switch (platform::AcquirePorts()) {
    case platform::PortAccess::Ready:
      return kExitOk;
    case platform::PortAccess::Locked:
      platform::PrintError("ERROR: Can't access DRUX: %s\n", StatusText(kStatusLocked, 0));
      return kExitDruxFailed;
    case platform::PortAccess::Failed:
      break;
  }
  return kExitDruxFailed;
}

int CheckPanel(const ServiceRequest& request) {
  if (request.panel != kNoPanel && !IsPanelConnected(request.panel)) {
    platform::PrintError("ERROR: Panel %d is not connected.\n", request.panel);
    return kExitNotConnected;
  }
  return kExitOk;
}

int CheckModule(const ServiceRequest& request) {
  if (request.module == kNoModule) {
    return kExitOk;
  }
  if (ReadModuleModelNumber(request.panel, request.module)[0] == '\0') {
    platform::PrintError("ERROR: %s module %d is not available.\n",
                         request.panel != kNoPanel ? "Panel" : "PC", request.module);
    if (!AskYesNo("Continue anyway (y/n): ", request.yes)) {
      return kExitNoDevice;
    }
  }
  return kExitOk;
}

int RunAction(const FeatureSet& features, const ServiceRequest& request) {
  uint8_t verify = request.verify ? 1 : 0;
  uint8_t yes = request.yes ? 1 : 0;
  switch (request.action) {
    case kActionInfo:
      return RunInfo(features, request.dataType, request.fileName, request.panel, request.module);
    case kActionSave:
      return RunSave(features, request.dataType, request.fileName, request.panel, request.module,
                     verify, yes);
    case kActionUpdate:
      return RunUpdate(features, request.dataType, request.fileName, request.panel, request.module,
                       verify, yes);
    case kActionDelete:
      return RunDelete(features, request.dataType, request.panel, request.module, yes);
    case kActionChange:
      return RunChange(features, request.dataType, request.fileName, request.panel, request.module);
    default:
      return kExitInvalidArgument;
  }
}

void PrintTotalTime(int64_t start, int64_t end) {
  if (end == start) {
    platform::Print("Total time needed: < 1 second\n");
  } else {
    platform::Print("Total time needed: %.f seconds\n", static_cast<double>(end - start));
  }
}

// A reboot-needed result means success. With -r the device named by the notice is rebooted
// then; any other result (a failure included) is passed on and nothing is rebooted.
int FinishResult(const ServiceRequest& request, int result) {
  if (result != kExitRebootNeeded) {
    return result;
  }
  return request.reboot ? RebootAfterUpdate() : kExitOk;
}

}  // namespace

ServiceRequest FixedAdminRequest() {
  ServiceRequest request;
  request.action = kActionChange;
  request.dataType = kDataFactorySettings;
  request.fileName = nullptr;
  request.panel = kNoPanel;
  request.module = 0;
  request.reboot = false;
  request.verify = false;
  request.yes = false;
  return request;
}

int RunServiceRequest(const FeatureSet& features, ServiceRequest request) {
  ConfigurePcTypeTests(features);
  if (int result = AcquireController(); result != kExitOk) {
    return result;
  }
  int variant = 0;
  if (DetectController(&variant) != 1) {
    platform::PrintError("ERROR: DRUX not found.\n");
    return kExitDruxFailed;
  }
  PrintPcType(features);
  if (features.full && !SelectMissingActionAndDataType(&request)) {
    return kExitOk;
  }
  if (int result = CheckPanel(request); result != kExitOk) {
    return result;
  }
  if (int result = CheckModule(request); result != kExitOk) {
    return result;
  }
  int64_t start = platform::CalendarSeconds();
  int result = RunAction(features, request);
  int64_t end = platform::CalendarSeconds();
  PrintTotalTime(start, end);
  return FinishResult(request, result);
}

}  // namespace drux
