// The dispatch table of the action drivers against the keyword table that the help and the
// menus show, and the driver's answer for the data types whose handlers are not in the
// program yet, in both feature sets (the full set with its target questions answered).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/service_request.h"
#include "frontend/action_drivers.h"
#include "frontend/dispatch_table.h"
#include "frontend/keyword_tables.h"
#include "frontend/menus.h"
#include "platform/platform.h"
#include "sim/sim.h"
#include "tests/support/captured_output.h"
#include "tests/support/console_feed.h"
#include "tests/support/sim_settings.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

const char* const kNotSupported[] = {
    "ERROR: Info is not supported for the specified data type.\n",
    "ERROR: Save is not supported for the specified data type.\n",
    "ERROR: Update is not supported for the specified data type.\n",
    "ERROR: Delete is not supported for the specified data type.\n",
    "ERROR: Action is not supported for the specified data type.\n",
};

// The help lists for each data type the actions it has; the drivers must serve exactly those.
TEST(DispatchTable, ServesExactlyTheActionsTheHelpLists) {
  for (const DataTypeKeywords& keywords : kDataTypeKeywords) {
    for (const ActionKeywords& action : kActionKeywords) {
      bool listed = std::strchr(keywords.supportedActions, action.letter[0]) != nullptr;
      bool served = FindRoute(action.code, keywords.code).rule != TargetRule::NotSupported;
      EXPECT_EQ(served, listed) << action.word << " " << keywords.keyword;
    }
  }
}

TEST(DispatchTable, HasOneRowPerDataType) {
  for (const DataTypeKeywords& keywords : kDataTypeKeywords) {
    int rows = 0;
    for (const DataTypeRoutes& row : kDispatchTable) {
      rows += row.dataType == keywords.code ? 1 : 0;
    }
    EXPECT_EQ(rows, 1) << keywords.keyword;
  }
  for (uint32_t action = kActionInfo; action <= kActionChange; ++action) {
    EXPECT_EQ(FindRoute(action, kDataNone).rule, TargetRule::NotSupported);
    EXPECT_EQ(FindRoute(action, kDataTypeCount + 1).rule, TargetRule::NotSupported);
  }
  EXPECT_EQ(FindRoute(kActionNone, kDataStatistics).rule, TargetRule::NotSupported);
  EXPECT_EQ(FindRoute(kActionChange + 1, kDataUserSerialId).rule, TargetRule::NotSupported);
}

// The fan units are fixed PC modules whatever the request names.
TEST(DispatchTable, FanUnitsAreFixedPcModules) {
  for (uint32_t action : {kActionInfo, kActionUpdate, kActionDelete}) {
    Route fan = FindRoute(action, kDataFanFactorySettings);
    Route busFan = FindRoute(action, kDataFan2FactorySettings);
    EXPECT_EQ(fan.rule, TargetRule::FixedPcModule);
    EXPECT_EQ(fan.fixedModule, 8);
    EXPECT_EQ(fan.handler, Handler::ModuleFactorySettings);
    EXPECT_EQ(busFan.rule, TargetRule::FixedPcModule);
    EXPECT_EQ(busFan.fixedModule, 12);
  }
  for (uint32_t action : {kActionInfo, kActionSave, kActionUpdate, kActionDelete}) {
    EXPECT_EQ(FindRoute(action, kDataSystem).systemNumber, 1);
    EXPECT_EQ(FindRoute(action, kDataSystem2).systemNumber, 2);
    EXPECT_EQ(FindRoute(action, kDataSystem3).systemNumber, 3);
  }
}

// ---- Drivers ---------------------------------------------------------------------------------

using DriverOutput = test::CapturedOutput;

DriverOutput RunDriver(const FeatureSet& features, uint32_t action, uint32_t dataType,
                       int32_t panel) {
  return test::CaptureOutput([&] {
    switch (action) {
      case kActionInfo:
        return RunInfo(features, dataType, nullptr, panel, -1);
      case kActionSave:
        return RunSave(features, dataType, nullptr, panel, -1, 1, 0);
      case kActionUpdate:
        return RunUpdate(features, dataType, nullptr, panel, -1, 1, 0);
      case kActionDelete:
        return RunDelete(features, dataType, panel, -1, 0);
      default:
        return RunChange(features, dataType, nullptr, panel, -1);
    }
  });
}

// The commands sent so far, one readable line each.
std::vector<std::string> CommandLogLines() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < sim::LogSize(); ++i) {
    char line[128];
    sim::FormatLogEntry(sim::LogAt(i), line, sizeof line);
    lines.emplace_back(line);
  }
  return lines;
}

class Drivers : public testing::Test {
 protected:
  void SetUp() override { StartMachine({}); }

  void TearDown() override { test::ConsoleFeed::Close(); }

  // The default machine changed by settings in the simulator's "key=value" form.
  static void StartMachine(const std::vector<std::string>& settings) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    ASSERT_TRUE(test::ApplySettings(config, settings));
    sim::StartInMemory(config);
    sim::ClearFaults();
    sim::ClearLog();
  }

  // The whole standard input from now on; a question beyond it reads the end of the input,
  // which ends the process.
  void Feed(const std::string& text) { console_.Feed(text); }

 private:
  test::ConsoleFeed console_;
};

