// The user serial ID: bytes 4-7 of an 8-byte record of the PC's identity data. Bytes 0-3 belong
// to the controller and go back exactly as they were read.
#include "diagnostics/user_serial_id.h"

#include <cstdint>

#include "controller/byte_fields.h"
#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/status_text.h"
#include "platform/format.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

// Identity data of the PC: device 0, address 0 holds the user serial ID record.
constexpr uint32_t kCommandPcIdentity = 0x12;
constexpr uint32_t kUserSerialIdAddress = 0;
constexpr uint32_t kUserSerialIdDevice = 0;
constexpr uint32_t kPcIdentityTarget = 1;
constexpr uint32_t kRecordSize = 8;
constexpr uint32_t kValueOffset = 4;

// Long enough for "0x" and eight digits with room for leading blanks or zeros.
constexpr size_t kSettingInputLength = 20;
constexpr int kMaxSignificantDigits = 8;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The conversion would take a sign, and would wrap or saturate a number beyond 32 bits; the
// controller keeps 32 bits, so such a setting cannot be what the user meant.
bool FitsUserSerialId(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) {
    ++p;
  }
  if (*p == '+' || *p == '-') {
    return false;
  }
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
  }
  while (*p == '0') {
    ++p;
  }
  int digits = 0;
  while (IsHexDigit(*p)) {
    ++p;
    ++digits;
  }
  return digits <= kMaxSignificantDigits;
}

bool ConvertSetting(const char* text, uint32_t* value) {
  unsigned long converted = 0;
  if (!FitsUserSerialId(text) || !platform::ScanHexUnsignedLong(text, &converted)) {
    return false;
  }
  *value = static_cast<uint32_t>(converted);
  return true;
}

int ReadRecord(uint8_t* record) {
  uint8_t errorByte = 0;
  int status = ReadCommand(kCommandPcIdentity, kUserSerialIdAddress, kUserSerialIdDevice,
                           kPcIdentityTarget, record, kRecordSize, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't read User Serial ID: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  return kExitOk;
}

uint32_t ValueOf(const uint8_t* record) {
  return LoadLittleEndian32(record + kValueOffset);
}

void PutValue(uint8_t* record, uint32_t value) {
  StoreLittleEndian32(record + kValueOffset, value);
}

}  // namespace

int ShowUserSerialId() {
  platform::Print("\n-- User Serial ID --\n\n");
  uint8_t record[kRecordSize];
  int result = ReadRecord(record);
  if (result != kExitOk) {
    return result;
  }
  platform::Print("Value: 0x%08lx\n", static_cast<unsigned long>(ValueOf(record)));
  return kExitOk;
}

int ChangeUserSerialId(const char* setting) {
  char input[kSettingInputLength + 1];
  if (setting == nullptr) {
    platform::Print("Enter user serial ID (0 to FFFFFFFF) or nothing to exit");
    if (!ReadLine(input, kSettingInputLength)) {
      return kExitOk;
    }
    setting = input;
  }
  uint32_t value = 0;
  if (!ConvertSetting(setting, &value)) {
    platform::PrintError("ERROR: Can't convert uid\n");
    return kExitInvalidArgument;
  }
  uint8_t record[kRecordSize];
  int result = ReadRecord(record);
  if (result != kExitOk) {
    return result;
  }
  PutValue(record, value);
  uint8_t errorByte = 0;
  int status = WriteCommand(kCommandPcIdentity, kUserSerialIdAddress, kUserSerialIdDevice,
                            kPcIdentityTarget, record, kRecordSize, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't write User Serial ID: %s\n", StatusText(status, errorByte));
    return kExitDruxFailed;
  }
  platform::Print("User Serial ID changed to 0x%08lx.\n", static_cast<unsigned long>(value));
  return kExitOk;
}

}  // namespace drux
