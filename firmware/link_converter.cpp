#include "firmware/link_converter.h"

#include <cstring>

#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "controller/status_text.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kConverterModule = 2;
constexpr uint32_t kConverterTarget = 0;
constexpr uint32_t kConverterDevice = 2;
constexpr uint32_t kSelectPanelCommand = 0x7F;
constexpr uint32_t kHeaderReplyCommand = 0x7A;
constexpr uint16_t kStateHighArea = 0x0001;
constexpr uint16_t kStateCrcError = 0x0002;

struct ConverterType {
  const char* type;
  uint32_t xmlDevice;
  uint32_t imageSize;  // also the XML data size
  uint32_t updateCommand;
  uint32_t updateStartRunningHigh;
  uint32_t updateStartRunningLow;
  uint32_t saveCommand;
  uint32_t saveStartRunningHigh;
  uint32_t saveStartRunningLow;
  const char* material;
};

// KR3B: the update goes straight into the copy that does not run, the save reads the running
// image. KR4B: the update goes to the converter's update image, the save reads raw flash.
constexpr ConverterType kTypes[] = {
    {"KR3B", 39, 0xA0000, 0xC0, 0x80000, 0x120000, 0xD0, 0, 0, "KVN3-Bridgebox"},
    {"KR4B", 44, 0x300000, 0xD8, 0, 0, 0xE8, 0x400000, 0x100000, "KVN4-Bridgebox"},
};

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

const ConverterType* FindType(const char* type) {
  for (const ConverterType& entry : kTypes) {
    bool same = true;
    for (int i = 0; i < 5 && same; ++i) {
      same = Upper(entry.type[i]) == Upper(type[i]);
      if (entry.type[i] == '\0') {
        break;
      }
    }
    if (same) {
      return &entry;
    }
  }
  return nullptr;
}

bool HasConverter(int32_t panel) {
  return ReadModuleId(panel, int32_t(kConverterModule)) != 0;
}

const char* DefaultName(const ConverterType& entry) {
  return ImageFileName(entry.xmlDevice, kImageFunctionFixed, "fp");
}

struct RunningConverter {
  char type[5];
  uint32_t version;
  uint32_t counter;
  bool highArea;
  const ConverterType* entry;
};

// The steps Update and Save share: presence, header reply, supported type.
int IdentifyConverter(int32_t panel, RunningConverter* running) {
  if (!HasConverter(panel)) {
    platform::PrintError("ERROR: No converter available.\n");
    return kExitNoDevice;
  }
  if (int result = ReadConverterHeader(panel, running->type, &running->version, &running->counter,
                                       &running->highArea);
      result != kExitOk) {
    return result;
  }
  running->entry = FindType(running->type);
  if (running->entry == nullptr) {
    platform::PrintError("ERROR: Converter type %s is not supported.\n", running->type);
    return kExitNotSupported;
  }
  return kExitOk;
}

}  // namespace

