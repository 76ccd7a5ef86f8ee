// Shared set-up of the memory-area tests: the transfer fixture on a PC of a chosen type, typed
// answers, the data types addressed by one table, and the information blocks of the areas.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/pc_type.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "tests/support/sim_settings.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/memory_area_types.h"

namespace drux::testing {

inline constexpr uint32_t kSmallFlashSize = 0x400000;
inline constexpr uint32_t kLargeFlashSize = 0x1000000;

// A tagged area of the flash and the handlers that serve it (number 0: user data).
struct TaggedAreaCase {
  const char* keyword;
  uint8_t systemNumber;
  std::string tag;
  std::string title;  // Info heading
  std::string name;   // step lines
  uint32_t smallBase;
  uint32_t largeBase;
  uint32_t maxLength;
};

inline const std::vector<TaggedAreaCase> kTaggedAreas = {
    {"SYS2", 2, "SYS2", "2nd system data", "2nd system data", 0x340000, 0x940000, 0x9FF00},
    {"SYS3", 3, "SYS3", "3rd system data", "3rd system data", 0x3E0000, 0x9E0000, 0xFF00},
    {"USER", 0, "USER", "User data", "user data", 0x3F0000, 0x9F0000, 0xFF00},
};

inline int ShowArea(const TaggedAreaCase& c) {
  return c.systemNumber == 0 ? ShowUserData() : ShowSystemData(c.systemNumber);
}
inline int SaveArea(const FeatureSet& features, const TaggedAreaCase& c, const char* file,
                    uint8_t verify, uint8_t yes) {
  return c.systemNumber == 0 ? SaveUserData(features, file, verify, yes)
                             : SaveSystemData(features, c.systemNumber, file, verify, yes);
}
inline int UpdateArea(const FeatureSet& features, const TaggedAreaCase& c, const char* file,
                      uint8_t verify) {
  return c.systemNumber == 0 ? UpdateUserData(features, file, verify)
                             : UpdateSystemData(features, c.systemNumber, file, verify);
}
inline int DeleteArea(const TaggedAreaCase& c, uint8_t yes) {
  return c.systemNumber == 0 ? DeleteUserData(yes) : DeleteSystemData(c.systemNumber, yes);
}

// The information block of a tagged area: tag, little-endian length, zeros.
inline Bytes InfoBlock(const std::string& tag, uint32_t length, size_t size = 256) {
  Bytes block(size, 0);
  std::copy(tag.begin(), tag.end(), block.begin());
  for (int i = 0; i < 4; ++i) {
    block[4 + i] = uint8_t(length >> (8 * i));
  }
  return block;
}

// The 16-byte information block of the system data store.
inline Bytes StoreInfo(uint32_t length) {
  Bytes block(16, 0);
  for (int i = 0; i < 4; ++i) {
    block[i] = uint8_t(length >> (8 * i));
  }
  return block;
}

inline std::string Decimal(uint64_t value) {
  return std::to_string(value);
}

class MemoryAreaTest : public TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    StartPc("EX64");
  }
  void TearDown() override {
    // The next test must not inherit this test's PC type.
    ForgetPcTypeAnswers();
    test::ConsoleFeed::Close();
    TransferTest::TearDown();
  }

  // A fresh default machine of this PC type, as a new program run sees it.
  void StartPc(const std::string& pcType, const FeatureSet& features = kFullFeatureSet) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    ASSERT_TRUE(test::ApplySettings(config, std::vector<std::string>{"pc=" + pcType}));
    sim::StartInMemory(config);
    sim::ClearFaults();
    sim::ClearLog();
    ConfigurePcTypeTests(features);
    ForgetPcTypeAnswers();
  }

  void AddFault(const std::string& text) {
    sim::Fault fault{};
    ASSERT_TRUE(sim::ParseFault(text.c_str(), &fault)) << text;
    ASSERT_TRUE(sim::AddFault(fault)) << text;
  }

  void Feed(const std::string& text) { console_.Feed(text); }

  static Bytes Store(uint32_t offset, size_t length) {
    Bytes bytes(length);
    EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::SystemData, offset, bytes.data(), length));
    return bytes;
  }
  static void SetStore(uint32_t offset, const Bytes& bytes) {
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::SystemData, offset, bytes.data(), bytes.size()));
  }

  // Logged commands of one code range (a base code and its address extensions).
  static std::vector<sim::LogEntry> LogOf(uint8_t firstCode, uint8_t lastCode) {
    std::vector<sim::LogEntry> entries;
    for (const sim::LogEntry& entry : Log()) {
      if (entry.code >= firstCode && entry.code <= lastCode) {
        entries.push_back(entry);
      }
    }
    return entries;
  }

 private:
  test::ConsoleFeed console_;
};

}  // namespace drux::testing
