// Save of a panel's link receiver FPGA: the running image is located and checked in the
// panel's flash, then written to a file, with an XML header for names ending in "fp".
#include "controller/exit_codes.h"
#include "controller/module_catalogue.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "firmware/link_receiver.h"
#include "firmware/panel_module_fpga.h"
#include "platform/platform.h"
#include "transfer/notices.h"
#include "transfer/prompts.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

constexpr uint32_t kModuleReadCommand = 0xD0;
constexpr uint32_t kLargeSaveCommand = 0xE8;
constexpr uint32_t kLargeLowCopyStart = 0x300000;
constexpr uint32_t kLargeHighCopyStart = 0x600000;
constexpr uint16_t kCrcStart = 0xFFFF;

struct ImageFacts {
  uint32_t size;
  char id[kFpgaTypeLength + 1];
  uint32_t version;
  uint16_t checksum;
};

int ReadHeaderVersion(const ImageHeader& header, ImageFacts* facts) {
  for (size_t i = 0; i < kFpgaTypeLength; ++i) {
    facts->id[i] = header.id[i];
  }
  facts->id[kFpgaTypeLength] = '\0';
  if (!ReadImageVersion(header, &facts->version)) {
    platform::PrintError("ERROR: The FPGA firmware does not contain a valid version entry.\n");
    return kExitInvalidData;
  }
  return kExitOk;
}

void PrintIdAndVersion(const ImageFacts& facts) {
  platform::Print("FPGA ID: %.4s\n", facts.id);
  platform::Print("FPGA version: %d.%02d\n", int(facts.version / 100), int(facts.version % 100));
}

int ReadReceiverImageCompatible(int32_t panel, ImageFacts* facts) {
  uint8_t bytes[kImageHeaderSize] = {};
  if (int result = ReadReceiverHeader(panel, bytes); result != kExitOk) {
    return result;
  }
  if (Crc16(kCrcStart, bytes, sizeof bytes) != 0) {
    platform::PrintError("ERROR: The FPGA firmware header has an invalid CRC.\n");
    return kExitInvalidData;
  }
  const ImageHeader header = DecodeImageHeader(bytes);
  if (int result = ReadHeaderVersion(header, facts); result != kExitOk) {
    return result;
  }
  if (int result = CheckAreaImage(AreaCheckKind::Fpga, kPanelDataCommand, kPanelFlashTarget,
                                  uint32_t(panel), 0, facts->size, true, &facts->checksum);
      result != kExitOk) {
    return result;
  }
  PrintIdAndVersion(*facts);
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  return kExitOk;
}

// The running copy as the save reads it: group L with command 0xE8 from the running copy's
// start, so that the checksum in the XML header belongs to the saved data.
struct ModuleRead {
  uint32_t command;
  uint32_t start;
};
ModuleRead ModuleReadOf(const ReceiverRow& row, bool highArea) {
  if (row.group == ReceiverGroup::L) {
    return ModuleRead{kLargeSaveCommand, highArea ? kLargeHighCopyStart : kLargeLowCopyStart};
  }
  return ModuleRead{kModuleReadCommand, 0};
}

int ReadReceiverImageModule(int32_t panel, const ReceiverRow& row, ImageFacts* facts) {
  const uint32_t device = ReceiverModuleDevice(row);
  ImageHeader header{};
  if (int result = ReadModuleHeaderReply(panel, device, &header); result != kExitOk) {
    return result;
  }
  if (int result = ReadHeaderVersion(header, facts); result != kExitOk) {
    return result;
  }
  const ModuleFpgaState state = ModuleFpgaStateOf(header);
  PrintIdAndVersion(*facts);
  PrintModuleFpgaState(state);
  platform::Print("FPGA update counter: %lu\n", static_cast<unsigned long>(header.updateCounter));
  const ModuleRead read = ModuleReadOf(row, state.highArea);
  return CheckAreaImage(AreaCheckKind::Converter, read.command, 0, device, read.start, facts->size,
                        true, &facts->checksum);
}

int GatherImageFacts(int32_t panel, const ReceiverRow& row, ReceiverRoute route,
                     ImageFacts* facts) {
  facts->size = row.imageSize;
  if (row.group == ReceiverGroup::S) {
    return ScanFpgaInfo(kPanelFlashTarget, uint32_t(panel), 0, row.imageSize, &facts->size,
                        facts->id, &facts->version, &facts->checksum);
  }
  if (route == ReceiverRoute::LinkModule) {
    return ReadReceiverImageModule(panel, row, facts);
  }
  platform::Print("Using compatible Flash commands\n");
  return ReadReceiverImageCompatible(panel, facts);
}

int SaveByGroup(const ReceiverRow& row, int32_t panel, ReceiverRoute route, const char* name,
                uint32_t size, uint8_t verify, const char* header) {
  if (route == ReceiverRoute::Compatible) {
    if (row.group != ReceiverGroup::S) {
      platform::Print("Using compatible Flash commands\n");
    }
    return SaveAreaToFile(kPanelDataCommand, kPanelFlashTarget, uint32_t(panel), 0, name, size,
                          verify, header);
  }
  if (row.group == ReceiverGroup::M) {
    // The selection is renewed for the save; its failure now ends the save, the route stays.
    if (int result = SelectPanelModuleFunctions(panel); result != kExitOk) {
      return result;
    }
    return SaveAreaToFile(kModuleReadCommand, 0, ReceiverModuleDevice(row), 0, name, size, verify,
                          header);
  }
  uint32_t counter = 0;
  bool highArea = false;
  if (int result = ReadModuleFpgaHeader(panel, kLinkModuleDevice, &counter, &highArea);
      result != kExitOk) {
    return result;
  }
  const ModuleRead read = ModuleReadOf(row, highArea);
  return SaveAreaToFile(read.command, 0, kLinkModuleDevice, read.start, name, size, verify, header);
}

}  // namespace

int SaveLinkReceiver(const FeatureSet& features, const char* fileName, int32_t panel,
                     uint8_t verify, uint8_t yes) {
  platform::Print("Save link receiver FPGA firmware of panel %d ...\n", panel);
  ReceiverStart start{};
  if (int result = StartReceiverRequest(panel, &start); result != kExitOk) {
    return result;
  }
  const ReceiverRow& row = *start.row;
  const char* name = PromptFileName(
      features, kReceiverFileKind,
      fileName != nullptr ? fileName : ReceiverDefaultName(row, start.info.linkFpgaMajor), true,
      yes);
  if (name == nullptr) {
    return kExitFileGeneral;
  }
  ReceiverRoute route = ReceiverRoute::Compatible;
  if (int result = ChooseReceiverRoute(row, panel, false, &route); result != kExitOk) {
    return result;
  }
  ImageFacts facts{};
  if (int result = GatherImageFacts(panel, row, route, &facts); result != kExitOk) {
    return result;
  }
  const char* header = nullptr;
  if (IsXmlHeaderFileName(name, kReceiverUsage)) {
    header = BuildXmlHeader(row.xmlDeviceId, kReceiverFunction,
                            ReceiverVariant(row, facts.version / 100), kReceiverUsage,
                            facts.version, facts.size, facts.checksum, row.panelTypeName);
  }
  return SaveByGroup(row, panel, route, name, facts.size, verify, header);
}

}  // namespace drux
