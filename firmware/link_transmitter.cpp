// The link transmitter's identity, its header reply, its file choice and its file check: the
// first steps that Info, Update and Save of all three transmitter images share.
#include "firmware/link_transmitter.h"

#include <cstring>

#include "controller/command.h"
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/pc_type.h"
#include "controller/service_request.h"
#include "controller/status_text.h"
#include "firmware/image_header.h"
#include "firmware/link_transmitter_table.h"
#include "firmware/pc_identity.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kHeaderReplyCommand = 0x6A;

// The PC models whose transmitter answers the module reads; elsewhere there is none.
bool CanCarryTransmitter() {
  return IsEx41() || IsEx52() || IsVp52() || IsEx53() || IsVp53() || IsEx64() || IsVp64() ||
         IsEm64();
}

const char* KindWord(LinkImage image) {
  return image == LinkImage::Bootloader ? "BLDR" : "FPGA";
}

const char* DefaultName(LinkImage image, uint32_t fileId) {
  return image == LinkImage::Bootloader ? BootloaderFileName(fileId)
                                        : ImageFileName(fileId, kImageFunctionNormal, "fp");
}

}  // namespace

uint32_t ReadLinkTransmitterDeviceId() {
  return CanCarryTransmitter() ? ReadModuleId(kNoPanel, int32_t(kLinkTransmitterModule)) : 0;
}

int ReadLinkTransmitterHeader(LinkTransmitterHeader* running) {
  *running = LinkTransmitterHeader{};
  if (!CanCarryTransmitter()) {
    return kExitOk;
  }
  uint8_t reply[kImageHeaderSize] = {};
  uint8_t errorByte = 0;
  const int status = ReadCommand(kHeaderReplyCommand, 0, kLinkTransmitterDevice,
                                 kLinkTransmitterTarget, reply, sizeof reply, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't read module FPGA header: %s.\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  const ImageHeader header = DecodeImageHeader(reply);
  static_assert(sizeof running->fpgaId > sizeof header.id, "room for the terminating NUL");
  std::memcpy(running->fpgaId, header.id, sizeof header.id);
  running->fpgaId[sizeof header.id] = '\0';
  if (!ReadImageVersion(header, &running->version)) {
    platform::PrintError("ERROR: The FPGA firmware does not contain a valid version entry.\n");
    return kExitInvalidData;
  }
  platform::Print("FPGA ID: %.4s\n", header.id);
  platform::Print("FPGA version: %d.%02d\n", int(running->version / 100),
                  int(running->version % 100));
  platform::Print("FPGA booted from: %s area\n", LinkStartedFromHighArea() ? "high" : "low");
  platform::Print("FPGA CRC state: %s\n", LinkFpgaCrcError() ? "error" : "OK");
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  running->counter = header.updateCounter;
  return kExitOk;
}

int ShowLinkTransmitter() {
  platform::Print("\n-- Link transmitter FPGA firmware --\n\n");
  if (ReadLinkTransmitterDeviceId() == 0) {
    platform::Print("No link transmitter available.\n");
    return kExitOk;
  }
  LinkTransmitterHeader running{};
  return ReadLinkTransmitterHeader(&running);
}

int SelectLinkTransmitterFile(const FeatureSet& features, LinkImage image, const char* fileName,
                              bool write, uint8_t yes, const char** chosen, uint32_t* fileId) {
  const uint32_t parentId =
      CanCarryTransmitter() ? ReadModuleParentId(kNoPanel, int32_t(kLinkTransmitterModule)) : 0;
  const uint32_t deviceId = ReadLinkTransmitterDeviceId();
  const bool parentInUse = IsUsableParentId(parentId);
  if (parentInUse) {
    platform::Print("Parent device ID %u is used\n", unsigned(parentId));
  }
  *fileId = parentInUse ? parentId : deviceId;
  if (*fileId == 0) {
    platform::PrintError("ERROR: No link transmitter available.\n");
    return kExitNoDevice;
  }
  const uint8_t assumeYes = write ? yes : 0;
  const char* name = fileName != nullptr ? fileName : DefaultName(image, *fileId);
  *chosen = PromptFileName(features, KindWord(image), name, write, assumeYes);
  if (*chosen == nullptr && !write && fileName == nullptr && parentInUse) {
    *fileId = deviceId;
    platform::Print("Trying again with file based on device ID %u ...\n", unsigned(deviceId));
    *chosen = PromptFileName(features, KindWord(image), DefaultName(image, *fileId), false, 0);
  }
  return *chosen == nullptr ? kExitFileGeneral : kExitOk;
}

int StartLinkTransmitterRequest(const FeatureSet& features, LinkImage image, const char* heading,
                                const char* fileName, bool write, uint8_t yes,
                                LinkTransmitterStart* start) {
  platform::Print("%s", heading);
  if (int result = SelectLinkTransmitterFile(features, image, fileName, write, yes, &start->name,
                                             &start->fileId);
      result != kExitOk) {
    return result;
  }
  return ReadLinkTransmitterHeader(&start->running);
}

int CheckLinkTransmitterFile(const char* fileName, const char* fpgaId, uint32_t fileId,
                             bool complete, uint32_t* version) {
  if (!IsXmlHeaderFileName(fileName, "fp")) {
    platform::PrintError(
        "ERROR: Files without XML header are not supported. Update with a .fp file.\n");
    return kExitNotSupported;
  }
  const LinkTransmitterEntry* entry = FindLinkTransmitterEntry(fpgaId);
  if (entry == nullptr) {
    platform::PrintError("ERROR: Can't check XML file: FPGA ID '%s' is not supported.\n", fpgaId);
    return kExitTypeMismatch;
  }
  // The complete image is as long as its file, but no longer than the flash: commands
  // 0xE0-0xE3 reach no further, and a larger file would fill the whole flash before failing.
  const long maxDataSize = complete ? long(kLinkFlashSize) : long(entry->xmlDataSize);
  const char function = complete ? kImageFunctionComplete : kImageFunctionNormal;
  return CheckXmlHeaderOfDevice(fileName, 0, maxDataSize, fileId, function, 0, "fp", 0, version);
}

}  // namespace drux
