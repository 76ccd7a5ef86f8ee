// BIOS settings that the controller keeps for the PC's firmware: boot mode, TPM, UEFI-only boot,
// SATA mode, USB standby power, hypervisor and realtime environment, as the PC type offers them.
#pragma once

namespace drux {

// The settings in effect, from the controller's effective settings register. Always 0.
int ShowBiosSettings();
// setting: "KEY=value", or nullptr to list the PC's settings and ask for one. 0 when nothing was
// typed; 16 (reboot needed) after a change; 15 for a setting the PC lacks; 6 when the write fails.
int ChangeBiosSetting(const char* setting);

}  // namespace drux
