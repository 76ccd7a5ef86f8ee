// Which way a request reaches a panel's receiver image: the panel's own flash through the
// compatible commands, or the panel's link module. It is chosen once per request, so that the
// image that was checked is the one saved and the counter that was read belongs to the copy
// written.
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "firmware/link_receiver.h"
#include "firmware/panel_module_fpga.h"

namespace drux {
namespace {

// Answers that tell nothing about the panel: another party held the interface, the controller
// or the panel was busy, or the command never finished. Taking them for "no module functions"
// would send a link module's image into the panel's own flash.
bool AnswerIsTransient(int status, uint8_t errorByte) {
  if (status == kStatusLocked) {
    return true;
  }
  return status == kStatusFailed && (errorByte == kErrorIrqCollision ||
                                     errorByte == kErrorTimeout || errorByte == kErrorDeviceBusy);
}

}  // namespace

int ChooseModuleOrCompatibleRoute(int32_t panel, ReceiverRoute* route) {
  uint8_t errorByte = 0;
  const int status = SendPanelModuleSelection(panel, &errorByte);
  if (status == kStatusOk) {
    *route = ReceiverRoute::LinkModule;
    return kExitOk;
  }
  if (AnswerIsTransient(status, errorByte)) {
    return ReportPanelModuleSelectionFailure(status, errorByte);
  }
  *route = ReceiverRoute::Compatible;
  return kExitOk;
}

int ChooseReceiverRoute(const ReceiverRow& row, int32_t panel, bool forUpdate,
                        ReceiverRoute* route) {
  switch (row.group) {
    case ReceiverGroup::S:
      *route = ReceiverRoute::Compatible;
      return kExitOk;
    case ReceiverGroup::L:
      // The panel's flash holds no image of this size: the module is the only way.
      *route = ReceiverRoute::LinkModule;
      return kExitOk;
    case ReceiverGroup::M:
      break;
  }
  if (forUpdate && UpdatesThroughCompatibleCommands(row)) {
    *route = ReceiverRoute::Compatible;
    return kExitOk;
  }
  return ChooseModuleOrCompatibleRoute(panel, route);
}

}  // namespace drux
