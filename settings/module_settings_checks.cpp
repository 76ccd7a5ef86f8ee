// Checks of a module's factory settings in the controller and in a file.
#include "settings/module_settings_checks.h"

#include <cstring>

#include "controller/block_access.h"
#include "controller/exit_codes.h"
#include "controller/pc_type.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/display_block.h"
#include "settings/factory_record.h"
#include "settings/module_settings_common.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr int32_t kSystemUnit = 0;
constexpr int32_t kPanelModule = 1;

// The record part of an image of `length` bytes in the work buffer, checked and shown. An area
// that holds the display block only has no record to check.
int CheckModuleImage(int32_t panel, int32_t module, const ModuleAreaInfo& area, size_t length,
                     uint32_t* deviceId, uint32_t* version) {
  if (HoldsDisplayBlockOnly(panel, module, area)) {
    platform::Print("INFO: Module-specific factory settings are not supported for this module.\n");
    return kExitOk;
  }
  const size_t offset = RecordOffset(panel, module);
  // A file shorter than the display block leaves no record bytes at all.
  const size_t recordLength = length > offset ? length - offset : 0;
  return CheckFactoryRecord(SettingsWorkBuffer() + offset, recordLength, deviceId, version);
}

// Modules whose files may be longer than their area; the rest of such a file is ignored.
bool AcceptsLongerFile(int32_t panel, int32_t module) {
  if (panel >= 0) {
    return module == kSystemUnit && PanelHasModules(panel);
  }
  if (module == kSystemUnit) {
    return IsEx41() || IsVp41() || IsEx52() || IsVp52() || IsEx64() || IsVp64() || IsEm64();
  }
  return module == kPanelModule && (IsVp41() || IsVp52());
}

}  // namespace

int CheckModuleSettingsData(int32_t panel, int32_t module, const ModuleAreaInfo& area,
                            uint32_t* deviceId, uint32_t* version) {
  platform::Print("Check factory settings ...\n");
  const uint32_t length = UsedAreaLength(area);
  uint8_t errorByte = 0;
  const int status = ReadArea(ModuleMemoryArea(area, 0, length), SettingsWorkBuffer(), &errorByte);
  if (status != 0) {
    platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return CheckModuleImage(panel, module, area, length, deviceId, version);
}

int CheckModuleSettingsFile(const char* fileName, int32_t panel, int32_t module,
                            const ModuleAreaInfo& area) {
  platform::Print("Check factory settings file for module %d ...\n", module);
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  long fileLength = 0;
  if (int result = TakeFileLength(file, &fileLength); result != kExitOk) {
    platform::CloseFile(file);
    return result;
  }
  size_t counted = size_t(fileLength);
  if (counted > area.size) {
    if (!AcceptsLongerFile(panel, module)) {
      platform::PrintError("ERROR: Invalid file size: greater %ld bytes.\n", long(area.size));
      platform::CloseFile(file);
      return kExitFileGeneral;
    }
    platform::Print("Only %u of %d bytes are used (rest is ignored).\n", unsigned(area.size),
                    int(fileLength));
    counted = area.size;
  }
  if (counted > kSettingsWorkBufferSize) {
    counted = kSettingsWorkBufferSize;
  }
  uint8_t* buffer = SettingsWorkBuffer();
  std::memset(buffer, 0xFF, kSettingsWorkBufferSize);
  const size_t read = platform::ReadFile(file, buffer, counted);
  if (read != counted) {
    platform::PrintSystemError("ERROR: Can't read file");
    platform::CloseFile(file);
    return kExitFileRead;
  }
  platform::CloseFile(file);
  return CheckModuleImage(panel, module, area, read, nullptr, nullptr);
}

}  // namespace drux
