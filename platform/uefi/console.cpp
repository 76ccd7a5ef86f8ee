// UEFI console: output through the shell's standard output and error handles (so the shell's
// redirections apply) or, started without the shell, straight to the firmware's console, both
// streams in the order printed; UCS-2 with CR LF line ends. Input from the console's keys,
// collected into lines with echo like a terminal.
#include <efi.h>

#include "platform/platform.h"
#include "platform/uefi/input_decoder.h"
#include "platform/uefi/line_editor.h"
#include "platform/uefi/text_encoding.h"
#include "platform/uefi/uefi_backend.h"

namespace platform::uefi {
namespace {

ConsoleEncoder outEncoder;
ConsoleEncoder errEncoder;
File* consoleFile = nullptr;  // set by RedirectConsole
LineEditor editor;
InputDecoder fileInput;
bool inputIsFile = false;
bool inputEnded = false;

void WriteUnits(Stream stream, uint16_t* units, size_t count) {
  if (!StartedByShell()) {
    firmware.system->ConOut->OutputString(firmware.system->ConOut, units);
    return;
  }
  UINTN bytes = count * sizeof *units;
  SHELL_FILE_HANDLE handle =
      stream == Stream::Err ? firmware.parameters->StdErr : firmware.parameters->StdOut;
  firmware.shell->WriteFile(handle, &bytes, units);
}

void WriteToConsole(Stream stream, const char* data, size_t length) {
  ConsoleEncoder* encoder = stream == Stream::Err ? &errEncoder : &outEncoder;
  // The shell hands console text to OutputString, which ignores the length and stops at a NUL.
  uint16_t units[256];
  constexpr size_t kRoom = sizeof units / sizeof *units - 1;
  while (length > 0) {
    size_t produced = 0;
    size_t consumed = EncodeConsoleText(encoder, data, length, units, kRoom, &produced);
    units[produced] = 0;
    WriteUnits(stream, units, produced);
    data += consumed;
    length -= consumed;
  }
}

// Echo belongs on the screen, also while the program's output goes into a report file.
void ShowEcho(const Echo& echo) {
  if (!inputIsFile && echo.length > 0) {
    WriteToConsole(Stream::Out, echo.text, echo.length);
  }
}

constexpr int kNoMoreKeys = -1;

// Redirected input comes as the file's bytes through the shell's standard input handle; the
// console's key reader would take them in pairs.
int NextFileKey() {
  for (;;) {
    int key = DecodeKey(&fileInput);
    if (key != kNeedBytes) {
      return key;
    }
    size_t room = 0;
    uint8_t* space = RefillSpace(&fileInput, &room);
    UINTN size = room;
    if (EFI_ERROR(firmware.shell->ReadFile(firmware.parameters->StdIn, &size, space)) ||
        size == 0) {
      return NoMoreBytes(&fileInput) ? DecodeKey(&fileInput) : kNoMoreKeys;
    }
    Filled(&fileInput, size);
  }
}

// Waits for the next key at the console.
int NextConsoleKey() {
  EFI_SIMPLE_TEXT_IN_PROTOCOL* input = firmware.system->ConIn;
  for (;;) {
    EFI_INPUT_KEY key{};
    EFI_STATUS status = input->ReadKeyStroke(input, &key);
    if (!EFI_ERROR(status)) {
      return key.UnicodeChar;
    }
    UINTN index = 0;
    if (status != EFI_NOT_READY || EFI_ERROR(Boot()->WaitForEvent(1, &input->WaitForKey, &index))) {
      return kNoMoreKeys;
    }
  }
}

int NextKey() {
  return inputIsFile ? NextFileKey() : NextConsoleKey();
}

}  // namespace

void WriteToScreen(const char* text, size_t length) {
  WriteToConsole(Stream::Out, text, length);
}

void WaitForKeyOrTimeout(unsigned seconds) {
  EFI_SIMPLE_TEXT_IN_PROTOCOL* input = firmware.system->ConIn;
  EFI_EVENT timer = nullptr;
  if (EFI_ERROR(Boot()->CreateEvent(EVT_TIMER, 0, nullptr, nullptr, &timer))) {
    return;
  }
  constexpr UINT64 kTicksPerSecond = 10'000'000;  // 100 ns units
  if (!EFI_ERROR(Boot()->SetTimer(timer, TimerRelative, seconds * kTicksPerSecond))) {
    EFI_EVENT events[] = {input->WaitForKey, timer};
    UINTN index = 0;
    Boot()->WaitForEvent(2, events, &index);
    EFI_INPUT_KEY key{};
    input->ReadKeyStroke(input, &key);  // the key that ended the wait, not left for the firmware
  }
  Boot()->CloseEvent(timer);
}

void DetectRedirectedInput() {
  // The console's own input handle has no file information; a redirected file has.
  EFI_FILE_INFO* info = firmware.shell->GetFileInfo(firmware.parameters->StdIn);
  inputIsFile = info != nullptr;
  if (info != nullptr) {
    Boot()->FreePool(info);
  }
}

}  // namespace platform::uefi

namespace platform {

using uefi::firmware;

void Write(Stream stream, const char* data, size_t length) {
  if (uefi::consoleFile != nullptr) {
    WriteFile(uefi::consoleFile, data, length);
    return;
  }
  // Nothing is buffered, so the order of both streams is kept as printed.
  uefi::WriteToConsole(stream, data, length);
}

void Flush(Stream /*stream*/) {
  if (uefi::consoleFile != nullptr) {
    FlushFile(uefi::consoleFile);
  }
}

int ReadChar() {
  while (!uefi::HasLine(uefi::editor)) {
    if (uefi::inputEnded) {
      return kEndOfInput;
    }
    int key = uefi::NextKey();
    if (key == uefi::kNoMoreKeys) {
      uefi::inputEnded = true;
      uefi::EndLine(&uefi::editor);
      continue;
    }
    uefi::Echo echo;
    uefi::FeedKey(&uefi::editor, static_cast<uint16_t>(key), &echo);
    uefi::ShowEcho(echo);
  }
  return uefi::TakeChar(&uefi::editor);
}

bool RedirectConsole(File* file) {
  if (file == nullptr) {
    return false;
  }
  uefi::consoleFile = file;
  return true;
}

}  // namespace platform
