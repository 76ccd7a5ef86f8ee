// Panel channel selection and the registers of the selected panel.
#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/registers.h"

namespace drux {

int SelectPanel(int32_t panel) {
  // Signed comparison: -1 (the PC itself) is no channel either.
  if (panel < 0 || panel > int32_t(PanelChannelCount()) - 1) {
    return kStatusInvalidParameter;
  }
  WriteRegisterByte(kPortPanelSelect, uint8_t(panel));
  return kStatusOk;
}

int ReadPanelInfo(PanelInfo* info, int32_t panel) {
  const int status = SelectPanel(panel);
  if (status != kStatusOk) {
    return status;
  }
  const uint32_t value = ReadRegister(kPortPanelInfo);
  info->linkFpgaMajor = (value >> 8) & 0xF;
  info->linkFpgaMinor = value & 0xFF;
  info->versionId = value >> 16;
  return kStatusOk;
}

uint32_t PanelVersionId(int32_t panel) {
  if (SelectPanel(panel) != kStatusOk) {
    return 0;
  }
  return ReadRegister(kPortPanelInfo) >> 16;
}

bool IsPanelConnected(int32_t panel) {
  if (SelectPanel(panel) != kStatusOk) {
    return false;
  }
  return (ReadRegister(kPortPanelLink) & kPanelLinkConnected) != 0;
}

}  // namespace drux
