// The static checksum of a factory-settings record: its check, the limits that a record must
// keep before it is changed, and the renewal of the checksum byte.
#include "frontend/exit_codes.h"
#include "platform/platform.h"
#include "settings/factory_record.h"
#include "transfer/transfer_engine.h"

namespace drux {

bool StaticChecksumValid(const uint8_t* record, size_t available) {
  const HeadHeader head = ReadHeadHeader(record);
  return head.staticLength <= available && Checksum8(record, head.staticLength) == 0;
}

int CheckRecordLimits(const uint8_t* record, size_t available) {
  const HeadHeader head = ReadHeadHeader(record);
  if (head.staticLength > available) {
    platform::PrintError("ERROR: Invalid checksum of static data (%d bytes).\n",
                         int(head.staticLength));
    return kExitInvalidData;
  }
  if (head.checksumOffset >= head.staticLength) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  return kExitOk;
}

bool FixRecordChecksum(uint8_t* record, size_t available) {
  const HeadHeader head = ReadHeadHeader(record);
  if (head.staticLength > available || head.checksumOffset >= head.staticLength) {
    return false;
  }
  record[head.checksumOffset] = 0;
  record[head.checksumOffset] = uint8_t(0x100 - Checksum8(record, head.staticLength));
  return true;
}

}  // namespace drux
