// The static checksum of a factory-settings record: its check, the limits that a record must
// keep before it is changed, and the renewal of the checksum byte.
#include "controller/exit_codes.h"
#include "platform/platform.h"
#include "settings/factory_record.h"
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

// The checksum byte must not fall on the tag, the version or the two fields that say where the
// checksum is and what it covers: a renewed byte there would change the record's own layout. The
// byte between tag and version means nothing to the record and may carry it.
constexpr size_t kHeadFieldsEnd = kHeadStaticLengthField + 2;
constexpr size_t kHeadFreeByte = 4;

bool ChecksumByteUsable(const HeadHeader& head) {
  const bool outsideFields =
      head.checksumOffset == kHeadFreeByte || head.checksumOffset >= kHeadFieldsEnd;
  return outsideFields && head.checksumOffset < head.staticLength;
}

}  // namespace

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
  if (!ChecksumByteUsable(head)) {
    platform::PrintError("ERROR: Invalid header.\n");
    return kExitInvalidData;
  }
  return kExitOk;
}

bool FixRecordChecksum(uint8_t* record, size_t available) {
  const HeadHeader head = ReadHeadHeader(record);
  if (head.staticLength > available || !ChecksumByteUsable(head)) {
    return false;
  }
  record[head.checksumOffset] = 0;
  record[head.checksumOffset] = uint8_t(0x100 - Checksum8(record, head.staticLength));
  return true;
}

}  // namespace drux
