// Image files of the new format (DRUX firmware, FPGA images, HDBaseT firmware) through
// CheckImageFile, and the image header readers on the same bytes, against a plain model: size,
// header place, ID, header CRC, version text and whole-file CRC, in that order. An accepted file
// has the ID, version and CRC that the check reports; a refused one gets the message of the first
// rule it breaks. Input: one control byte, then the file.
#include <cstring>
#include <memory>
#include <string>

#include "controller/byte_fields.h"
#include "firmware/image_checks.h"
#include "firmware/image_header.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_io.h"

namespace {

using drux::fuzz::Printed;

// Control byte: bits 0-1 the kind (3: DRUX firmware without an expected ID), and fix-ups that
// let the fuzzer past the CRCs it cannot guess.
constexpr uint8_t kRenewHeaderCrc = 1 << 2;
constexpr uint8_t kRenewImageCrc = 1 << 3;
constexpr uint8_t kExpectOwnId = 1 << 4;
constexpr uint8_t kWrongSize = 1 << 5;

struct Kind {
  drux::ImageKind kind;
  const char* id;
  bool headerAtEnd;
  const char* idMessage;
  const char* crcMessage;
  const char* versionMessage;
};

constexpr Kind kKinds[] = {
    {drux::ImageKind::DruxFirmware, "EX4F", false,
     "ERROR: The file does not contain a DRUX firmware header.\n"
     "       Please specify a valid DRUX firmware file.\n",
     "ERROR: DRUX firmware file has invalid header CRC.\n",
     "ERROR: The DRUX firmware file does not contain a valid version entry.\n"},
    {drux::ImageKind::FpgaFirmware, "LKVN", false,
     "ERROR: The file does not contain a valid FPGA firmware header.\n"
     "       Please specify a valid FPGA firmware file.\n",
     "ERROR: The FPGA firmware file has an invalid header CRC.\n",
     "ERROR: The FPGA firmware file does not contain a valid version entry.\n"},
    {drux::ImageKind::HdbtFirmware, "VRTP", true,
     "ERROR: The file does not contain a valid firmware header.\n"
     "       Please specify a valid firmware file.\n",
     "ERROR: The firmware file has an invalid header CRC.\n",
     "ERROR: The firmware file does not contain a valid version entry.\n"},
};

// CRC-16/CMS bit by bit: polynomial 0x8005, not reflected, start 0xFFFF, no final XOR.
uint16_t ModelCrc(const uint8_t* bytes, size_t length) {
  uint32_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= uint32_t(bytes[i]) << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0x8005 : crc << 1;
    }
    crc &= 0xFFFF;
  }
  return uint16_t(crc);
}

void StoreCrcBehind(uint8_t* bytes, size_t covered) {
  const uint16_t crc = ModelCrc(bytes, covered);
  bytes[covered] = uint8_t(crc >> 8);
  bytes[covered + 1] = uint8_t(crc);
}

bool IsBlank(uint8_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// "%4d" without a sign: blanks, then at least one digit, all within the field.
bool ModelVersion(const uint8_t* text, size_t length, uint32_t* version) {
  size_t at = 0;
  while (at < length && IsBlank(text[at])) {
    ++at;
  }
  if (at == length || !IsDigit(text[at])) {
    return false;
  }
  uint32_t value = 0;
  for (; at < length && IsDigit(text[at]); ++at) {
    value = value * 10 + uint32_t(text[at] - '0');
  }
  *version = value;
  return true;
}

// The ID compared over its own length, as far as it is given.
bool ModelHasId(const uint8_t* header, const char* id) {
  const size_t length = std::strlen(id);
  return length <= 4 && std::memcmp(header, id, length) == 0;
}

// The header readers on exactly 16 bytes of their own.
void CheckHeaderReaders(const uint8_t* bytes, const char* id) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[drux::kImageHeaderSize]);
  std::memcpy(copy.get(), bytes, drux::kImageHeaderSize);
  const drux::ImageHeader header = drux::DecodeImageHeader(copy.get());
  FUZZ_CHECK(std::memcmp(header.id, bytes, 4) == 0 &&
             std::memcmp(header.versionText, bytes + 4, 4) == 0);
  FUZZ_CHECK(header.updateCounter == drux::LoadLittleEndian32(bytes + 8));
  FUZZ_CHECK(header.stateWord == uint16_t(bytes[12] | bytes[13] << 8));
  FUZZ_CHECK(header.headerCrc == uint16_t(bytes[14] << 8 | bytes[15]));
  FUZZ_CHECK(drux::IsImageHeaderValid(copy.get()) == (ModelCrc(bytes, 16) == 0));
  uint32_t version = 0xDEAD;
  uint32_t expected = 0;
  const bool readable = ModelVersion(bytes + 4, 4, &expected);
  FUZZ_CHECK(drux::ReadImageVersion(header, &version) == readable);
  FUZZ_CHECK(!readable || version == expected);
  FUZZ_CHECK(id == nullptr || drux::ImageHeaderHasId(header, id) == ModelHasId(bytes, id));
}

