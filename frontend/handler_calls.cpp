// The data-type handlers behind one switch per action. A handler that is not part of the
// program yet answers kHandlerMissing; each joins its switch when it is written.
#include "frontend/handler_calls.h"

#include "controller/service_request.h"
#include "diagnostics/statistics.h"
#include "diagnostics/user_serial_id.h"
#include "firmware/drux_firmware.h"
#include "firmware/hdbt_firmware.h"
#include "firmware/link_converter.h"
#include "firmware/link_receiver.h"
#include "firmware/link_transmitter.h"
#include "settings/bios_settings.h"
#include "settings/key_configuration.h"
#include "settings/module_factory_settings.h"
#include "settings/panel_factory_settings.h"
#include "transfer/memory_area_types.h"

namespace drux {
namespace {

int CallInfo(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::BiosSettings:
      return ShowBiosSettings();
    case Handler::KeyConfiguration:
      return ShowKeyConfiguration();
    case Handler::ModuleFactorySettings:
      return ShowModuleFactorySettings(features, a.panel, a.module);
    case Handler::PanelFactorySettings:
      return ShowPanelFactorySettings(features, a.panel);
    case Handler::ModuleStatistics:
      return ShowModuleStatistics(features, a.panel, a.module);
    case Handler::PanelStatistics:
      return ShowPanelStatistics(a.panel);
    case Handler::UserSerialId:
      return ShowUserSerialId();
    case Handler::DruxFirmware:
      return ShowDruxFirmware();
    case Handler::PcLinkTransmitter:
      return ShowLinkTransmitter();
    case Handler::LinkConverter:
      return ShowConverter(a.panel);
    case Handler::PanelLinkReceiver:
      return ShowLinkReceiver(a.panel);
    case Handler::HdbtFirmware:
      return ShowHdbtFirmware(a.panel);
    case Handler::SystemData:
      return ShowSystemData(a.systemNumber);
    case Handler::Flash:
      return ShowFlashData();
    case Handler::UserData:
      return ShowUserData();
    default:
      return kHandlerMissing;
  }
}

int CallSave(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::KeyConfiguration:
      return SaveKeyConfiguration(features, a.fileName, a.verify, a.yes);
    case Handler::ModuleFactorySettings:
      return SaveModuleFactorySettings(features, a.fileName, a.panel, a.module, a.verify, a.yes);
    case Handler::PanelFactorySettings:
      return SavePanelFactorySettings(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::DruxFirmware:
      return SaveDruxFirmware(features, a.fileName, a.verify, a.yes);
    case Handler::PcLinkTransmitter:
      return SaveLinkTransmitter(features, a.fileName, a.verify, a.yes);
    case Handler::LinkBootloader:
      return SaveLinkBootloader(features, a.fileName, a.verify, a.yes);
    case Handler::LinkConverter:
      return SaveConverter(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::PanelLinkReceiver:
      return SaveLinkReceiver(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::SystemData:
      return SaveSystemData(features, a.systemNumber, a.fileName, a.verify, a.yes);
    case Handler::Flash:
      return SaveFlashData(features, a.fileName, a.verify, a.yes);
    case Handler::UserData:
      return SaveUserData(features, a.fileName, a.verify, a.yes);
    default:
      return kHandlerMissing;
  }
}

int CallUpdate(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::KeyConfiguration:
      return UpdateKeyConfiguration(features, a.fileName, a.verify);
    case Handler::ModuleFactorySettings:
      return UpdateModuleFactorySettings(features, a.fileName, a.panel, a.module, a.verify, a.yes);
    case Handler::PanelFactorySettings:
      return UpdatePanelFactorySettings(features, a.fileName, a.panel, a.verify);
    case Handler::DruxFirmware:
      return UpdateDruxFirmware(features, a.fileName, a.verify, a.yes);
    case Handler::PcLinkTransmitter:
      return UpdateLinkTransmitter(features, a.fileName, a.verify, a.yes);
    case Handler::LinkBootloader:
      return UpdateLinkBootloader(features, a.fileName, a.verify, a.yes);
    case Handler::LinkImageFile:
      return UpdateLinkCompleteImage(features, a.fileName, a.verify, a.yes);
    case Handler::LinkConverter:
      return UpdateConverter(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::PanelLinkReceiver:
      return UpdateLinkReceiver(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::HdbtFirmware:
      return UpdateHdbtFirmware(features, a.fileName, a.panel, a.verify, a.yes);
    case Handler::SystemData:
      return UpdateSystemData(features, a.systemNumber, a.fileName, a.verify);
    case Handler::Flash:
      return UpdateFlashData(features, a.fileName, a.verify, a.yes);
    case Handler::UserData:
      return UpdateUserData(features, a.fileName, a.verify);
    default:
      return kHandlerMissing;
  }
}

int CallDelete(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::KeyConfiguration:
      return DeleteKeyConfiguration(a.yes);
    case Handler::ModuleFactorySettings:
      return DeleteModuleFactorySettings(features, a.panel, a.module, a.yes);
    case Handler::SystemData:
      return DeleteSystemData(a.systemNumber, a.yes);
    case Handler::UserData:
      return DeleteUserData(a.yes);
    default:
      return kHandlerMissing;
  }
}

int CallChange(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::BiosSettings:
      return ChangeBiosSetting(a.fileName);
    case Handler::ModuleFactorySettings:
      return ChangeModuleFactorySettings(features, a.panel, a.module, a.fileName);
    case Handler::UserSerialId:
      return ChangeUserSerialId(a.fileName);
    default:
      return kHandlerMissing;
  }
}

}  // namespace

int CallHandler(const FeatureSet& features, uint32_t action, Handler handler,
                const HandlerArguments& arguments) {
  switch (action) {
    case kActionInfo:
      return CallInfo(features, handler, arguments);
    case kActionSave:
      return CallSave(features, handler, arguments);
    case kActionUpdate:
      return CallUpdate(features, handler, arguments);
    case kActionDelete:
      return CallDelete(features, handler, arguments);
    case kActionChange:
      return CallChange(features, handler, arguments);
    default:
      return kHandlerMissing;
  }
}

}  // namespace drux
