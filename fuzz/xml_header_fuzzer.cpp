// The XML firmware header readers on arbitrary bytes, each against a plain model of its
// contract, and the whole header check on a file made of the input.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "transfer/xml_header.h"

namespace {

constexpr const char* kNames[] = {"<Firmware", "/>",  "Dev",  "Fct", "Var", "Use",
                                  "Ver",       "Mat", "Date", "Len", "Chk"};
constexpr int kMaxText = 20;
constexpr uint64_t kSaturated = 0xFFFFFFFF;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

int ModelFind(const char* header, int length, const char* name) {
  const int nameLength = int(std::strlen(name));
  for (int start = 0; start + nameLength <= length; ++start) {
    int i = 0;
    while (i < nameLength && Lower(header[start + i]) == Lower(name[i])) {
      ++i;
    }
    if (i == nameLength) {
      return start + nameLength;
    }
  }
  return -1;
}

int ModelValueStart(const char* header, int length, const char* name) {
  const int position = ModelFind(header, length, name);
  if (position < 0 || position + 1 >= length || header[position] != '=' ||
      header[position + 1] != '"') {
    return -1;
  }
  return position + 2;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Digits (decimal, or hex after "0x") closed by a quote; the value saturates at 32 bits.
bool ModelNumber(const char* header, int length, const char* name, uint64_t* value) {
  int position = ModelValueStart(header, length, name);
  if (position < 0) {
    return false;
  }
  int base = 10;
  if (length - position >= 2 && header[position] == '0' && header[position + 1] == 'x') {
    base = 16;
    position += 2;
  }
  uint64_t number = 0;
  const int first = position;
  while (position < length) {
    const int digit = HexDigit(header[position]);
    if (digit < 0 || digit >= base) {
      break;
    }
    number = number * uint64_t(base) + uint64_t(digit);
    if (number > kSaturated) {
      number = kSaturated;
    }
    ++position;
  }
  if (position == first || position >= length || header[position] != '"') {
    return false;
  }
  *value = number;
  return true;
}

// 1 to kMaxText characters closed by a quote.
int ModelTextLength(const char* header, int length, const char* name) {
  const int start = ModelValueStart(header, length, name);
  if (start < 0) {
    return -1;
  }
  int end = start;
  while (end < length && header[end] != '"') {
    ++end;
  }
  const int count = end - start;
  return end < length && count >= 1 && count <= kMaxText ? count : -1;
}

void CheckReaders(const char* header, int length) {
  for (const char* name : kNames) {
    const int found = drux::FindXmlAttribute(header, length, name);
    FUZZ_CHECK(found == ModelFind(header, length, name));

    uint32_t value = 0xDEADBEEF;
    uint64_t expected = 0;
    const bool hasNumber = ModelNumber(header, length, name, &expected);
    const int numeric = drux::ReadNumericXmlAttribute(header, length, name, &value);
    FUZZ_CHECK((numeric >= 0) == hasNumber);
    FUZZ_CHECK(!hasNumber || (numeric == found && value == expected));

    // Room for the longest text and a guard that must stay untouched.
    char text[kMaxText + 2];
    std::memset(text, 0x5A, sizeof text);
    const int textLength = ModelTextLength(header, length, name);
    const int read = drux::ReadTextXmlAttribute(header, length, name, text, kMaxText);
    FUZZ_CHECK((read >= 0) == (textLength >= 0));
    FUZZ_CHECK(text[kMaxText + 1] == 0x5A);
    if (textLength >= 0) {
      // Arbitrary bytes may hold NULs; the program's header text never does.
      FUZZ_CHECK(read == found && text[textLength] == 0);
      FUZZ_CHECK(std::memcmp(text, header + found + 2, size_t(textLength)) == 0);
    }
  }
}

// Everything a successful check promises about the file: a header that starts with the tag,
// its NUL within the first 1023 bytes, Len data bytes behind it that add up with Chk to 0.
void CheckAccepted(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(data, 0, size < 1023 ? size : 1023);
  FUZZ_CHECK(nul != nullptr);
  const int length = int(static_cast<const uint8_t*>(nul) - data);
  FUZZ_CHECK(ModelFind(text, length, "<Firmware") == 9);
  uint64_t dataLength = 0;
  uint64_t checksum = 0;
  FUZZ_CHECK(ModelNumber(text, length, "Len", &dataLength));
  FUZZ_CHECK(ModelNumber(text, length, "Chk", &checksum) && checksum <= 0xFFFF);
  FUZZ_CHECK(uint64_t(length) + 1 + dataLength <= size);
  uint32_t sum = uint32_t(checksum);
  for (uint64_t i = 0; i < dataLength; ++i) {
    sum += data[size_t(length) + 1 + i];
  }
  FUZZ_CHECK(sum % 0x10000 == 0);
}

const char* TemporaryFileName() {
  static char name[64] = "";
  if (name[0] == 0) {
    std::snprintf(name, sizeof name, "/tmp/drux_fuzz_xml_%d.bin", int(getpid()));
  }
  return name;
}

void CheckFile(const uint8_t* data, size_t size) {
  const char* name = TemporaryFileName();
  FILE* file = std::fopen(name, "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);

  // Once with nothing expected, once with the limits and expectations of a firmware update.
  uint32_t version = 0;
  const int open = drux::CheckXmlHeader(name, 0, 0, 0, 0, 0xFFFF, "", 0, &version);
  FUZZ_CHECK(open == 0 || open == 3 || open == 9);
  if (open == 0) {
    CheckAccepted(data, size);
    FUZZ_CHECK(version <= 0xFFFF);
  }
  const int strict = drux::CheckXmlHeader(name, 2048, 512, 1234, 'F', 7, "LZ70", 105, &version);
  FUZZ_CHECK(strict == 0 || strict == 3 || strict == 8 || strict == 9 || strict == 13);
  FUZZ_CHECK(strict != 0 || open == 0);
  std::remove(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) {
    return 0;
  }
  CheckReaders(reinterpret_cast<const char*>(data), int(size));
  CheckFile(data, size);
  return 0;
}