int ReadConverterHeader(int32_t panel, char* type, uint32_t* version, uint32_t* counter,
                        bool* highArea) {
  uint8_t errorByte = 0;
  int status = WriteCommand(kSelectPanelCommand, 0, uint32_t(panel), 0, nullptr, 0, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't select panel for module functions: %s\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  uint8_t reply[kImageHeaderSize] = {};
  status = ReadCommand(kHeaderReplyCommand, 0, kConverterDevice, kConverterTarget, reply,
                       sizeof reply, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't get converter FPGA header: %s.\n",
                         StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  const ImageHeader header = DecodeImageHeader(reply);
  std::memcpy(type, header.id, sizeof header.id);
  type[sizeof header.id] = '\0';
  if (!ReadImageVersion(header, version)) {
    platform::PrintError("ERROR: The FPGA firmware does not contain a valid version entry.\n");
    return kExitInvalidData;
  }
  const bool high = (header.stateWord & kStateHighArea) != 0;
  platform::Print("FPGA ID: %.4s\n", header.id);
  platform::Print("FPGA version: %d.%02d\n", int(*version / 100), int(*version % 100));
  platform::Print("FPGA booted from: %s area\n", high ? "high" : "low");
  platform::Print("FPGA CRC state: %s\n",
                  (header.stateWord & kStateCrcError) != 0 ? "error" : "OK");
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  if (counter != nullptr) {
    *counter = header.updateCounter;
  }
  if (highArea != nullptr) {
    *highArea = high;
  }
  return kExitOk;
}

int ShowConverter(int32_t panel) {
  platform::Print("\n-- Link converter FPGA firmware on panel %d --\n\n", int(panel));
  if (!HasConverter(panel)) {
    platform::Print("No converter available.\n");
    return kExitOk;
  }
  char type[5];
  uint32_t version = 0;
  return ReadConverterHeader(panel, type, &version, nullptr, nullptr);
}

int CheckConverterFile(const char* fileName, const char* type, uint32_t* version) {
  const ConverterType* entry = FindType(type);
  if (entry == nullptr) {
    platform::PrintError("ERROR: Can't check XML file: converter type '%s' is not supported.\n",
                         type);
    return kExitTypeMismatch;
  }
  if (IsXmlHeaderFileName(fileName, "fp")) {
    return CheckXmlHeaderOfDevice(fileName, 0, long(entry->imageSize), entry->xmlDevice,
                                  kImageFunctionFixed, 0, "fp", 0, version);
  }
  return CheckImageFile(ImageKind::FpgaFirmware, fileName, long(entry->imageSize), type, version);
}

int UpdateConverter(const FeatureSet& features, const char* fileName, int32_t panel, uint8_t verify,
                    uint8_t yes) {
  platform::Print("Update link converter FPGA firmware on panel %d ...\n", int(panel));
  RunningConverter running{};
  if (int result = IdentifyConverter(panel, &running); result != kExitOk) {
    return result;
  }
  const ConverterType& entry = *running.entry;
  const char* name = PromptFileName(features, "FPGA",
                                    fileName != nullptr ? fileName : DefaultName(entry), false, 0);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  uint32_t fileVersion = 0;
  if (int result = CheckConverterFile(name, running.type, &fileVersion); result != kExitOk) {
    return result;
  }
  if (!ConfirmVersion(running.version, fileVersion, yes)) {
    return kExitCancelled;
  }
  const uint32_t start =
      running.highArea ? entry.updateStartRunningHigh : entry.updateStartRunningLow;
  SetHeaderPatchValue(NextUpdateCounter(running.counter));
  const int result = UpdateAreaFromFile(entry.updateCommand, kConverterTarget, kConverterDevice,
                                        start, name, verify, 1, 0);
  SetHeaderPatchValue(0);
  return NoticePowerCycle(uint32_t(panel), kConverterModule, result);
}

int SaveConverter(const FeatureSet& features, const char* fileName, int32_t panel, uint8_t verify,
                  uint8_t yes) {
  platform::Print("Save link converter FPGA firmware on panel %d ...\n", int(panel));
  RunningConverter running{};
  if (int result = IdentifyConverter(panel, &running); result != kExitOk) {
    return result;
  }
  const ConverterType& entry = *running.entry;
  const char* name = PromptFileName(features, "FPGA",
                                    fileName != nullptr ? fileName : DefaultName(entry), true, yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  const uint32_t start = running.highArea ? entry.saveStartRunningHigh : entry.saveStartRunningLow;
  const char* header = nullptr;
  // A raw save copies whatever the flash holds; a file with XML header must pass the update
  // check later, so its image is checked first.
  if (IsXmlHeaderFileName(name, "fp")) {
    uint16_t checksum = 0;
    if (int result = CheckAreaImage(AreaCheckKind::Converter, entry.saveCommand, kConverterTarget,
                                    kConverterDevice, start, entry.imageSize, true, &checksum);
        result != kExitOk) {
      return result;
    }
    header = BuildXmlHeader(entry.xmlDevice, kImageFunctionFixed, 0, "fp", running.version,
                            entry.imageSize, checksum, entry.material);
  }
  return SaveAreaToFile(entry.saveCommand, kConverterTarget, kConverterDevice, start, name,
                        entry.imageSize, verify, header);
}

}  // namespace drux
