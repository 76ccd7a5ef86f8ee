// The model of a flash-backed FPGA module of the display-link hardware, one model for every
// such device: the PC's link transmitter and the FPGA modules of the panels (the link
// converter and the panel's own). Each has a 16 MiB flash with a low and a high copy of its
// image; one copy runs. Update writes land in the copy that does not run and mark an update
// as pending; when the module starts next, an intact pending image becomes the running copy.
#pragma once

#include <cstdint>

#include "sim/core/command_call.h"
#include "sim/devices/fpga_image.h"

namespace sim::internal {

// Where the copies lie and what their images look like; chosen by the module's kind.
struct FpgaLayout {
  uint32_t lowStart;
  uint32_t highStart;
  uint32_t imageSize;
  ImageFormat format;
};
const FpgaLayout& LayoutOfKind(const char* kind);

// One module as the commands see it: its flash, its layout, where its run state lives.
struct FpgaUnit {
  Area area;
  int areaPanel;
  FpgaLayout layout;
  const char* kind;
  uint32_t* flags;  // the bits below live in this word
  uint32_t highBit;
  uint32_t crcBit;
  bool* updatePending;
};
// false when the unit has no FPGA (no kind) or the numbers are out of range.
bool TransmitterUnit(Machine& machine, FpgaUnit* unit);
bool PanelFpgaUnit(Machine& machine, int panel, int device, FpgaUnit* unit);
bool AnyFpgaUnit(Machine& machine, int panel, int device, FpgaUnit* unit);

uint32_t RunningCopyStart(const FpgaUnit& unit);
uint32_t IdleCopyStart(const FpgaUnit& unit);

// The FPGA header reply: the running copy's image header with the state word of the module
// (bit 0 high copy, bit 1 CRC error); its CRC is recomputed when the header was valid.
bool FpgaHeaderBytes(Machine& machine, const FpgaUnit& unit, uint8_t* reply);
uint8_t FpgaHeaderReply(Machine& machine, CommandCall& call, const FpgaUnit& unit);
// Block transfers; the block index is the address plus the code's extension above bit 13.
// Flash: anywhere in the 16 MiB. Update image: the idle copy once an update is pending (for
// the verify), else the running copy; writes go to the idle copy and make an update pending.
// Running image: the running copy, reads only.
uint8_t FpgaFlashBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                       uint32_t blockSize);
uint8_t FpgaUpdateBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                        uint32_t blockSize);
uint8_t FpgaRunningBlock(Machine& machine, CommandCall& call, const FpgaUnit& unit,
                         uint32_t blockSize);

// The module starts: a pending intact update is taken over, then the running copy's CRC is
// checked.
void StartFpgaModule(Machine& machine, const FpgaUnit& unit);
void StartTransmitter(Machine& machine);
// Panel request byte 0: 8 starts the panel's converter, 2 its other FPGA modules.
void StartPanelFpgaModules(Machine& machine, int panel, uint8_t request);
// The copy holds an intact image (header or trailer valid, whole-image CRC or sum closes).
bool FpgaCopyIntact(Machine& machine, const FpgaUnit& unit, uint32_t start);

// Factory images of the default machine, in the running copy of each unit with a kind.
bool FpgaDefaultCovers(const MachineConfig& config, Area area, int panel, uint32_t offset,
                       uint32_t length);
void FillFpgaDefaultImage(const MachineConfig& config, Area area, int panel, uint32_t offset,
                          uint8_t* bytes, uint32_t length);

// Writes a recipe's image into an area from `start` on, in pieces, so that no buffer of the
// image's size is needed. False when the area refuses it or no piece can be allocated.
bool CopyImageIn(Machine& machine, const ImageRecipe& recipe, Area area, int areaPanel,
                 uint32_t start);

}  // namespace sim::internal
