// Module FPGA header reads of a panel.
#include "firmware/panel_module_fpga.h"

#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"

namespace drux {
namespace {

constexpr uint32_t kCommandSelectPanelForModules = 0x7F;
constexpr uint32_t kCommandModuleFpgaHeader = 0x7A;
constexpr uint16_t kStateHighArea = 1u << 0;
constexpr uint16_t kStateCrcError = 1u << 1;

}  // namespace

// The same command as SelectPanelForModules, kept apart for its status: these handlers name
// the controller's reason in their message.
int SendPanelModuleSelection(int32_t panel, uint8_t* errorByte) {
  return WriteCommand(kCommandSelectPanelForModules, 0, static_cast<uint32_t>(panel), 0, nullptr, 0,
                      errorByte);
}

int ReportPanelModuleSelectionFailure(int status, uint8_t errorByte) {
  platform::PrintError("ERROR: Can't select panel for module functions: %s\n",
                       StatusText(status, errorByte));
  return kExitDruxFailed;
}

int SelectPanelModuleFunctions(int32_t panel) {
  uint8_t errorByte = 0;
  const int status = SendPanelModuleSelection(panel, &errorByte);
  if (status != kStatusOk) {
    return ReportPanelModuleSelectionFailure(status, errorByte);
  }
  return kExitOk;
}

int ReadPanelModuleHeaderReply(uint32_t device, uint8_t* reply, uint8_t* errorByte) {
  return ReadCommand(kCommandModuleFpgaHeader, 0, device, 0, reply, kImageHeaderSize, errorByte);
}

ModuleFpgaState ModuleFpgaStateOf(const ImageHeader& reply) {
  return ModuleFpgaState{(reply.stateWord & kStateHighArea) != 0,
                         (reply.stateWord & kStateCrcError) != 0};
}

void PrintModuleFpgaState(const ModuleFpgaState& state) {
  platform::Print("FPGA booted from: %s area\n", state.highArea ? "high" : "low");
  platform::Print("FPGA CRC state: %s\n", state.crcError ? "error" : "OK");
}

}  // namespace drux
