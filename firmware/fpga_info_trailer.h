// The 16-byte info trailer that ends old-format FPGA images: 0xFF 0xFF, the FPGA type, the
// version digits and "FPGA".
#pragma once

#include <cstddef>
#include <cstdint>

namespace drux {

inline constexpr size_t kFpgaInfoTrailerSize = 16;

bool IsFpgaInfoTrailer(const uint8_t* bytes);
// Trailer bytes 2-5 and a NUL into type (5 bytes).
void FpgaInfoTrailerType(const uint8_t* bytes, char* type);
// The decimal digits from byte 6 up to the first other character; 0 when there are none.
uint32_t FpgaInfoTrailerVersion(const uint8_t* bytes);

}  // namespace drux
