// What a call in the test process prints on both standard streams, and what it returns.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace drux::test {

struct CapturedOutput {
  int result;
  std::string out;
  std::string err;
};

template <typename Call>
CapturedOutput CaptureOutput(Call call) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int result = call();
  CapturedOutput captured{result, "", ""};
  captured.out = ::testing::internal::GetCapturedStdout();
  captured.err = ::testing::internal::GetCapturedStderr();
  return captured;
}

}  // namespace drux::test
