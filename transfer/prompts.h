// Console dialogues shared by every data type, the restart notices and the reboots.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frontend/feature_set.h"

namespace drux {

// Yes when any character of the answer line is 'y' or 'Y'; assumeYes answers yes silently.
bool AskYesNo(const char* prompt, uint8_t assumeYes);

// Prints ": ", reads one line of at most maxLength characters into buffer (maxLength + 1 bytes),
// drops the rest of the line. True when the line is not empty.
bool ReadLine(char* buffer, size_t maxLength);

// Remembered reboot target of the last power-cycle notice; RebootAfterUpdate reboots it (a
// panel module), or the PC when no panel was remembered. 0, or 14 when the PC reboot failed.
int RebootAfterUpdate();

}  // namespace drux