// The DRUX firmware cells reach their handler in both sets: Info shows the running firmware;
// Save and Update on a PC type without a default file name stop at the file name (the service
// set cannot ask for one) before the flash is touched.
TEST_F(Drivers, DruxFirmwareCellsReachTheirHandler) {
  const std::string info =
      "\n-- DRUX firmware --\n\nDRUX version: 1.05\nDRUX booted from: low area\n"
      "DRUX CRC state: OK\nDRUX update counter: 0\n\n";
  for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
    StartMachine({});
    DriverOutput shown = RunDriver(*features, kActionInfo, kDataDruxFirmware, -1);
    EXPECT_EQ(shown.result, 0);
    EXPECT_EQ(shown.out, info);
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(CommandLogLines(),
              std::vector<std::string>{"RD cmd=0x10 addr=0x0000 dev=1 target=1 size=4 state=1 "
                                       "err=0x00"});
  }
  const struct {
    uint32_t action;
    std::string first;
  } cells[] = {{kActionSave, "Save DRUX firmware ...\n"},
               {kActionUpdate, "Update DRUX firmware ...\n"}};
  for (const auto& cell : cells) {
    StartMachine({"pc=5"});
    DriverOutput output = RunDriver(kServiceFeatureSet, cell.action, kDataDruxFirmware, -1);
    EXPECT_EQ(output.result, 5);
    EXPECT_EQ(output.out,
              cell.first + "ERROR: Can't determine firmware file name automatically.\n");
    EXPECT_EQ(output.err, "");
    for (const std::string& line : CommandLogLines()) {
      EXPECT_EQ(line.rfind("RD cmd=0x12 ", 0), 0u) << line;
    }
  }
}

// The key configuration has no target to settle: each driver reaches its handler at once, in
// both sets, and closes as usual (no finished line after a failure).
struct KeyConfigurationCell {
  uint32_t action;
  std::vector<std::string> machine;
  std::string input;
  int result;
  std::string serviceOut;
  std::string fullOut;  // where the full set asks
  std::string err;
};

const std::vector<KeyConfigurationCell> kKeyConfigurationCells = {
    {kActionInfo,
     {"features=0"},
     "",
     0,
     "\n-- Key configuration --\n\nNo key configuration available.\n\n",
     "",
     ""},
    {kActionInfo, {}, "", 9, "\n-- Key configuration --\n\n\n", "", "ERROR: Invalid header.\n"},
    {kActionSave,
     {"features=0"},
     "",
     12,
     "Save key configuration ...\n",
     "",
     "ERROR: No key configuration available.\n"},
    {kActionSave,
     {},
     "\n",
     5,
     "Save key configuration ...\n"
     "ERROR: Can't determine configuration file name automatically.\n",
     "Save key configuration ...\nEnter a configuration filename or nothing to exit: ",
     ""},
    {kActionUpdate,
     {},
     "\n",
     5,
     "Update key configuration ...\n"
     "ERROR: Can't determine configuration file name automatically.\n",
     "Update key configuration ...\nEnter a configuration filename or nothing to exit: ",
     ""},
    {kActionDelete,
     {},
     "n\n",
     7,
     "Delete key configuration ...\nDo you really want to delete (y/n): ",
     "",
     ""},
};

TEST_F(Drivers, KeyConfigurationCellsReachTheirHandler) {
  for (const KeyConfigurationCell& c : kKeyConfigurationCells) {
    for (const FeatureSet* features : {&kServiceFeatureSet, &kFullFeatureSet}) {
      std::string label = std::to_string(c.action) + (features->full ? " full" : " service");
      StartMachine(c.machine);
      Feed(c.input);
      DriverOutput output = RunDriver(*features, c.action, kDataKeyConfiguration, -1);
      EXPECT_EQ(output.result, c.result) << label;
      EXPECT_EQ(output.out, features->full && !c.fullOut.empty() ? c.fullOut : c.serviceOut)
          << label;
      EXPECT_EQ(output.err, c.err) << label;
      // Nothing was written; Info and Save read the header at most.
      for (const std::string& line : CommandLogLines()) {
        EXPECT_EQ(line.rfind("RD cmd=0x20 ", 0), 0u) << label << ": " << line;
      }
    }
  }
}

// Data types that only the full set has do not exist for the service set's drivers.
TEST_F(Drivers, ServiceSetLacksTheFullSetDataTypes) {
  for (const DataTypeKeywords& keywords : kDataTypeKeywords) {
    if (keywords.inServiceSet) {
      continue;
    }
    for (uint32_t action = kActionInfo; action <= kActionChange; ++action) {
      DriverOutput output = RunDriver(kServiceFeatureSet, action, keywords.code, 0);
      EXPECT_EQ(output.result, 1) << keywords.keyword << action;
      EXPECT_EQ(output.err, kNotSupported[action - 1]) << keywords.keyword << action;
    }
  }
  EXPECT_EQ(sim::LogSize(), 0u);
}

}  // namespace
}  // namespace drux
