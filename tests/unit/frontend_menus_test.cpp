// The target panel and module questions of the full feature set against the simulated
// controller, with the console fed from a file; and the data type menu's filter by action.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "controller/feature_set.h"
#include "controller/service_request.h"
#include "frontend/command_line.h"
#include "frontend/keyword_tables.h"
#include "frontend/menus.h"
#include "platform/platform.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "tests/support/file_contents.h"
#include "tests/support/sim_settings.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

const std::string kInvalid = "Invalid input - please retry\n";

constexpr std::initializer_list<const char*> kBaseMachine = {
    "pc=EX64",
    "panel.0.connected=1",
    "panel.1.connected=1",
    "module.0.model=DX-EX64-SU00",
    "module.8.model=DX-EX64-FAN0",
    "panel.1.module.0.model=TP-MAIN",
    "panel.1.module.1.model=TP-LINK",
};

// A menu that ends the program where it should have returned would end the test binary with
// exit code 0, which looks like a pass; while armed, any exit fails instead.
bool exitIsAFault = false;

void FailOnUnexpectedExit() {
  if (exitIsAFault) {
    std::fputs("the menu ended the program unexpectedly\n", stderr);
    std::_Exit(1);
  }
}

class MenuDialogue : public testing::Test {
 protected:
  void SetUp() override {
    static const bool registered = std::atexit(FailOnUnexpectedExit) == 0;
    ASSERT_TRUE(registered);
    exitIsAFault = true;
    Start({});
  }

  void TearDown() override {
    exitIsAFault = false;
    test::ConsoleFeed::Close();
  }

  // Panels 0 and 1 connected, panel 1 with the model number TP-15 in its internal data and
  // panel 0 without; PC modules 0 and 8 and panel 1's modules 0 and 1 fitted; then the
  // test's own settings.
  void Start(std::initializer_list<const char*> settings) {
    sim::MachineConfig config{};
    ASSERT_TRUE(test::ApplySettings(config, kBaseMachine));
    ASSERT_TRUE(test::ApplySettings(config, settings));
    sim::StartInMemory(config);
    std::vector<uint8_t> internalData(128, 0);
    const uint8_t marker[8] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(internalData.data(), marker, sizeof marker);
    std::memcpy(internalData.data() + 37, "TP-15", 6);
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelDisplay, 128, internalData.data(),
                                    internalData.size(), 1));
  }

  void Feed(const std::string& text) { console_.Feed(text); }

  std::string OutputPath() const { return console_.directory() + "/output.txt"; }

 private:
  test::ConsoleFeed console_;
};

// ---- Target panel ----------------------------------------------------------------------------

const std::string kTargetsWithPc = "-- Available targets --\nPC\nPanel 0 ()\nPanel 1 (TP-15)\n";
const std::string kTargetsWithoutPc = "-- Available targets --\nPanel 0 ()\nPanel 1 (TP-15)\n";
const std::string kAskWithPc = "Enter 'PC', panel number (0 to 15) or nothing to exit: ";
const std::string kAskWithoutPc = "Enter panel number (0 to 15) or nothing to exit: ";
const std::string kNotLinked = "Panel is not linked, continue anyway (y/n): ";

std::string PanelRound(bool pcAllowed) {
  return pcAllowed ? kTargetsWithPc + kAskWithPc : kTargetsWithoutPc + kAskWithoutPc;
}

struct TargetCase {
  bool pcAllowed;
  std::string input;
  int32_t panel;
  std::string out;
};

TEST_F(MenuDialogue, TargetPanelAnswers) {
  const std::string pc = PanelRound(true);
  const std::string noPc = PanelRound(false);
  const std::vector<TargetCase> cases = {
      {true, "pc\n", -1, pc},
      {true, "PC\n", -1, pc},
      {true, "pC\r\n", -1, pc},
      {true, "1\n", 1, pc},
      {false, "0\n", 0, noPc},
      {false, "pc\n1\n", 1, noPc + kInvalid + noPc},
      {true, "p\n1\n", 1, pc + kInvalid + pc},
      {true, "16\n0\n", 0, pc + kInvalid + pc},
      {true, "x\n0\n", 0, pc + kInvalid + pc},
      {true, "-1\n1\n", 1, pc + kInvalid + pc},
      {true, "5\ny\n", 5, pc + kNotLinked},
      {false, "15\nyes\n", 15, noPc + kNotLinked},
      {true, "5\nno\n1\n", 1, pc + kNotLinked + kInvalid + pc},
  };
  for (const TargetCase& c : cases) {
    Feed(c.input);
    testing::internal::CaptureStdout();
    EXPECT_EQ(AskTargetPanel(-1, c.pcAllowed), c.panel) << c.input;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.input;
  }
}

