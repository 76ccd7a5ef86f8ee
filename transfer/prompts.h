// Console dialogues shared by every data type, the restart notices and the reboots.
#pragma once

#include <cstddef>
#include <cstdint>

#include "controller/feature_set.h"

namespace drux {

// Yes when any character of the answer line is 'y' or 'Y'; assumeYes answers yes silently.
bool AskYesNo(const char* prompt, uint8_t assumeYes);

// Prints ": ", reads one line of at most maxLength characters into buffer (maxLength + 1 bytes),
// drops the rest of the line. True when the line is not empty.
bool ReadLine(char* buffer, size_t maxLength);

// One console character for the dialogues. CR, LF and CR LF each arrive as one '\n', so
// that a line typed on the UEFI console (CR) and one from a redirected file (LF or CR LF) end
// alike. platform::kEndOfInput at the end of the input.
int ReadConsoleChar();

// Reboots a panel (or its link converter, module 2) through the controller. Always 0: the panel
// link drops during the reboot, so the command's status says nothing.
int RebootPanelModule(int32_t panel, int32_t module);
// Reboots the PC through the controller: 0, or 14 when the controller refused.
int RebootPc();

// The power-cycle notice remembers its device here; 0xFFFFFFFF as panel means the PC.
inline constexpr uint32_t kRebootTargetPc = 0xFFFFFFFF;
void RememberRebootTarget(uint32_t panel, uint32_t module);

// Remembered reboot target of the last power-cycle notice; RebootAfterUpdate reboots it (a
// panel module), or the PC when no panel was remembered. 0, or 14 when the PC reboot failed.
int RebootAfterUpdate();

}  // namespace drux
