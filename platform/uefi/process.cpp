// UEFI process: shell variables as the environment, and the end of the image with the exit
// code that the shell shows as %lasterror%. Started without the shell, the run ends with the
// exit code on the screen and a wait for a key, and returns a status that carries the code
// (boot_exit_status.h).
#include <efi.h>

#include "platform/format.h"
#include "platform/platform.h"
#include "platform/port_backend.h"
#include "platform/uefi/boot_exit_status.h"
#include "platform/uefi/file_service.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"

namespace platform::uefi {
namespace {

// Callers may hold several values at once (the simulator asks for more than one name), so
// each name keeps its own slot for the rest of the run.
struct EnvironmentSlot {
  char name[32];
  char value[256];
  bool used;
};
EnvironmentSlot environment[4];

bool SameText(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

void CopyText(char* out, const char* text, size_t capacity) {
  size_t i = 0;
  for (; text[i] != '\0' && i + 1 < capacity; ++i) {
    out[i] = text[i];
  }
  out[i] = '\0';
}

EnvironmentSlot* SlotFor(const char* name) {
  for (EnvironmentSlot& slot : environment) {
    if (slot.used && SameText(slot.name, name)) {
      return &slot;
    }
  }
  for (EnvironmentSlot& slot : environment) {
    if (!slot.used) {
      slot.used = true;
      CopyText(slot.name, name, sizeof slot.name);
      return &slot;
    }
  }
  return nullptr;
}

// Long enough to read the screen; short enough that an unattended run still ends.
constexpr unsigned kFinalWaitSeconds = 30;

// Keys typed during the run must not cut the final wait short.
void ForgetTypedKeys() {
  firmware.system->ConIn->Reset(firmware.system->ConIn, FALSE);
}

void ShowExitCode(int code) {
  char line[32];
  size_t length = FormatString(line, sizeof line, "Exit code: %d\n", code);
  WriteToScreen(line, length);
}

}  // namespace

void EndProgram(EFI_STATUS status) {
  CloseAllFiles();
  if (!StartedByShell()) {
    WaitForKeyOrTimeout(kFinalWaitSeconds);
  }
  Boot()->Exit(firmware.image, status, 0, nullptr);
  for (;;) {
  }
}

void Fatal(const char* text) {
  static const char kPrefix[] = "internal error: ";
  Write(Stream::Err, kPrefix, sizeof kPrefix - 1);
  size_t length = 0;
  while (text[length] != '\0') {
    ++length;
  }
  Write(Stream::Err, text, length);
  Write(Stream::Err, "\n", 1);
  EndProgram(EFI_ABORTED);
}

}  // namespace platform::uefi

namespace platform {

const char* EnvironmentValue(const char* name) {
  // Without the shell there are no variables; the program's home is its image's folder, so
  // that the simulator's test images keep their machine beside themselves.
  if (!uefi::StartedByShell()) {
    return uefi::SameText(name, "HOME") ? uefi::ImageFolderText() : nullptr;
  }
  uint16_t wideName[32];  // variable names hold no "/", so the file name rule fits
  if (!uefi::EncodeFileName(name, wideName, sizeof wideName / sizeof *wideName)) {
    return nullptr;
  }
  const CHAR16* value = uefi::firmware.shell->GetEnv(wideName);
  if (value == nullptr) {
    return nullptr;
  }
  uefi::EnvironmentSlot* slot = uefi::SlotFor(name);
  if (slot == nullptr || !uefi::DecodeWideText(value, slot->value, sizeof slot->value)) {
    return nullptr;
  }
  return slot->value;
}

void Exit(int code) {
  if (!FinishPortBackend()) {
    PrintError("druxsim: can't save the simulated PC's state\n");
  }
  if (uefi::StartedByShell()) {
    uefi::EndProgram(static_cast<EFI_STATUS>(code));
  }
  uefi::CloseAllFiles();  // the report file too, so the last line reaches the screen
  uefi::ForgetTypedKeys();
  uefi::ShowExitCode(code);
  uefi::EndProgram(uefi::BootExitStatus(code));
}

}  // namespace platform
