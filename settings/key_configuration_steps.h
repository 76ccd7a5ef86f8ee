// Steps that the key configuration handlers share: the header tags and fields, the memory area
// and the restart of the scan codes.
#pragma once

#include <cstdint>

#include "controller/block_access.h"

namespace drux::kcf {

// The three tags "Version:", "Date:" and "UserInfo:" stand at their offsets.
bool HasHeaderTags(const uint8_t* header);
uint8_t HeaderPanelCount(const uint8_t* header);
// Version, user info, build date and panel count, each line after `indent`.
void PrintHeaderFields(const uint8_t* header, const char* indent);

// `size` bytes of the area from `start`.
MemoryArea KcfArea(uint32_t start, uint32_t size);

// "Restart scancodes ..." and command 0x19: 0, or 16 with the PC reboot notice when the
// controller refused.
int RestartScanCodes();

}  // namespace drux::kcf
