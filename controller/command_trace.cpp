// The -d trace: one line per command and a hex dump of the bytes that cross the data window.
#include <algorithm>

#include "controller/command.h"
#include "platform/format.h"
#include "platform/platform.h"

namespace drux {

namespace {

bool gDebugTrace = false;

constexpr uint32_t kDumpBytesPerLine = 16;

char PrintableOrDot(uint8_t byte) {
  return byte >= 0x20 && byte < 0x7F ? char(byte) : '.';
}

void PrintHexDumpLine(const uint8_t* data, uint32_t offset, uint32_t count, bool padded) {
  char hex[16 + 3 * kDumpBytesPerLine];
  char text[4 + kDumpBytesPerLine];
  size_t used = platform::FormatString(hex, sizeof hex, "%02x:", unsigned(offset));
  for (uint32_t i = 0; i < count && used < sizeof hex; ++i) {
    used += platform::FormatString(hex + used, sizeof hex - used, " %02x", data[i]);
  }
  text[0] = ' ';
  text[1] = '=';
  text[2] = ' ';
  for (uint32_t i = 0; i < count; ++i) {
    text[3 + i] = PrintableOrDot(data[i]);
  }
  text[3 + count] = '\0';
  if (padded) {
    platform::Print("%-51s%s\n", hex, text);
  } else {
    platform::Print("%s%s\n", hex, text);
  }
}

}  // namespace

void SetDebugTrace(bool on) {
  gDebugTrace = on;
}

bool DebugTrace() {
  return gDebugTrace;
}

void PrintHexDump(const uint8_t* data, uint32_t length) {
  // A dump of one line is not padded; in longer dumps the last line keeps the column.
  const bool padded = length > kDumpBytesPerLine;
  for (uint32_t offset = 0; offset < length; offset += kDumpBytesPerLine) {
    const uint32_t count = std::min(kDumpBytesPerLine, length - offset);
    PrintHexDumpLine(data + offset, offset, count, padded);
  }
}

void PrintCommandTrace(bool read, uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                       uint32_t size) {
  platform::Print("%s Cmd:0x%x Addr:0x%04x DevNum:0x%x Target:0x%x Size:0x%x\n", read ? "RD" : "WR",
                  code, address, device, target, size);
}

}  // namespace drux
