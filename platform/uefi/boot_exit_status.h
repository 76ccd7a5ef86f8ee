// The image's return status for an exit code when no shell started the program: a boot manager
// only knows success and error statuses. 0 is EFI_SUCCESS; any other code is an error status
// from the range that UEFI leaves to OEMs (both top bits set) with the code in the low bits,
// so it never reads as one of the firmware's own errors (code 6 is not EFI_NOT_READY).
#pragma once

#include <cstdint>

namespace platform::uefi {

inline constexpr uint64_t kOemErrorStatus = uint64_t{3} << 62;

constexpr uint64_t BootExitStatus(int code) {
  return code == 0 ? 0 : kOemErrorStatus | static_cast<uint32_t>(code);
}

}  // namespace platform::uefi
