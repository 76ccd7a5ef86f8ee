// The console menus of the full feature set.
#include "frontend/menus.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "controller/block_access.h"
#include "controller/controller_info.h"
#include "controller/exit_codes.h"
#include "controller/keyword_equals.h"
#include "controller/module_catalogue.h"
#include "controller/service_request.h"
#include "frontend/command_line.h"
#include "frontend/keyword_tables.h"
#include "platform/format.h"
#include "platform/platform.h"
#include "transfer/prompts.h"

namespace drux {
namespace {

constexpr const char* kInvalidInput = "Invalid input - please retry\n";
constexpr const char* kKeywordQuestion = "Enter keyword ([..] is optional) or nothing to exit";

// Longest answers read: a keyword, a panel number, a module number.
constexpr size_t kKeywordLength = 10;
constexpr size_t kPanelAnswerLength = 2;
constexpr size_t kModuleAnswerLength = 4;

// ---- Action and data type ------------------------------------------------------------------

constexpr const char* kActionMenu =
    "-- Supported actions --\n"
    "C[hange] = change data\n"
    "D[elete] = delete data\n"
    "I[nfo]   = show info about data\n"
    "S[ave]   = save data to file\n"
    "U[pdate] = update data with file\n";

// The name of an action in the data type menu header; its first letter in upper case is the
// letter of the action in the data types' supported-action letters.
struct ActionName {
  uint32_t code;
  const char* name;
};

constexpr std::array<ActionName, 5> kActionNames{{
    {kActionChange, "change"},
    {kActionDelete, "delete"},
    {kActionInfo, "info"},
    {kActionUpdate, "update"},
    {kActionSave, "save"},
}};

constexpr const char* FindActionName(uint32_t action) {
  for (const ActionName& entry : kActionNames) {
    if (entry.code == action) {
      return entry.name;
    }
  }
  return nullptr;
}

constexpr char ActionLetter(const char* name) {
  return (name[0] >= 'a' && name[0] <= 'z') ? char(name[0] - 'a' + 'A') : name[0];
}

struct DataTypeMenuRow {
  const char* displayLine;
  const char* letters;  // actions that support the data type
  const char* shortKeyword;
  const char* longKeyword;
  uint32_t code;
};

// Keywords and letters come from the command line's table, so that the menu can never accept
// a different word or action than the command line does. A code missing there does not compile.
constexpr DataTypeMenuRow MenuRow(const char* displayLine, uint32_t code) {
  const DataTypeKeywords& keywords = *FindDataTypeKeywords(code);
  return {displayLine, keywords.supportedActions, keywords.keyword,
          keywords.longKeyword != nullptr ? keywords.longKeyword : keywords.keyword, code};
}

// In display order.
constexpr std::array<DataTypeMenuRow, kDataTypeCount> kDataTypeMenu{{
    MenuRow("ALL        = all below", kDataAll),
    MenuRow("BIOSSET    = BIOS settings", kDataBiosSettings),
    MenuRow("FANFSET    = fan unit factory settings", kDataFanFactorySettings),
    MenuRow("CONV[FPGA] = link converter FPGA firmware", kDataConverter),
    MenuRow("FAN2FSET   = 2nd (bus) fan unit factory settings", kDataFan2FactorySettings),
    MenuRow("FLASH      = complete flash", kDataFlash),
    MenuRow("FSET       = factory settings", kDataFactorySettings),
    MenuRow("HDBT[FW]   = HDBaseT firmware", kDataHdbt),
    MenuRow("KCF        = key configuration", kDataKeyConfiguration),
    MenuRow("LINKBLDR   = link transmitter bootloader", kDataLinkBootloader),
    MenuRow("LINK[FPGA] = link transmitter/receiver FPGA firmware", kDataLink),
    MenuRow("LINKIFILE  = link transmitter FPGA (complete)", kDataLinkImageFile),
    MenuRow("DRUX[FW]   = DRUX firmware", kDataDruxFirmware),
    MenuRow("STAT       = statistics values", kDataStatistics),
    MenuRow("SYS[TEM]   = system data", kDataSystem),
    MenuRow("SYS[TEM]2  = 2nd system data", kDataSystem2),
    MenuRow("SYS[TEM]3  = 3rd system data", kDataSystem3),
    MenuRow("UID        = user serial ID", kDataUserSerialId),
    MenuRow("USER       = user data", kDataUser),
}};

constexpr bool EveryDataTypeOnce() {
  for (uint32_t code = 1; code <= kDataTypeCount; ++code) {
    int rows = 0;
    for (const DataTypeMenuRow& row : kDataTypeMenu) {
      rows += row.code == code ? 1 : 0;
    }
    if (rows != 1) {
      return false;
    }
  }
  return true;
}
static_assert(EveryDataTypeOnce(), "the data type menu offers every data type exactly once");

constexpr bool Supports(const DataTypeMenuRow& row, char actionLetter) {
  for (const char* letter = row.letters; *letter != '\0'; ++letter) {
    if (*letter == actionLetter) {
      return true;
    }
  }
  return false;
}

void PrintDataTypeMenu(const char* actionName, char actionLetter) {
  platform::Print("-- Supported data types for %s --\n", actionName);
  for (const DataTypeMenuRow& row : kDataTypeMenu) {
    if (Supports(row, actionLetter)) {
      platform::Print("%s\n", row.displayLine);
    }
  }
}

// The code of the row named by the answer, kDataNone when that row does not support the
// action (or no row has that keyword).
uint32_t DataTypeOfAnswer(const char* answer, char actionLetter) {
  for (const DataTypeMenuRow& row : kDataTypeMenu) {
    bool named =
        KeywordEquals(answer, row.shortKeyword) == 0 || KeywordEquals(answer, row.longKeyword) == 0;
    if (named && Supports(row, actionLetter)) {
      return row.code;
    }
  }
  return kDataNone;
}

// ---- Target panel and module ---------------------------------------------------------------

constexpr int32_t kHighestPanelModule = 4;
constexpr int32_t kHighestPcModule = 13;

// One bit per listed number; numbers stay below 16.
constexpr bool Listed(uint32_t listed, int32_t number) {
  return ((listed >> number) & 1u) != 0;
}

// Lists the connected panels; returns them as bits.
uint32_t ListTargets(bool pcAllowed) {
  platform::Print("-- Available targets --\n");
  if (pcAllowed) {
    platform::Print("PC\n");
  }
  uint32_t connected = 0;
  for (int32_t panel = 0; panel <= kHighestTargetNumber; ++panel) {
    if (IsPanelConnected(panel)) {
      platform::Print("Panel %d (%s)\n", panel, ReadPanelModelNumber(panel));
      connected |= 1u << panel;
    }
  }
  return connected;
}

// Lists the modules that have a model number; returns them as bits.
uint32_t ListModules(int32_t panel, int32_t highest) {
  platform::Print("-- Available %s modules --\n", panel != kNoPanel ? "panel" : "PC");
  uint32_t listed = 0;
  for (int32_t module = 0; module <= highest; ++module) {
    const char* modelNumber = ReadModuleModelNumber(panel, module);
    if (modelNumber[0] != '\0') {
      platform::Print("%d = %s (%s)\n", module, ModuleName(panel, module), modelNumber);
      listed |= 1u << module;
    }
  }
  return listed;
}

// A number from 0 to highest, converted like "%d"; -1 for anything else.
int32_t NumberInRange(const char* answer, int32_t highest) {
  int value = 0;
  if (!platform::ScanDecimalInt(answer, &value) || value < 0 || value > highest) {
    return -1;
  }
  return value;
}

// A number that was not listed is taken only when the user insists.
bool AcceptNumber(uint32_t listed, int32_t number, const char* question) {
  return Listed(listed, number) || AskYesNo(question, 0);
}

}  // namespace

uint32_t SelectAction() {
  for (;;) {
    platform::Print("%s%s", kActionMenu, kKeywordQuestion);
    char answer[kKeywordLength + 1];
    if (!ReadLine(answer, kKeywordLength)) {
      return kActionNone;
    }
    uint32_t action = ActionFromKeyword(answer);
    if (action != kActionNone) {
      return action;
    }
    platform::Print("%s", kInvalidInput);
  }
}

uint32_t SelectDataType(uint32_t action) {
  const char* actionName = FindActionName(action);
  if (actionName == nullptr) {
    return kDataNone;
  }
  char actionLetter = ActionLetter(actionName);
  for (;;) {
    PrintDataTypeMenu(actionName, actionLetter);
    platform::Print("%s", kKeywordQuestion);
    char answer[kKeywordLength + 1];
    if (!ReadLine(answer, kKeywordLength)) {
      return kDataNone;
    }
    uint32_t dataType = DataTypeOfAnswer(answer, actionLetter);
    if (dataType != kDataNone) {
      return dataType;
    }
    platform::Print("%s", kInvalidInput);
  }
}

int32_t AskTargetPanel(int32_t panel, bool pcAllowed) {
  if (panel != kNoPanel) {
    return panel;
  }
  for (;;) {
    uint32_t connected = ListTargets(pcAllowed);
    if (connected == 0) {
      platform::Print("No panels found.\n");
      if (pcAllowed) {
        platform::Print("Continue with PC ...\n");
      }
      return kNoPanel;
    }
    platform::Print("Enter %spanel number (0 to 15) or nothing to exit", pcAllowed ? "'PC', " : "");
    char answer[kPanelAnswerLength + 1];
    if (!ReadLine(answer, kPanelAnswerLength)) {
      platform::Exit(kExitOk);
    }
    if (pcAllowed && KeywordEquals(answer, "PC") == 0) {
      return kNoPanel;
    }
    int32_t number = NumberInRange(answer, kHighestTargetNumber);
    if (number >= 0 &&
        AcceptNumber(connected, number, "Panel is not linked, continue anyway (y/n): ")) {
      return number;
    }
    platform::Print("%s", kInvalidInput);
  }
}

int32_t AskModule(int32_t panel, int32_t module) {
  if (module != kNoModule) {
    return module;
  }
  int32_t highest = panel != kNoPanel ? kHighestPanelModule : kHighestPcModule;
  for (;;) {
    uint32_t listed = ListModules(panel, highest);
    if (listed == 0) {
      platform::Print("No modules found.\n");
      return kNoModule;
    }
    platform::Print("Enter module number or nothing to exit");
    char answer[kModuleAnswerLength + 1];
    if (!ReadLine(answer, kModuleAnswerLength)) {
      platform::Exit(kExitOk);
    }
    int32_t number = NumberInRange(answer, highest);
    if (number >= 0 && AcceptNumber(listed, number, "Module is unknown, continue anyway (y/n): ")) {
      return number;
    }
    platform::Print("%s", kInvalidInput);
  }
}

}  // namespace drux
