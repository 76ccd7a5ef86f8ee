// File-name prompt, version confirmation and the restart notices after an update.
#pragma once

#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

// Announces or asks for a file name of the given kind ("data", "firmware", "report", ...).
// Returns the name to use, or nullptr (cancelled, nothing given, or an unreadable input file).
// The service set never asks: without a name it says that it can't determine one.
const char* PromptFileName(const FeatureSet& features, const char* kind, const char* name,
                           bool write, uint8_t assumeYes);

// true to go on with the update: the file is newer, or the user accepts an older or equal one.
bool ConfirmVersion(uint32_t activeVersion, uint32_t fileVersion, uint8_t assumeYes);

// After an update of a device that must be powered off/on: 16 after success (the reboot target
// is remembered for -r), else a retry warning and the status unchanged. panel 0xFFFFFFFF = PC.
int NoticePowerCycle(uint32_t panel, uint32_t module, int status);
// After an update that needs a PC reboot: 16 after success, else a warning and the status.
int NoticePcReboot(int status);

}  // namespace drux
