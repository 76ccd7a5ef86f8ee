// A panel's factory settings as a technician's file: CheckPanelSettingsFile for a panel with and
// without modules, and CheckDisplayBlock and CheckExtendedRecord on blocks of exactly their size,
// against a plain model: size, EDID, internal data, then the extended record (erased, tag,
// static checksum, FACT header at 32). An accepted file has the identity the check shows; a
// refused one gets the message of the first rule it breaks. Input: one control byte, the file.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_io.h"
#include "settings/panel_factory_settings.h"

namespace {

using drux::fuzz::Printed;
using drux::fuzz::Sum8;
using Bytes = std::vector<uint8_t>;

// Control byte: bit 0 a panel with modules, then fix-ups of the three sums.
constexpr uint8_t kWithModules = 1 << 0;
constexpr uint8_t kRenewEdidSum = 1 << 1;
constexpr uint8_t kRenewInternalSum = 1 << 2;
constexpr uint8_t kRenewStaticSum = 1 << 3;

constexpr size_t kBlock = 256;
constexpr size_t kRecordRoom = 1792;
constexpr size_t kMaxFile = kBlock + kRecordRoom;

struct Verdict {
  int result;
  std::string err;
};

uint32_t Big32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t Little32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

size_t StaticLength(const uint8_t* record) {
  return size_t(record[8]) << 8 | record[9];
}

Verdict ModelDisplayBlock(const uint8_t* block, bool fileHint) {
  static const uint8_t kEdid[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  static const uint8_t kMarker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
  if (std::memcmp(block, kEdid, 8) != 0) {
    return {9, "ERROR: Factory settings do not contain EDID.\n"};
  }
  if (Sum8(block, 128) != 0) {
    return {9, "ERROR: Invalid checksum of EDID."};
  }
  if (std::memcmp(block + 128, kMarker, 8) != 0) {
    return {9, "ERROR: Factory settings do not contain Keltrom internal data.\n"};
  }
  if (Sum8(block + 128, 128) != 0xAA) {
    return {9, std::string("ERROR: Invalid checksum of Keltrom internal data.\n") +
                   (fileHint ? "       Maybe these are factory settings for a PC.\n" : "")};
  }
  return {0, ""};
}

// The record in its 1792 bytes of room, of which `given` came from the file (zeros behind).
Verdict ModelExtendedRecord(const uint8_t* record, size_t given) {
  const size_t staticLength = StaticLength(record);
  if (record[0] == 0xFF && record[1] == 0xFF && record[2] == 0xFF && record[3] == 0xFF &&
      staticLength == 0xFFFF) {
    return {12, "ERROR: No factory settings available.\n"};
  }
  if (std::memcmp(record, "HEAD", 4) != 0) {
    return {9, "ERROR: Invalid header.\n"};
  }
  if (staticLength > given || Sum8(record, staticLength) != 0) {
    return {9, "ERROR: Invalid checksum of static data (" + std::to_string(staticLength) +
                   " bytes).\n"};
  }
  if (std::memcmp(record + 32, "FACT", 4) != 0) {
    return {9, "WARNING: FACT header not found - location not at offset 0x20?\n"};
  }
  return {0, ""};
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Hex(const char* format, uint32_t value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The identity an accepted extended record shows, each ID against the display block.
void CheckShownIdentity(const std::string& out, const uint8_t* record, const uint8_t* block) {
  const uint8_t* fact = record + 32;
  const uint32_t device = Little32(fact + 10);
  const uint32_t compatibility = uint32_t(fact[14] | fact[15] << 8);
  const char* deviceMark = device == Big32(block + 138) ? " \n" : " -> MISMATCH!\n";
  const char* compatibilityMark =
      compatibility == uint32_t(block[142] << 8 | block[143]) ? " \n" : " -> MISMATCH!\n";
  FUZZ_CHECK(Contains(out, Hex(" Device ID: 0x%08x", device) + deviceMark));
  FUZZ_CHECK(Contains(out, Hex(" Compatibility ID: 0x%04x", compatibility) + compatibilityMark));
}

void CheckBlocksDirectly(const uint8_t* block, const uint8_t* record) {
  std::unique_ptr<uint8_t[]> ownBlock(new uint8_t[kBlock]);
  std::unique_ptr<uint8_t[]> ownRecord(new uint8_t[kRecordRoom]);
  std::memcpy(ownBlock.get(), block, kBlock);
  std::memcpy(ownRecord.get(), record, kRecordRoom);

  uint32_t device = 0xDEAD;
  uint32_t version = 0xDEAD;
  const Printed shown = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckDisplayBlock(ownBlock.get(), false, &device, &version); });
  const Verdict display = ModelDisplayBlock(block, false);
  FUZZ_CHECK(shown.result == display.result && shown.err == display.err);
  if (display.result == 0) {
    FUZZ_CHECK(device == Big32(block + 138) && version == block[254]);
    FUZZ_CHECK(Contains(shown.out, Hex(" Device ID: 0x%08x\n", device)));
  }

  const Printed checked = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckExtendedRecord(ownRecord.get(), kRecordRoom, ownBlock.get()); });
  const Verdict extended = ModelExtendedRecord(record, kRecordRoom);
  FUZZ_CHECK(checked.result == extended.result && checked.err == extended.err);
  if (extended.result == 0) {
    CheckShownIdentity(checked.out, record, block);
  }
  FUZZ_CHECK(std::memcmp(ownBlock.get(), block, kBlock) == 0);
  FUZZ_CHECK(std::memcmp(ownRecord.get(), record, kRecordRoom) == 0);
}

