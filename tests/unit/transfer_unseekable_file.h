// A file name that opens for reading but cannot be positioned: the read end of a pipe, reached
// through /proc/self/fd. The write end stays open (with a few bytes waiting), so that opening
// the name does not wait for a writer.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace drux::testing {

class UnseekableFile {
 public:
  UnseekableFile() {
    EXPECT_EQ(::pipe(ends_), 0);
    const char waiting[] = "<Firmware";
    EXPECT_EQ(::write(ends_[1], waiting, sizeof waiting - 1), ssize_t(sizeof waiting - 1));
    path_ = "/proc/self/fd/" + std::to_string(ends_[0]);
  }
  ~UnseekableFile() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  UnseekableFile(const UnseekableFile&) = delete;
  UnseekableFile& operator=(const UnseekableFile&) = delete;

  const char* path() const { return path_.c_str(); }

 private:
  int ends_[2] = {-1, -1};
  std::string path_;
};

}  // namespace drux::testing
