// Keyword comparison, keyword tables and the parser, for the argument lists that end in a
// request (help options end the process and are covered end to end).
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "controller/command.h"
#include "controller/keyword_equals.h"
#include "frontend/command_line.h"
#include "frontend/keyword_tables.h"

namespace drux {
namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

TEST(KeywordEquals, ComparesWholeWordsWithoutRegardToCase) {
  struct Case {
    const char* text;
    const char* keyword;
    int sign;
  };
  const Case cases[] = {
      {"info", "Info", 0}, {"INFO", "Info", 0},         {"i", "I", 0},        {"I", "i", 0},
      {"", "", 0},         {"inf", "Info", -1},         {"infos", "Info", 1}, {"", "I", -1},
      {"i", "", 1},        {"DruxFw", "DRUXFW", 0},     {"sys2", "SYS3", -1}, {"b", "A", 1},
      {"A", "b", -1},      {"fan2fset", "FANFSET", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(KeywordEquals(c.text, c.keyword)), c.sign) << c.text << " vs " << c.keyword;
  }
}

TEST(Keywords, ActionsByLetterAndWord) {
  struct Case {
    const char* text;
    uint32_t action;
  };
  const Case cases[] = {
      {"i", kActionInfo},        {"Info", kActionInfo},     {"INFO", kActionInfo},
      {"s", kActionSave},        {"save", kActionSave},     {"U", kActionUpdate},
      {"update", kActionUpdate}, {"d", kActionDelete},      {"DELETE", kActionDelete},
      {"c", kActionChange},      {"Change", kActionChange}, {"in", kActionNone},
      {"x", kActionNone},        {"", kActionNone},         {"changes", kActionNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ActionFromKeyword(c.text), c.action) << c.text;
  }
}

// Every written keyword, with its code in the full set and whether the service set knows it.
struct DataTypeCase {
  const char* keyword;
  uint32_t code;
  bool inServiceSet;
};
const DataTypeCase kDataTypeCases[] = {
    {"ALL", 1, true},       {"LINKBLDR", 2, false}, {"LINK", 3, true},     {"LINKFPGA", 3, true},
    {"LINKIFILE", 4, true}, {"CONV", 5, true},      {"CONVFPGA", 5, true}, {"KCF", 6, true},
    {"FSET", 7, false},     {"STAT", 8, true},      {"UID", 9, true},      {"BIOSSET", 10, true},
    {"DRUX", 11, true},     {"DRUXFW", 11, true},   {"FANFSET", 12, true}, {"FAN2FSET", 13, true},
    {"SYS", 14, false},     {"SYSTEM", 14, false},  {"SYS2", 15, false},   {"SYSTEM2", 15, false},
    {"SYS3", 16, false},    {"SYSTEM3", 16, false}, {"FLASH", 17, false},  {"USER", 18, true},
    {"HDBT", 19, true},     {"HDBTFW", 19, true},
};

TEST(Keywords, DataTypesOfBothFeatureSets) {
  for (const DataTypeCase& c : kDataTypeCases) {
    std::string lower(c.keyword);
    for (char& ch : lower) {
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    EXPECT_EQ(DataTypeFromKeyword(kFullFeatureSet, c.keyword), c.code) << c.keyword;
    EXPECT_EQ(DataTypeFromKeyword(kFullFeatureSet, lower.c_str()), c.code) << lower;
    EXPECT_EQ(DataTypeFromKeyword(kServiceFeatureSet, c.keyword), c.inServiceSet ? c.code : 0)
        << c.keyword;
  }
  for (const char* text : {"CONVF", "LIN", "SYSTEM4", "HDB", "DRUXFWX", "", "STATS"}) {
    EXPECT_EQ(DataTypeFromKeyword(kFullFeatureSet, text), kDataNone) << text;
    EXPECT_EQ(DataTypeFromKeyword(kServiceFeatureSet, text), kDataNone) << text;
  }
}

TEST(Keywords, SupportedActionLettersAsTheHelpShowsThem) {
  struct Case {
    uint32_t code;
    const char* letters;
  };
  const Case cases[] = {
      {1, "I"},     {2, "SU"},    {3, "ISU"},  {4, "U"},     {5, "ISU"},  {6, "DISU"}, {7, "CDISU"},
      {8, "I"},     {9, "CI"},    {10, "CI"},  {11, "ISU"},  {12, "DIU"}, {13, "DIU"}, {14, "DISU"},
      {15, "DISU"}, {16, "DISU"}, {17, "ISU"}, {18, "DISU"}, {19, "IU"},
  };
  for (const Case& c : cases) {
    const DataTypeKeywords* row = FindDataTypeKeywords(c.code);
    ASSERT_NE(row, nullptr) << c.code;
    EXPECT_STREQ(row->supportedActions, c.letters) << row->keyword;
  }
  EXPECT_EQ(FindDataTypeKeywords(0), nullptr);
  EXPECT_EQ(FindDataTypeKeywords(20), nullptr);
}

// An argument vector as the runtime hands it over (the program name first). The request
// points into it, so it must outlive every check of the request.
struct ArgumentVector {
  explicit ArgumentVector(std::vector<std::string> arguments) : texts(std::move(arguments)) {
    texts.insert(texts.begin(), "DRUXSVC");
    for (std::string& text : texts) {
      pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
  }
  int Parse(const FeatureSet& features, ServiceRequest* request) {
    return ParseCommandLine(features, static_cast<int>(texts.size()), pointers.data(), request);
  }
  std::vector<std::string> texts;
  std::vector<char*> pointers;
};

struct AcceptedCase {
  const FeatureSet* features;
  std::vector<std::string> arguments;
  uint32_t action;
  uint32_t dataType;
  const char* fileName;  // nullptr: none
  int32_t panel;
  int32_t module;
  bool reboot;
  bool verify;
  bool yes;
};

TEST(ParseCommandLine, AcceptedRequests) {
  const FeatureSet* service = &kServiceFeatureSet;
  const FeatureSet* full = &kFullFeatureSet;
  const AcceptedCase cases[] = {
      {service, {"i", "drux"}, kActionInfo, kDataDruxFirmware, nullptr, -1, -1, false, true, false},
      {service,
       {"INFO", "DruxFw"},
       kActionInfo,
       kDataDruxFirmware,
       nullptr,
       -1,
       -1,
       false,
       true,
       false},
      {service,
       {"-p=0", "s", "link", "link.bin"},
       kActionSave,
       kDataLink,
       "link.bin",
       0,
       -1,
       false,
       true,
       false},
      {service,
       {"s", "link", "link.bin", "-p=0"},
       kActionSave,
       kDataLink,
       "link.bin",
       0,
       -1,
       false,
       true,
       false},
      {service,
       {"s", "-p=0", "link", "/y", "link.bin"},
       kActionSave,
       kDataLink,
       "link.bin",
       0,
       -1,
       false,
       true,
       true},
      {service,
       {"u", "drux", "-p=15"},
       kActionUpdate,
       kDataDruxFirmware,
       nullptr,
       15,
       -1,
       false,
       true,
       false},
      {service,
       {"u", "drux", "-p15"},
       kActionUpdate,
       kDataDruxFirmware,
       nullptr,
       15,
       -1,
       false,
       true,
       false},
      {service,
       {"u", "drux", "-P=007"},
       kActionUpdate,
       kDataDruxFirmware,
       nullptr,
       7,
       -1,
       false,
       true,
       false},
      {service,
       {"u", "drux", "-yv"},
       kActionUpdate,
       kDataDruxFirmware,
       nullptr,
       -1,
       -1,
       false,
       false,
       true},
      {service,
       {"u", "kcf", "-p=2ry"},
       kActionUpdate,
       kDataKeyConfiguration,
       nullptr,
       2,
       -1,
       true,
       true,
       true},
      {service,
       {"u", "kcf", "/R", "/V", "/Y"},
       kActionUpdate,
       kDataKeyConfiguration,
       nullptr,
       -1,
       -1,
       true,
       false,
       true},
      {service,
       {"i", "stat", "extra.txt"},
       kActionInfo,
       kDataStatistics,
       "extra.txt",
       -1,
       -1,
       false,
       true,
       false},
      {service,
       {"c", "uid", "08154711", "-", "/"},
       kActionChange,
       kDataUserSerialId,
       "08154711",
       -1,
       -1,
       false,
       true,
       false},
      {service,
       {"d", "user", "-p=1", "-p=3"},
       kActionDelete,
       kDataUser,
       nullptr,
       3,
       -1,
       false,
       true,
       false},
      {full, {}, kActionNone, kDataNone, nullptr, -1, -1, false, true, false},
      {full, {"c"}, kActionChange, kDataNone, nullptr, -1, -1, false, true, false},
      {full,
       {"c", "fset", "-m=3"},
       kActionChange,
       kDataFactorySettings,
       nullptr,
       -1,
       3,
       false,
       true,
       false},
      {full,
       {"i", "stat", "-M0", "-p=1"},
       kActionInfo,
       kDataStatistics,
       nullptr,
       1,
       0,
       false,
       true,
       false},
      {full,
       {"s", "system3", "sys.bin", "-m15p14"},
       kActionSave,
       kDataSystem3,
       "sys.bin",
       14,
       15,
       false,
       true,
       false},
      {full,
       {"u", "linkbldr"},
       kActionUpdate,
       kDataLinkBootloader,
       nullptr,
       -1,
       -1,
       false,
       true,
       false},
  };
  for (const AcceptedCase& c : cases) {
    std::string label;
    for (const std::string& argument : c.arguments) {
      label += argument + " ";
    }
    ServiceRequest request;
    request.panel = 99;  // the parser must set every field itself
    ArgumentVector argv(c.arguments);
    ASSERT_EQ(argv.Parse(*c.features, &request), 1) << label;
    EXPECT_EQ(request.action, c.action) << label;
    EXPECT_EQ(request.dataType, c.dataType) << label;
    if (c.fileName == nullptr) {
      EXPECT_EQ(request.fileName, nullptr) << label;
    } else {
      ASSERT_NE(request.fileName, nullptr) << label;
      EXPECT_STREQ(request.fileName, c.fileName) << label;
    }
    EXPECT_EQ(request.panel, c.panel) << label;
    EXPECT_EQ(request.module, c.module) << label;
    EXPECT_EQ(request.reboot, c.reboot) << label;
    EXPECT_EQ(request.verify, c.verify) << label;
    EXPECT_EQ(request.yes, c.yes) << label;
  }
}

TEST(ParseCommandLine, DebugOptionSwitchesTheTraceOn) {
  SetDebugTrace(false);
  ServiceRequest request;
  ArgumentVector argv({"i", "drux", "-D"});
  ASSERT_EQ(argv.Parse(kServiceFeatureSet, &request), 1);
  EXPECT_TRUE(DebugTrace());
  SetDebugTrace(false);
}

struct RejectedCase {
  const FeatureSet* features;
  std::vector<std::string> arguments;
  const char* errorLine;
};

TEST(ParseCommandLine, RejectedRequestsPrintHelpThenError) {
  const FeatureSet* service = &kServiceFeatureSet;
  const FeatureSet* full = &kFullFeatureSet;
  const RejectedCase cases[] = {
      {service, {"in", "drux"}, "ERROR: Unknown action 'in'.\n"},
      {service, {"i", "fset"}, "ERROR: Unknown datatype 'fset'.\n"},
      {service, {"i", "SYS"}, "ERROR: Unknown datatype 'SYS'.\n"},
      {service, {"i", "stat", "a", "b"}, "ERROR: Too many arguments.\n"},
      {service, {"i", "stat", "-p=16"}, "ERROR: Invalid option 'p=16'.\n"},
      {service, {"i", "stat", "-p=-1"}, "ERROR: Invalid option 'p=-1'.\n"},
      {service, {"i", "stat", "-p=x"}, "ERROR: Invalid option 'p=x'.\n"},
      {service, {"i", "stat", "-yp"}, "ERROR: Invalid option 'p'.\n"},
      {service, {"i", "stat", "-p=4294967297"}, "ERROR: Invalid option 'p=4294967297'.\n"},
      {service,
       {"i", "stat", "-p=99999999999999999999999"},
       "ERROR: Invalid option 'p=99999999999999999999999'.\n"},
      {service, {"i", "stat", "-m=1"}, "ERROR: Unknown option 'm'.\n"},
      {service, {"i", "stat", "-yX"}, "ERROR: Unknown option 'X'.\n"},
      {service, {"i"}, "ERROR: Data type missing.\n"},
      {service, {}, "ERROR: Action missing.\n"},
      {service, {"-y"}, "ERROR: Action missing.\n"},
      {full, {"i", "stat", "-m=16"}, "ERROR: Invalid option 'm=16'.\n"},
      {full, {"i", "stat", "-M4294967296"}, "ERROR: Invalid option 'M4294967296'.\n"},
      {full, {"x"}, "ERROR: Unknown action 'x'.\n"},
      {full, {"i", "sys4"}, "ERROR: Unknown datatype 'sys4'.\n"},
  };
  for (const RejectedCase& c : cases) {
    std::string label;
    for (const std::string& argument : c.arguments) {
      label += argument + " ";
    }
    ServiceRequest request;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ArgumentVector argv(c.arguments);
    int result = argv.Parse(*c.features, &request);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0) << label;
    EXPECT_EQ(err, c.errorLine) << label;
    EXPECT_EQ(out.rfind(c.features->version, 0), 0u) << label << "short help first:\n" << out;
    // A rejected number never reaches the request.
    EXPECT_EQ(request.panel, kNoPanel) << label;
    EXPECT_EQ(request.module, kNoModule) << label;
  }
}

}  // namespace
}  // namespace drux
