// The 16-byte row around the first wrong byte of a verify, device and file side by side, with
// bars under the wrong byte's hex and character columns.
#include "transfer/transfer_engine.h"

namespace drux {

namespace {

constexpr size_t kRowBytes = 16;

char Printable(uint8_t byte) {
  return byte >= 0x20 && byte < 0x7F ? char(byte) : '.';
}

void PrintRow(const char* label, const uint8_t* row, size_t count) {
  platform::Print("%s", label);
  for (size_t i = 0; i < count; ++i) {
    platform::Print(" %02x", row[i]);
  }
  platform::Print(" = ");
  for (size_t i = 0; i < count; ++i) {
    platform::Print("%c", Printable(row[i]));
  }
  platform::Print("\n");
}

void PrintRepeated(const char* text, size_t times) {
  for (size_t i = 0; i < times; ++i) {
    platform::Print("%s", text);
  }
}

void PrintMarker(size_t column, size_t count) {
  platform::Print("1. wrong byte :");
  PrintRepeated("   ", column);
  platform::Print(" | ");
  PrintRepeated("   ", count > column + 1 ? count - column - 1 : 0);
  platform::Print("   ");
  PrintRepeated(" ", column);
  platform::Print("|\n");
}

}  // namespace

void CompareDump(const uint8_t* deviceData, const uint8_t* fileData, size_t index, size_t length) {
  const size_t rowStart = index & ~(kRowBytes - 1);
  if (rowStart >= length) {
    return;
  }
  const size_t count = length - rowStart < kRowBytes ? length - rowStart : kRowBytes;
  const size_t column = index & (kRowBytes - 1);
  PrintRow("Data on device:", deviceData + rowStart, count);
  PrintMarker(column, count);
  PrintRow("Data in file  :", fileData + rowStart, count);
}

}  // namespace drux
