// What the UEFI backend's parts share: the firmware tables and shell protocols found at start,
// and the few internal calls between console, files and process end. Only platform/uefi
// includes this header.
#pragma once

#include <efi.h>

#include "platform/platform.h"

namespace platform::uefi {

// shell and parameters stay nullptr when the program was started without the shell (a boot
// entry or a removable disk's default boot program).
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

inline bool StartedByShell() {
  return firmware.shell != nullptr;
}

// Remembers the status of a failed file operation for SystemErrorText. Returns ok.
bool RecordStatus(EFI_STATUS status);

// Input from a file (`app < file`) never waits for keys; its end ends the input.
void DetectRedirectedInput();

// Closes every file that is still open (the console's report file among them), so that
// their data reaches the disk before the image ends.
void CloseAllFiles();

// Text for the screen, also while the console goes into a report file.
void WriteToScreen(const char* text, size_t length);

// Started without the shell: waits until a key is pressed, at most the seconds given, so that
// the screen can be read before the firmware takes it over again.
void WaitForKeyOrTimeout(unsigned seconds);

// Ends the image with the status: the shell shows it as %lasterror%, a boot manager gets it as
// the image's return status.
[[noreturn]] void EndProgram(EFI_STATUS status);

// An internal fault that the program cannot survive: the text goes to the error stream.
[[noreturn]] void Fatal(const char* text);

}  // namespace platform::uefi
