// Steps that the save and update engines and the file checks share: the static buffers, the
// per-chunk memory area, chunked device reads, the read-back comparison, the file length, the
// header patch and the skip of an XML firmware header. Used only by transfer/ and its tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "controller/block_access.h"
#include "platform/platform.h"

namespace drux::transfer {

// Data read from or written to the controller (the file checks read through it too).
uint8_t* DeviceBuffer();
// File data read back for a comparison.
uint8_t* FileBuffer();
// The one header text buffer: BuildXmlHeader formats into it, CheckXmlHeader reads into it.
char* XmlHeaderBuffer();

// The area of a whole transfer: command, target and device from the caller, the indirect and
// large-block rules applied for the total size. Chunks take start and size from ChunkArea.
MemoryArea TransferArea(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                        uint32_t totalSize);
uint32_t BlockSize(const MemoryArea& area);
uint32_t RoundUp(uint32_t value, uint32_t multiple);

// Reads `length` bytes at `offset` of the area into the device buffer, rounded up to whole
// blocks. 0, or 6 after "ERROR: Can't read data: ...".
int ReadDeviceChunk(const MemoryArea& area, uint32_t offset, uint32_t length);

// Reads the area back and compares it with the file from the file's current position. The
// header patch is applied to the file's first chunk when patchHeader is set. Prints the verify
// line, progress and any failure. 0, 4 (file read), 6 (controller) or 10 (mismatch).
int VerifyAreaWithFile(const MemoryArea& area, platform::File* file, uint32_t size,
                       bool patchHeader);

// Stores the header patch value and renews the header CRC when the value is not 0 and the
// buffer holds the whole header.
void ApplyHeaderPatch(uint8_t* buffer, uint32_t length);

struct XmlSkip {
  long dataStart;       // file position of the first data byte
  bool hasDataLength;   // the header carries a readable Len
  uint32_t dataLength;  // Len
};
// With a file that begins with "<Firmware" (any case): skips the header up to its NUL and reads
// Len from it. Without the tag the file is positioned back at 0 and dataStart is 0.
// 0, 3 (short file, header without NUL) or 5 (seek). announce: print "Skip XML header: ".
int SkipXmlHeader(platform::File* file, XmlSkip* skip, bool announce = true);

}  // namespace drux::transfer
