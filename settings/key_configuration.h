// Key configuration: the scan-code table of the panels' keys that the controller keeps for all
// panel channels in one memory area. Info, Save, Update and Delete, and the checks before them.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

// Header fields, trailer row and size of a key configuration image (file and device alike).
inline constexpr uint32_t kKcfHeaderSize = 256;
inline constexpr uint32_t kKcfVersionOffset = 0;
inline constexpr uint32_t kKcfVersionWidth = 14;
inline constexpr uint32_t kKcfDateOffset = 14;
inline constexpr uint32_t kKcfDateWidth = 16;
inline constexpr uint32_t kKcfUserInfoOffset = 30;
inline constexpr uint32_t kKcfUserInfoWidth = 100;
inline constexpr uint32_t kKcfPanelCountOffset = 130;
inline constexpr uint32_t kKcfChannelBlockSize = 12544;
inline constexpr uint32_t kKcfTrailerSize = 16;
inline constexpr char kKcfTrailerText[] = "ScanCodes..:  ";  // compared with its NUL

inline constexpr uint32_t KcfImageSize(uint32_t panelCount) {
  return panelCount * kKcfChannelBlockSize + kKcfHeaderSize + kKcfTrailerSize;
}

// The controller's area: command 0x20, target 1, device 2, erased as a whole by Delete.
inline constexpr uint32_t kKcfCommand = 0x20;
inline constexpr uint32_t kKcfTarget = 1;
inline constexpr uint32_t kKcfDevice = 2;
inline constexpr uint32_t KcfEraseLength(uint32_t channelCount) {
  return channelCount == 1 ? 0x10000 : 0x40000;
}

// Info: the header of the stored configuration. 0 when none is stored.
int ShowKeyConfiguration();
// Save to a file (no default name). 12 when the controller holds none.
int SaveKeyConfiguration(const FeatureSet& features, const char* fileName, uint8_t verify,
                         uint8_t assumeYes);
// Update from a file, then the controller restarts its scan codes (16: the restart failed and
// the PC must be rebooted).
int UpdateKeyConfiguration(const FeatureSet& features, const char* fileName, uint8_t verify);
// Erases the area after the question (or -y), then restarts the scan codes.
int DeleteKeyConfiguration(uint8_t assumeYes);

// Header, size, checksum and panel count of a file for a target with channelCount channels.
int CheckKeyConfigurationFile(uint32_t channelCount, const char* fileName);
// Header of the stored configuration; with `length` also the whole image (trailer row and
// checksum), and its length is handed out.
int CheckKeyConfigurationData(uint32_t* length);

}  // namespace drux
