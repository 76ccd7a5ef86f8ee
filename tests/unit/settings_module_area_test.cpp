// The module area tables of every PC type and of panels, the display-prefixed modules and the
// EX41 compatibility switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/compatibility_switches.h"
#include "settings/module_area.h"
#include "tests/unit/settings_test_support.h"

namespace drux {
namespace {

using testing::CaptureOutput;
using testing::StartPc;

struct AreaCase {
  const char* pc;
  int32_t module;
  int32_t device;
  uint32_t start;
  uint32_t size;
};

void ExpectArea(const ModuleAreaInfo& area, uint32_t command, int32_t device, uint32_t start,
                uint32_t size) {
  EXPECT_EQ(area.size, size);
  if (size != 0) {
    EXPECT_EQ(area.command, command);
    EXPECT_EQ(area.device, device);
    EXPECT_EQ(area.start, start);
  }
}

TEST(ModuleAreaTable, PcModulesByPcType) {
  const std::vector<AreaCase> cases = {
      {"EX41", 0, 0, 0, 1280},     {"EX41", 1, -1, 0, 0},       {"EX41", 5, 4, 1024, 1024},
      {"EX41", 6, 0, 1792, 128},   {"EX41", 7, 0, 1920, 128},   {"EX41", 8, 0, 1280, 512},
      {"EX41", 10, 2, 1536, 256},  {"EX41", 11, -1, 0, 0},      {"EX41", 12, -1, 0, 0},
      {"VP41", 1, 1, 0, 1024},     {"VP41", 3, -1, 0, 0},       {"VP41", 9, 2, 1024, 256},
      {"VP41", 12, 2, 640, 384},   {"VP41", 13, 1, 1024, 1024}, {"VP41", 14, -1, 0, 0},
      {"EX52", 2, -1, 0, 0},       {"EX52", 3, 3, 0, 1024},     {"EX52", 5, -1, 0, 0},
      {"VP52", 13, 1, 1024, 1024}, {"EX53", 2, 2, 0, 1024},     {"VP53", 5, -1, 0, 0},
      {"EX64", 0, 0, 0, 1280},     {"EX64", 2, -1, 0, 0},       {"EX64", 5, 4, 1024, 1024},
      {"VP64", 8, 0, 1280, 512},   {"VP64", 12, -1, 0, 0},      {"EM64", 0, 0, 0, 2048},
      {"EM64", 5, 5, 0, 1024},     {"EM64", 8, 0, 1280, 768},   {"EM64", 9, -1, 0, 0},
      {"VP47", 0, 0, 0, 1280},     {"VP47", 1, -1, 0, 0},       {"VP20", 0, 0, 0, 1280},
      {"30", 0, -1, 0, 0},         {"EX64", -1, -1, 0, 0},
  };
  for (const AreaCase& c : cases) {
    SCOPED_TRACE(std::string(c.pc) + " module " + std::to_string(c.module));
    StartPc({(std::string("pc=") + c.pc).c_str()});
    ExpectArea(ModuleArea(-1, c.module), 0x63, c.device, c.start, c.size);
  }
}

TEST(ModuleAreaTable, ServiceSetHasNoTableForAVp20) {
  StartPc({"pc=VP20"}, kServiceFeatureSet);
  EXPECT_EQ(ModuleArea(-1, 0).size, 0u);
}

struct PanelAreaCase {
  const char* version;
  int32_t module;
  int32_t device;
  uint32_t size;
};

TEST(ModuleAreaTable, PanelModulesByPanelVersion) {
  const std::vector<PanelAreaCase> cases = {
      {"0xABCD", 0, 0, 1024}, {"0xABCD", 1, 1, 2048}, {"0xABCD", 2, 2, 2048},
      {"0xABCD", 3, 3, 1024}, {"0xABCD", 4, 0, 0},    {"0xABCD", 5, 0, 0},
      {"0x7238", 0, 0, 256},  {"0x7238", 1, 1, 2048}, {"0x0DE0", 3, 3, 1024},
      {"0xE035", 2, 2, 2048}, {"0x1E23", 0, 0, 0},    {"0x5886", 0, 0, 0},
  };
  for (const PanelAreaCase& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " module " + std::to_string(c.module));
    StartPc({(std::string("panel.2.version=") + c.version).c_str(), "panel.2.connected=1"});
    ExpectArea(ModuleArea(2, c.module), 0x73, c.device, 0, c.size);
  }
}

TEST(ModuleAreaTable, DisplayPrefixedModules) {
  struct Case {
    const char* setting;
    int32_t panel;
    int32_t module;
    bool prefixed;
  };
  const std::vector<Case> cases = {
      {"pc=EX64", -1, 1, true},
      {"pc=VP41", -1, 1, true},
      {"pc=EX53", -1, 1, true},
      {"pc=VP52", -1, 1, true},
      {"pc=EX41", -1, 1, false},
      {"pc=EM64", -1, 1, false},
      {"pc=EX64", -1, 0, false},
      {"pc=EX64", -1, 13, false},
      {"panel.0.version=0xABCD", 0, 0, true},
      {"panel.0.version=0xABCD", 0, 2, true},
      {"panel.0.version=0xABCD", 0, 1, false},
      {"panel.0.version=0x7238", 0, 0, true},
      {"panel.0.version=0x1E23", 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + " module " + std::to_string(c.module));
    StartPc({c.setting});
    EXPECT_EQ(HasDisplayBlock(c.panel, c.module), c.prefixed);
  }
}

TEST(ModuleAreaTable, MemoryAreaOfAPart) {
  StartPc({"pc=EX64"});
  MemoryArea memory = ModuleMemoryArea(ModuleArea(-1, 8), 256, 16);
  EXPECT_EQ(memory.command, 0x63);
  EXPECT_EQ(memory.target, 0);
  EXPECT_EQ(memory.device, 0);
  EXPECT_EQ(memory.start, 1280u + 256u);
  EXPECT_EQ(memory.size, 16u);
  EXPECT_EQ(memory.indirect, 0u);
  EXPECT_EQ(memory.largeBlocks, 0u);
}

struct SwitchCase {
  const char* firmware;
  int32_t module;
  std::string message;
  // Areas of modules 0, 4, 5 and 8 afterwards: start and size.
  uint32_t systemUnitSize;
  uint32_t ifOption1Start;
  uint32_t ifOption2Start;
  uint32_t fanKitStart;
  uint32_t fanKitSize;
};

TEST(CompatibilitySwitches, FollowTheLz70Version) {
  const std::vector<SwitchCase> cases = {
      {"0.7", 4, "Using swapped IF option addresses.\n", 1280, 1024, 0, 1280, 512},
      {"0.7", 5, "Using swapped IF option addresses.\n", 1280, 1024, 0, 1280, 512},
      {"0.8", 4, "", 1280, 0, 1024, 1280, 512},
      {"0.6", 4, "", 1280, 0, 1024, 1280, 512},
      {"0.7", 0, "Using old system unit size.\n", 1408, 0, 1024, 1280, 512},
      {"0.7", 8, "Using old fan kit address and size.\n", 1280, 0, 1024, 1408, 384},
      {"0.8", 0, "", 1280, 0, 1024, 1280, 512},
      {"0.8", 8, "", 1280, 0, 1024, 1280, 512},
      {"1.5", 0, "", 1280, 0, 1024, 1280, 512},
      {"0.7", 2, "", 1280, 0, 1024, 1280, 512},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(std::string("LZ70 ") + c.firmware + " module " + std::to_string(c.module));
    StartPc({"pc=EX41", (std::string("firmware=") + c.firmware).c_str()});
    testing::CapturedOutput printed = CaptureOutput([&] {
      ApplyCompatibilitySwitches(c.module);
      return 0;
    });
    EXPECT_EQ(printed.out, c.message);
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(ModuleArea(-1, 0).size, c.systemUnitSize);
    EXPECT_EQ(ModuleArea(-1, 4).start, c.ifOption1Start);
    EXPECT_EQ(ModuleArea(-1, 5).start, c.ifOption2Start);
    EXPECT_EQ(ModuleArea(-1, 8).start, c.fanKitStart);
    EXPECT_EQ(ModuleArea(-1, 8).size, c.fanKitSize);
  }
}

TEST(CompatibilitySwitches, StayForTheRun) {
  StartPc({"pc=EX41", "firmware=0.7"});
  CaptureOutput([] {
    ApplyCompatibilitySwitches(0);
    ApplyCompatibilitySwitches(4);
    return 0;
  });
  EXPECT_EQ(ModuleArea(-1, 0).size, 1408u);
  EXPECT_EQ(ModuleArea(-1, 4).start, 1024u);
  EXPECT_EQ(ModuleArea(-1, 8).start, 1280u) << "module 8 was not asked for";
}

TEST(CompatibilitySwitches, OnlyOnAnEx41) {
  StartPc({"pc=EX64", "firmware=0.7"});
  testing::CapturedOutput printed = CaptureOutput([] {
    ApplyCompatibilitySwitches(0);
    return 0;
  });
  EXPECT_EQ(printed.out, "");
  EXPECT_EQ(sim::LogSize(), 0u) << "no version read on other PC types";
  EXPECT_EQ(ModuleArea(-1, 0).size, 1280u);
}

TEST(CompatibilitySwitches, UnreadableVersionLeavesTheTable) {
  StartPc({"pc=EX41", "firmware=0.7"});
  sim::AddFault(sim::Fault{sim::FaultKind::ErrorByte, 0x10, 0x85, 0});
  testing::CapturedOutput printed = CaptureOutput([] {
    ApplyCompatibilitySwitches(0);
    return 0;
  });
  sim::ClearFaults();
  EXPECT_EQ(printed.out, "");
  EXPECT_EQ(printed.err, "ERROR: Can't get DRUX LZ70 version: device failure (does not exist)\n");
  EXPECT_EQ(ModuleArea(-1, 0).size, 1280u);
}

}  // namespace
}  // namespace drux
