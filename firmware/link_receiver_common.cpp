// Steps that Info, Update and Save of the link receiver share, and Info itself.
#include "controller/block_access.h"
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/status_text.h"
#include "firmware/image_header.h"
#include "firmware/link_receiver.h"
#include "firmware/panel_module_fpga.h"
#include "platform/platform.h"
#include "settings/module_area.h"
#include "transfer/prompts.h"

namespace drux {

uint32_t RunningVersion(const PanelInfo& info) {
  return info.linkFpgaMajor * 100 + info.linkFpgaMinor;
}

int StartReceiverRequest(int32_t panel, ReceiverStart* start) {
  const int status = ReadPanelInfo(&start->info, panel);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't get panel link FPGA version: %s\n", StatusText(status, 0));
    return kExitDruxFailed;
  }
  start->row = FindReceiverRow(start->info.versionId);
  if (start->row == nullptr) {
    platform::PrintError("ERROR: The panel version ID '%04x' is not supported.\n",
                         unsigned(start->info.versionId));
    return kExitNotSupported;
  }
  platform::Print("FPGA version: %d.%02d (0x%04x)\n", int(start->info.linkFpgaMajor),
                  int(start->info.linkFpgaMinor), unsigned(start->info.versionId));
  return kExitOk;
}

int ReadReceiverHeader(int32_t panel, uint8_t (&bytes)[kImageHeaderSize]) {
  const MemoryArea area{kPanelDataCommand,
                        kPanelFlashTarget,
                        uint16_t(panel),
                        kReceiverHeaderStart,
                        kImageHeaderSize,
                        1,
                        0};
  uint8_t errorByte = 0;
  const int status = ReadArea(area, bytes, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

int ReadUpdateCounter(int32_t panel, uint32_t* counter) {
  uint8_t bytes[kImageHeaderSize] = {};
  if (int result = ReadReceiverHeader(panel, bytes); result != kExitOk) {
    return result;
  }
  // A header whose CRC fails holds no counter worth continuing; the update starts again at 1.
  *counter = IsImageHeaderValid(bytes) ? DecodeImageHeader(bytes).updateCounter : 0;
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(*counter));
  return kExitOk;
}

int ReadModuleHeaderReply(int32_t panel, uint32_t device, ImageHeader* header) {
  if (int result = SelectPanelModuleFunctions(panel); result != kExitOk) {
    return result;
  }
  uint8_t reply[kImageHeaderSize] = {};
  uint8_t errorByte = 0;
  const int status = ReadPanelModuleHeaderReply(device, reply, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't get panel module FPGA header: %s.\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  *header = DecodeImageHeader(reply);
  return kExitOk;
}

int ReadModuleFpgaHeader(int32_t panel, uint32_t device, uint32_t* counter, bool* highArea) {
  ImageHeader header{};
  if (int result = ReadModuleHeaderReply(panel, device, &header); result != kExitOk) {
    return result;
  }
  const ModuleFpgaState state = ModuleFpgaStateOf(header);
  PrintModuleFpgaState(state);
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  *counter = header.updateCounter;
  *highArea = state.highArea;
  return kExitOk;
}

int ShowLinkReceiver(int32_t panel) {
  platform::Print("\n-- Link receiver FPGA firmware of panel %d --\n\n", panel);
  ReceiverStart start{};
  if (int result = StartReceiverRequest(panel, &start); result != kExitOk) {
    return result;
  }
  if (!PanelHasModules(panel)) {
    return kExitOk;
  }
  // What the panel can tell beyond its version is shown, but its failures are no failure of
  // Info.
  ReceiverRoute route = ReceiverRoute::Compatible;
  if (ChooseModuleOrCompatibleRoute(panel, &route) != kExitOk) {
    return kExitOk;
  }
  uint32_t counter = 0;
  bool highArea = false;
  if (route == ReceiverRoute::LinkModule) {
    ReadModuleFpgaHeader(panel, ReceiverModuleDevice(*start.row), &counter, &highArea);
  } else {
    ReadUpdateCounter(panel, &counter);
  }
  return kExitOk;
}

}  // namespace drux
