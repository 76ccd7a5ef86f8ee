// The PC's link transmitter (PC module 3): its FPGA image, its bootloader and its complete
// flash image, chosen by the FPGA ID of its header reply.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int ShowLinkTransmitter();
int UpdateLinkTransmitter(const FeatureSet& features, const char* fileName, uint8_t verify,
                          uint8_t yes);
int SaveLinkTransmitter(const FeatureSet& features, const char* fileName, uint8_t verify,
                        uint8_t yes);
int UpdateLinkBootloader(const FeatureSet& features, const char* fileName, uint8_t verify,
                         uint8_t yes);
int SaveLinkBootloader(const FeatureSet& features, const char* fileName, uint8_t verify,
                       uint8_t yes);
int UpdateLinkCompleteImage(const FeatureSet& features, const char* fileName, uint8_t verify,
                            uint8_t yes);

// The running FPGA as its header reply names it; the ID is NUL-terminated.
struct LinkTransmitterHeader {
  char fpgaId[5];
  uint32_t version;
  uint32_t counter;
};
// Reads and prints the header reply of the running FPGA (command 0x6A) with the boot area and
// CRC state of the system status register. 0, 6 or 9.
int ReadLinkTransmitterHeader(LinkTransmitterHeader* running);

// The XML header of an update file (names ending in "fp" only); complete: the whole-flash
// image with function 'i'. 0, or the refusal's code (13, 15, or the XML check's).
int CheckLinkTransmitterFile(const char* fileName, const char* fpgaId, uint32_t fileId,
                             bool complete, uint32_t* version);

// Device ID of PC module 3 on the PC types that can carry a transmitter; 0 = none.
uint32_t ReadLinkTransmitterDeviceId();

// The images whose default names follow the file ID.
enum class LinkImage : uint8_t { Fpga, Bootloader };

// File ID (parent device ID when usable, else the device ID) and the file of an update or a
// save, with the one retry on the device ID's name. 0, 12 (no transmitter) or 5 (no file).
int SelectLinkTransmitterFile(const FeatureSet& features, LinkImage image, const char* fileName,
                              bool write, uint8_t yes, const char** chosen, uint32_t* fileId);

// What every update and save of the FPGA image and the bootloader starts with: its heading,
// the file and its file ID, then the running FPGA's header.
struct LinkTransmitterStart {
  const char* name;
  uint32_t fileId;
  LinkTransmitterHeader running;
};
// 0, or the code of the step that failed (file choice or header read).
int StartLinkTransmitterRequest(const FeatureSet& features, LinkImage image, const char* heading,
                                const char* fileName, bool write, uint8_t yes,
                                LinkTransmitterStart* start);

}  // namespace drux
