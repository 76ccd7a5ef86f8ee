// The check of an XML firmware header before an update: the header text, each attribute in a
// fixed order, the data length against the file and the 16-bit checksum of the data.
#include <cstring>
#include <string_view>

#include "frontend/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"
#include "transfer/xml_header.h"

namespace drux {

namespace {

constexpr int kMaxTextValue = 20;
constexpr uint32_t kMaxVariant = 999;
constexpr uint32_t kNoVariantExpected = 0xFFFF;
constexpr uint32_t kSixteenBitLimit = 0x10000;
constexpr uint32_t kChecksumPiece = 256;
constexpr const char kTag[] = "<Firmware";
constexpr int kTagLength = sizeof kTag - 1;
constexpr int kDateLength = 10;

struct Header {
  const char* text;
  int length;  // without the NUL
};

int Fail(const char* message, int code) {
  platform::PrintError("%s", message);
  return code;
}

// Up to 1022 characters and their NUL; the file is left at the first data byte.
int ReadHeaderText(platform::File* file, Header* header) {
  char* buffer = transfer::XmlHeaderBuffer();
  const size_t got = platform::ReadFile(file, buffer, kXmlHeaderBufferSize);
  const size_t searched = got < size_t(kXmlHeaderBufferSize) ? got : kXmlHeaderBufferSize - 1;
  size_t nul = 0;
  while (nul < searched && buffer[nul] != 0) {
    ++nul;
  }
  if (nul == searched) {
    if (got >= size_t(kXmlHeaderBufferSize)) {
      return Fail("ERROR: Can't read XML header.\n", kExitFileRead);
    }
    platform::PrintSystemError("ERROR: Can't read file");
    return kExitFileRead;
  }
  header->text = buffer;
  header->length = int(nul);
  if (!platform::SeekFile(file, header->length + 1, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  return kExitOk;
}

int CheckFrame(const Header& header) {
  if (FindXmlAttribute(header.text, header.length, kTag) != kTagLength) {
    return Fail("ERROR: No XML header found.\n", kExitInvalidData);
  }
  if (FindXmlAttribute(header.text, header.length, "/>") < 0) {
    return Fail("ERROR: Invalid XML header - '/>' missing.\n", kExitInvalidData);
  }
  return kExitOk;
}

// Device IDs that are expected; 0 normally means any device.
struct ExpectedDevice {
  uint32_t id;
  bool evenZero;  // 0 must be matched too: an unreadable identity accepts no file
};

int CheckDevice(const Header& header, ExpectedDevice expected) {
  uint32_t device = 0;
  if (ReadNumericXmlAttribute(header.text, header.length, "Dev", &device) < 0) {
    return Fail("ERROR: Invalid XML header - 'Dev' attribute missing or empty.\n",
                kExitInvalidData);
  }
  if ((expected.id != 0 || expected.evenZero) && device != expected.id) {
    return Fail("ERROR: Device ID does not match.\n", kExitTypeMismatch);
  }
  return kExitOk;
}

int CheckFunction(const Header& header, char expected) {
  char function[kMaxTextValue + 1];
  if (ReadTextXmlAttribute(header.text, header.length, "Fct", function, kMaxTextValue) < 0) {
    return Fail("ERROR: Invalid XML header - 'Fct' attribute missing or empty.\n",
                kExitInvalidData);
  }
  if (function[1] != 0) {
    return Fail("ERROR: Invalid XML header - 'Fct' > 1 char.\n", kExitInvalidData);
  }
  if (expected != 0 && function[0] != expected) {
    return Fail("ERROR: Function does not match.\n", kExitTypeMismatch);
  }
  return kExitOk;
}

int CheckVariant(const Header& header, uint32_t expected) {
  uint32_t variant = 0;
  if (ReadNumericXmlAttribute(header.text, header.length, "Var", &variant) < 0) {
    return Fail("ERROR: Invalid XML header - 'Var' attribute missing or empty.\n",
                kExitInvalidData);
  }
  if (variant > kMaxVariant) {
    return Fail("ERROR: Invalid XML header - 'Var' > 999.\n", kExitInvalidData);
  }
  if (expected < kNoVariantExpected && variant != expected) {
    return Fail("ERROR: Variant does not match.\n", kExitVersionConflict);
  }
  return kExitOk;
}

int CheckUsage(const Header& header, const char* expected) {
  char usage[kMaxTextValue + 1];
  if (ReadTextXmlAttribute(header.text, header.length, "Use", usage, kMaxTextValue) < 0) {
    return Fail("ERROR: Invalid XML header - 'Use' attribute missing or empty.\n",
                kExitInvalidData);
  }
  if (expected != nullptr && expected[0] != 0 &&
      std::string_view(usage) != std::string_view(expected)) {
    return Fail("ERROR: Usage does not match.\n", kExitTypeMismatch);
  }
  return kExitOk;
}

int CheckVersion(const Header& header, uint32_t minimum, uint32_t* version) {
  uint32_t value = 0;
  if (ReadNumericXmlAttribute(header.text, header.length, "Ver", &value) < 0) {
    return Fail("ERROR: Invalid XML header - 'Ver' attribute missing.\n", kExitInvalidData);
  }
  if (value >= kSixteenBitLimit) {
    return Fail("ERROR: Invalid XML header - 'Ver' > 65535.\n", kExitInvalidData);
  }
  *version = value;
  if (value < minimum) {
    platform::PrintError("ERROR: Version too low (< %u).\n", unsigned(minimum));
    return kExitVersionConflict;
  }
  return kExitOk;
}

int CheckMaterial(const Header& header) {
  char material[kMaxTextValue + 1];
  if (ReadTextXmlAttribute(header.text, header.length, "Mat", material, kMaxTextValue) < 0) {
    return Fail("ERROR: Invalid XML header - 'Mat' attribute missing or empty.\n",
                kExitInvalidData);
  }
  return kExitOk;
}

bool IsDate(const char* text) {
  if (std::strlen(text) != size_t(kDateLength)) {
    return false;
  }
  for (int i = 0; i < kDateLength; ++i) {
    const bool separator = i == 2 || i == 5;
    if (separator ? text[i] != '.' : (text[i] < '0' || text[i] > '9')) {
      return false;
    }
  }
  return true;
}

// Optional: headers written by this program carry Dat, which is not checked.
int CheckDate(const Header& header) {
  if (FindXmlAttribute(header.text, header.length, "Date") < 0) {
    return kExitOk;
  }
  char date[kMaxTextValue + 1];
  if (ReadTextXmlAttribute(header.text, header.length, "Date", date, kMaxTextValue) < 0 ||
      !IsDate(date)) {
    return Fail("ERROR: Invalid XML header - wrong 'Date' format.\n", kExitInvalidData);
  }
  return kExitOk;
}

int CheckDataLength(const Header& header, long fileLength, long maxFileSize, long maxDataSize,
                    uint32_t* dataLength) {
  uint32_t length = 0;
  if (ReadNumericXmlAttribute(header.text, header.length, "Len", &length) < 0) {
    return Fail("ERROR: Invalid XML header - 'Len' attribute missing.\n", kExitInvalidData);
  }
  // 64 bits: a Len near 4 GiB must not wrap the sum into the file's length.
  if (int64_t(header.length) + int64_t(length) + 1 > int64_t(fileLength)) {
    return Fail("ERROR: Data length mismatch with file size.\n", kExitInvalidData);
  }
  if (maxFileSize != 0 && int64_t(length) > int64_t(maxFileSize)) {
    platform::PrintError("ERROR: Invalid file size: > %ld bytes.\n", maxFileSize);
    return kExitInvalidData;
  }
  if (maxDataSize != 0 && int64_t(length) > int64_t(maxDataSize)) {
    platform::PrintError("ERROR: Invalid data size: > %ld bytes.\n", maxDataSize);
    return kExitInvalidData;
  }
  *dataLength = length;
  return kExitOk;
}

int ReadChecksum(const Header& header, uint32_t* checksum) {
  uint32_t value = 0;
  if (ReadNumericXmlAttribute(header.text, header.length, "Chk", &value) < 0) {
    return Fail("ERROR: Invalid XML header - 'Chk' attribute missing.\n", kExitInvalidData);
  }
  if (value >= kSixteenBitLimit) {
    return Fail("ERROR: Invalid XML header - 'Chk' > 0xffff.\n", kExitInvalidData);
  }
  *checksum = value;
  return kExitOk;
}

// Chk plus every data byte must be 0 modulo 65536.
int CheckDataChecksum(platform::File* file, uint32_t dataLength, uint32_t checksum) {
  uint8_t* piece = transfer::DeviceBuffer();
  uint16_t sum = uint16_t(checksum);
  uint32_t done = 0;
  while (done < dataLength) {
    ShowProgress(int32_t(done), int32_t(dataLength));
    const uint32_t left = dataLength - done;
    const uint32_t length = left < kChecksumPiece ? left : kChecksumPiece;
    if (platform::ReadFile(file, piece, length) != length) {
      platform::PrintSystemError("ERROR: Can't read file");
      return kExitFileRead;
    }
    for (uint32_t i = 0; i < length; ++i) {
      sum = uint16_t(sum + piece[i]);
    }
    done += length;
  }
  ShowProgress(int32_t(done), int32_t(dataLength));
  if (sum != 0) {
    return Fail("ERROR: Invalid file checksum.", kExitInvalidData);
  }
  return kExitOk;
}

// The attributes in the order of their messages; the first failure ends the check.
int CheckAttributes(const Header& header, ExpectedDevice expectedDevice, char expectedFunction,
                    uint32_t expectedVariant, const char* expectedUsage, uint32_t minimumVersion,
                    uint32_t* version) {
  int result = CheckDevice(header, expectedDevice);
  if (result != kExitOk) {
    return result;
  }
  result = CheckFunction(header, expectedFunction);
  if (result != kExitOk) {
    return result;
  }
  result = CheckVariant(header, expectedVariant);
  if (result != kExitOk) {
    return result;
  }
  result = CheckUsage(header, expectedUsage);
  if (result != kExitOk) {
    return result;
  }
  result = CheckVersion(header, minimumVersion, version);
  if (result != kExitOk) {
    return result;
  }
  result = CheckMaterial(header);
  if (result != kExitOk) {
    return result;
  }
  return CheckDate(header);
}

int CheckOpenFile(platform::File* file, long maxFileSize, long maxDataSize,
                  ExpectedDevice expectedDevice, char expectedFunction, uint32_t expectedVariant,
                  const char* expectedUsage, uint32_t minimumVersion, uint32_t* version) {
  long fileLength = 0;
  int result = TakeFileLength(file, &fileLength);
  if (result != kExitOk) {
    return result;
  }
  Header header{};
  result = ReadHeaderText(file, &header);
  if (result != kExitOk) {
    return result;
  }
  result = CheckFrame(header);
  if (result != kExitOk) {
    return result;
  }
  result = CheckAttributes(header, expectedDevice, expectedFunction, expectedVariant, expectedUsage,
                           minimumVersion, version);
  if (result != kExitOk) {
    return result;
  }
  uint32_t dataLength = 0;
  result = CheckDataLength(header, fileLength, maxFileSize, maxDataSize, &dataLength);
  if (result != kExitOk) {
    return result;
  }
  uint32_t checksum = 0;
  result = ReadChecksum(header, &checksum);
  if (result != kExitOk) {
    return result;
  }
  return CheckDataChecksum(file, dataLength, checksum);
}

int CheckFile(const char* fileName, long maxFileSize, long maxDataSize,
              ExpectedDevice expectedDevice, char expectedFunction, uint32_t expectedVariant,
              const char* expectedUsage, uint32_t minimumVersion, uint32_t* version) {
  platform::Print("Check XML file: ");
  platform::Flush(platform::Stream::Out);
  platform::File* file = platform::OpenFile(fileName, platform::FileMode::ReadBinary);
  if (file == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    return kExitFileOpen;
  }
  const int result = CheckOpenFile(file, maxFileSize, maxDataSize, expectedDevice, expectedFunction,
                                   expectedVariant, expectedUsage, minimumVersion, version);
  platform::CloseFile(file);
  if (result == kExitOk) {
    platform::Print("File version: %u.%02u\n", unsigned(*version / 100), unsigned(*version % 100));
  }
  return result;
}

}  // namespace

int CheckXmlHeader(const char* fileName, long maxFileSize, long maxDataSize,
                   uint32_t expectedDevice, char expectedFunction, uint32_t expectedVariant,
                   const char* expectedUsage, uint32_t minimumVersion, uint32_t* version) {
  return CheckFile(fileName, maxFileSize, maxDataSize, ExpectedDevice{expectedDevice, false},
                   expectedFunction, expectedVariant, expectedUsage, minimumVersion, version);
}

int CheckXmlHeaderOfDevice(const char* fileName, long maxFileSize, long maxDataSize,
                           uint32_t device, char expectedFunction, uint32_t expectedVariant,
                           const char* expectedUsage, uint32_t minimumVersion, uint32_t* version) {
  return CheckFile(fileName, maxFileSize, maxDataSize, ExpectedDevice{device, true},
                   expectedFunction, expectedVariant, expectedUsage, minimumVersion, version);
}

}  // namespace drux
