// Check and show of a factory-settings record: the common step of Info, Save and the file
// check of Update.
#include "controller/byte_fields.h"
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/factory_record.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// The first FACT header whose 87 bytes end within the searched bytes, or nullptr.
const uint8_t* FirstFactHeader(const uint8_t* record, size_t searched) {
  for (size_t offset = kHeadHeaderSize; offset + kFactHeaderSize <= searched;
       offset += kFactSearchStep) {
    if (HasFactTag(record + offset)) {
      return record + offset;
    }
  }
  return nullptr;
}

void ShowFactIdentity(const uint8_t* fact) {
  platform::Print(" Model number: %.40s\n",
                  reinterpret_cast<const char*>(fact + kFactModelNumberOffset));
  platform::Print(" Serial number: %.11s\n",
                  reinterpret_cast<const char*>(fact + kFactSerialNumberOffset));
  platform::Print(" Hardware revision: %.4s\n",
                  reinterpret_cast<const char*>(fact + kFactHardwareRevisionOffset));
  platform::Print(" Device ID: 0x%08lx\n",
                  static_cast<unsigned long>(LoadLittleEndian32(fact + kFactDeviceIdOffset)));
  platform::Print(" Compatibility ID: 0x%04x\n",
                  unsigned(LoadLittleEndian16(fact + kFactCompatibilityIdOffset)));
  platform::Print(" Parent device ID: 0x%08lx\n",
                  static_cast<unsigned long>(LoadLittleEndian32(fact + kFactParentDeviceIdOffset)));
  platform::Print(" Parent compatibility ID: 0x%04x\n",
                  unsigned(LoadLittleEndian16(fact + kFactParentCompatibilityIdOffset)));
}

}  // namespace

int CheckFactoryRecord(const uint8_t* record, size_t available, uint32_t* deviceId,
                       uint32_t* version) {
  if (IsErasedRecord(record)) {
    platform::PrintError("ERROR: No factory settings available.\n");
    return kExitNoDevice;
  }
  if (!HasHeadTag(record)) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  const HeadHeader head = ReadHeadHeader(record);
  if (available < head.staticLength) {
    platform::Print("Too less data to test checksum (%d bytes vs. %d bytes).\n", int(available),
                    int(head.staticLength));
  } else if (Checksum8(record, head.staticLength) != 0) {
    platform::PrintError("ERROR: Invalid checksum of static data (%d bytes).\n",
                         int(head.staticLength));
    return kExitInvalidData;
  }
  platform::Print(" Version: %u.%02u\n", unsigned(head.versionByte >> 4),
                  unsigned(head.versionByte & 0x0F));
  if (version != nullptr) {
    *version = RecordVersionNumber(head.versionByte);
  }
  const size_t searched = available < head.staticLength ? available : head.staticLength;
  const uint8_t* fact = FirstFactHeader(record, searched);
  if (fact == nullptr) {
    platform::PrintError("ERROR: FACT header not found.\n");
    return kExitInvalidData;
  }
  ShowFactIdentity(fact);
  if (deviceId != nullptr) {
    *deviceId = LoadLittleEndian32(fact + kFactDeviceIdOffset);
  }
  return kExitOk;
}

}  // namespace drux
