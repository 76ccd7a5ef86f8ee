// UEFI process: shell variables as the environment, and the end of the image with the exit
// code that the shell shows as %lasterror%.
#include <efi.h>

#include "platform/platform.h"
#include "platform/port_backend.h"
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

}  // namespace

void EndProgram(EFI_STATUS status) {
  CloseAllFiles();
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
  uefi::EndProgram(static_cast<EFI_STATUS>(code));
}

}  // namespace platform
