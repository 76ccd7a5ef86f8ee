// What the UEFI backend's parts share: the firmware tables and shell protocols found at start,
// and the few internal calls between console, files and process end. Only platform/uefi
// includes this header.
#pragma once

#include <efi.h>

#include "platform/platform.h"

namespace platform::uefi {

struct Firmware {
  EFI_HANDLE image;
  EFI_SYSTEM_TABLE* system;
  EFI_SHELL_PROTOCOL* shell;
  EFI_SHELL_PARAMETERS_PROTOCOL* parameters;
};

// Filled by the entry before anything else runs; constant-initialised, so no constructor is
// needed.
extern Firmware firmware;

inline EFI_BOOT_SERVICES* Boot() {
  return firmware.system->BootServices;
}

// Remembers the status of a failed file operation for SystemErrorText. Returns ok.
bool RecordStatus(EFI_STATUS status);

// Input from a file (`app < file`) never waits for keys; its end ends the input.
void DetectRedirectedInput();

// Closes every file that is still open (the console's report file among them), so that
// their data reaches the disk before the image ends.
void CloseAllFiles();

// Ends the image with the status that the shell shows as %lasterror%.
[[noreturn]] void EndProgram(EFI_STATUS status);

// An internal fault that the program cannot survive: the text goes to the error stream.
[[noreturn]] void Fatal(const char* text);

}  // namespace platform::uefi
