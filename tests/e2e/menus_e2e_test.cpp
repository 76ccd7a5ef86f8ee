// The action and data type menus of the full feature set as the user meets them: a request
// without action or data type asks for them on the console before anything runs.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

const std::string kInvalid = "Invalid input - please retry\n";
const std::string kQuestion = "Enter keyword ([..] is optional) or nothing to exit: ";
const std::string kActionMenu =
    "-- Supported actions --\n"
    "C[hange] = change data\n"
    "D[elete] = delete data\n"
    "I[nfo]   = show info about data\n"
    "S[ave]   = save data to file\n"
    "U[pdate] = update data with file\n" +
    kQuestion;

const std::map<std::string, std::string> kDisplayLines = {
    {"ALL", "ALL        = all below"},
    {"BIOSSET", "BIOSSET    = BIOS settings"},
    {"FANFSET", "FANFSET    = fan unit factory settings"},
    {"CONV", "CONV[FPGA] = link converter FPGA firmware"},
    {"FAN2FSET", "FAN2FSET   = 2nd (bus) fan unit factory settings"},
    {"FLASH", "FLASH      = complete flash"},
    {"FSET", "FSET       = factory settings"},
    {"HDBT", "HDBT[FW]   = HDBaseT firmware"},
    {"KCF", "KCF        = key configuration"},
    {"LINKBLDR", "LINKBLDR   = link transmitter bootloader"},
    {"LINK", "LINK[FPGA] = link transmitter/receiver FPGA firmware"},
    {"LINKIFILE", "LINKIFILE  = link transmitter FPGA (complete)"},
    {"DRUX", "DRUX[FW]   = DRUX firmware"},
    {"STAT", "STAT       = statistics values"},
    {"SYS", "SYS[TEM]   = system data"},
    {"SYS2", "SYS[TEM]2  = 2nd system data"},
    {"SYS3", "SYS[TEM]3  = 3rd system data"},
    {"UID", "UID        = user serial ID"},
    {"USER", "USER       = user data"},
};

std::string DataTypeMenu(const std::string& action, const std::vector<std::string>& types) {
  std::string menu = "-- Supported data types for " + action + " --\n";
  for (const std::string& type : types) {
    menu += kDisplayLines.at(type) + "\n";
  }
  return menu + kQuestion;
}

const std::string kInfoMenu =
    DataTypeMenu("info", {"ALL", "BIOSSET", "FANFSET", "CONV", "FAN2FSET", "FLASH", "FSET", "HDBT",
                          "KCF", "LINK", "DRUX", "STAT", "SYS", "SYS2", "SYS3", "UID", "USER"});
const std::string kSaveMenu = DataTypeMenu("save", {"CONV", "FLASH", "FSET", "KCF", "LINKBLDR",
                                                    "LINK", "DRUX", "SYS", "SYS2", "SYS3", "USER"});
const std::string kUpdateMenu = DataTypeMenu(
    "update", {"FANFSET", "CONV", "FAN2FSET", "FLASH", "FSET", "HDBT", "KCF", "LINKBLDR", "LINK",
               "LINKIFILE", "DRUX", "SYS", "SYS2", "SYS3", "USER"});
const std::string kDeleteMenu =
    DataTypeMenu("delete", {"FANFSET", "FAN2FSET", "FSET", "KCF", "SYS", "SYS2", "SYS3", "USER"});
const std::string kChangeMenu = DataTypeMenu("change", {"BIOSSET", "FSET", "UID"});

std::string Label(const std::vector<std::string>& arguments, const std::string& input) {
  std::string label;
  for (const std::string& argument : arguments) {
    label += argument + " ";
  }
  return label + "<< " + input;
}

struct MenuCase {
  std::vector<std::string> arguments;
  std::string input;
  std::string out;  // after the PC type line
};

// Each case ends in the menus (an empty answer or the end of the input): exit code 0, nothing
// on the error stream, no action run.
void ExpectMenusOnly(const std::vector<MenuCase>& cases) {
  SimulatedPc pc;
  for (const MenuCase& c : cases) {
    ProgramOutput result = pc.Run(FullSet(), c.arguments, c.input, kFrozenClock);
    EXPECT_EQ(result.out, kPcLine + c.out) << Label(c.arguments, c.input);
    EXPECT_EQ(result.err, "") << Label(c.arguments, c.input);
    EXPECT_EQ(result.exitCode, 0) << Label(c.arguments, c.input);
  }
}

