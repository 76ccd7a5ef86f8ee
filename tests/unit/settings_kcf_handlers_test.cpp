// Key configuration: Delete, Save and Update with their questions, failures and the restart of
// the scan codes.
#include <cerrno>
#include <cstring>

#include "controller/command.h"
#include "controller/feature_set.h"
#include "controller/status_text.h"
#include "tests/unit/settings_kcf_test_support.h"

namespace drux::testing {
namespace {

const std::string kRebootNotice =
    "*** The PC must be rebooted to take over the changes! ***\n"
    "    (if option -r is specified, the device is rebooted)\n";

std::string FailureText(uint8_t errorByte) {
  return StatusText(kStatusFailed, errorByte);
}

bool AllErased(const Bytes& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

// ---- Delete ---------------------------------------------------------------------------------

struct DeleteCase {
  const char* name;
  uint32_t channels;
  uint8_t yes;
  std::string answer;
  std::string fault;
  int result;
  std::string out;
  std::string err;
  size_t writes;   // 16-byte erase commands
  bool restarted;  // command 0x19 reached the controller
};

const std::string kAsk = "Delete key configuration ...\nDo you really want to delete (y/n): ";

const std::vector<DeleteCase> kDeleteCases = {
    {"-y, one channel", 1, 1, "", "", 0,
     "Delete key configuration ...\nErase data: [progress]\nRestart scancodes ...\n", "", 4096,
     true},
    {"-y, sixteen channels", 16, 1, "", "", 0,
     "Delete key configuration ...\nErase data: [progress]\nRestart scancodes ...\n", "", 16384,
     true},
    {"answered yes", 1, 0, " Yes\n", "", 0,
     kAsk + "Erase data: [progress]\nRestart scancodes ...\n", "", 4096, true},
    {"answered no", 1, 0, "n\n", "", 7, kAsk, "", 0, false},
    {"erase fails", 1, 1, "", "error 0x20 0x85 write", 6,
     "Delete key configuration ...\nErase data:   0%",
     "ERROR: Can't write data: " + FailureText(0x85) + "\n", 1, false},
    {"restart fails", 1, 1, "", "error 0x19 0x81", 16,
     "Delete key configuration ...\nErase data: [progress]\nRestart scancodes ...\n" +
         kRebootNotice,
     "ERROR: Can't restart scancodes: " + FailureText(0x81) + "\n", 4096, false},
};

TEST_F(KeyConfigurationTest, Delete) {
  for (const DeleteCase& c : kDeleteCases) {
    StartPc(c.channels, true);
    StoreImage(KcfImage({c.channels, c.channels}));
    if (!c.fault.empty()) {
      AddFault(c.fault);
    }
    Feed(c.answer);
    CapturedOutput output = CaptureOutput([&] { return DeleteKeyConfiguration(c.yes); });
    sim::ClearFaults();
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(FoldProgress(output.out), c.out) << c.name;
    EXPECT_EQ(output.err, c.err) << c.name;
    EXPECT_EQ(Commands(0x20, false), c.writes) << c.name;
    EXPECT_EQ(sim::ScanCodeRestartCount(), c.restarted ? 1u : 0u) << c.name;
    const size_t eraseLength = c.channels == 1 ? 0x10000 : 0x40000;
    EXPECT_EQ(AllErased(Stored(eraseLength)), c.writes == eraseLength / 16) << c.name;
  }
}

// After a delete the controller no longer offers a key configuration.
TEST_F(KeyConfigurationTest, InfoAfterDelete) {
  StartPc(1, true);
  StoreImage(KcfImage({1, 1}));
  CaptureOutput([] { return DeleteKeyConfiguration(1); });
  CapturedOutput info = CaptureOutput([] { return ShowKeyConfiguration(); });
  EXPECT_EQ(info.result, 0);
  EXPECT_EQ(info.out, "\n-- Key configuration --\n\nNo key configuration available.\n");
}

// ---- Save -----------------------------------------------------------------------------------

TEST_F(KeyConfigurationTest, SaveWritesTheImageOfTheHeadersPanelCount) {
  for (uint32_t channels : {1u, 16u}) {
    StartPc(channels, true);
    const Bytes image = KcfImage({channels, channels});
    StoreImage(image);
    const std::string file = Path("saved" + std::to_string(channels) + ".kcf");
    CapturedOutput output =
        CaptureOutput([&] { return SaveKeyConfiguration(kServiceFeatureSet, file.c_str(), 1, 0); });
    const std::string size = std::to_string(image.size());
    EXPECT_EQ(output.result, 0) << channels;
    EXPECT_EQ(FoldProgress(output.out),
              "Save key configuration ...\nWrite configuration file: " + file +
                  "\nCheck key configuration: [progress]\n" + kFields +
                  "Panel count: " + std::to_string(channels) + "\nRead " + size +
                  " bytes from device: [progress]\nVerify " + size +
                  " bytes with device: [progress]\n")
        << channels;
    EXPECT_EQ(output.err, "");
    EXPECT_EQ(ReadBytes(file), image) << channels;
  }
}

struct SaveFailureCase {
  const char* name;
  bool available;
  bool stored;
  KcfImageShape image;
  const char* fileName;  // nullptr: none given
  bool fileExists;
  std::string answer;
  const FeatureSet* features;
  int result;
  std::string out;  // after "Save key configuration ...\n", progress folded
  std::string err;
};

const std::vector<SaveFailureCase> kSaveFailures = {
    {"none available",
     false,
     true,
     {1, 1},
     "k.kcf",
     false,
     "",
     &kServiceFeatureSet,
     12,
     "",
     "ERROR: No key configuration available.\n"},
    {"no name, service set",
     true,
     true,
     {1, 1},
     nullptr,
     false,
     "",
     &kServiceFeatureSet,
     5,
     "ERROR: Can't determine configuration file name automatically.\n",
     ""},
    {"no name typed, full set",
     true,
     true,
     {1, 1},
     nullptr,
     false,
     "\n",
     &kFullFeatureSet,
     5,
     "Enter a configuration filename or nothing to exit: ",
     ""},
    {"existing file kept",
     true,
     true,
     {1, 1},
     "k.kcf",
     true,
     "n\n",
     &kServiceFeatureSet,
     5,
     "Write configuration file: @\nFile exists already - overwrite (y/n): ",
     ""},
    {"erased area",
     true,
     false,
     {1, 1},
     "k.kcf",
     false,
     "",
     &kServiceFeatureSet,
     9,
     "Write configuration file: @\n",
     "ERROR: Invalid header.\n"},
    {"no trailer row",
     true,
     true,
     {1, 1, false, true},
     "k.kcf",
     false,
     "",
     &kServiceFeatureSet,
     9,
     "Write configuration file: @\nCheck key configuration: [progress]\n",
     "ERROR: Invalid data.\n"},
};

std::string WithPath(std::string text, const std::string& path) {
  const size_t at = text.find('@');
  return at == std::string::npos ? text : text.replace(at, 1, path);
}

TEST_F(KeyConfigurationTest, SaveFailuresLeaveNoFile) {
  for (const SaveFailureCase& c : kSaveFailures) {
    StartPc(1, c.available);
    if (c.stored) {
      StoreImage(KcfImage(c.image));
    }
    const std::string path = Path("k.kcf");
    std::filesystem::remove(path);
    if (c.fileExists) {
      WriteText(path, "keep me");
    }
    Feed(c.answer);
    const char* name = c.fileName == nullptr ? nullptr : path.c_str();
    CapturedOutput output =
        CaptureOutput([&] { return SaveKeyConfiguration(*c.features, name, 1, 0); });
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(FoldProgress(output.out), "Save key configuration ...\n" + WithPath(c.out, path))
        << c.name;
    EXPECT_EQ(output.err, c.err) << c.name;
    if (c.fileExists) {
      EXPECT_EQ(ReadBytes(path), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'})) << c.name;
    } else {
      EXPECT_FALSE(Exists(path)) << c.name;
    }
  }
}

TEST_F(KeyConfigurationTest, SaveOverwritesWithYes) {
  StartPc(1, true);
  const Bytes image = KcfImage({1, 1});
  StoreImage(image);
  WriteText(Path("k.kcf"), "old");
  CapturedOutput output = CaptureOutput(
      [&] { return SaveKeyConfiguration(kServiceFeatureSet, Path("k.kcf").c_str(), 0, 1); });
  EXPECT_EQ(output.result, 0);
  EXPECT_EQ(output.out.find("overwrite"), std::string::npos);
  EXPECT_EQ(output.out.find("Verify"), std::string::npos) << "-v drops the verify";
  EXPECT_EQ(ReadBytes(Path("k.kcf")), image);
}

// ---- Update ---------------------------------------------------------------------------------

TEST_F(KeyConfigurationTest, UpdateWritesTheFileAndRestartsTheScanCodes) {
  for (uint32_t channels : {1u, 16u}) {
    StartPc(channels, false);
    const Bytes image = KcfImage({channels, channels});
    const std::string file = Path("new.kcf");
    WriteBytes(file, image);
    CapturedOutput output =
        CaptureOutput([&] { return UpdateKeyConfiguration(kServiceFeatureSet, file.c_str(), 1); });
    const std::string size = std::to_string(image.size());
    EXPECT_EQ(output.result, 0) << channels;
    EXPECT_EQ(FoldProgress(output.out),
              "Update key configuration ...\nRead configuration file: " + file +
                  "\nCheck key configuration file: [progress]\n Version: 2.17\n User info: Line 4 "
                  "operator desk\n Build date: 2024-11-05\n Panel count: " +
                  std::to_string(channels) + "\nWrite " + size +
                  " bytes to device: [progress]\nVerify " + size +
                  " bytes with device: [progress]\nRestart scancodes ...\n")
        << channels;
    EXPECT_EQ(output.err, "") << channels;
    EXPECT_EQ(Stored(image.size()), image) << channels;
    EXPECT_EQ(sim::ScanCodeRestartCount(), 1u) << channels;
    // The controller offers the new configuration.
    CapturedOutput info = CaptureOutput([] { return ShowKeyConfiguration(); });
    EXPECT_NE(info.out.find("Panel count: " + std::to_string(channels)), std::string::npos);
  }
}

struct UpdateFailureCase {
  const char* name;
  KcfImageShape image;
  bool fileGiven;
  std::string fault;
  int result;
  std::string errStart;
  bool written;
};

const std::vector<UpdateFailureCase> kUpdateFailures = {
    {"no name", {1, 1}, false, "", 5, "", false},
    {"file for sixteen channels",
     {16, 16},
     true,
     "",
     5,
     "ERROR: Invalid file size: not 12816 bytes.\n",
     false},
    {"bad checksum", {1, 1, true, false}, true, "", 9, "ERROR: Invalid file checksum.", false},
    {"write fails",
     {1, 1},
     true,
     "error 0x20 0x84 write",
     6,
     "ERROR: Can't write data: " + FailureText(0x84) + "\n",
     false},
    {"restart fails",
     {1, 1},
     true,
     "error 0x19 0x85",
     16,
     "ERROR: Can't restart scancodes: " + FailureText(0x85) + "\n",
     true},
};

TEST_F(KeyConfigurationTest, UpdateFailures) {
  for (const UpdateFailureCase& c : kUpdateFailures) {
    StartPc(1, true);
    WriteBytes(Path("k.kcf"), KcfImage(c.image));
    if (!c.fault.empty()) {
      AddFault(c.fault);
    }
    const std::string path = Path("k.kcf");
    CapturedOutput output = CaptureOutput([&] {
      return UpdateKeyConfiguration(kServiceFeatureSet, c.fileGiven ? path.c_str() : nullptr, 1);
    });
    sim::ClearFaults();
    EXPECT_EQ(output.result, c.result) << c.name;
    EXPECT_EQ(output.err, c.errStart) << c.name;
    EXPECT_EQ(sim::ScanCodeRestartCount(), 0u) << c.name;
    EXPECT_EQ(Stored(kOneChannelImage) == KcfImage(c.image), c.written) << c.name;
    if (c.result == 16) {
      EXPECT_NE(output.out.find("Restart scancodes ...\n" + kRebootNotice), std::string::npos)
          << c.name;
    }
    if (!c.fileGiven) {
      EXPECT_EQ(output.out,
                "Update key configuration ...\n"
                "ERROR: Can't determine configuration file name automatically.\n");
    }
  }
}

TEST_F(KeyConfigurationTest, UpdateFromAMissingFile) {
  StartPc(1, true);
  const std::string path = Path("missing.kcf");
  CapturedOutput output =
      CaptureOutput([&] { return UpdateKeyConfiguration(kServiceFeatureSet, path.c_str(), 1); });
  EXPECT_EQ(output.result, 5);
  EXPECT_EQ(output.out, "Update key configuration ...\nRead configuration file: " + path + "\n");
  EXPECT_EQ(output.err, std::string("ERROR: Can't open file: ") + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(sim::LogSize(), 0u);
}

}  // namespace
}  // namespace drux::testing
