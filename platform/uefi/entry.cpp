// UEFI entry: finds the shell's protocols, runs the global constructors, converts the shell's
// wide arguments into narrow strings and calls the program, which ends the image itself.
#include <efi.h>

#include "platform/platform.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"

// Bounds of the constructor table, set by the linker script.
extern "C" {
extern void (*__init_array_start[])();
extern void (*__init_array_end[])();
}

namespace platform::uefi {

Firmware firmware = {};

namespace {

EFI_GUID shellProtocolGuid = EFI_SHELL_PROTOCOL_GUID;
EFI_GUID shellParametersProtocolGuid = EFI_SHELL_PARAMETERS_PROTOCOL_GUID;

void RunGlobalConstructors() {
  for (auto* constructor = __init_array_start; constructor != __init_array_end; ++constructor) {
    (*constructor)();
  }
}

void* AllocateOrFail(size_t bytes) {
  void* memory = nullptr;
  if (EFI_ERROR(Boot()->AllocatePool(EfiLoaderData, bytes, &memory))) {
    Fatal("out of memory for the command line");
  }
  return memory;
}

// One pool block holds the pointer vector and all strings.
char** NarrowArguments(int argc, CHAR16** wide) {
  size_t bytes = (static_cast<size_t>(argc) + 1) * sizeof(char*);
  for (int i = 0; i < argc; ++i) {
    bytes += WideTextLength(wide[i]) + 1;
  }
  auto* block = static_cast<char*>(AllocateOrFail(bytes));
  auto** argv = reinterpret_cast<char**>(block);
  char* text = block + (static_cast<size_t>(argc) + 1) * sizeof(char*);
  for (int i = 0; i < argc; ++i) {
    size_t size = WideTextLength(wide[i]) + 1;
    DecodeWideText(wide[i], text, size);
    argv[i] = text;
    text += size;
  }
  argv[argc] = nullptr;
  return argv;
}

}  // namespace
}  // namespace platform::uefi

extern "C" EFI_STATUS efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* system) {
  using platform::uefi::firmware;
  firmware.image = image;
  firmware.system = system;
  EFI_BOOT_SERVICES* boot = system->BootServices;
  void* parameters = nullptr;
  void* shell = nullptr;
  if (EFI_ERROR(
          boot->HandleProtocol(image, &platform::uefi::shellParametersProtocolGuid, &parameters)) ||
      EFI_ERROR(boot->LocateProtocol(&platform::uefi::shellProtocolGuid, nullptr, &shell))) {
    const char16_t* message = u"This program must be started from the UEFI shell.\r\n";
    system->ConOut->OutputString(system->ConOut,
                                 reinterpret_cast<CHAR16*>(const_cast<char16_t*>(message)));
    return EFI_UNSUPPORTED;
  }
  firmware.parameters = static_cast<EFI_SHELL_PARAMETERS_PROTOCOL*>(parameters);
  firmware.shell = static_cast<EFI_SHELL_PROTOCOL*>(shell);
  platform::uefi::DetectRedirectedInput();
  platform::uefi::RunGlobalConstructors();
  int argc = static_cast<int>(firmware.parameters->Argc);
  ProgramMain(argc, platform::uefi::NarrowArguments(argc, firmware.parameters->Argv));
}
