// Info ALL. A handler that is not part of the program yet is skipped without a trace, so the
// report holds whatever the program can show today.
#include "frontend/info_all.h"

#include <array>
#include <cstdint>

#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/service_request.h"
#include "frontend/handler_calls.h"
#include "platform/platform.h"
#include "transfer/notices.h"

namespace drux {
namespace {

// Module and panel numbers the controller can address.
constexpr int32_t kTargetCount = kHighestTargetNumber + 1;

// PC-wide data, in the order the report shows it.
constexpr std::array<Handler, 5> kPcInfoHandlers{Handler::BiosSettings, Handler::UserSerialId,
                                                 Handler::KeyConfiguration, Handler::DruxFirmware,
                                                 Handler::PcLinkTransmitter};

// Results of single handlers do not end the sweep.
void ShowInfo(const FeatureSet& features, Handler handler, int32_t panel, int32_t module,
              uint8_t systemNumber = 0) {
  HandlerArguments arguments{nullptr, panel, module, 0, 0, systemNumber};
  CallHandler(features, kActionInfo, handler, arguments);
}

void ShowPresentModules(const FeatureSet& features, int32_t panel) {
  for (int32_t module = 0; module < kTargetCount; ++module) {
    if (ReadModuleId(panel, module) != 0) {
      ShowInfo(features, Handler::ModuleFactorySettings, panel, module);
      ShowInfo(features, Handler::ModuleStatistics, panel, module);
    }
  }
}

// The built-in display of a panel PC has no panel functions of its own.
bool IsReachablePanel(int32_t panel) {
  return IsPanelConnected(panel) && PanelVersionId(panel) != kBuiltInDisplayVersionId;
}

void ShowPanel(const FeatureSet& features, int32_t panel) {
  ShowInfo(features, Handler::PanelFactorySettings, panel, kNoModule);
  ShowInfo(features, Handler::PanelStatistics, panel, kNoModule);
  ShowPresentModules(features, panel);
  ShowInfo(features, Handler::PanelLinkReceiver, panel, kNoModule);
  ShowInfo(features, Handler::LinkConverter, panel, kNoModule);
}

void ShowMemoryAreas(const FeatureSet& features) {
  if (features.full) {
    for (uint8_t number = 1; number <= 3; ++number) {
      ShowInfo(features, Handler::SystemData, kNoPanel, kNoModule, number);
    }
    ShowInfo(features, Handler::Flash, kNoPanel, kNoModule);
  }
  ShowInfo(features, Handler::UserData, kNoPanel, kNoModule);
}

// Without a name the report stays on the console. The file is never closed: the console
// writes into it up to the program's end, the total-time line included.
int OpenReport(const FeatureSet& features, const char* fileName) {
  constexpr uint8_t kOverwriteWithoutAsking = 1;
  const char* name = PromptFileName(features, "report", fileName, true, kOverwriteWithoutAsking);
  if (name == nullptr) {
    return kExitOk;
  }
  platform::File* report = platform::OpenFile(name, platform::FileMode::WriteText);
  if (report == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  if (!platform::RedirectConsole(report)) {
    platform::PrintSystemError("ERROR: Can't open file");
    platform::CloseFile(report);
    return kExitFileOpen;
  }
  return kExitOk;
}

}  // namespace

int RunInfoAllSweep(const FeatureSet& features, const char* fileName) {
  if (int result = OpenReport(features, fileName); result != kExitOk) {
    return result;
  }
  for (Handler handler : kPcInfoHandlers) {
    ShowInfo(features, handler, kNoPanel, kNoModule);
  }
  ShowPresentModules(features, kNoPanel);
  for (int32_t panel = 0; panel < kTargetCount; ++panel) {
    if (IsReachablePanel(panel)) {
      ShowPanel(features, panel);
    }
  }
  ShowMemoryAreas(features);
  return kExitOk;
}

}  // namespace drux
