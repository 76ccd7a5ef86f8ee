// The XML firmware header that a save writes in front of an image.
#include "platform/format.h"
#include "transfer/transfer_steps.h"
#include "transfer/xml_header.h"

namespace drux {

const char* BuildXmlHeader(uint32_t deviceId, char function, uint16_t variant, const char* usage,
                           uint32_t version, uint32_t dataLength, uint16_t checksum,
                           const char* material) {
  platform::Print("Build XML header ...\n");
  const platform::Date today = platform::LocalDate();
  char* header = transfer::XmlHeaderBuffer();
  platform::FormatString(header, kXmlHeaderBufferSize,
                         "<Firmware Dev=\"%04u\" Ver=\"%u\" Use=\"%s\" Fct=\"%c\" Var=\"%u\" "
                         "Len=\"%lu\" Chk=\"0x%04x\" Mat=\"%.18s\" Dat=\"%02u.%02u.%04u\" "
                         "Rem=\"%s\"/>",
                         unsigned(deviceId), unsigned(version), usage, function, unsigned(variant),
                         static_cast<unsigned long>(dataLength), unsigned(checksum), material,
                         unsigned(today.day), unsigned(today.month), unsigned(today.year),
                         "Created by DRUXSVC");
  return header;
}

}  // namespace drux
