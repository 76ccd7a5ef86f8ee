// Which handler each action reaches for each data type, and how its target is settled.
#pragma once

#include <array>
#include <cstdint>

#include "controller/service_request.h"
#include "frontend/handler_calls.h"

namespace drux {

enum class TargetRule : uint8_t {
  NotSupported,
  InfoAllSweep,
  NoTarget,       // PC-wide data: the handler takes no panel or module
  PanelOrPc,      // a panel reaches panelHandler, the PC reaches handler
  PanelRequired,  // only a panel, through panelHandler; pcAllowed only changes the question
  ModuleOrPanel,  // a module reaches handler, else a panel panelHandler, else error A
  ModuleOnly,     // a module reaches handler, else error B
  Statistics,     // a module, else a panel, else every present PC module
  FixedPcModule,  // always PC module fixedModule; the request's panel and module are ignored
};

struct Route {
  TargetRule rule;
  Handler handler;
  Handler panelHandler;
  bool pcAllowed;
  int8_t fixedModule;
  uint8_t systemNumber;
};

constexpr Route NotSupported() {
  return {TargetRule::NotSupported, Handler::BiosSettings, Handler::BiosSettings, false, -1, 0};
}
constexpr Route InfoAllSweep() {
  return {TargetRule::InfoAllSweep, Handler::BiosSettings, Handler::BiosSettings, false, -1, 0};
}
constexpr Route NoTarget(Handler handler, uint8_t systemNumber = 0) {
  return {TargetRule::NoTarget, handler, handler, false, -1, systemNumber};
}
constexpr Route PanelOrPc(Handler panelHandler, Handler pcHandler) {
  return {TargetRule::PanelOrPc, pcHandler, panelHandler, true, -1, 0};
}
constexpr Route PanelRequired(Handler panelHandler, bool pcAllowed) {
  return {TargetRule::PanelRequired, panelHandler, panelHandler, pcAllowed, -1, 0};
}
constexpr Route FactorySettingsOfModuleOrPanel() {
  return {TargetRule::ModuleOrPanel,
          Handler::ModuleFactorySettings,
          Handler::PanelFactorySettings,
          true,
          -1,
          0};
}
constexpr Route FactorySettingsOfModule() {
  return {TargetRule::ModuleOnly,
          Handler::ModuleFactorySettings,
          Handler::ModuleFactorySettings,
          true,
          -1,
          0};
}
constexpr Route StatisticsOfTarget() {
  return {TargetRule::Statistics, Handler::ModuleStatistics, Handler::PanelStatistics, true, -1, 0};
}
constexpr Route FactorySettingsOfPcModule(int8_t module) {
  return {TargetRule::FixedPcModule,
          Handler::ModuleFactorySettings,
          Handler::ModuleFactorySettings,
          false,
          module,
          0};
}

inline constexpr int8_t kFanKitModule = 8;
inline constexpr int8_t kBusFanKitModule = 12;

// Routes of one data type, indexed by ActionCode - 1 (Info, Save, Update, Delete, Change).
struct DataTypeRoutes {
  uint32_t dataType;
  std::array<Route, 5> byAction;
};

inline constexpr std::array<DataTypeRoutes, kDataTypeCount> kDispatchTable{{
    {kDataAll, {InfoAllSweep(), NotSupported(), NotSupported(), NotSupported(), NotSupported()}},
    {kDataLinkBootloader,
     {NotSupported(), NoTarget(Handler::LinkBootloader), NoTarget(Handler::LinkBootloader),
      NotSupported(), NotSupported()}},
    {kDataLink,
     {PanelOrPc(Handler::PanelLinkReceiver, Handler::PcLinkTransmitter),
      PanelOrPc(Handler::PanelLinkReceiver, Handler::PcLinkTransmitter),
      PanelOrPc(Handler::PanelLinkReceiver, Handler::PcLinkTransmitter), NotSupported(),
      NotSupported()}},
    {kDataLinkImageFile,
     {NotSupported(), NotSupported(), NoTarget(Handler::LinkImageFile), NotSupported(),
      NotSupported()}},
    {kDataConverter,
     {PanelRequired(Handler::LinkConverter, false), PanelRequired(Handler::LinkConverter, false),
      PanelRequired(Handler::LinkConverter, true), NotSupported(), NotSupported()}},
    {kDataKeyConfiguration,
     {NoTarget(Handler::KeyConfiguration), NoTarget(Handler::KeyConfiguration),
      NoTarget(Handler::KeyConfiguration), NoTarget(Handler::KeyConfiguration), NotSupported()}},
    {kDataFactorySettings,
     {FactorySettingsOfModuleOrPanel(), FactorySettingsOfModuleOrPanel(),
      FactorySettingsOfModuleOrPanel(), FactorySettingsOfModule(), FactorySettingsOfModule()}},
    {kDataStatistics,
     {StatisticsOfTarget(), NotSupported(), NotSupported(), NotSupported(), NotSupported()}},
    {kDataUserSerialId,
     {NoTarget(Handler::UserSerialId), NotSupported(), NotSupported(), NotSupported(),
      NoTarget(Handler::UserSerialId)}},
    {kDataBiosSettings,
     {NoTarget(Handler::BiosSettings), NotSupported(), NotSupported(), NotSupported(),
      NoTarget(Handler::BiosSettings)}},
    {kDataDruxFirmware,
     {NoTarget(Handler::DruxFirmware), NoTarget(Handler::DruxFirmware),
      NoTarget(Handler::DruxFirmware), NotSupported(), NotSupported()}},
    {kDataFanFactorySettings,
     {FactorySettingsOfPcModule(kFanKitModule), NotSupported(),
      FactorySettingsOfPcModule(kFanKitModule), FactorySettingsOfPcModule(kFanKitModule),
      NotSupported()}},
    {kDataFan2FactorySettings,
     {FactorySettingsOfPcModule(kBusFanKitModule), NotSupported(),
      FactorySettingsOfPcModule(kBusFanKitModule), FactorySettingsOfPcModule(kBusFanKitModule),
      NotSupported()}},
    {kDataSystem,
     {NoTarget(Handler::SystemData, 1), NoTarget(Handler::SystemData, 1),
      NoTarget(Handler::SystemData, 1), NoTarget(Handler::SystemData, 1), NotSupported()}},
    {kDataSystem2,
     {NoTarget(Handler::SystemData, 2), NoTarget(Handler::SystemData, 2),
      NoTarget(Handler::SystemData, 2), NoTarget(Handler::SystemData, 2), NotSupported()}},
    {kDataSystem3,
     {NoTarget(Handler::SystemData, 3), NoTarget(Handler::SystemData, 3),
      NoTarget(Handler::SystemData, 3), NoTarget(Handler::SystemData, 3), NotSupported()}},
    {kDataFlash,
     {NoTarget(Handler::Flash), NoTarget(Handler::Flash), NoTarget(Handler::Flash), NotSupported(),
      NotSupported()}},
    {kDataUser,
     {NoTarget(Handler::UserData), NoTarget(Handler::UserData), NoTarget(Handler::UserData),
      NoTarget(Handler::UserData), NotSupported()}},
    {kDataHdbt,
     {PanelRequired(Handler::HdbtFirmware, false), NotSupported(),
      PanelRequired(Handler::HdbtFirmware, true), NotSupported(), NotSupported()}},
}};

// The route of a request; NotSupported for an action or data type outside the table.
constexpr Route FindRoute(uint32_t action, uint32_t dataType) {
  if (action < kActionInfo || action > kActionChange) {
    return NotSupported();
  }
  for (const DataTypeRoutes& row : kDispatchTable) {
    if (row.dataType == dataType) {
      return row.byAction[action - kActionInfo];
    }
  }
  return NotSupported();
}

}  // namespace drux
