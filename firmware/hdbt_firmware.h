// The firmware of a panel's HDBaseT module (module 4 of the panel channel): Info and Update.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

int ShowHdbtFirmware(int32_t panel);
int UpdateHdbtFirmware(const FeatureSet& features, const char* fileName, int32_t panel,
                       uint8_t verify, uint8_t yes);

// Prints ID, version and CRC state of the module's running firmware. 0, 6 or 9.
int ReadPanelModuleFpgaHeader(int32_t panel, uint32_t* version);
// XML file (name ending in "fw") or raw image. 0, 2, 3, 5, 9 or 13.
int CheckHdbtFile(const char* fileName, uint32_t versionId, uint32_t* version);

}  // namespace drux
