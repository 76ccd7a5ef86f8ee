// Module names, the identity fields the front end and the handlers read of a module, and the
// selection of the panel whose modules the module commands reach.
#include "controller/module_catalogue.h"

#include <array>
#include <cstddef>

#include "controller/byte_fields.h"
#include "controller/command.h"
#include "controller/service_request.h"

namespace drux {
namespace {

constexpr std::array<const char*, 14> kPcModuleNames{
    "system unit", "panel",          "bus unit",        "monitor/panel option",
    "IF option 1", "IF Option 2",    "memory module 1", "memory module 2",
    "fan kit",     "slide-In 1",     "slide-In 2",      "CPU board",
    "bus fan kit", "expansion unit",
};

constexpr std::array<const char*, 5> kPanelModuleNames{
    "panel", "link module", "KVN converter", "expansion unit", "HDBaseT module(KVN4)",
};

// Points the panel module commands (0x71, 0x73, ...) at one panel.
constexpr uint32_t kCommandSelectPanelForModules = 0x7F;
// Module data of the PC and of the panel chosen by SelectPanelForModules; target 0.
constexpr uint32_t kCommandPcModuleData = 0x61;
constexpr uint32_t kCommandPanelModuleData = 0x71;
constexpr uint32_t kModuleDataTarget = 0;

constexpr uint32_t kAddressId = 0x100;
constexpr uint32_t kAddressHardwareRevision = 0x300;
constexpr uint32_t kAddressSerialNumber = 0x400;
constexpr uint32_t kAddressModelNumber = 0x500;  // three pieces at 0x500, 0x501, 0x502
constexpr uint32_t kAddressParentId = 0x700;

constexpr uint32_t kIdSize = 4;
constexpr uint32_t kParentIdRead = 6;          // the word and two bytes nobody uses
constexpr uint32_t kHardwareRevisionRead = 5;  // 4 characters and a byte replaced by the end
constexpr uint32_t kSerialNumberRead = 12;     // 11 characters and a byte replaced by the end
constexpr uint32_t kModelNumberPieces[] = {16, 16, 8};
constexpr uint32_t kModelNumberLength = 40;

char hardwareRevision[kHardwareRevisionRead] = {};
char serialNumber[kSerialNumberRead] = {};
char modelNumber[kModelNumberLength + 1] = {};

template <size_t N>
const char* NameAt(const std::array<const char*, N>& names, int32_t module) {
  if (module < 0 || static_cast<size_t>(module) >= N) {
    return "";
  }
  return names[static_cast<size_t>(module)];
}

bool IsTargetNumber(int32_t number) {
  return number >= 0 && number <= kHighestTargetNumber;
}

// Points the controller's module commands at the module's owner: the PC needs no selection,
// a panel must be chosen first. False when the owner cannot be addressed.
bool SelectModuleOwner(int32_t panel, int32_t module) {
  if (!IsTargetNumber(module)) {
    return false;
  }
  if (panel == kNoPanel) {
    return true;
  }
  return IsTargetNumber(panel) && SelectPanelForModules(panel);
}

bool ReadModuleBytes(int32_t panel, int32_t module, uint32_t address, uint8_t* buffer,
                     uint32_t size) {
  uint32_t command = panel == kNoPanel ? kCommandPcModuleData : kCommandPanelModuleData;
  uint8_t errorByte = 0;
  return ReadCommand(command, address, static_cast<uint32_t>(module), kModuleDataTarget, buffer,
                     size, &errorByte) == kStatusOk;
}

// Reads a text field whose last byte is replaced by the terminator; empty on any failure.
const char* ReadModuleText(int32_t panel, int32_t module, uint32_t address, char* text,
                           uint32_t size) {
  text[0] = '\0';
  if (!SelectModuleOwner(panel, module) ||
      !ReadModuleBytes(panel, module, address, reinterpret_cast<uint8_t*>(text), size)) {
    text[0] = '\0';
    return text;
  }
  text[size - 1] = '\0';
  return text;
}

}  // namespace

const char* ModuleName(int32_t panel, int32_t module) {
  return panel != kNoPanel ? NameAt(kPanelModuleNames, module) : NameAt(kPcModuleNames, module);
}

bool SelectPanelForModules(int32_t panel) {
  uint8_t errorByte = 0;
  return WriteCommand(kCommandSelectPanelForModules, 0, static_cast<uint32_t>(panel), 0, nullptr, 0,
                      &errorByte) == kStatusOk;
}

// The little-endian word at the start of a module field; 0 when it cannot be read.
uint32_t ReadModuleWord(int32_t panel, int32_t module, uint32_t address, uint32_t size) {
  uint8_t bytes[kParentIdRead] = {};
  if (!SelectModuleOwner(panel, module) || !ReadModuleBytes(panel, module, address, bytes, size)) {
    return 0;
  }
  return LoadLittleEndian32(bytes);
}

uint32_t ReadModuleId(int32_t panel, int32_t module) {
  return ReadModuleWord(panel, module, kAddressId, kIdSize);
}

uint32_t ReadModuleParentId(int32_t panel, int32_t module) {
  return ReadModuleWord(panel, module, kAddressParentId, kParentIdRead);
}

const char* ReadModuleHardwareRevision(int32_t panel, int32_t module) {
  return ReadModuleText(panel, module, kAddressHardwareRevision, hardwareRevision,
                        kHardwareRevisionRead);
}

const char* ReadModuleSerialNumber(int32_t panel, int32_t module) {
  return ReadModuleText(panel, module, kAddressSerialNumber, serialNumber, kSerialNumberRead);
}

const char* ReadModuleModelNumber(int32_t panel, int32_t module) {
  modelNumber[0] = '\0';
  if (!SelectModuleOwner(panel, module)) {
    return modelNumber;
  }
  uint32_t offset = 0;
  uint32_t address = kAddressModelNumber;
  for (uint32_t piece : kModelNumberPieces) {
    if (!ReadModuleBytes(panel, module, address, reinterpret_cast<uint8_t*>(modelNumber) + offset,
                         piece)) {
      modelNumber[0] = '\0';
      return modelNumber;
    }
    offset += piece;
    ++address;
  }
  modelNumber[kModelNumberLength] = '\0';
  return modelNumber;
}

}  // namespace drux
