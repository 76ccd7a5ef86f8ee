// The data-type handlers as the action drivers and the Info ALL sweep call them: one name per
// handler, one call per action, the arguments in the order each handler takes them.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

enum class Handler : uint8_t {
  BiosSettings,
  KeyConfiguration,
  ModuleFactorySettings,
  PanelFactorySettings,
  ModuleStatistics,
  PanelStatistics,
  UserSerialId,
  DruxFirmware,
  PcLinkTransmitter,
  LinkBootloader,
  LinkImageFile,  // link transmitter FPGA, complete image
  PanelLinkReceiver,
  LinkConverter,
  HdbtFirmware,
  SystemData,  // SYS, SYS2, SYS3 by systemNumber
  Flash,
  UserData,
};

struct HandlerArguments {
  const char* fileName;  // file name, or the setting of Change; may be nullptr
  int32_t panel;         // -1: the PC
  int32_t module;        // -1: none
  uint8_t verify;
  uint8_t yes;
  uint8_t systemNumber;  // 1-3 for SystemData
};

// Not an exit code: the handler of this data type is not part of the program yet. Nothing has
// been printed; the driver answers with its "not supported" line, the Info ALL sweep skips it.
inline constexpr int kHandlerMissing = -1;

// The exit code of the handler, or kHandlerMissing. action is an ActionCode; an action that
// the handler does not serve is kHandlerMissing as well.
int CallHandler(const FeatureSet& features, uint32_t action, Handler handler,
                const HandlerArguments& arguments);

}  // namespace drux
