// The panels whose link receiver FPGA the program can reach, one row per panel version ID, and
// how each reaches its image.
#pragma once

#include <cstdint>

namespace drux {

// S: small images through the compatible flash commands; M: 640 KiB images through the link
// module, or the compatible commands where the panel has no module functions; L: 3 MiB images
// always through the link module with large blocks.
enum class ReceiverGroup : uint8_t { S, M, L };

struct ReceiverRow {
  uint16_t versionId;
  ReceiverGroup group;
  const char* defaultName;
  const char* defaultNameFromMajor1;  // 0x722C only: images of major 1 and up are variant 1
  uint32_t xmlDeviceId;
  uint32_t imageSize;
  const char* fpgaId;
  const char* panelTypeName;  // Mat of a saved file
};

// nullptr for a version ID that has no row.
const ReceiverRow* FindReceiverRow(uint32_t versionId);

// 0x0DE0 keeps its image behind module device 0, the others behind the link module.
uint32_t ReceiverModuleDevice(const ReceiverRow& row);
// Update of a group M image always takes the compatible commands on 0x0DE0.
bool UpdatesThroughCompatibleCommands(const ReceiverRow& row);

// The XML variant of an image: 0x722C images of major 1 and up are variant 1.
uint16_t ReceiverVariant(const ReceiverRow& row, uint32_t major);
const char* ReceiverDefaultName(const ReceiverRow& row, uint32_t runningMajor);

}  // namespace drux
