// Shared set-up of the transfer tests: a simulated controller in memory, a scratch directory
// for the files, and the text that an engine prints on both streams.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/captured_output.h"
#include "tests/support/file_contents.h"

namespace drux::testing {

using test::CapturedOutput;
using test::CaptureOutput;

using Bytes = std::vector<uint8_t>;

// Flash commands with small and large data windows, and the progress of a transfer that is
// over at once.
inline constexpr uint32_t kSmallBlockFlash = 0xA0;
inline constexpr uint32_t kLargeBlockFlash = 0xE0;
inline const std::string kDone = "  0%\b\b\b\bDone\n";

inline Bytes Pattern(size_t length, uint8_t seed, uint8_t step = 1) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = uint8_t(seed + i * step);
  }
  return bytes;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  ASSERT_TRUE(test::WriteFileBytes(path, bytes)) << path;
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

inline Bytes ReadBytes(const std::string& path) {
  return test::ReadFileBytes(path);
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// Header text, its NUL and the data, as an image file with an XML firmware header.
inline Bytes XmlFile(const std::string& header, const Bytes& data) {
  Bytes bytes(header.begin(), header.end());
  bytes.push_back(0);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// The Chk value that makes Chk and the data sum to 0 modulo 65536.
inline uint16_t XmlChecksum(const Bytes& data) {
  uint32_t sum = 0;
  for (uint8_t byte : data) {
    sum += byte;
  }
  return uint16_t(0x10000 - (sum & 0xFFFF));
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::StartInMemory(sim::DefaultMachineConfig());
    sim::ClearFaults();
    sim::ClearLog();
    sim::ClearProtocolViolations();
    std::string pattern = (std::filesystem::temp_directory_path() / "drux-transfer-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override {
    EXPECT_EQ(sim::ProtocolViolationCount(), 0u) << sim::LastProtocolViolation();
    sim::ClearFaults();
    std::filesystem::remove_all(directory_);
  }

  std::string Path(const std::string& name) const {
    EXPECT_FALSE(directory_.empty()) << "Path() before SetUp()";
    return directory_ + "/" + name;
  }

  // Names of the files in the scratch directory, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static Bytes Flash(uint32_t offset, size_t length) {
    Bytes bytes(length);
    EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::Flash, offset, bytes.data(), length));
    return bytes;
  }
  static void SetFlash(uint32_t offset, const Bytes& bytes) {
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, offset, bytes.data(), bytes.size()));
  }

  static std::vector<sim::LogEntry> Log() {
    std::vector<sim::LogEntry> entries;
    for (size_t i = 0; i < sim::LogSize(); ++i) {
      entries.push_back(sim::LogAt(i));
    }
    return entries;
  }

  // Total payload of the logged commands in one direction.
  static size_t LoggedBytes(bool read) {
    size_t total = 0;
    for (const sim::LogEntry& entry : Log()) {
      if (entry.read == read) {
        total += entry.size;
      }
    }
    return total;
  }

  std::string directory_;
};

}  // namespace drux::testing
