// UEFI entry: finds the shell's protocols, runs the global constructors, converts the shell's
// wide arguments into narrow strings and calls the program, which ends the image itself.
// Without the shell's protocols (a boot entry, or \EFI\BOOT\BOOTX64.EFI of a removable disk)
// the arguments come from the image's load options and files from the volume it was loaded
// from.
#include <efi.h>

#include "platform/platform.h"
#include "platform/uefi/file_service.h"
#include "platform/uefi/load_options.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"

// Bounds of the constructor table, set by the linker script.
extern "C" {
extern void (*__init_array_start[])();
extern void (*__init_array_end[])();
}

namespace platform::uefi {

Firmware firmware = {};
const FileService* fileService = &shellFileService;

namespace {

EFI_GUID shellProtocolGuid = EFI_SHELL_PROTOCOL_GUID;
EFI_GUID shellParametersProtocolGuid = EFI_SHELL_PARAMETERS_PROTOCOL_GUID;
EFI_GUID loadedImageProtocolGuid = EFI_LOADED_IMAGE_PROTOCOL_GUID;

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

const char* AfterWord(const char* word) {
  while (*word != '\0') {
    ++word;
  }
  return word + 1;
}

// The load options' words after the program's name; argv[0] is that name, or the image's own
// path when the options do not start with one. One pool block holds the vector and the texts.
char** LoadOptionArguments(const EFI_LOADED_IMAGE* loaded, int* argc) {
  const auto* units = static_cast<const uint16_t*>(loaded->LoadOptions);
  size_t count = units == nullptr ? 0 : loaded->LoadOptionsSize / sizeof(uint16_t);
  size_t wordBytes = LoadOptionWordsCapacity(count);
  const char* imagePath = ImagePathText();
  size_t pathBytes = 1;
  for (const char* p = imagePath; *p != '\0'; ++p) {
    ++pathBytes;
  }
  size_t vectorBytes = (count + 2) * sizeof(char*);
  auto* block = static_cast<char*>(AllocateOrFail(vectorBytes + wordBytes + pathBytes));
  auto** argv = reinterpret_cast<char**>(block);
  char* words = block + vectorBytes;
  char* path = words + wordBytes;
  for (size_t i = 0; i < pathBytes; ++i) {
    path[i] = imagePath[i];
  }
  int found = SplitLoadOptions(units, count, words, wordBytes);
  if (found < 0) {
    Fatal("the load options do not fit");
  }
  const char* word = words;
  argv[0] = path;
  if (found > 0 && IsProgramName(word)) {
    argv[0] = words;
    word = AfterWord(word);
    --found;
  }
  for (int i = 0; i < found; ++i, word = AfterWord(word)) {
    argv[i + 1] = const_cast<char*>(word);
  }
  argv[found + 1] = nullptr;
  *argc = found + 1;
  return argv;
}

// Started by a boot manager: no shell, and the firmware's watchdog would reset the machine
// five minutes into the run, in the middle of a long flash update.
[[noreturn]] void StartWithoutShell() {
  Boot()->SetWatchdogTimer(0, 0, 0, nullptr);
  void* interface = nullptr;
  if (EFI_ERROR(Boot()->HandleProtocol(firmware.image, &loadedImageProtocolGuid, &interface))) {
    Fatal("no loaded image protocol");
  }
  auto* loaded = static_cast<EFI_LOADED_IMAGE*>(interface);
  fileService = &volumeFileService;
  OpenImageVolume(loaded->DeviceHandle, loaded->FilePath);
  RunGlobalConstructors();
  int argc = 0;
  char** argv = LoadOptionArguments(loaded, &argc);
  ProgramMain(argc, argv);
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
    platform::uefi::StartWithoutShell();
  }
  firmware.parameters = static_cast<EFI_SHELL_PARAMETERS_PROTOCOL*>(parameters);
  firmware.shell = static_cast<EFI_SHELL_PROTOCOL*>(shell);
  platform::uefi::DetectRedirectedInput();
  platform::uefi::RunGlobalConstructors();
  int argc = static_cast<int>(firmware.parameters->Argc);
  ProgramMain(argc, platform::uefi::NarrowArguments(argc, firmware.parameters->Argv));
}
