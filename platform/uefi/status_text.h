// Readable texts for the status codes of the firmware's file operations, worded like the C
// library's error texts so that messages read the same as on the host. Free of firmware
// headers, so the host tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

// Writes the text for the status into buffer (always terminated when capacity > 0) and
// returns buffer. Unknown codes read "Unknown error 0x<code>".
const char* StatusText(uint64_t status, char* buffer, size_t capacity);

}  // namespace platform::uefi
