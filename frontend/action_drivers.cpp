// One driver per action: settle the target, call the handler of the data type, close.
//
// Which handler a data type reaches and how its target is settled is data (dispatch_table.h);
// this file follows a route and prints the driver's own lines.
#include "frontend/action_drivers.h"

#include <array>

#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/service_request.h"
#include "frontend/dispatch_table.h"
#include "frontend/handler_calls.h"
#include "frontend/info_all.h"
#include "frontend/keyword_tables.h"
#include "frontend/target_selection.h"
#include "platform/platform.h"

namespace drux {
namespace {

struct ActionTexts {
  const char* notSupported;  // error line for a data type the action does not serve
  const char* finished;      // closing line after success; nullptr: an empty line always
};

// Indexed by ActionCode - 1.
constexpr std::array<ActionTexts, 5> kActionTexts{{
    {"ERROR: Info is not supported for the specified data type.\n", nullptr},
    {"ERROR: Save is not supported for the specified data type.\n", "Save finished.\n"},
    {"ERROR: Update is not supported for the specified data type.\n", "Update finished.\n"},
    {"ERROR: Delete is not supported for the specified data type.\n", "Delete finished.\n"},
    {"ERROR: Action is not supported for the specified data type.\n", "Change finished.\n"},
}};

const ActionTexts& TextsOf(uint32_t action) {
  return kActionTexts[action - kActionInfo];
}

// The request's fields as the drivers received them.
struct DriverRequest {
  const FeatureSet& features;
  uint32_t action;
  uint32_t dataType;
  const char* fileName;  // file name, or the setting of Change
  int32_t panel;
  int32_t module;
  uint8_t verify;
  uint8_t yes;
};

int NotSupported(uint32_t action) {
  platform::PrintError("%s", TextsOf(action).notSupported);
  return kExitInvalidArgument;
}

int PanelNumberRequired() {
  platform::PrintError("ERROR: Panel number (option -p) is required.\n");
  return kExitInvalidArgument;
}

int PanelOrModuleNumberRequired() {
  platform::PrintError(
      "ERROR: Panel number (option -p) or module number (option -m) is required.\n");
  return kExitInvalidArgument;
}

int ModuleNumberRequired() {
  platform::PrintError("ERROR: Action is supported for a module only.\n");
  return kExitInvalidArgument;
}

// The service set lacks some data types altogether; its parser never produces them.
bool ExistsInFeatureSet(const FeatureSet& features, uint32_t dataType) {
  const DataTypeKeywords* keywords = FindDataTypeKeywords(dataType);
  return keywords != nullptr && (features.full || keywords->inServiceSet);
}

int Call(const DriverRequest& request, Handler handler, int32_t panel, int32_t module,
         uint8_t systemNumber = 0) {
  HandlerArguments arguments{request.fileName, panel,       module,
                             request.verify,   request.yes, systemNumber};
  int result = CallHandler(request.features, request.action, handler, arguments);
  return result == kHandlerMissing ? NotSupported(request.action) : result;
}

struct Target {
  int32_t panel;
  int32_t module;
};

// A given module keeps its panel (or the PC); without one, the panel is settled first and the
// module chosen on it.
Target ChooseModule(const DriverRequest& request) {
  Target target{request.panel, request.module};
  if (target.module == kNoModule) {
    target.panel = SelectTargetPanel(request.features, target.panel, true);
  }
  target.module = SelectModule(request.features, target.panel, target.module);
  return target;
}

// Every present PC module; a module whose records cannot be read says so itself.
int ShowStatisticsOfPcModules(const DriverRequest& request) {
  for (int32_t module = 0; module <= kHighestTargetNumber; ++module) {
    if (ReadModuleId(kNoPanel, module) != 0) {
      CallHandler(request.features, kActionInfo, Handler::ModuleStatistics,
                  HandlerArguments{nullptr, kNoPanel, module, 0, 0, 0});
    }
  }
  return kExitOk;
}

int FollowRoute(const DriverRequest& request, const Route& route) {
  switch (route.rule) {
    case TargetRule::NotSupported:
      return NotSupported(request.action);
    case TargetRule::InfoAllSweep:
      return RunInfoAllSweep(request.features, request.fileName);
    case TargetRule::NoTarget:
      return Call(request, route.handler, kNoPanel, kNoModule, route.systemNumber);
    case TargetRule::PanelOrPc: {
      int32_t panel = SelectTargetPanel(request.features, request.panel, true);
      return panel != kNoPanel ? Call(request, route.panelHandler, panel, kNoModule)
                               : Call(request, route.handler, kNoPanel, kNoModule);
    }
    case TargetRule::PanelRequired: {
      int32_t panel = SelectTargetPanel(request.features, request.panel, route.pcAllowed);
      return panel != kNoPanel ? Call(request, route.panelHandler, panel, kNoModule)
                               : PanelNumberRequired();
    }
    case TargetRule::ModuleOrPanel: {
      Target target = ChooseModule(request);
      if (target.module != kNoModule) {
        return Call(request, route.handler, target.panel, target.module);
      }
      return target.panel != kNoPanel ? Call(request, route.panelHandler, target.panel, kNoModule)
                                      : PanelOrModuleNumberRequired();
    }
    case TargetRule::ModuleOnly: {
      Target target = ChooseModule(request);
      return target.module != kNoModule ? Call(request, route.handler, target.panel, target.module)
                                        : ModuleNumberRequired();
    }
    case TargetRule::Statistics: {
      Target target = ChooseModule(request);
      if (target.module != kNoModule) {
        return Call(request, route.handler, target.panel, target.module);
      }
      return target.panel != kNoPanel ? Call(request, route.panelHandler, target.panel, kNoModule)
                                      : ShowStatisticsOfPcModules(request);
    }
    case TargetRule::FixedPcModule:
      return Call(request, route.handler, kNoPanel, route.fixedModule);
  }
  return NotSupported(request.action);
}

int Dispatch(const DriverRequest& request) {
  if (!ExistsInFeatureSet(request.features, request.dataType)) {
    return NotSupported(request.action);
  }
  return FollowRoute(request, FindRoute(request.action, request.dataType));
}

// Info ends every outcome with an empty line; the other actions confirm success only (a
// reboot-needed result has printed its own notice).
int Close(uint32_t action, int result) {
  const char* finished = TextsOf(action).finished;
  if (finished == nullptr) {
    platform::Print("\n");
  } else if (result == kExitOk) {
    platform::Print("%s", finished);
  }
  return result;
}

int Run(const DriverRequest& request) {
  return Close(request.action, Dispatch(request));
}

}  // namespace

int RunInfo(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module) {
  return Run({features, kActionInfo, dataType, fileName, panel, module, 0, 0});
}

int RunSave(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module, uint8_t verify, uint8_t yes) {
  return Run({features, kActionSave, dataType, fileName, panel, module, verify, yes});
}

int RunUpdate(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
              int32_t module, uint8_t verify, uint8_t yes) {
  return Run({features, kActionUpdate, dataType, fileName, panel, module, verify, yes});
}

int RunDelete(const FeatureSet& features, uint32_t dataType, int32_t panel, int32_t module,
              uint8_t yes) {
  return Run({features, kActionDelete, dataType, nullptr, panel, module, 0, yes});
}

int RunChange(const FeatureSet& features, uint32_t dataType, const char* setting, int32_t panel,
              int32_t module) {
  return Run({features, kActionChange, dataType, setting, panel, module, 0, 0});
}

}  // namespace drux
