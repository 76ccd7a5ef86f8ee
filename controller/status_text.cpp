// Fixed texts for status codes and controller error bytes, embedded in the callers' messages.
#include "controller/status_text.h"

#include "controller/command.h"

namespace drux {

namespace {

struct StatusEntry {
  int status;
  const char* text;
};

constexpr StatusEntry kStatusTexts[] = {
    {kStatusOk, "no error"},
    {kStatusWorking, "DRUX is working"},
    {kStatusInvalidParameter, "invalid parameter"},
    {kStatusLocked, "DRUX command interface is locked"},
};

struct ErrorByteEntry {
  uint8_t errorByte;
  const char* text;
};

constexpr ErrorByteEntry kErrorByteTexts[] = {
    {0x00, "DRUX command failed without error?"},
    {kErrorIrqCollision, "IRQ collision"},
    {kErrorUnknownCommand, "unknown DRUX command"},
    {kErrorTimeout, "DRUX command timeout"},
    {kErrorInvalidParameter, "invalid DRUX command parameter"},
    {kErrorDeviceBusy, "device busy"},
    {kErrorDeviceFailure, "device failure (does not exist)"},
};

const char* ErrorByteText(uint8_t errorByte) {
  for (const ErrorByteEntry& entry : kErrorByteTexts) {
    if (entry.errorByte == errorByte) {
      return entry.text;
    }
  }
  return "unknown DRUX command error";
}

}  // namespace

const char* StatusText(int status, uint8_t errorByte) {
  if (status == kStatusFailed) {
    return ErrorByteText(errorByte);
  }
  for (const StatusEntry& entry : kStatusTexts) {
    if (entry.status == status) {
      return entry.text;
    }
  }
  return "unknown DRUX error";
}

}  // namespace drux