TEST_F(MenuDialogue, GivenPanelIsKeptWithoutAsking) {
  Feed("1\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(AskTargetPanel(7, true), 7);
  EXPECT_EQ(AskTargetPanel(0, false), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadConsoleChar(), '1') << "the input must not be touched";
}

TEST_F(MenuDialogue, NoConnectedPanelMeansThePc) {
  Start({"panel.0.connected=0", "panel.1.connected=0"});
  Feed("1\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(AskTargetPanel(-1, true), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "-- Available targets --\nPC\nNo panels found.\nContinue with PC ...\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(AskTargetPanel(-1, false), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "-- Available targets --\nNo panels found.\n");
  EXPECT_EQ(ReadConsoleChar(), '1') << "nothing is asked";
}

// ---- Module ----------------------------------------------------------------------------------

// PC modules 0 and 8 of the base machine, 13 and 14 with model numbers, 2 fitted without
// one; panel 1 has modules 0 and 1, and 5 beyond the panel's highest module number.
constexpr std::initializer_list<const char*> kModuleMachine = {
    "module.13.model=EXP-13", "module.14.model=EXP-14", "module.2.id=0x1234",
    "panel.1.module.5.model=PM-5"};

const std::string kPcModules =
    "-- Available PC modules --\n0 = system unit (DX-EX64-SU00)\n8 = fan kit (DX-EX64-FAN0)\n"
    "13 = expansion unit (EXP-13)\n";
const std::string kPanelModules =
    "-- Available panel modules --\n0 = panel (TP-MAIN)\n1 = link module (TP-LINK)\n";
const std::string kAskModule = "Enter module number or nothing to exit: ";
const std::string kUnknown = "Module is unknown, continue anyway (y/n): ";

struct ModuleCase {
  int32_t panel;
  std::string input;
  int32_t module;
  std::string out;
};

TEST_F(MenuDialogue, ModuleAnswers) {
  Start(kModuleMachine);
  const std::string pc = kPcModules + kAskModule;
  const std::string panel = kPanelModules + kAskModule;
  const std::vector<ModuleCase> cases = {
      {-1, "8\n", 8, pc},
      {-1, "13\n", 13, pc},
      {-1, "14\n0\n", 0, pc + kInvalid + pc},
      {-1, "3\ny\n", 3, pc + kUnknown},
      {-1, "2\nY\n", 2, pc + kUnknown},
      {-1, "3\nn\n8\n", 8, pc + kUnknown + kInvalid + pc},
      {-1, "abc\n0\n", 0, pc + kInvalid + pc},
      {-1, "12345\n0\n", 0, pc + kInvalid + pc},
      {1, "1\n", 1, panel},
      {1, "5\n0\n", 0, panel + kInvalid + panel},
      {1, "4\ny\n", 4, panel + kUnknown},
      {1, "-1\n3\nn\n1\n", 1, panel + kInvalid + panel + kUnknown + kInvalid + panel},
  };
  for (const ModuleCase& c : cases) {
    Feed(c.input);
    testing::internal::CaptureStdout();
    EXPECT_EQ(AskModule(c.panel, -1), c.module) << c.panel << " " << c.input;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.panel << " " << c.input;
  }
}

TEST_F(MenuDialogue, GivenModuleIsKeptWithoutAsking) {
  Feed("1\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(AskModule(-1, 15), 15);
  EXPECT_EQ(AskModule(1, 9), 9);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadConsoleChar(), '1');
}

TEST_F(MenuDialogue, NoModulesFound) {
  Start({"module.0.fitted=0", "module.8.fitted=0", "module.14.model=EXP-14",
         "panel.1.module.0.fitted=0", "panel.1.module.1.fitted=0", "panel.1.module.5.model=PM-5"});
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {-1, "-- Available PC modules --\nNo modules found.\n"},
      {1, "-- Available panel modules --\nNo modules found.\n"},
      {5, "-- Available panel modules --\nNo modules found.\n"},  // panel not connected
  };
  for (const auto& [panel, out] : cases) {
    Feed("0\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(AskModule(panel, -1), -1) << panel;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), out) << panel;
  }
}

// ---- An empty answer or the end of the input ends the program ------------------------------

using MenuDialogueDeathTest = MenuDialogue;

struct EndCase {
  std::string input;
  std::string out;
};

TEST_F(MenuDialogueDeathTest, EmptyTargetAnswerEndsTheProgram) {
  const std::string pc = PanelRound(true);
  const std::vector<EndCase> cases = {
      {"\n", pc},
      {"\r\n1\n", pc},
      {"", pc},
      {"x", pc + kInvalid + pc},
      {"5\n", pc + kNotLinked + kInvalid + pc},
  };
  for (const EndCase& c : cases) {
    Feed(c.input);
    const std::string path = OutputPath();
    EXPECT_EXIT(
        {
          exitIsAFault = false;
          std::freopen(path.c_str(), "wb", stdout);
          AskTargetPanel(-1, true);
        },
        testing::ExitedWithCode(0), "")
        << c.input;
    EXPECT_EQ(test::ReadFileText(path), c.out) << c.input;
  }
}

TEST_F(MenuDialogueDeathTest, EmptyModuleAnswerEndsTheProgram) {
  const std::string pc =
      "-- Available PC modules --\n0 = system unit (DX-EX64-SU00)\n"
      "8 = fan kit (DX-EX64-FAN0)\n" +
      kAskModule;
  const std::vector<EndCase> cases = {
      {"\n", pc},
      {"", pc},
      {"3\n", pc + kUnknown + kInvalid + pc},
      {"99", pc + kInvalid + pc},
  };
  for (const EndCase& c : cases) {
    Feed(c.input);
    const std::string path = OutputPath();
    EXPECT_EXIT(
        {
          exitIsAFault = false;
          std::freopen(path.c_str(), "wb", stdout);
          AskModule(-1, -1);
        },
        testing::ExitedWithCode(0), "")
        << c.input;
    EXPECT_EQ(test::ReadFileText(path), c.out) << c.input;
  }
}

// ---- Data type menu filter -------------------------------------------------------------------

// Every keyword form of every data type, for every action: the menu takes exactly the types
// that the action supports and gives the same code as the command line; any other keyword is
// invalid input (then the end of input ends the menu).
TEST_F(MenuDialogue, DataTypeMenuTakesOnlyTypesOfTheAction) {
  struct ActionCase {
    uint32_t action;
    char letter;
    int keywords;  // keyword forms of the data types that support the action
  };
  const std::vector<ActionCase> actions = {
      {kActionInfo, 'I', 24},   {kActionSave, 'S', 17},  {kActionUpdate, 'U', 22},
      {kActionDelete, 'D', 11}, {kActionChange, 'C', 3},
  };
  for (const ActionCase& a : actions) {
    int accepted = 0;
    for (const DataTypeKeywords& row : kDataTypeKeywords) {
      for (const char* keyword : {row.keyword, row.longKeyword}) {
        if (keyword == nullptr) {
          continue;
        }
        bool supported = std::strchr(row.supportedActions, a.letter) != nullptr;
        Feed(std::string(keyword) + "\n");
        testing::internal::CaptureStdout();
        uint32_t chosen = SelectDataType(a.action);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(chosen, supported ? DataTypeFromKeyword(kFullFeatureSet, keyword) : kDataNone)
            << keyword << " for action " << a.action;
        EXPECT_EQ(out.find(kInvalid) != std::string::npos, !supported)
            << keyword << " for action " << a.action;
        accepted += chosen != kDataNone ? 1 : 0;
      }
    }
    EXPECT_EQ(accepted, a.keywords) << "action " << a.action;
  }
}

TEST_F(MenuDialogue, DataTypeKeywordsInAnyCase) {
  struct Case {
    uint32_t action;
    const char* answer;
    uint32_t dataType;
  };
  const std::vector<Case> cases = {
      {kActionInfo, "systEm2", kDataSystem2},
      {kActionInfo, "Sys3", kDataSystem3},
      {kActionSave, "ConvFpga", kDataConverter},
      {kActionUpdate, "hdbtFW", kDataHdbt},
      {kActionChange, "Fset", kDataFactorySettings},
      {kActionDelete, "fan2fset", kDataFan2FactorySettings},
  };
  for (const Case& c : cases) {
    Feed(std::string(c.answer) + "\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(SelectDataType(c.action), c.dataType) << c.answer;
    EXPECT_EQ(testing::internal::GetCapturedStdout().find(kInvalid), std::string::npos) << c.answer;
  }
}

TEST_F(MenuDialogue, UnknownActionOffersNothing) {
  Feed("fset\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(SelectDataType(kActionNone), kDataNone);
  EXPECT_EQ(SelectDataType(6), kDataNone);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace drux
