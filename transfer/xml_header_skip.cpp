// The update's skip of an XML firmware header: the data start behind the header's NUL and the
// data length that the header's Len gives.
#include "frontend/exit_codes.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"
#include "transfer/xml_header.h"

namespace drux::transfer {

namespace {

constexpr const char kTag[] = "<Firmware";
constexpr size_t kTagLength = sizeof kTag - 1;

size_t FindNul(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && text[i] != 0) {
    ++i;
  }
  return i;
}

// A header longer than the device buffer: reads on through the file buffer. File position of
// the NUL, or -1 when the file ends first.
long FindNulFurther(platform::File* file, long position) {
  char* piece = reinterpret_cast<char*>(FileBuffer());
  for (;;) {
    const size_t got = platform::ReadFile(file, piece, kTransferChunkSize);
    const size_t nul = FindNul(piece, got);
    if (nul < got) {
      return position + long(nul);
    }
    if (got < kTransferChunkSize) {
      return -1;
    }
    position += long(got);
  }
}

}  // namespace

int SkipXmlHeader(platform::File* file, XmlSkip* skip, bool announce) {
  *skip = XmlSkip{0, false, 0};
  char* text = reinterpret_cast<char*>(DeviceBuffer());
  if (platform::ReadFile(file, text, kTagLength) != kTagLength) {
    platform::PrintSystemError("ERROR: Can't read file");
    return kExitFileRead;
  }
  // Found the way the header check finds it, so that a file that passed the check is skipped.
  if (FindXmlAttribute(text, int(kTagLength), kTag) != int(kTagLength)) {
    if (!platform::SeekFile(file, 0, platform::SeekOrigin::Begin)) {
      platform::PrintSystemError("ERROR: Can't seek file");
      return kExitFileGeneral;
    }
    return kExitOk;
  }
  if (announce) {
    platform::Print("Skip XML header: ");
  }
  const size_t stored =
      kTagLength + platform::ReadFile(file, text + kTagLength, kTransferChunkSize - kTagLength);
  const size_t nul = FindNul(text, stored);
  long headerEnd = long(nul);
  if (nul == stored) {
    headerEnd = stored < kTransferChunkSize ? -1 : FindNulFurther(file, long(stored));
  }
  if (headerEnd < 0) {
    platform::PrintError("ERROR: Can't read XML header.\n");
    return kExitFileRead;
  }
  uint32_t dataLength = 0;
  if (ReadNumericXmlAttribute(text, int(nul), "Len", &dataLength) >= 0) {
    skip->hasDataLength = true;
    skip->dataLength = dataLength;
  }
  skip->dataStart = headerEnd + 1;
  if (!platform::SeekFile(file, skip->dataStart, platform::SeekOrigin::Begin)) {
    platform::PrintSystemError("ERROR: Can't seek file");
    return kExitFileGeneral;
  }
  if (announce) {
    platform::Print("Done\n");
  }
  return kExitOk;
}

}  // namespace drux::transfer
