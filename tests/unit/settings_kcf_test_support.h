// Shared set-up of the key configuration tests: a simulated PC with 1 or 16 panel channels,
// images built to measure, and output with the progress runs folded into one marker.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "controller/registers.h"
#include "settings/key_configuration.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "tests/unit/transfer_test_support.h"

namespace drux::testing {

inline constexpr uint32_t kOneChannelImage = 12816;
inline constexpr uint32_t kSixteenChannelImage = 200976;

struct KcfImageShape {
  uint32_t blocks;       // scan-code blocks in the image
  uint32_t panelCount;   // byte 130 of the header
  bool trailer = true;   // the "ScanCodes..:  " row at the end
  bool balanced = true;  // last byte makes the 8-bit sum 0
};

inline void PutText(Bytes& image, size_t offset, const std::string& text) {
  std::copy(text.begin(), text.end(), image.begin() + long(offset));
}

inline Bytes KcfImage(const KcfImageShape& shape) {
  Bytes image(size_t(shape.blocks) * 12544 + 272, 0);
  PutText(image, 0, "Version:2.17");
  PutText(image, 14, "Date:2024-11-05");
  PutText(image, 30, "UserInfo:Line 4 operator desk");
  image[130] = uint8_t(shape.panelCount);
  for (size_t i = 256; i < image.size() - 16; ++i) {
    image[i] = uint8_t(i * 13 + 5);
  }
  PutText(image, image.size() - 16, shape.trailer ? "ScanCodes..:  " : "KeyCodes....:  ");
  uint8_t sum = 0;
  for (uint8_t byte : image) {
    sum = uint8_t(sum + byte);
  }
  image.back() = uint8_t(0 - sum + (shape.balanced ? 0 : 1));
  return image;
}

inline const std::string kFields =
    "Version: 2.17\nUser info: Line 4 operator desk\nBuild date: 2024-11-05\n";

// Every progress run ("  0%" ... "Done\n") becomes "[progress]\n".
inline std::string FoldProgress(const std::string& text) {
  static const std::regex kRun("  0%(\b\b\b\b[ 0-9]{3}%)*\b\b\b\bDone\n");
  return std::regex_replace(text, kRun, "[progress]\n");
}

class KeyConfigurationTest : public TransferTest {
 protected:
  void TearDown() override {
    test::ConsoleFeed::Close();
    TransferTest::TearDown();
  }

  // A created machine: erased area; the feature bit as asked.
  static void StartPc(uint32_t channels, bool available) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    config.panelChannels = channels;
    config.featureRegister = available ? kFeatureKeyConfiguration : 0;
    sim::StartInMemory(config);
    sim::ClearFaults();
    sim::ClearLog();
  }
  static void StoreImage(const Bytes& image) {
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::KeyConfiguration, 0, image.data(), image.size()));
  }
  static Bytes Stored(size_t length) {
    Bytes bytes(length);
    EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::KeyConfiguration, 0, bytes.data(), length));
    return bytes;
  }
  static void AddFault(const std::string& text) {
    sim::Fault fault{};
    ASSERT_TRUE(sim::ParseFault(text.c_str(), &fault)) << text;
    ASSERT_TRUE(sim::AddFault(fault)) << text;
  }
  static size_t Commands(uint8_t code, bool read) {
    size_t count = 0;
    for (const sim::LogEntry& entry : Log()) {
      count += entry.code == code && entry.read == read ? 1 : 0;
    }
    return count;
  }
  void Feed(const std::string& text) { console_.Feed(text); }

  test::ConsoleFeed console_;
};

}  // namespace drux::testing
