// The FPGA header reply of a module of a panel (link module, HDBaseT module, 0x0DE0's device 0),
// read after the panel was selected for module functions.
#pragma once

#include <cstdint>

#include "firmware/image_header.h"

namespace drux {

inline constexpr uint32_t kLinkModuleDevice = 1;
inline constexpr uint32_t kHdbtModuleDevice = 4;

// 0, or 6 after "ERROR: Can't select panel for module functions: %s\n".
int SelectPanelModuleFunctions(int32_t panel);
// Command 0x7F for the panel: a status code, nothing printed.
int SendPanelModuleSelection(int32_t panel, uint8_t* errorByte);
// "ERROR: Can't select panel for module functions: %s\n"; always 6.
int ReportPanelModuleSelectionFailure(int status, uint8_t errorByte);

// Command 0x7A of the selected panel into 16 bytes: a status code.
int ReadPanelModuleHeaderReply(uint32_t device, uint8_t* reply, uint8_t* errorByte);

struct ModuleFpgaState {
  bool highArea;  // state word bit 0
  bool crcError;  // state word bit 1
};
ModuleFpgaState ModuleFpgaStateOf(const ImageHeader& reply);

// "FPGA booted from: %s area\n" and "FPGA CRC state: %s\n".
void PrintModuleFpgaState(const ModuleFpgaState& state);

}  // namespace drux
