// Memory commands and flash areas of the PC's link transmitter, by the FPGA ID it reports.
#pragma once

#include <cstdint>

namespace drux {

inline constexpr uint32_t kLinkTransmitterTarget = 0;
inline constexpr uint32_t kLinkTransmitterDevice = 3;
inline constexpr uint32_t kLinkTransmitterModule = 3;
// Bootloader and complete image: raw flash from its start, 256-byte blocks.
inline constexpr uint32_t kLinkFlashCommand = 0xE0;
inline constexpr uint32_t kLinkBootloaderSize = 0x100000;
// The whole flash: the largest complete image.
inline constexpr uint32_t kLinkFlashSize = 0x1000000;

struct LinkTransmitterEntry {
  const char* fpgaId;
  uint32_t xmlDataSize;
  uint32_t writeCommand;  // update: the image goes to the copy that does not run
  uint32_t readCommand;   // save: raw flash at the running copy's start
  uint32_t lowAreaStart;
  uint32_t highAreaStart;
  uint32_t imageSize;
  // KVN4 links: bootloader and complete image, the same major version on update, and a CRC
  // check of the running copy on save only below 1.00 (from 1.00 on, the controller's CRC state).
  bool kvn4;
};

// The first row of the ID (its XML data size holds on every PC type); nullptr when unknown.
const LinkTransmitterEntry* FindLinkTransmitterEntry(const char* fpgaId);
// The row of the ID on this PC type; nullptr when the ID is not supported here.
const LinkTransmitterEntry* LinkTransmitterEntryOfPc(const char* fpgaId);

// Start of the copy that runs now (system status bit 10).
uint32_t ActiveLinkTransmitterStart(const LinkTransmitterEntry& entry);

}  // namespace drux
