// One fixed text for a status code and controller error byte.
#pragma once

#include <cstdint>

namespace drux {

const char* StatusText(int status, uint8_t errorByte);

}  // namespace drux
