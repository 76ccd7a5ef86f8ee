// One controller command at a time through the mailbox handshake: claim the interface lock,
// fill the data window, write the command word, poll, fetch the reply, release.
#pragma once

#include <cstdint>

namespace drux {

// Status codes of every controller operation.
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusWorking = 1;
inline constexpr int kStatusInvalidParameter = -1;
inline constexpr int kStatusLocked = -2;
inline constexpr int kStatusFailed = -3;

// Controller error bytes (meaningful with kStatusFailed).
inline constexpr uint8_t kErrorIrqCollision = 0x80;
inline constexpr uint8_t kErrorUnknownCommand = 0x81;
inline constexpr uint8_t kErrorTimeout = 0x82;
inline constexpr uint8_t kErrorInvalidParameter = 0x83;
inline constexpr uint8_t kErrorDeviceBusy = 0x84;
inline constexpr uint8_t kErrorDeviceFailure = 0x85;

inline constexpr uint32_t kMaxCommandSize = 256;

// A controller that never finishes a command must not hang the session with the lock held:
// after this long the command ends as failed with kErrorTimeout and the interface is released.
// Flash erases are slow, so the bound is generous.
inline constexpr uint32_t kCommandTimeoutSeconds = 120;
// Tests lower the bound; 0 restores the default.
void SetCommandTimeoutSeconds(uint32_t seconds);
// After the first time-out every further command of the run fails at once with status -3 and
// kErrorTimeout, without touching a port (owed commands excepted, see WriteOwedCommand). Tests that
// start over with a fresh controller call this to trust the controller again.
void ForgetCommandTimeout();

// Debug flag (-d): every command is traced on the standard output.
void SetDebugTrace(bool on);
bool DebugTrace();

uint32_t CommandWord(uint32_t code, uint32_t address, uint32_t device, uint32_t target, bool read);

int ReadCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target, uint8_t* buffer,
                uint32_t size, uint8_t* errorByte);
int WriteCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                 const uint8_t* payload, uint32_t size, uint8_t* errorByte);
// A step owed to the controller (owed_steps.h): issued even after a time-out or a Ctrl-C, and
// its wait is not cut short by a Ctrl-C; the time bound still ends it.
int WriteOwedCommand(uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                     const uint8_t* payload, uint32_t size, uint8_t* errorByte);

// Hex dump of the trace: 16 bytes a line, offset, hex bytes and a character column.
void PrintHexDump(const uint8_t* data, uint32_t length);
// Trace line of one command ("RD ..." or "WR ..."), with the caller's values unmasked.
void PrintCommandTrace(bool read, uint32_t code, uint32_t address, uint32_t device, uint32_t target,
                       uint32_t size);

}  // namespace drux
