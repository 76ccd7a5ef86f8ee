// The link receiver FPGA of a panel: Info, Update and Save of its image, reached with the
// compatible flash commands or through the panel's link module.
#pragma once

#include <cstdint>

#include "controller/controller_info.h"
#include "controller/feature_set.h"
#include "firmware/image_header.h"
#include "firmware/link_receiver_table.h"

namespace drux {

int ShowLinkReceiver(int32_t panel);
int UpdateLinkReceiver(const FeatureSet& features, const char* fileName, int32_t panel,
                       uint8_t verify, uint8_t yes);
int SaveLinkReceiver(const FeatureSet& features, const char* fileName, int32_t panel,
                     uint8_t verify, uint8_t yes);

// XML file (name ending in "fp") or raw image by the row's check; *fileVersion gets its version.
int CheckLinkReceiverFile(const char* fileName, const ReceiverRow& row, uint32_t runningMajor,
                          uint32_t* fileVersion);

// The image header in the panel's flash, read with the compatible commands. 0 or 6.
int ReadReceiverHeader(int32_t panel, uint8_t (&bytes)[kImageHeaderSize]);
// Update counter of the image header in the panel's flash (compatible commands). 0 or 6.
int ReadUpdateCounter(int32_t panel, uint32_t* counter);
// Header reply of the panel's module FPGA, after switching the panel to its module functions.
// 0 or 6.
int ReadModuleHeaderReply(int32_t panel, uint32_t device, ImageHeader* header);
// Module FPGA header of the panel's module: counter and running copy. 0 or 6.
int ReadModuleFpgaHeader(int32_t panel, uint32_t device, uint32_t* counter, bool* highArea);

// What every request on the receiver starts with: the panel's link FPGA and its table row.
struct ReceiverStart {
  PanelInfo info;
  const ReceiverRow* row;
};
// Prints the running version. 0, 6 (unreadable) or 15 (version ID without a row).
int StartReceiverRequest(int32_t panel, ReceiverStart* start);
uint32_t RunningVersion(const PanelInfo& info);

// The way a request reaches the image: the panel's flash with the compatible commands, or the
// link module with module commands.
enum class ReceiverRoute : uint8_t { Compatible, LinkModule };
// Sends the module-function selection: the link module when it succeeds, the compatible
// commands when the panel definitely has no module functions; 6 after "ERROR: Can't select
// panel for module functions: %s\n" when the answer is not definite (locked, busy, IRQ
// collision, time-out).
int ChooseModuleOrCompatibleRoute(int32_t panel, ReceiverRoute* route);
// The route of one request by the row's group: S compatible, L the link module, M by the
// selection (0x0DE0 updates through the compatible commands). 0 or 6.
int ChooseReceiverRoute(const ReceiverRow& row, int32_t panel, bool forUpdate,
                        ReceiverRoute* route);

// Compatible flash commands on the panel's FPGA flash.
inline constexpr uint32_t kPanelDataCommand = 0x20;
inline constexpr uint32_t kPanelFlashTarget = 3;
inline constexpr uint32_t kReceiverHeaderStart = 16;
inline constexpr const char* kReceiverUsage = "fp";
inline constexpr char kReceiverFunction = '#';
inline constexpr const char* kReceiverFileKind = "FPGA";

}  // namespace drux
