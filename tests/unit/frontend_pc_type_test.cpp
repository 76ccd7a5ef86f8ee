// The PC type tests keep their answers: each asks the controller once per run.
#include <gtest/gtest.h>

#include "controller/pc_type.h"
#include "sim/sim.h"

namespace drux {
namespace {

class PcTypeTests : public testing::Test {
 protected:
  void Start(uint8_t pcType) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    config.pcType = pcType;
    sim::StartInMemory(config);
    ForgetPcTypeAnswers();
  }
  void SetPcType(uint8_t pcType) {
    sim::MachineConfig config = sim::Config();
    config.pcType = pcType;
    sim::UpdateConfig(config);
  }
  void TearDown() override {
    ConfigurePcTypeTests(kServiceFeatureSet);
    ForgetPcTypeAnswers();
  }
};

TEST_F(PcTypeTests, EachTestMatchesItsOwnCode) {
  using PcTest = bool (*)();
  const struct {
    uint8_t code;
    PcTest test;
  } tests[] = {
      {14, IsEx41}, {15, IsVp41}, {16, IsEx52}, {17, IsVp52}, {18, IsEx64}, {19, IsVp64},
      {20, IsEx53}, {21, IsVp53}, {22, IsEm64}, {23, IsVp47}, {24, IsVp20},
  };
  ConfigurePcTypeTests(kFullFeatureSet);
  for (const auto& pc : tests) {
    Start(pc.code);
    for (const auto& other : tests) {
      EXPECT_EQ(other.test(), other.code == pc.code) << int(pc.code) << " " << int(other.code);
    }
  }
}

TEST_F(PcTypeTests, AnswersAreKeptForTheRun) {
  ConfigurePcTypeTests(kFullFeatureSet);
  Start(18);
  EXPECT_TRUE(IsEx64());
  sim::ClearPortAccessCount();
  SetPcType(19);
  EXPECT_TRUE(IsEx64());  // asked before: the controller is not read again
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  EXPECT_TRUE(IsVp64());  // not asked before: reads the code now
  EXPECT_GT(sim::PortAccessCount(), 0u);
}

TEST_F(PcTypeTests, ServiceSetNeverRecognisesAVp20) {
  ConfigurePcTypeTests(kServiceFeatureSet);
  Start(24);
  sim::ClearPortAccessCount();
  EXPECT_FALSE(IsVp20());
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  ConfigurePcTypeTests(kFullFeatureSet);
  EXPECT_TRUE(IsVp20());
}

}  // namespace
}  // namespace drux
