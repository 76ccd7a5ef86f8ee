// The check of a key configuration file before an update: header tags, size for the target's
// channel count, 8-bit checksum and the panel count of the header.
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "settings/key_configuration_steps.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// Everything that needs the open file; the header is left in `header`.
int CheckOpenFile(platform::File* file, uint32_t channelCount, uint8_t* header) {
  long size = 0;
  if (int result = TakeFileLength(file, &size); result != kExitOk) {
    return result;
  }
  if (platform::ReadFile(file, header, kKcfHeaderSize) != kKcfHeaderSize) {
    platform::PrintSystemError("ERROR: Can't read file");
    return kExitFileRead;
  }
  if (!kcf::HasHeaderTags(header)) {
    platform::PrintError("ERROR: The file does not contain a valid header.\n");
    platform::PrintError("       Please specify a valid key configuration file.\n");
    return kExitInvalidData;
  }
  const long expected = long(KcfImageSize(channelCount));
  if (size != expected) {
    platform::PrintError("ERROR: Invalid file size: not %ld bytes.\n", expected);
    return kExitFileGeneral;
  }
  return CheckFileChecksum(file, size);
}

}  // namespace

int CheckKeyConfigurationFile(uint32_t channelCount, const char* fileName) {
  platform::Print("Check key configuration file: ");
  platform::Flush(platform::Stream::Out);
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  uint8_t header[kKcfHeaderSize];
  const int result = CheckOpenFile(file, channelCount, header);
  platform::CloseFile(file);
  if (result != kExitOk) {
    return result;
  }
  kcf::PrintHeaderFields(header, " ");
  if (kcf::HeaderPanelCount(header) != channelCount) {
    platform::PrintError("ERROR: Panel count of KCF and target do not match.\n");
    return kExitFileGeneral;
  }
  return kExitOk;
}

}  // namespace drux