struct Verdict {
  int result;
  std::string err;  // for a read failure only its start: the system's text follows
  uint32_t version;
};

Verdict ModelCheck(const Kind& kind, const uint8_t* file, size_t length, long size,
                   const char* id) {
  if (long(length) != size) {
    return {
        5,
        (kind.headerAtEnd ? "ERROR: iInvalid file size: not " : "ERROR: Invalid file size: not ") +
            std::to_string(size) + " bytes.\n",
        0};
  }
  const long headerAt = kind.headerAtEnd ? long(length) - 16 : 16;
  if (headerAt < 0 || size_t(headerAt) + 16 > length) {
    return {3, "ERROR: Can't read file: ", 0};
  }
  const uint8_t* header = file + headerAt;
  if (id != nullptr && !ModelHasId(header, id)) {
    return {9, kind.idMessage, 0};
  }
  if (ModelCrc(header, 16) != 0) {
    return {9, kind.crcMessage, 0};
  }
  uint32_t version = 0;
  if (!ModelVersion(header + 4, 4, &version)) {
    return {9, kind.versionMessage, 0};
  }
  if (ModelCrc(file, length) != 0) {
    return {9, "ERROR: Invalid file CRC.", version};
  }
  return {0, "", version};
}

// The ID of the header itself: up to four characters, cut at a NUL.
std::string OwnId(const uint8_t* file, size_t length, const Kind& kind) {
  const long at = kind.headerAtEnd ? long(length) - 16 : 16;
  if (at < 0 || size_t(at) + 4 > length) {
    return "ABCD";
  }
  const char* id = reinterpret_cast<const char*>(file + at);
  return std::string(id, strnlen(id, 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) {
    return 0;
  }
  const uint8_t control = data[0];
  Kind kind = kKinds[(control & 3) % 3];
  if ((control & 3) == 3) {
    kind.id = nullptr;
  }
  std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
  uint8_t* bytes = reinterpret_cast<uint8_t*>(file.data());
  const size_t length = file.size();
  const size_t headerAt = kind.headerAtEnd ? length - 16 : 16;
  const bool hasHeader = length >= 32 || (kind.headerAtEnd && length >= 16);
  if ((control & kRenewHeaderCrc) != 0 && hasHeader) {
    StoreCrcBehind(bytes + headerAt, 14);
  }
  if ((control & kRenewImageCrc) != 0 && length >= 2) {
    StoreCrcBehind(bytes, length - 2);
  }
  const std::string ownId = OwnId(bytes, length, kind);
  const char* id = kind.id == nullptr              ? nullptr
                   : (control & kExpectOwnId) != 0 ? ownId.c_str()
                                                   : kind.id;
  if (hasHeader) {
    CheckHeaderReaders(bytes + headerAt, id);
  }

  const long expectedSize = long(length) + ((control & kWrongSize) != 0 ? 1 : 0);
  const std::string path = drux::fuzz::WriteScratchFile("image.bin", bytes, length);
  uint32_t version = 0xDEAD;
  const Printed printed = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckImageFile(kind.kind, path.c_str(), expectedSize, id, &version); });
  std::remove(path.c_str());

  const Verdict verdict = ModelCheck(kind, bytes, length, expectedSize, id);
  FUZZ_CHECK(printed.result == verdict.result);
  if (verdict.result == 3) {
    FUZZ_CHECK(drux::fuzz::StartsWith(printed.err, verdict.err));
  } else {
    FUZZ_CHECK(printed.err == verdict.err);
  }
  // The version is reported as soon as the header passed, before the whole-file CRC.
  if (verdict.result == 0 || verdict.err == "ERROR: Invalid file CRC.") {
    FUZZ_CHECK(version == verdict.version);
    char line[64];
    std::snprintf(line, sizeof line, "File version: %u.%02u\n", verdict.version / 100,
                  verdict.version % 100);
    FUZZ_CHECK(drux::fuzz::StartsWith(printed.out, line));
  }
  return 0;
}
