#include "platform/uefi/status_text.h"

#include "platform/format.h"

namespace platform::uefi {
namespace {

constexpr uint64_t kErrorBit = uint64_t{1} << 63;

struct StatusName {
  uint64_t code;  // without the error bit
  const char* text;
};

// Error codes of the firmware that file and console operations return.
constexpr StatusName kStatusNames[] = {
    {1, "Load error"},
    {2, "Invalid argument"},
    {3, "Operation not supported"},
    {4, "Invalid buffer size"},
    {5, "Buffer too small"},
    {6, "Resource temporarily unavailable"},
    {7, "Input/output error"},
    {8, "Read-only file system"},
    {9, "Cannot allocate memory"},
    {10, "Volume corrupted"},
    {11, "No space left on device"},
    {12, "No medium found"},
    {13, "Medium changed"},
    {14, "No such file or directory"},
    {15, "Permission denied"},
    {16, "No response"},
    {17, "No mapping"},
    {18, "Timer expired"},
    {19, "Not started"},
    {20, "Already started"},
    {21, "Operation canceled"},
    {22, "ICMP error"},
    {23, "TFTP error"},
    {24, "Protocol error"},
    {25, "Incompatible version"},
    {26, "Security violation"},
    {27, "CRC error"},
    {28, "End of medium"},
    {31, "End of file"},
    {32, "Invalid language"},
    {33, "Compromised data"},
};

}  // namespace

const char* StatusText(uint64_t status, char* buffer, size_t capacity) {
  if (status == 0) {
    FormatString(buffer, capacity, "%s", "Success");
    return buffer;
  }
  if ((status & kErrorBit) != 0) {
    for (const StatusName& name : kStatusNames) {
      if (name.code == (status & ~kErrorBit)) {
        FormatString(buffer, capacity, "%s", name.text);
        return buffer;
      }
    }
  }
  FormatString(buffer, capacity, "Unknown error 0x%llx", static_cast<unsigned long long>(status));
  return buffer;
}

}  // namespace platform::uefi
