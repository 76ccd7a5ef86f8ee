// The link converter of a panel channel (module 2 of the channel): Info, Update and Save of its
// FPGA image by converter type.
#pragma once

#include <cstdint>

#include "frontend/feature_set.h"

namespace drux {

int ShowConverter(int32_t panel);
int UpdateConverter(const FeatureSet& features, const char* fileName, int32_t panel, uint8_t verify,
                    uint8_t yes);
int SaveConverter(const FeatureSet& features, const char* fileName, int32_t panel, uint8_t verify,
                  uint8_t yes);

// Selects the panel for module functions, reads and prints the converter's header reply
// (command 0x7A). type gets five bytes; counter and highArea may be nullptr. 0, 6 or 9.
int ReadConverterHeader(int32_t panel, char* type, uint32_t* version, uint32_t* counter,
                        bool* highArea);

// XML header (name ending in "fp") or image header and CRC of an update file for this type.
// 0, or the refusal's code (13 for an unknown type).
int CheckConverterFile(const char* fileName, const char* type, uint32_t* version);

}  // namespace drux
