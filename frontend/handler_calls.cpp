// The data-type handlers behind one switch per action. A handler that is not part of the
// program yet answers kHandlerMissing; each joins its switch when it is written.
#include "frontend/handler_calls.h"

#include "diagnostics/statistics.h"
#include "diagnostics/user_serial_id.h"
#include "frontend/service_request.h"
#include "settings/module_factory_settings.h"

namespace drux {
namespace {

int CallInfo(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::ModuleFactorySettings:
      return ShowModuleFactorySettings(features, a.panel, a.module);
    case Handler::ModuleStatistics:
      return ShowModuleStatistics(features, a.panel, a.module);
    case Handler::PanelStatistics:
      return ShowPanelStatistics(a.panel);
    case Handler::UserSerialId:
      return ShowUserSerialId();
    default:
      return kHandlerMissing;
  }
}

int CallSave(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::ModuleFactorySettings:
      return SaveModuleFactorySettings(features, a.fileName, a.panel, a.module, a.verify, a.yes);
    default:
      return kHandlerMissing;
  }
}

int CallUpdate(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::ModuleFactorySettings:
      return UpdateModuleFactorySettings(features, a.fileName, a.panel, a.module, a.verify, a.yes);
    default:
      return kHandlerMissing;
  }
}

int CallDelete(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
    case Handler::ModuleFactorySettings:
      return DeleteModuleFactorySettings(features, a.panel, a.module, a.yes);
    default:
      return kHandlerMissing;
  }
}

int CallChange(const FeatureSet& features, Handler handler, const HandlerArguments& a) {
  switch (handler) {
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
