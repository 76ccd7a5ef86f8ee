// Keys from redirected input (`program < file`). The shell hands over the file's raw bytes:
// UCS-2 with a byte order mark, as the shell writes files, or plain ASCII. Free of firmware
// headers, so the host tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::uefi {

struct InputDecoder {
  uint8_t bytes[512] = {};
  size_t length = 0;    // valid bytes in the buffer
  size_t position = 0;  // next byte to decode
  bool formatKnown = false;
  bool wide = false;
};

inline constexpr int kNeedBytes = -1;

// The next key, or kNeedBytes when the buffered bytes are used up (a lone byte of a UCS-2
// unit stays buffered for the next refill).
int DecodeKey(InputDecoder* decoder);

// Where the next bytes go and how many fit; call Filled with the count that arrived.
uint8_t* RefillSpace(InputDecoder* decoder, size_t* room);
void Filled(InputDecoder* decoder, size_t count);

// No more bytes will come. A lone first byte cannot start a byte order mark: it is plain text.
// True when that made a key available.
bool NoMoreBytes(InputDecoder* decoder);

}  // namespace platform::uefi
