// Console dialogues shared by every data type, and the reboots that option -r triggers.
#include "transfer/prompts.h"

#include <cstdarg>

#include "controller/command.h"
#include "controller/exit_codes.h"
#include "controller/owed_steps.h"
#include "controller/status_text.h"
#include "platform/platform.h"

namespace drux {
namespace {

// A CR ended the last line; an LF that follows it belongs to that line end.
bool lineEndedWithCr = false;

// Reboot target remembered by the last power-cycle notice; the PC until a notice names another.
uint32_t rememberedRebootPanel = kRebootTargetPc;
uint32_t rememberedRebootModule = kRebootTargetPc;

constexpr uint32_t kCommandRebootPanel = 0x22;
constexpr uint32_t kCommandRebootPc = 0x50;
constexpr uint32_t kRebootPcDevice = 3;
constexpr uint32_t kRebootPcTarget = 1;
constexpr uint32_t kRebootPanelTarget = 3;
constexpr int32_t kLinkConverterModule = 2;
constexpr uint8_t kRebootWholePanel = 2;
constexpr uint8_t kRebootLinkConverter = 8;
constexpr uint32_t kRebootRequestSize = 16;

// Callers hand over their prompts as formats.
void PrintFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::PrintV(platform::Stream::Out, format, args);
  va_end(args);
}

void SkipRestOfLine() {
  int c = ReadConsoleChar();
  while (c != '\n' && c != platform::kEndOfInput) {
    c = ReadConsoleChar();
  }
}

}  // namespace

int ReadConsoleChar() {
  int c = platform::ReadChar();
  if (lineEndedWithCr && c == '\n') {
    c = platform::ReadChar();
  }
  if (c == platform::kEndOfInput) {
    // Ctrl-C ends the console input too, but it is no answer: the run ends, nothing done.
    EndRunIfInterrupted();
  }
  lineEndedWithCr = c == '\r';
  return lineEndedWithCr ? '\n' : c;
}

bool AskYesNo(const char* prompt, uint8_t assumeYes) {
  if (assumeYes != 0) {
    return true;
  }
  PrintFormat(prompt);
  platform::Flush(platform::Stream::Out);
  bool yes = false;
  for (int c = ReadConsoleChar(); c != '\n' && c != platform::kEndOfInput; c = ReadConsoleChar()) {
    if (c == 'y' || c == 'Y') {
      yes = true;
    }
  }
  return yes;
}

bool ReadLine(char* buffer, size_t maxLength) {
  buffer[0] = '\0';
  platform::Print(": ");
  platform::Flush(platform::Stream::Out);
  size_t length = 0;
  for (;;) {
    int c = ReadConsoleChar();
    if (c == '\n' || c == platform::kEndOfInput) {
      break;
    }
    if (length == maxLength) {
      SkipRestOfLine();
      break;
    }
    buffer[length++] = static_cast<char>(c);
  }
  buffer[length] = '\0';
  return length > 0;
}

int RebootPanelModule(int32_t panel, int32_t module) {
  uint8_t request[kRebootRequestSize] = {};
  int32_t rebootedModule = 0;
  if (module == kLinkConverterModule) {
    request[0] = kRebootLinkConverter;
    rebootedModule = kLinkConverterModule;
  } else {
    request[0] = kRebootWholePanel;
  }
  platform::Print("Trying to reboot panel %d module %d ...\n", panel, rebootedModule);
  platform::Print("WARNING: Panel connection (incl. USB) will be lost during reboot time!\n");
  // The panel link drops while the panel restarts, so the command's status tells nothing.
  uint8_t errorByte = 0;
  WriteCommand(kCommandRebootPanel, 0, static_cast<uint32_t>(panel), kRebootPanelTarget, request,
               kRebootRequestSize, &errorByte);
  return kExitOk;
}

int RebootPc() {
  platform::Print("Reboot PC ...\n");
  uint8_t errorByte = 0;
  int status =
      WriteCommand(kCommandRebootPc, 0, kRebootPcDevice, kRebootPcTarget, nullptr, 0, &errorByte);
  if (status != kStatusOk) {
    platform::PrintError("ERROR: Can't reboot DRUX: %s\n", StatusText(status, errorByte));
    return kExitRestartFailed;
  }
  return kExitOk;
}

void RememberRebootTarget(uint32_t panel, uint32_t module) {
  rememberedRebootPanel = panel;
  rememberedRebootModule = module;
}

int RebootAfterUpdate() {
  if (rememberedRebootPanel < kRebootTargetPc) {
    return RebootPanelModule(static_cast<int32_t>(rememberedRebootPanel),
                             static_cast<int32_t>(rememberedRebootModule));
  }
  return RebootPc();
}

}  // namespace drux
