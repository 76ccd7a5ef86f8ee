// The command handshake. Port traffic is the cost on real hardware, so a command touches
// exactly the ports the handshake needs: claim (status read and write-back), payload, command
// word, polls of state and error byte, reply, release (status read and write-back).
#include "controller/command.h"

#include "controller/owed_steps.h"
#include "controller/registers.h"
#include "platform/platform.h"

namespace drux {

namespace {

uint32_t gTimeoutSeconds = kCommandTimeoutSeconds;
// Set once a command has run into the bound. A controller that wedged does not recover within
// one run, and waiting out the bound for every further command would cost hours.
bool gGaveUp = false;

// Reading the clock is slow on real hardware; a finished command never gets this far.
constexpr uint32_t kPollsPerClockCheck = 4096;

uint16_t WindowBase(uint32_t size) {
  return size <= kSmallWindowSize ? kPortSmallWindow : kPortLargeWindow;
}

bool ValidTransfer(const void* buffer, uint32_t size) {
  return size <= kMaxCommandSize && (size == 0 || buffer != nullptr);
}

// The lock is tested and set with two separate accesses; the controller offers nothing
// atomic.
bool ClaimInterface() {
  const uint32_t status = ReadRegister(kPortCommandStatus);
  if ((status & kStatusLockBit) != 0) {
    return false;
  }
  WriteRegister(kPortCommandStatus, status | kStatusLockBit);
  return true;
}

// Clears error byte, state and lock; the upper bits belong to the controller.
void ReleaseInterface() {
  WriteRegister(kPortCommandStatus, ReadRegister(kPortCommandStatus) & ~kStatusHostBits);
}

// True once the command has run longer than the bound. The clock starts at the first check,
// so that commands that finish within a few thousand polls never read it.
bool TimedOut(uint32_t polls, int64_t* clockStart) {
  if (polls % kPollsPerClockCheck != 0) {
    return false;
  }
  const int64_t now = platform::CalendarSeconds();
  if (*clockStart < 0 || now < *clockStart) {
    *clockStart = now;  // first check, or the calendar was set back
    return false;
  }
  return now - *clockStart > int64_t(gTimeoutSeconds);
}

// An owed command (the re-protect after an update) must reach the controller even after a
// time-out or a Ctrl-C; it may cost one more time bound.
enum class Urgency : uint8_t { Ordinary, Owed };

int PollUntilFinished(Urgency urgency, uint8_t* errorByte) {
  int64_t clockStart = -1;
  for (uint32_t polls = 1;; ++polls) {
    const uint8_t state = ReadRegisterByte(kPortCommandState) & (kStatusStateMask >> 8);
    *errorByte = ReadRegisterByte(kPortCommandStatus);
    if (state == kStateFinished) {
      return kStatusOk;
    }
    if (state == kStateFailed) {
      return kStatusFailed;
    }
    if (TimedOut(polls, &clockStart)) {
      gGaveUp = true;
      *errorByte = kErrorTimeout;
      return kStatusFailed;
    }
    // An interrupted wait ends like one that ran out of time: the release follows.
    if (urgency == Urgency::Ordinary && platform::InterruptRequested()) {
      *errorByte = kErrorTimeout;
      return kStatusFailed;
    }
  }
}

// Ctrl-C ends the run only where the interface is free, so that neither the controller's lock
// bit nor a half-done command is left to the next program; while steps are owed, the ordinary
// commands after it are not issued any more.
void EndRunBeforeIssueIfInterrupted(Urgency urgency) {
  if (urgency == Urgency::Ordinary) {
    EndRunIfInterrupted();
  }
}

// After a time-out, or a Ctrl-C while steps are owed, an ordinary command fails at once as if
// it had timed out. It never claims the interface, so there is nothing to release.
bool Refused(Urgency urgency, uint8_t* errorByte) {
  const bool refused = urgency == Urgency::Ordinary && (gGaveUp || platform::InterruptRequested());
  if (refused) {
    *errorByte = kErrorTimeout;
  }
  return refused;
}

int IssueAndWait(Urgency urgency, uint32_t commandWord, uint8_t* errorByte) {
  WriteRegister(kPortCommand, commandWord);
  return PollUntilFinished(urgency, errorByte);
}

int IssueWrite(Urgency urgency, uint32_t code, uint32_t address, uint32_t device, uint32_t target,
               const uint8_t* payload, uint32_t size, uint8_t* errorByte) {
  if (!ValidTransfer(payload, size)) {
    return kStatusInvalidParameter;
  }
  uint8_t ignoredErrorByte = 0;
  if (errorByte == nullptr) {
    errorByte = &ignoredErrorByte;
  }
  EndRunBeforeIssueIfInterrupted(urgency);
  if (DebugTrace()) {
    PrintCommandTrace(false, code, address, device, target, size);
    PrintHexDump(payload, size);
  }
  if (Refused(urgency, errorByte)) {
    return kStatusFailed;
  }
  if (!ClaimInterface()) {
    return kStatusLocked;
  }
  const uint16_t base = WindowBase(size);
  for (uint32_t i = 0; i < size; ++i) {
    WriteRegisterByte(uint16_t(base + i), payload[i]);
  }
  const int status =
      IssueAndWait(urgency, CommandWord(code, address, device, target, false), errorByte);
  ReleaseInterface();
  EndRunIfInterrupted();
  return status;
}

}  // namespace

void SetCommandTimeoutSeconds(uint32_t seconds) {
  gTimeoutSeconds = seconds == 0 ? kCommandTimeoutSeconds : seconds;
}

void ForgetCommandTimeout() {
  gGaveUp = false;
}

uint32_t CommandWord(uint32_t code, uint32_t address, uint32_t device, uint32_t target, bool read) {
  return ((code & 0xFF) << kCommandCodeShift) | ((target & 0xF) << kCommandTargetShift) |
         ((device & 0xF) << kCommandDeviceShift) | (read ? kCommandReadFlag : 0) |
         (address & kCommandAddressMask);
}

int ReadCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target, uint8_t* buffer,
                uint32_t size, uint8_t* errorByte) {
  if (!ValidTransfer(buffer, size)) {
    return kStatusInvalidParameter;
  }
  uint8_t ignoredErrorByte = 0;
  if (errorByte == nullptr) {
    errorByte = &ignoredErrorByte;
  }
  EndRunBeforeIssueIfInterrupted(Urgency::Ordinary);
  if (DebugTrace()) {
    PrintCommandTrace(true, code, address, device, target, size);
  }
  if (Refused(Urgency::Ordinary, errorByte)) {
    return kStatusFailed;
  }
  if (!ClaimInterface()) {
    return kStatusLocked;
  }
  const int status =
      IssueAndWait(Urgency::Ordinary, CommandWord(code, address, device, target, true), errorByte);
  if (status == kStatusOk) {
    const uint16_t base = WindowBase(size);
    for (uint32_t i = 0; i < size; ++i) {
      buffer[i] = ReadRegisterByte(uint16_t(base + i));
    }
    if (DebugTrace()) {
      PrintHexDump(buffer, size);
    }
  }
  ReleaseInterface();
  EndRunIfInterrupted();
  return status;
}

int WriteCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                 const uint8_t* payload, uint32_t size, uint8_t* errorByte) {
  return IssueWrite(Urgency::Ordinary, code, address, device, target, payload, size, errorByte);
}

int WriteOwedCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                     const uint8_t* payload, uint32_t size, uint8_t* errorByte) {
  return IssueWrite(Urgency::Owed, code, address, device, target, payload, size, errorByte);
}

}  // namespace drux
