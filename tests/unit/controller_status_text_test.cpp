#include <gtest/gtest.h>

#include <cstdint>

#include "controller/status_text.h"

namespace drux {
namespace {

struct StatusTextCase {
  int status;
  uint8_t errorByte;
  const char* text;
};

TEST(StatusText, EveryStatusAndErrorByte) {
  const StatusTextCase cases[] = {
      {0, 0x00, "no error"},
      {0, 0x84, "no error"},  // the error byte counts only for a failed command
      {1, 0x00, "DRUX is working"},
      {-1, 0x82, "invalid parameter"},
      {-2, 0x00, "DRUX command interface is locked"},
      {-3, 0x00, "DRUX command failed without error?"},
      {-3, 0x80, "IRQ collision"},
      {-3, 0x81, "unknown DRUX command"},
      {-3, 0x82, "DRUX command timeout"},
      {-3, 0x83, "invalid DRUX command parameter"},
      {-3, 0x84, "device busy"},
      {-3, 0x85, "device failure (does not exist)"},
      {-3, 0x86, "unknown DRUX command error"},
      {-3, 0x7F, "unknown DRUX command error"},
      {-3, 0xFF, "unknown DRUX command error"},
      {2, 0x00, "unknown DRUX error"},
      {-4, 0x00, "unknown DRUX error"},
      {-4, 0x84, "unknown DRUX error"},
  };
  for (const StatusTextCase& c : cases) {
    EXPECT_STREQ(StatusText(c.status, c.errorByte), c.text)
        << "status " << c.status << " error byte 0x" << std::hex << int(c.errorByte);
  }
}

}  // namespace
}  // namespace drux
