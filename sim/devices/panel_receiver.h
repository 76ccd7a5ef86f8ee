// The link receiver FPGA of a simulated panel: the panel types it knows, where each keeps its
// running image, and the take-over of a new image when the panel restarts.
#pragma once

#include <cstdint>

#include "sim/core/machine.h"

namespace sim::internal {

inline constexpr uint16_t kPanelFlashDevicePanel = 0x0DE0;  // device 0 runs the panel flash
inline constexpr int kLinkModuleDevice = 1;

struct ReceiverType {
  uint16_t versionId;
  char id[5];          // FPGA ID of its images
  uint32_t imageSize;  // 0x40000, 0xA0000 or 0x300000
  bool oldFormat;      // images end in an FPGA info trailer instead of carrying a header
  bool largeModule;    // 3 MiB images, reached only through the link module
};

// nullptr for a version ID that is no receiver panel.
const ReceiverType* ReceiverTypeOf(uint16_t versionId);
// The first type whose images carry this FPGA ID and have this size, or nullptr.
const ReceiverType* ReceiverTypeOfImage(const char* id, uint32_t imageSize);

// The panel runs its receiver image from its own flash (compatible commands) rather than from
// its link module: small images, and medium ones on panels without module functions.
bool RunsFromPanelFlash(const PanelConfig& panel);

// The FPGA module (device number after command 0x7F) that runs the panel's receiver image.
bool IsReceiverUnit(const PanelConfig& panel, int device);

// Version and ID of an intact image (header CRC and whole-image CRC, or trailer and checksum)
// at offset 0 of the panel flash. False for anything else.
bool PanelFlashImage(Machine& machine, int panel, const ReceiverType& type, uint32_t* version,
                     char* id);

// Restart of a panel (reboot request or power cycle), after its FPGA modules started: an
// intact running receiver image (panel flash, or the link module's running copy) sets the
// link FPGA version and, when its FPGA ID belongs to another panel type, the version ID.
void RestartPanel(Machine& machine, int panel);

}  // namespace sim::internal
