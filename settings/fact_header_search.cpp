// The strict search for the FACT header that precedes a change of its fields.
#include "platform/platform.h"
#include "settings/factory_record.h"

namespace drux {

uint8_t* FindFactHeader(uint8_t* record, size_t available) {
  const size_t staticLength = ReadHeadHeader(record).staticLength;
  // The header must end before the static data ends, and within the bytes that are there.
  for (size_t offset = kHeadHeaderSize;
       offset + kFactHeaderSize < staticLength && offset + kFactHeaderSize <= available;
       offset += kFactSearchStep) {
    if (HasFactTag(record + offset)) {
      return record + offset;
    }
  }
  platform::PrintError("ERROR: FACT header not found.\n");
  return nullptr;
}

}  // namespace drux
