// Key configuration: the file check before an update, the check of the stored configuration and
// Info.
#include <cerrno>
#include <cstring>

#include "controller/command.h"
#include "controller/status_text.h"
#include "tests/unit/settings_kcf_test_support.h"

namespace drux::testing {
namespace {

const std::string kFileCheck = "Check key configuration file: ";

struct FileCheckCase {
  const char* name;
  uint32_t channels;  // of the target
  KcfImageShape image;
  size_t cutTo;          // 0: whole image, else the file holds only this many bytes
  std::string breakTag;  // tag overwritten in the header ("" none)
  int result;
  std::string out;  // after the check line, progress folded
  std::string err;
};

const std::vector<FileCheckCase> kFileCases = {
    {"one channel",
     1,
     {1, 1},
     0,
     "",
     0,
     "[progress]\n Version: 2.17\n User info: Line 4 operator desk\n Build date: 2024-11-05\n"
     " Panel count: 1\n",
     ""},
    {"sixteen channels",
     16,
     {16, 16},
     0,
     "",
     0,
     "[progress]\n Version: 2.17\n User info: Line 4 operator desk\n Build date: 2024-11-05\n"
     " Panel count: 16\n",
     ""},
    {"one-channel file for sixteen",
     16,
     {1, 1},
     0,
     "",
     5,
     "",
     "ERROR: Invalid file size: not 200976 bytes.\n"},
    {"sixteen-channel file for one",
     1,
     {16, 16},
     0,
     "",
     5,
     "",
     "ERROR: Invalid file size: not 12816 bytes.\n"},
    {"header names sixteen panels",
     1,
     {1, 16},
     0,
     "",
     5,
     "[progress]\n Version: 2.17\n User info: Line 4 operator desk\n Build date: 2024-11-05\n"
     " Panel count: 16\n",
     "ERROR: Panel count of KCF and target do not match.\n"},
    {"bad checksum",
     1,
     {1, 1, true, false},
     0,
     "",
     9,
     "[progress]\n",
     "ERROR: Invalid file checksum."},
    {"no Date tag",
     1,
     {1, 1},
     0,
     "Date:",
     9,
     "",
     "ERROR: The file does not contain a valid header.\n"
     "       Please specify a valid key configuration file.\n"},
    {"no UserInfo tag",
     1,
     {1, 1},
     0,
     "UserInfo:",
     9,
     "",
     "ERROR: The file does not contain a valid header.\n"
     "       Please specify a valid key configuration file.\n"},
    {"shorter than the header", 1, {1, 1}, 255, "", 3, "", "ERROR: Can't read file: "},
};

TEST_F(KeyConfigurationTest, FileCheck) {
  for (const FileCheckCase& c : kFileCases) {
    Bytes file = KcfImage(c.image);
    if (!c.breakTag.empty()) {
      auto at = std::search(file.begin(), file.begin() + 256, c.breakTag.begin(), c.breakTag.end());
      ASSERT_NE(at, file.begin() + 256) << c.name;
      *at = 'x';
    }
    if (c.cutTo != 0) {
      file.resize(c.cutTo);
    }
    WriteBytes(Path("k.kcf"), file);
    CapturedOutput output =
        CaptureOutput([&] { return CheckKeyConfigurationFile(c.channels, Path("k.kcf").c_str()); });
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(FoldProgress(output.out), kFileCheck + c.out) << c.name;
    // A short read ends in the system's own text.
    EXPECT_EQ(output.err.substr(0, c.err.size()), c.err) << c.name;
    if (c.result != 3) {
      EXPECT_EQ(output.err, c.err) << c.name;
    }
  }
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST_F(KeyConfigurationTest, FileCheckOfAMissingFile) {
  CapturedOutput output =
      CaptureOutput([&] { return CheckKeyConfigurationFile(1, Path("missing.kcf").c_str()); });
  EXPECT_EQ(output.result, 2);
  EXPECT_EQ(output.out, kFileCheck);
  EXPECT_EQ(output.err, std::string("ERROR: Can't open file: ") + std::strerror(ENOENT) + "\n");
}

// ---- The stored configuration ---------------------------------------------------------------

struct DataCheckCase {
  const char* name;
  uint32_t channels;
  KcfImageShape image;
  int result;
  uint32_t length;  // handed out on success
  std::string out;
  std::string err;
};

const std::vector<DataCheckCase> kDataCases = {
    {"one channel",
     1,
     {1, 1},
     0,
     kOneChannelImage,
     "Check key configuration: [progress]\n" + kFields + "Panel count: 1\n",
     ""},
    {"sixteen channels",
     16,
     {16, 16},
     0,
     kSixteenChannelImage,
     "Check key configuration: [progress]\n" + kFields + "Panel count: 16\n",
     ""},
    {"no trailer row, sum 0",
     1,
     {1, 1, false, true},
     9,
     0,
     "Check key configuration: [progress]\n",
     "ERROR: Invalid data.\n"},
    {"sum not 0",
     16,
     {16, 16, true, false},
     9,
     0,
     "Check key configuration: [progress]\n",
     "ERROR: Invalid checksum.\n"},
};

TEST_F(KeyConfigurationTest, DataCheckWithLength) {
  for (const DataCheckCase& c : kDataCases) {
    StartPc(c.channels, true);
    StoreImage(KcfImage(c.image));
    uint32_t length = 0;
    CapturedOutput output = CaptureOutput([&] { return CheckKeyConfigurationData(&length); });
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(FoldProgress(output.out), c.out) << c.name;
    EXPECT_EQ(output.err, c.err) << c.name;
    if (c.result == 0) {
      EXPECT_EQ(length, c.length) << c.name;
    }
    // The header, then every 16-byte row of the image, one command each.
    EXPECT_EQ(Commands(0x20, true), 16 + KcfImage(c.image).size() / 16) << c.name;
  }
}

struct InfoCase {
  const char* name;
  bool available;
  bool stored;
  std::string fault;
  int result;
  std::string out;  // after the heading
  std::string err;
  size_t reads;
};

const std::vector<InfoCase> kInfoCases = {
    {"none available", false, true, "", 0, "No key configuration available.\n", "", 0},
    {"stored", true, true, "", 0, kFields + "Panel count: 1\n", "", 16},
    {"erased area", true, false, "", 9, "", "ERROR: Invalid header.\n", 16},
    {"read fails", true, true, "error 0x20 0x85", 6, "",
     "ERROR: Can't read data: " + std::string(StatusText(kStatusFailed, 0x85)) + "\n", 1},
};

TEST_F(KeyConfigurationTest, Info) {
  for (const InfoCase& c : kInfoCases) {
    StartPc(1, c.available);
    if (c.stored) {
      StoreImage(KcfImage({1, 1}));
    }
    if (!c.fault.empty()) {
      AddFault(c.fault);
    }
    CapturedOutput output = CaptureOutput([] { return ShowKeyConfiguration(); });
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(output.out, "\n-- Key configuration --\n\n" + c.out) << c.name;
    EXPECT_EQ(output.err, c.err) << c.name;
    // Info reads the header only.
    EXPECT_EQ(sim::LogSize(), c.reads) << c.name;
    sim::ClearFaults();
  }
}

}  // namespace
}  // namespace drux::testing