TEST(MenusE2e, DataTypeMenuOfEachAction) {
  ExpectMenusOnly({
      {{"i"}, "\n", kInfoMenu},
      {{"S"}, "\n", kSaveMenu},
      {{"update"}, "\n", kUpdateMenu},
      {{"d"}, "\n", kDeleteMenu},
      {{"Change"}, "\n", kChangeMenu},
  });
}

TEST(MenusE2e, EmptyAnswerOrEndOfInputEndsTheRun) {
  ExpectMenusOnly({
      {{}, "\n", kActionMenu},
      {{}, "\r\n", kActionMenu},
      {{}, "", kActionMenu},
      {{"-y", "-p=1"}, "\n", kActionMenu},
      {{}, "c\n\n", kActionMenu + kChangeMenu},
      {{}, "change\n", kActionMenu + kChangeMenu},
      {{}, "Info\n", kActionMenu + kInfoMenu},
      {{}, "S\n", kActionMenu + kSaveMenu},
      {{}, "u\r\n", kActionMenu + kUpdateMenu},
      {{}, "DELETE\n", kActionMenu + kDeleteMenu},
      {{"s"}, "", kSaveMenu},
      {{}, "x", kActionMenu + kInvalid + kActionMenu},
      {{"i"}, "nothing", kInfoMenu + kInvalid + kInfoMenu},
  });
}

TEST(MenusE2e, InvalidAnswersAskAgain) {
  ExpectMenusOnly({
      // No prefixes of keywords, and a keyword longer than 10 characters is cut.
      {{},
       "in\ninf\nd\n\n",
       kActionMenu + kInvalid + kActionMenu + kInvalid + kActionMenu + kDeleteMenu},
      {{}, "informationx\n\n", kActionMenu + kInvalid + kActionMenu},
      // Data types that do not support the action are invalid input.
      {{},
       "c\nkcf\nsys\n\n",
       kActionMenu + kChangeMenu + kInvalid + kChangeMenu + kInvalid + kChangeMenu},
      {{"i"}, "linkbldr\nlinkifile\n\n", kInfoMenu + kInvalid + kInfoMenu + kInvalid + kInfoMenu},
      {{"d"}, "flash\n\n", kDeleteMenu + kInvalid + kDeleteMenu},
      {{"s"}, "sy\n\n", kSaveMenu + kInvalid + kSaveMenu},
  });
}

std::string LogText(const std::vector<sim::LogEntry>& log) {
  std::string text;
  for (const sim::LogEntry& entry : log) {
    text += std::to_string(entry.code) + "/" + std::to_string(entry.address) + "/" +
            std::to_string(entry.device) + "/" + std::to_string(entry.target) + "/" +
            std::to_string(entry.size) + (entry.read ? "r" : "w") + "\n";
  }
  return text;
}

// A request completed in the menus runs exactly like the same request from the command line:
// the same output after the menus, the same exit code and the same controller commands.
TEST(MenusE2e, AnswersRunTheSameRequestAsTheCommandLine) {
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    std::string menus;
    std::vector<std::string> sameRequest;
  };
  const std::vector<Case> cases = {
      {{}, "i\nsystEm2\n", kActionMenu + kInfoMenu, {"i", "sys2"}},
      {{}, "INFO\ndruxfw\n", kActionMenu + kInfoMenu, {"i", "drux"}},
      {{}, "i\nx\nStat\n", kActionMenu + kInfoMenu + kInvalid + kInfoMenu, {"i", "stat"}},
      {{"-p=0"}, "I\nLink\n", kActionMenu + kInfoMenu, {"i", "link", "-p=0"}},
      {{"s"}, "conv\n", kSaveMenu, {"s", "conv"}},
      {{}, "c\nUID\n", kActionMenu + kChangeMenu, {"c", "uid"}},
  };
  for (const Case& c : cases) {
    SimulatedPc viaMenus;
    SimulatedPc viaCommandLine;
    ProgramOutput asked = viaMenus.Run(FullSet(), c.arguments, c.input, kFrozenClock);
    ProgramOutput given = viaCommandLine.Run(FullSet(), c.sameRequest, "", kFrozenClock);
    const std::string label = Label(c.arguments, c.input);
    ASSERT_EQ(given.out.substr(0, kPcLine.size()), kPcLine) << label;
    EXPECT_EQ(asked.out, kPcLine + c.menus + given.out.substr(kPcLine.size())) << label;
    EXPECT_EQ(asked.err, given.err) << label;
    EXPECT_EQ(asked.exitCode, given.exitCode) << label;
    EXPECT_EQ(LogText(viaMenus.CommandLog()), LogText(viaCommandLine.CommandLog())) << label;
  }
}

}  // namespace
}  // namespace drux::test
