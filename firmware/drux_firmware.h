// The controller's own firmware: Info shows the running copy, Save copies it into a .fw file,
// Update hands a file to the controller's update area.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int ShowDruxFirmware();
int SaveDruxFirmware(const FeatureSet& features, const char* fileName, uint8_t verify, uint8_t yes);
int UpdateDruxFirmware(const FeatureSet& features, const char* fileName, uint8_t verify,
                       uint8_t yes);

// Prints version, boot area, CRC state and update counter of the running firmware; *version
// gets major * 100 + minor. 0, or 6 when the controller cannot tell its version.
int ReadActiveDruxVersion(uint32_t* version);

// Header, version and CRC of a firmware file (XML header when the name ends in "fw").
int CheckDruxFirmwareFile(const char* fileName, uint32_t fileId, uint32_t* version);

// Header and CRC of a firmware copy in flash; *checksum gets the XML Chk of its bytes.
// idPrefix may be nullptr.
int CheckDruxFirmwareArea(uint32_t command, uint32_t target, uint32_t device, uint32_t start,
                          uint32_t size, const char* idPrefix, uint32_t* version,
                          uint16_t* checksum);

}  // namespace drux
