// Where the controller keeps its firmware and how it is written, by PC model.
#pragma once

#include <cstdint>

namespace drux {

struct DruxFirmwareLayout {
  uint32_t imageSize;
  uint32_t updateCommand;
  uint32_t flashReadCommand;
  uint32_t lowAreaStart;
  uint32_t highAreaStart;
  const char* idPrefix;  // nullptr: files without XML header get a warning instead
};

inline constexpr uint32_t kDruxFirmwareTarget = 0;
inline constexpr uint32_t kDruxFirmwareDevice = 0;

// The layout of this PC, or nullptr when the PC model has no supported DRUX firmware.
const DruxFirmwareLayout* DruxFirmwareLayoutOfPc();

// Start of the copy that runs now.
uint32_t ActiveDruxFirmwareStart(const DruxFirmwareLayout& layout);

}  // namespace drux
