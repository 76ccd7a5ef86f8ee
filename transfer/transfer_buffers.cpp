// The static buffers of the transfers: the program allocates nothing on the heap, and one
// transfer runs at a time.
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"
#include "transfer/xml_header.h"

namespace drux::transfer {
namespace {

uint8_t deviceBuffer[kTransferChunkSize];
uint8_t fileBuffer[kTransferChunkSize];
char xmlHeaderBuffer[kXmlHeaderBufferSize];

}  // namespace

uint8_t* DeviceBuffer() {
  return deviceBuffer;
}
uint8_t* FileBuffer() {
  return fileBuffer;
}
char* XmlHeaderBuffer() {
  return xmlHeaderBuffer;
}

}  // namespace drux::transfer
