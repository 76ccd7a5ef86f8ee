// The factory-settings record: check and show, the strict FACT search, the checksum renewal and
// the limits that keep lengths and offsets taken from the data inside the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "controller/byte_fields.h"
#include "settings/display_block.h"
#include "settings/factory_record.h"
#include "tests/unit/settings_test_support.h"

namespace drux {
namespace {

using testing::CaptureOutput;
using testing::RecordBytes;
using testing::SampleFields;

constexpr const char* kSampleIdentity =
    " Version: 1.05\n"
    " Model number: 5PC640.SX00-00\n"
    " Serial number: SN123456789\n"
    " Hardware revision: B0\n"
    " Device ID: 0x0000f0bd\n"
    " Compatibility ID: 0x0102\n"
    " Parent device ID: 0x00001234\n"
    " Parent compatibility ID: 0x0304\n";

struct CheckCase {
  const char* name;
  std::function<void(sim::FactoryRecordFields&)> layout;
  std::function<void(std::vector<uint8_t>&)> damage;  // after the record is built
  size_t available;                                   // 0: the record's own length
  int result;
  std::string out;
  std::string err;
};

TEST(FactoryRecordCheck, ClassifiesAndShowsRecords) {
  auto none = [](sim::FactoryRecordFields&) {};
  auto intact = [](std::vector<uint8_t>&) {};
  const std::vector<CheckCase> cases = {
      {"valid record", none, intact, 0, 0, kSampleIdentity, ""},
      {"erased area", none, [](std::vector<uint8_t>& r) { std::memset(r.data(), 0xFF, 16); }, 0, 12,
       "", "ERROR: No factory settings available.\n"},
      {"erased tag but a static length: not erased, wrong tag", none,
       [](std::vector<uint8_t>& r) { std::memset(r.data(), 0xFF, 4); }, 0, 9, "",
       "ERROR: Invalid header.\n"},
      {"wrong tag", none, [](std::vector<uint8_t>& r) { r[3] = 'F'; }, 0, 9, "",
       "ERROR: Invalid header.\n"},
      {"bad static checksum", [](sim::FactoryRecordFields& f) { f.badChecksum = true; }, intact, 0,
       9, "", "ERROR: Invalid checksum of static data (128 bytes).\n"},
      {"fewer bytes than the static length: checksum skipped, FACT still within",
       [](sim::FactoryRecordFields& f) { f.badChecksum = true; }, intact, 119, 0,
       std::string("Too less data to test checksum (119 bytes vs. 128 bytes).\n") + kSampleIdentity,
       ""},
      {"fewer bytes than the FACT header needs", none, intact, 118, 9,
       "Too less data to test checksum (118 bytes vs. 128 bytes).\n Version: 1.05\n",
       "ERROR: FACT header not found.\n"},
      {"FACT header at 48 behind another block",
       [](sim::FactoryRecordFields& f) {
         f.factOffset = 48;
         f.staticLength = 144;
       },
       intact, 0, 0, kSampleIdentity, ""},
      {"FACT header at 40 (not 32 + 16 k)", [](sim::FactoryRecordFields& f) { f.factOffset = 40; },
       intact, 0, 9, " Version: 1.05\n", "ERROR: FACT header not found.\n"},
      {"FACT header ending exactly at the static length",
       [](sim::FactoryRecordFields& f) {
         f.factOffset = 48;
         f.staticLength = 135;
         f.checksumOffset = 48 + 78;  // in the header's uninterpreted bytes
       },
       intact, 0, 0, kSampleIdentity, ""},
      {"FACT header beyond the static data",
       [](sim::FactoryRecordFields& f) {
         f.factOffset = 64;
         f.staticLength = 100;
         f.checksumOffset = 99;
       },
       intact, 0, 9, " Version: 1.05\n", "ERROR: FACT header not found.\n"},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::FactoryRecordFields fields = SampleFields();
    c.layout(fields);
    std::vector<uint8_t> record = RecordBytes(fields);
    ASSERT_FALSE(record.empty());
    c.damage(record);
    const size_t available = c.available != 0 ? c.available : record.size();
    uint32_t deviceId = 0xDEAD;
    uint32_t version = 0xDEAD;
    testing::CapturedOutput printed = CaptureOutput(
        [&] { return CheckFactoryRecord(record.data(), available, &deviceId, &version); });
    EXPECT_EQ(printed.result, c.result);
    EXPECT_EQ(printed.out, c.out);
    EXPECT_EQ(printed.err, c.err);
    if (c.result == 0) {
      EXPECT_EQ(deviceId, 0xF0BDu);
      EXPECT_EQ(version, 105u);
    }
  }
}

TEST(FactoryRecordCheck, OutputsAreOptional) {
  std::vector<uint8_t> record = RecordBytes(SampleFields());
  testing::CapturedOutput printed = CaptureOutput(
      [&] { return CheckFactoryRecord(record.data(), record.size(), nullptr, nullptr); });
  EXPECT_EQ(printed.result, 0);
}

struct SearchCase {
  const char* name;
  uint16_t factOffset;
  uint16_t staticLength;
  size_t available;
  bool found;
};

TEST(FactHeaderSearch, TakesOnlyHeadersStrictlyInsideTheStaticDataAndTheBuffer) {
  const std::vector<SearchCase> cases = {
      {"at 32", 32, 128, 128, true},
      {"at 48, one byte to spare", 48, 136, 136, true},
      {"at 48, ending exactly at the static length", 48, 135, 135, false},
      {"at 40, not a 16-byte step", 40, 128, 128, false},
      {"static length beyond the buffer, header within", 32, 4000, 119, true},
      {"static length beyond the buffer, header cut off", 32, 4000, 118, false},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::FactoryRecordFields fields = SampleFields();
    fields.factOffset = c.factOffset;
    fields.staticLength = c.staticLength;
    fields.checksumOffset = uint16_t(c.factOffset + 78);
    // The buffer is exactly as long as the available bytes, so that a read beyond shows.
    std::vector<uint8_t> full = RecordBytes(fields);
    std::vector<uint8_t> record(full.begin(), full.begin() + long(c.available));
    uint8_t* fact = nullptr;
    testing::CapturedOutput printed = CaptureOutput([&] {
      fact = FindFactHeader(record.data(), record.size());
      return 0;
    });
    EXPECT_EQ(fact != nullptr, c.found);
    if (c.found) {
      EXPECT_EQ(fact, record.data() + c.factOffset);
      EXPECT_EQ(printed.err, "");
    } else {
      EXPECT_EQ(printed.err, "ERROR: FACT header not found.\n");
    }
  }
}

struct LimitCase {
  const char* name;
  uint16_t staticLength;
  uint16_t checksumOffset;
  size_t available;
  int result;
  std::string err;
};

TEST(RecordLimits, RefuseStaticDataOrChecksumByteOutsideTheBuffer) {
  const std::vector<LimitCase> cases = {
      {"inside", 128, 127, 2048, 0, ""},
      {"static data fill the buffer", 2048, 2047, 2048, 0, ""},
      {"static data beyond the buffer", 4000, 127, 2048, 9,
       "ERROR: Invalid checksum of static data (4000 bytes).\n"},
      {"largest static length", 65535, 127, 1792, 9,
       "ERROR: Invalid checksum of static data (65535 bytes).\n"},
      {"checksum byte at the static length", 128, 128, 2048, 9, "ERROR: Invalid header.\n"},
      {"checksum byte far beyond", 128, 65535, 2048, 9, "ERROR: Invalid header.\n"},
      {"first byte after the header fields", 128, 10, 2048, 0, ""},
      {"the free byte between tag and version", 128, 4, 2048, 0, ""},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::FactoryRecordFields fields = SampleFields();
    fields.staticLength = c.staticLength;
    fields.checksumOffset = c.checksumOffset;
    std::vector<uint8_t> record(c.available, 0);
    std::vector<uint8_t> built = RecordBytes(fields, c.available);
    std::copy(built.begin(), built.end(), record.begin());
    const std::vector<uint8_t> before = record;
    testing::CapturedOutput printed =
        CaptureOutput([&] { return CheckRecordLimits(record.data(), record.size()); });
    EXPECT_EQ(printed.result, c.result);
    EXPECT_EQ(printed.err, c.err);
    const bool fixed = FixRecordChecksum(record.data(), record.size());
    EXPECT_EQ(fixed, c.result == 0);
    if (c.result != 0) {
      EXPECT_EQ(record, before) << "a refused record must stay untouched";
    }
  }
}

// A checksum byte that points into the header fields would overwrite them when the checksum is
// renewed (the static length, say): such a record is refused and left alone.
TEST(RecordLimits, ChecksumByteInsideTheHeaderFieldsIsRefused) {
  for (uint16_t offset : {0, 3, 5, 6, 7, 8, 9}) {
    SCOPED_TRACE(offset);
    std::vector<uint8_t> record = RecordBytes(SampleFields(), 2048);
    record[kHeadChecksumOffsetField] = uint8_t(offset >> 8);
    record[kHeadChecksumOffsetField + 1] = uint8_t(offset);
    const std::vector<uint8_t> before = record;
    testing::CapturedOutput printed =
        CaptureOutput([&] { return CheckRecordLimits(record.data(), record.size()); });
    EXPECT_EQ(printed.result, 9);
    EXPECT_EQ(printed.err, "ERROR: Invalid header.\n");
    EXPECT_FALSE(FixRecordChecksum(record.data(), record.size()));
    EXPECT_EQ(record, before);
  }
}

TEST(RecordChecksum, RenewalMakesTheStaticDataAddUpToZero) {
  std::vector<uint8_t> record = RecordBytes(SampleFields());
  ASSERT_TRUE(StaticChecksumValid(record.data(), record.size()));
  StoreLittleEndian32(record.data() + 32 + kFactParentDeviceIdOffset, 0xEF97);
  EXPECT_FALSE(StaticChecksumValid(record.data(), record.size()));
  ASSERT_TRUE(FixRecordChecksum(record.data(), record.size()));
  EXPECT_TRUE(StaticChecksumValid(record.data(), record.size()));
  EXPECT_EQ(testing::ByteSum(record, 128), 0);
  // Bytes after the static data are not part of the sum.
  record.push_back(0x77);
  EXPECT_TRUE(StaticChecksumValid(record.data(), record.size()));
  EXPECT_FALSE(StaticChecksumValid(record.data(), 100)) << "static data beyond the bytes given";
}

TEST(RecordHeader, VersionAndErasedRecognition) {
  EXPECT_EQ(RecordVersionNumber(0x15), 105u);
  EXPECT_EQ(RecordVersionNumber(0xF0), 1500u);
  std::vector<uint8_t> record = RecordBytes(SampleFields());
  EXPECT_FALSE(IsErasedRecord(record.data()));
  std::memset(record.data(), 0xFF, 4);
  EXPECT_FALSE(IsErasedRecord(record.data())) << "a static length is still there";
  record[8] = 0xFF;
  record[9] = 0xFF;
  EXPECT_TRUE(IsErasedRecord(record.data()));
}

TEST(DisplayBlock, ChecksumsAndByteOrderOfTheIds) {
  const sim::FactoryRecordFields fields = SampleFields();
  std::vector<uint8_t> block = testing::DisplayBlockBytes(fields);
  std::vector<uint8_t> record = RecordBytes(fields);
  EXPECT_TRUE(HasEdidHeader(block.data()));
  EXPECT_TRUE(EdidChecksumValid(block.data()));
  EXPECT_TRUE(HasInternalDataMarker(block.data()));
  EXPECT_TRUE(InternalDataChecksumValid(block.data()));
  EXPECT_EQ(InternalDataChecksumByte(block.data()), block[kDisplayChecksumOffset]);
  // The same device shows the same number: big-endian here, little-endian in the FACT header.
  EXPECT_EQ(LoadBigEndian32(block.data() + kDisplayDeviceIdOffset),
            LoadLittleEndian32(record.data() + 32 + kFactDeviceIdOffset));
  EXPECT_EQ(LoadBigEndian16(block.data() + kDisplayCompatibilityIdOffset),
            LoadLittleEndian16(record.data() + 32 + kFactCompatibilityIdOffset));

  // Internal data that add up to 0 instead of 0xAA are wrong.
  block[kDisplayChecksumOffset] = uint8_t(block[kDisplayChecksumOffset] - kInternalDataSum);
  EXPECT_FALSE(InternalDataChecksumValid(block.data()));
  block[kDisplayChecksumOffset] = InternalDataChecksumByte(block.data());
  EXPECT_TRUE(InternalDataChecksumValid(block.data()));
  block[1] = 0xFE;
  EXPECT_FALSE(HasEdidHeader(block.data()));
  EXPECT_FALSE(EdidChecksumValid(block.data()));
}

}  // namespace
}  // namespace drux
