// The check of the key configuration stored in the controller: its header, and before a save
// the whole image row by row (trailer row and 8-bit sum).
#include <cstring>

#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "settings/key_configuration_steps.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr uint32_t kRowSize = 16;

int ReportReadFailure(int status, uint8_t errorByte) {
  platform::PrintError("ERROR: Can't read data: %s\n", StatusText(status, errorByte));
  return kExitDruxFailed;
}

// Reads `length` bytes in rows; the trailer must stand in the last row and the sum be 0.
int CheckWholeImage(uint32_t length) {
  uint8_t row[kRowSize] = {};
  uint8_t sum = 0;
  for (uint32_t done = 0; done < length; done += kRowSize) {
    ShowProgress(int32_t(done), int32_t(length));
    uint8_t errorByte = 0;
    const int status = ReadArea(kcf::KcfArea(done, kRowSize), row, &errorByte);
    if (status != 0) {
      return ReportReadFailure(status, errorByte);
    }
    sum = uint8_t(sum + Checksum8(row, kRowSize));
  }
  ShowProgress(int32_t(length), int32_t(length));
  if (std::memcmp(row, kKcfTrailerText, sizeof kKcfTrailerText) != 0) {
    platform::PrintError("ERROR: Invalid data.\n");
    return kExitInvalidData;
  }
  if (sum != 0) {
    platform::PrintError("ERROR: Invalid checksum.\n");
    return kExitInvalidData;
  }
  return kExitOk;
}

}  // namespace

int CheckKeyConfigurationData(uint32_t* length) {
  uint8_t header[kKcfHeaderSize];
  uint8_t errorByte = 0;
  const int status = ReadArea(kcf::KcfArea(0, kKcfHeaderSize), header, &errorByte);
  if (status != 0) {
    return ReportReadFailure(status, errorByte);
  }
  if (!kcf::HasHeaderTags(header)) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  if (length != nullptr) {
    const uint32_t imageLength = KcfImageSize(kcf::HeaderPanelCount(header));
    // The panel count comes from the stored data; a count the area cannot hold would make the
    // rows run past its end.
    if (imageLength > KcfEraseLength(PanelChannelCount())) {
      platform::PrintError("ERROR: Invalid data.\n");
      return kExitInvalidData;
    }
    platform::Print("Check key configuration: ");
    *length = imageLength;
    const int result = CheckWholeImage(imageLength);
    if (result != kExitOk) {
      return result;
    }
  }
  kcf::PrintHeaderFields(header, "");
  return kExitOk;
}

}  // namespace drux
