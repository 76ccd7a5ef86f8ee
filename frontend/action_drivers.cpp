// One driver per action: settle the target, call the handler of the data type, close.
//
// Each driver is split into its dispatch (data type -> handler) and its closing message. The
// data-type handlers are not part of the program yet, so every dispatch still answers with the
// action's "not supported" line; the handlers join the dispatch functions as they are written.
#include "frontend/action_drivers.h"

#include "frontend/exit_codes.h"
#include "frontend/service_request.h"
#include "platform/platform.h"

namespace drux {
namespace {

struct ActionTexts {
  const char* notSupported;  // error line for a data type the action does not serve
  const char* finished;      // closing line after success; nullptr: an empty line always
};

constexpr ActionTexts kInfoTexts{"ERROR: Info is not supported for the specified data type.\n",
                                 nullptr};
constexpr ActionTexts kSaveTexts{"ERROR: Save is not supported for the specified data type.\n",
                                 "Save finished.\n"};
constexpr ActionTexts kUpdateTexts{"ERROR: Update is not supported for the specified data type.\n",
                                   "Update finished.\n"};
constexpr ActionTexts kDeleteTexts{"ERROR: Delete is not supported for the specified data type.\n",
                                   "Delete finished.\n"};
constexpr ActionTexts kChangeTexts{"ERROR: Action is not supported for the specified data type.\n",
                                   "Change finished.\n"};

int NotSupported(const ActionTexts& texts) {
  platform::PrintError("%s", texts.notSupported);
  return kExitInvalidArgument;
}

// Info ends every outcome with an empty line; the other actions confirm success only (a
// reboot-needed result has printed its own notice).
int Close(const ActionTexts& texts, int result) {
  if (texts.finished == nullptr) {
    platform::Print("\n");
  } else if (result == kExitOk) {
    platform::Print("%s", texts.finished);
  }
  return result;
}

// Target settled and request fields as the handlers take them.
struct HandlerCall {
  const FeatureSet& features;
  uint32_t dataType;
  const char* fileName;  // file name, or the setting of Change
  int32_t panel;
  int32_t module;
  uint8_t verify;
  uint8_t yes;
};

int DispatchInfo(const HandlerCall& /*call*/) {
  return NotSupported(kInfoTexts);
}
int DispatchSave(const HandlerCall& /*call*/) {
  return NotSupported(kSaveTexts);
}
int DispatchUpdate(const HandlerCall& /*call*/) {
  return NotSupported(kUpdateTexts);
}
int DispatchDelete(const HandlerCall& /*call*/) {
  return NotSupported(kDeleteTexts);
}
int DispatchChange(const HandlerCall& /*call*/) {
  return NotSupported(kChangeTexts);
}

}  // namespace

int RunInfo(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module) {
  HandlerCall call{features, dataType, fileName, panel, module, 0, 0};
  return Close(kInfoTexts, DispatchInfo(call));
}

int RunSave(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
            int32_t module, uint8_t verify, uint8_t yes) {
  HandlerCall call{features, dataType, fileName, panel, module, verify, yes};
  return Close(kSaveTexts, DispatchSave(call));
}

int RunUpdate(const FeatureSet& features, uint32_t dataType, const char* fileName, int32_t panel,
              int32_t module, uint8_t verify, uint8_t yes) {
  HandlerCall call{features, dataType, fileName, panel, module, verify, yes};
  return Close(kUpdateTexts, DispatchUpdate(call));
}

int RunDelete(const FeatureSet& features, uint32_t dataType, int32_t panel, int32_t module,
              uint8_t yes) {
  HandlerCall call{features, dataType, nullptr, panel, module, 0, yes};
  return Close(kDeleteTexts, DispatchDelete(call));
}

int RunChange(const FeatureSet& features, uint32_t dataType, const char* setting, int32_t panel,
              int32_t module) {
  HandlerCall call{features, dataType, setting, panel, module, 0, 0};
  return Close(kChangeTexts, DispatchChange(call));
}

}  // namespace drux
