// Factory-settings records and display blocks as they come from a module's EEPROM or a file:
// arbitrary bytes of up to the 2048-byte work buffer, checked, searched, corrected and given a
// new checksum. Each operation must stay within the bytes it was given and keep its promise.
#include <cstring>
#include <memory>

#include "controller/byte_fields.h"
#include "fuzz/fuzz_check.h"
#include "settings/display_block.h"
#include "settings/factory_record.h"
#include "settings/parent_id_correction.h"

namespace {

constexpr size_t kWorkBufferSize = 2048;

// The record in a block of exactly its size; the HEAD header's 32 bytes are always readable
// (the program's work buffer is larger), short records are padded as the file check pads them.
struct Record {
  std::unique_ptr<uint8_t[]> bytes;
  size_t available;
};

Record CopyRecord(const uint8_t* data, size_t size) {
  const size_t allocated = size < drux::kHeadHeaderSize ? drux::kHeadHeaderSize : size;
  Record record{std::unique_ptr<uint8_t[]>(new uint8_t[allocated]), size};
  std::memset(record.bytes.get(), 0xFF, allocated);
  std::memcpy(record.bytes.get(), data, size);
  return record;
}

uint8_t Sum(const uint8_t* bytes, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) {
    sum = uint8_t(sum + bytes[i]);
  }
  return sum;
}

size_t StaticLength(const uint8_t* record) {
  return drux::LoadBigEndian16(record + drux::kHeadStaticLengthField);
}

size_t ChecksumOffset(const uint8_t* record) {
  return drux::LoadBigEndian16(record + drux::kHeadChecksumOffsetField);
}

// Bytes that differ between two records, outside the listed offsets.
bool SameExcept(const uint8_t* a, const uint8_t* b, size_t length, size_t from, size_t count,
                size_t single) {
  for (size_t i = 0; i < length; ++i) {
    const bool excepted = (i >= from && i < from + count) || i == single;
    if (!excepted && a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

void CheckShowAndSearch(const uint8_t* data, size_t size) {
  Record record = CopyRecord(data, size);
  uint32_t deviceId = 0;
  uint32_t version = 0;
  const int shown = drux::CheckFactoryRecord(record.bytes.get(), size, &deviceId, &version);
  FUZZ_CHECK(shown == 0 || shown == 9 || shown == 12);
  FUZZ_CHECK(std::memcmp(record.bytes.get(), data, size) == 0);

  const uint8_t* fact = drux::FindFactHeader(record.bytes.get(), size);
  if (fact != nullptr) {
    const size_t offset = size_t(fact - record.bytes.get());
    FUZZ_CHECK(offset >= drux::kHeadHeaderSize && (offset - 32) % drux::kFactSearchStep == 0);
    FUZZ_CHECK(offset + drux::kFactHeaderSize <= size);
    FUZZ_CHECK(offset + drux::kFactHeaderSize < StaticLength(data));
    FUZZ_CHECK(std::memcmp(fact, "FACT", 4) == 0);
  }
  // A record that shows without error has its FACT header within the data.
  if (shown == 0) {
    FUZZ_CHECK(size >= drux::kHeadHeaderSize + drux::kFactHeaderSize);
    FUZZ_CHECK(version == uint32_t(data[5] >> 4) * 100 + (data[5] & 0x0F));
  }
}

void CheckChecksumFix(const uint8_t* data, size_t size) {
  Record record = CopyRecord(data, size);
  const Record original = CopyRecord(data, size);
  const bool withinLimits = drux::CheckRecordLimits(record.bytes.get(), size) == 0;
  const bool fixed = drux::FixRecordChecksum(record.bytes.get(), size);
  FUZZ_CHECK(fixed == withinLimits);
  if (!fixed) {
    FUZZ_CHECK(std::memcmp(record.bytes.get(), data, size) == 0);
    return;
  }
  // Header fields from the padded copy: an input shorter than the HEAD header ends early.
  const size_t staticLength = StaticLength(original.bytes.get());
  const size_t checksumOffset = ChecksumOffset(original.bytes.get());
  FUZZ_CHECK(staticLength <= size && checksumOffset < staticLength);
  FUZZ_CHECK(Sum(record.bytes.get(), staticLength) == 0);
  FUZZ_CHECK(drux::StaticChecksumValid(record.bytes.get(), size));
  FUZZ_CHECK(SameExcept(record.bytes.get(), data, size, 0, 0, checksumOffset));
}

// The parent ID correction of druxsvcadmin: a changed record differs only in the parent device
// ID and the checksum byte, and its static data add up again.
void CheckParentIdCorrection(const uint8_t* data, size_t size) {
  Record record = CopyRecord(data, size);
  const int result = drux::CorrectParentDeviceId(record.bytes.get(), size);
  FUZZ_CHECK(result == 0 || result == 7 || result == 9 || result == 12);
  if (result != 0) {
    FUZZ_CHECK(std::memcmp(record.bytes.get(), data, size) == 0);
    return;
  }
  const uint8_t* fact = drux::FindFactHeader(record.bytes.get(), size);
  FUZZ_CHECK(fact != nullptr);
  const size_t parentOffset = size_t(fact - record.bytes.get()) + drux::kFactParentDeviceIdOffset;
  FUZZ_CHECK(SameExcept(record.bytes.get(), data, size, parentOffset, 4, ChecksumOffset(data)));
  FUZZ_CHECK(drux::StaticChecksumValid(record.bytes.get(), size));
}

void CheckDisplayBlock(const uint8_t* data, size_t size) {
  uint8_t block[drux::kDisplayBlockSize];
  std::memset(block, 0xFF, sizeof block);
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  FUZZ_CHECK(drux::HasEdidHeader(block) == (std::memcmp(block, drux::kEdidHeader, 8) == 0));
  FUZZ_CHECK(drux::EdidChecksumValid(block) == (Sum(block, drux::kEdidSize) == 0));
  FUZZ_CHECK(drux::HasInternalDataMarker(block) ==
             (std::memcmp(block + 128, drux::kInternalDataMarker, 8) == 0));
  FUZZ_CHECK(drux::InternalDataChecksumValid(block) == (Sum(block + 128, 128) == 0xAA));
  block[drux::kDisplayChecksumOffset] = drux::InternalDataChecksumByte(block);
  FUZZ_CHECK(drux::InternalDataChecksumValid(block));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kWorkBufferSize) {
    return 0;
  }
  CheckShowAndSearch(data, size);
  CheckChecksumFix(data, size);
  CheckParentIdCorrection(data, size);
  CheckDisplayBlock(data, size);
  return 0;
}
