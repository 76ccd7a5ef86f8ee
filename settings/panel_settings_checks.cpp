// The checks of a panel's factory settings in a file and in the panel.
#include <cstring>

#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/module_settings_common.h"
#include "settings/panel_factory_settings.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

static_assert(kDisplayBlockSize + kExtendedRecordSize <= kSettingsWorkBufferSize);

// A panel with modules takes a display block with an extended record of any length; any other
// panel exactly a display block.
int CheckPanelFileLength(long length, bool withModules) {
  if (withModules) {
    if (length < long(kDisplayBlockSize) || length > long(kPanelSettingsWithModulesSize)) {
      platform::PrintError("ERROR: Invalid file size: < %ld or > %ld bytes.\n",
                           long(kDisplayBlockSize), long(kPanelSettingsWithModulesSize));
      return kExitFileGeneral;
    }
    return kExitOk;
  }
  if (length != long(kDisplayBlockSize)) {
    platform::PrintError("ERROR: Invalid file size: not %ld bytes.\n", long(kDisplayBlockSize));
    return kExitFileGeneral;
  }
  return kExitOk;
}

bool ReadExactly(platform::File* file, uint8_t* buffer, size_t length) {
  if (platform::ReadFile(file, buffer, length) != length) {
    platform::PrintSystemError("ERROR: Can't read file");
    return false;
  }
  return true;
}

// The open file's checks; the caller closes it.
int CheckOpenPanelFile(platform::File* file, bool withModules) {
  long length = 0;
  if (int result = TakeFileLength(file, &length); result != kExitOk) {
    return result;
  }
  if (int result = CheckPanelFileLength(length, withModules); result != kExitOk) {
    return result;
  }
  uint8_t* block = SettingsWorkBuffer();
  if (!ReadExactly(file, block, kDisplayBlockSize)) {
    return kExitFileRead;
  }
  if (int result = CheckDisplayBlock(block, true, nullptr, nullptr); result != kExitOk) {
    return result;
  }
  if (!withModules) {
    return kExitOk;
  }
  platform::Print("Check extended factory settings ...\n");
  // A short file leaves zeros behind its end, which no record accepts.
  uint8_t* record = block + kDisplayBlockSize;
  const size_t recordLength = size_t(length) - kDisplayBlockSize;
  std::memset(record, 0, kExtendedRecordSize);
  if (!ReadExactly(file, record, recordLength)) {
    return kExitFileRead;
  }
  return CheckExtendedRecord(record, recordLength, block);
}

}  // namespace

int CheckPanelSettingsFile(const char* fileName, bool withModules) {
  platform::Print("Check factory settings file ...\n");
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  const int result = CheckOpenPanelFile(file, withModules);
  platform::CloseFile(file);
  return result;
}

int CheckPanelSettingsData(int32_t panel, uint32_t* deviceId, uint32_t* version) {
  platform::Print("Check factory settings of panel %d ...\n", panel);
  MemoryArea area{};
  area.command = uint16_t(kCommandPanelData);
  area.target = uint16_t(kPanelSettingsTarget);
  area.device = uint16_t(panel);
  area.size = uint32_t(kDisplayBlockSize);
  uint8_t errorByte = 0;
  const int status = ReadArea(area, SettingsWorkBuffer(), &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return CheckDisplayBlock(SettingsWorkBuffer(), false, deviceId, version);
}

}  // namespace drux
