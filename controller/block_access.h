// Memory areas behind the controller, moved in 16- or 256-byte blocks, one command a block.
#pragma once

#include <cstdint>

namespace drux {

struct MemoryArea {
  uint16_t command;
  uint16_t target;
  uint16_t device;
  uint32_t start;
  uint32_t size;
  uint32_t indirect;     // non-zero: block index through registers 0x3FF1/0x3FF2
  uint32_t largeBlocks;  // non-zero: 256-byte blocks, else 16
};

inline constexpr uint32_t kIndirectIndexRegister = 0x3FF1;
inline constexpr uint32_t kIndirectDataRegister = 0x3FF2;
inline constexpr int kBusyAttempts = 3;

int ReadArea(const MemoryArea& area, uint8_t* buffer, uint8_t* errorByte);
int WriteArea(const MemoryArea& area, const uint8_t* buffer, uint8_t* errorByte);

inline constexpr uint32_t kPanelInternalDataSize = 128;
// Bytes 128-255 of the panel's display block, valid only with the internal-data marker.
int ReadPanelInternalData(int32_t panel, uint8_t* buffer, uint32_t length);
// Model number text of a panel (static buffer, empty when it cannot be read).
const char* ReadPanelModelNumber(int32_t panel);

}  // namespace drux
