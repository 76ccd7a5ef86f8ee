// Register queries that need no command handshake: detection, PC status, panel channels.
#pragma once

#include <cstdint>

namespace drux {

// 1 when the identification register reads "DRUX" (variant 0) or "DRUU" (variant 1).
int DetectController(int* variant);

uint32_t PanelChannelCount();
bool KeyConfigurationAvailable();
uint8_t PcTypeCode();
bool DruxStartedFromHighArea();
bool LinkStartedFromHighArea();
bool LinkFpgaCrcError();
bool DruxCrcError();
uint32_t DruxUpdateCounter();
uint32_t BiosSettingsRegister();

struct PanelInfo {
  uint32_t linkFpgaMajor;
  uint32_t linkFpgaMinor;
  uint32_t versionId;
};

inline constexpr uint32_t kBuiltInDisplayVersionId = 0x5886;

int SelectPanel(int32_t panel);
int ReadPanelInfo(PanelInfo* info, int32_t panel);
uint32_t PanelVersionId(int32_t panel);
bool IsPanelConnected(int32_t panel);

// Controller identity: four letters and major * 256 + minor.
struct ControllerVersion {
  char id[5];
  uint32_t version;
};
int ReadControllerVersion(ControllerVersion* record, uint32_t target, uint32_t device,
                          uint8_t* errorByte);

}  // namespace drux
