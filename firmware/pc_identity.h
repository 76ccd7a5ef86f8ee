// Identity data of the PC that names its firmware files: device ID, parent device ID, model.
#pragma once

#include <cstdint>

namespace drux {

// 0 when the controller cannot tell.
uint32_t ReadPcDeviceId();
uint32_t ReadPcParentDeviceId();
// 40 characters at most in a static buffer; empty when any part cannot be read.
const char* ReadPcModelNumber();

// An erased (0xFFFFFFFF) or missing (0) parent ID does not name files.
inline constexpr bool IsUsableParentId(uint32_t parentId) {
  return parentId != 0 && parentId != 0xFFFFFFFF;
}

}  // namespace drux
