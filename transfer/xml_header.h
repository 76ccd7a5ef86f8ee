// The one-line XML firmware header in front of image files: built on save, checked on update.
#pragma once

#include <cstdint>

namespace drux {

inline constexpr int kXmlHeaderBufferSize = 1024;

// Prints "Build XML header ...", formats the header with today's date into a static buffer
// (overwritten by each call) and returns it.
const char* BuildXmlHeader(uint32_t deviceId, char function, uint16_t variant, const char* usage,
                           uint32_t version, uint32_t dataLength, uint16_t checksum,
                           const char* material);

// Checks a file's header attribute by attribute and its data checksum. Limits and expectations
// of 0 (variant: 0xFFFF or above, usage: empty) are not checked. Result 0, 2, 3, 8, 9 or 13;
// *version receives Ver as soon as it is read.
int CheckXmlHeader(const char* fileName, long maxFileSize, long maxDataSize,
                   uint32_t expectedDevice, char expectedFunction, uint32_t expectedVariant,
                   const char* expectedUsage, uint32_t minimumVersion, uint32_t* version);

// As CheckXmlHeader, but Dev must equal device even when device is 0: a file ID of 0 (the
// identity could not be read) matches no file that names another device.
int CheckXmlHeaderOfDevice(const char* fileName, long maxFileSize, long maxDataSize,
                           uint32_t device, char expectedFunction, uint32_t expectedVariant,
                           const char* expectedUsage, uint32_t minimumVersion, uint32_t* version);

// Position after the first case-insensitive occurrence of name in header[0, length), or -1.
int FindXmlAttribute(const char* header, int length, const char* name);
// name="<decimal or 0x-hex>": position or -1; *value gets the number.
int ReadNumericXmlAttribute(const char* header, int length, const char* name, uint32_t* value);
// name="<1 to maxLength characters>": position or -1; text gets maxLength + 1 bytes at most.
int ReadTextXmlAttribute(const char* header, int length, const char* name, char* text,
                         int maxLength);

}  // namespace drux