Verdict ModelFile(const Bytes& file, bool withModules, size_t given) {
  const size_t length = file.size();
  if (withModules && (length < kBlock || length > kMaxFile)) {
    return {5, "ERROR: Invalid file size: < 256 or > 2048 bytes.\n"};
  }
  if (!withModules && length != kBlock) {
    return {5, "ERROR: Invalid file size: not 256 bytes.\n"};
  }
  const Verdict display = ModelDisplayBlock(file.data(), true);
  if (display.result != 0 || !withModules) {
    return display;
  }
  Bytes record(file.begin() + kBlock, file.end());
  record.resize(kRecordRoom, 0);
  return ModelExtendedRecord(record.data(), given);
}

void CheckFile(const Bytes& file, bool withModules) {
  const std::string path = drux::fuzz::WriteScratchFile("panel.bin", file.data(), file.size());
  const Printed printed = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckPanelSettingsFile(path.c_str(), withModules); });
  std::remove(path.c_str());
  // Static data that reach past the file's end are refused with the checksum message: the
  // panel would keep its old bytes there.
  const Verdict expected = ModelFile(file, withModules, file.size() - kBlock);
  FUZZ_CHECK(printed.result == expected.result && printed.err == expected.err);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxFile + 64) {
    return 0;
  }
  const uint8_t control = data[0];
  Bytes file(data + 1, data + size);
  if (file.size() >= kBlock) {
    if ((control & kRenewEdidSum) != 0) {
      file[127] = uint8_t(file[127] - Sum8(file.data(), 128));
    }
    if ((control & kRenewInternalSum) != 0) {
      file[255] = uint8_t(file[255] + 0xAA - Sum8(&file[128], 128));
    }
  }
  // The checksum byte is renewed when it lies in the file and the static data in the room.
  if ((control & kRenewStaticSum) != 0 && file.size() >= kBlock + 10) {
    Bytes record(file.begin() + kBlock, file.end());
    record.resize(kRecordRoom, 0);
    const size_t at = size_t(record[6]) << 8 | record[7];
    const size_t staticLength = StaticLength(record.data());
    if (at < staticLength && staticLength <= kRecordRoom && kBlock + at < file.size()) {
      file[kBlock + at] = uint8_t(file[kBlock + at] - Sum8(record.data(), staticLength));
    }
  }
  CheckFile(file, (control & kWithModules) != 0);

  Bytes padded = file;
  padded.resize(kMaxFile, 0);
  CheckBlocksDirectly(padded.data(), padded.data() + kBlock);
  return 0;
}
