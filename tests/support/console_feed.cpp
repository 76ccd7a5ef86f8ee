#include "tests/support/console_feed.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux::test {

void ConsoleFeed::Feed(const std::string& text) {
  Drain();
  std::string path = directory_.path() + "/input.txt";
  std::ofstream(path, std::ios::binary) << text;
  ASSERT_NE(std::freopen(path.c_str(), "rb", stdin), nullptr);
}

void ConsoleFeed::Close() {
  Drain();
  std::freopen("/dev/null", "rb", stdin);
}

std::string ConsoleFeed::RestOfInput() {
  std::string rest;
  for (int c = ReadConsoleChar(); c != platform::kEndOfInput; c = ReadConsoleChar()) {
    rest += static_cast<char>(c);
  }
  return rest;
}

void ConsoleFeed::Drain() {
  while (ReadConsoleChar() != platform::kEndOfInput) {
  }
}

}  // namespace drux::test
