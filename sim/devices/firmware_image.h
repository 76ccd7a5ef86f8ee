// The controller's own firmware in its flash: two copies (low and high area) of a raw image
// with a 16-byte header at byte 16 and a CRC-16 in its last two bytes. The default machine
// ships one in its low area; an update lands in the copy that does not run and is taken over
// at the next power cycle.
#pragma once

#include <cstdint>

#include "sim/core/machine.h"

namespace sim::internal {

struct FirmwareLayout {
  uint32_t imageSize;
  uint32_t lowStart;
  uint32_t highStart;
};

// false for a PC type without DRUX firmware in its flash.
bool FirmwareLayoutOf(uint8_t pcType, FirmwareLayout* layout);
uint32_t RunningFirmwareStart(const MachineConfig& config, const FirmwareLayout& layout);
uint32_t IdleFirmwareStart(const MachineConfig& config, const FirmwareLayout& layout);

// The factory image of the default machine: the controller's version and update counter.
bool HasDefaultFirmware(const MachineConfig& config);
// The factory image lies in flash bytes [offset, offset + length) at least in part.
bool DefaultFirmwareCovers(const MachineConfig& config, uint32_t offset, uint32_t length);
// Writes the bytes of the factory image that fall into flash bytes [offset, offset + length).
void FillDefaultFirmware(const MachineConfig& config, uint32_t offset, uint8_t* bytes,
                         uint32_t length);

// CRC-16 of image headers and whole images (polynomial 0x8005, not reflected).
uint16_t ImageCrc(uint16_t crc, const uint8_t* bytes, size_t length);
// A version text of image headers read as "%4d" (leading blanks, then digits).
bool ReadImageVersionText(const uint8_t* text, uint32_t* version);

// At a power cycle: an intact image in the idle copy with a higher update counter than the
// running one becomes the running firmware.
void TakeOverUpdatedFirmware(Machine& machine);

}  // namespace sim::internal
