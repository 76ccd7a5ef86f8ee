// The DRUX firmware handlers against the simulated controller: the running version, the
// firmware copy in flash, file checks by PC type, and the refusals of Save and Update before
// anything is written.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "controller/command.h"
#include "controller/feature_set.h"
#include "controller/pc_type.h"
#include "controller/status_text.h"
#include "firmware/drux_firmware.h"
#include "sim/sim.h"
#include "tests/support/console_feed.h"
#include "tests/support/sim_settings.h"
#include "tests/unit/firmware_test_support.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::ImageRecipe;
using testing::MakeImage;

class DruxFirmware : public testing::TransferTest {
 protected:
  void TearDown() override {
    test::ConsoleFeed::Close();
    testing::TransferTest::TearDown();
  }

  static void StartMachine(std::initializer_list<const char*> settings) {
    sim::MachineConfig config = sim::DefaultMachineConfig();
    ASSERT_TRUE(test::ApplySettings(config, settings));
    sim::StartInMemory(config);
    ForgetPcTypeAnswers();
  }

  static bool Wrote(uint8_t low, uint8_t high) {
    for (const sim::LogEntry& entry : Log()) {
      if (!entry.read && entry.code >= low && entry.code <= high) {
        return true;
      }
    }
    return false;
  }

  test::ConsoleFeed console_;
};

TEST_F(DruxFirmware, InfoShowsTheRunningFirmware) {
  const struct {
    std::initializer_list<const char*> settings;
    std::string lines;
  } cases[] = {
      {{"firmware=1.05", "update-counter=0", "system-flags=0"},
       "DRUX version: 1.05\nDRUX booted from: low area\nDRUX CRC state: OK\n"
       "DRUX update counter: 0\n"},
      {{"firmware=2.10", "update-counter=4000000000", "system-flags=0x4100"},
       "DRUX version: 2.10\nDRUX booted from: high area\nDRUX CRC state: error\n"
       "DRUX update counter: 4000000000\n"},
  };
  for (const auto& c : cases) {
    StartMachine(c.settings);
    const CapturedOutput output = CaptureOutput(ShowDruxFirmware);
    EXPECT_EQ(output.result, 0);
    EXPECT_EQ(output.out, "\n-- DRUX firmware --\n\n" + c.lines);
    EXPECT_EQ(output.err, "");
  }
}

TEST_F(DruxFirmware, InfoReportsAControllerThatCannotTellItsVersion) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0x10, 0x85, 0}));
  const CapturedOutput output = CaptureOutput(ShowDruxFirmware);
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.out, "\n-- DRUX firmware --\n\n");
  EXPECT_EQ(output.err, std::string("ERROR: Can't get DRUX firmware version: ") +
                            StatusText(kStatusFailed, 0x85) + "\n");
}

TEST_F(DruxFirmware, FlashCopyChecks) {
  constexpr uint32_t kStart = 0x100000;
  constexpr uint32_t kSize = 4096;
  const ImageRecipe good{kSize, "EX4F", "0105", 3};
  ImageRecipe badVersion = good;
  badVersion.versionText = "v1.0";
  Bytes badHeader = MakeImage(good);
  badHeader[20] ^= 1;
  Bytes badImage = MakeImage(good);
  badImage[3000] ^= 0x80;
  const std::string headerLines =
      "DRUX ID: EX4F\nDRUX version: 1.05\nDRUX update counter: 3\nCheck DRUX firmware: ";
  const struct {
    std::string label;
    Bytes image;
    uint32_t command;
    const char* prefix;
    int result;
    std::string outStart;
    std::string err;
  } cases[] = {
      {"small blocks", MakeImage(good), 0xA0, "EX4F", 0, headerLines, ""},
      {"large blocks", MakeImage(good), 0xE0, nullptr, 0, headerLines, ""},
      {"other prefix", MakeImage(good), 0xA0, "VP4F", 9, "", "ERROR: DRUX firmware not found.\n"},
      {"header crc", badHeader, 0xE0, nullptr, 9, "",
       "ERROR: DRUX firmware has invalid header CRC.\n"},
      {"version", MakeImage(badVersion), 0xA0, nullptr, 9, "",
       "ERROR: The DRUX firmware does not contain a valid version entry.\n"},
      {"image crc", badImage, 0xE0, nullptr, 9, headerLines, "ERROR: Invalid CRC.\n"},
  };
  for (const auto& c : cases) {
    SetFlash(kStart, c.image);
    uint32_t version = 0;
    uint16_t checksum = 0xABCD;
    const CapturedOutput output = CaptureOutput([&] {
      return CheckDruxFirmwareArea(c.command, 0, 0, kStart, kSize, c.prefix, &version, &checksum);
    });
    EXPECT_EQ(output.result, c.result) << c.label;
    EXPECT_EQ(output.out.rfind(c.outStart, 0), 0u) << c.label << output.out;
    EXPECT_EQ(output.err, c.err) << c.label;
    if (c.result == 0) {
      EXPECT_EQ(version, 105u);
      EXPECT_EQ(checksum, testing::XmlChecksum(c.image)) << c.label;
      EXPECT_EQ(output.out.substr(output.out.size() - 5), "Done\n") << c.label;
    } else if (c.outStart.empty()) {
      EXPECT_EQ(checksum, 0) << c.label;
    }
  }
}

TEST_F(DruxFirmware, FlashReadFailure) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, 0xE0, 0x85, 0}));
  uint32_t version = 0;
  uint16_t checksum = 0;
  const CapturedOutput output = CaptureOutput([&] {
    return CheckDruxFirmwareArea(0xE0, 0, 0, 0x300000, 0x300000, nullptr, &version, &checksum);
  });
  EXPECT_EQ(output.result, 6);
  EXPECT_EQ(output.err,
            std::string("ERROR: Can't read data: ") + StatusText(kStatusFailed, 0x85) + "\n");
}

// Which check a file gets depends on its name and the PC type.
TEST_F(DruxFirmware, FileChecksByPcType) {
  const std::string bin = Path("fw.bin");
  const std::string xml = Path("fw.fw");
  testing::WriteBytes(bin, MakeImage(ImageRecipe{0x100000, "EX4F", "0107", 1}));
  const Bytes data = MakeImage(ImageRecipe{0x1000, "EX6F", "0107", 1});
  testing::WriteBytes(
      xml, testing::XmlFile("<Firmware Dev=\"4711\" Ver=\"107\" Use=\"fw\" Fct=\"_\" Var=\"0\" "
                            "Len=\"4096\" Chk=\"" +
                                std::to_string(testing::XmlChecksum(data)) +
                                "\" Mat=\"DX\" Dat=\"01.01.2026\" Rem=\"x\"/>",
                            data));
  const std::string warning =
      "WARNING: Files without XML header are not checked for match with PC type.\n";
  const std::string noHeader =
      "ERROR: The file does not contain a DRUX firmware header.\n"
      "       Please specify a valid DRUX firmware file.\n";
  const struct {
    const char* pc;
    std::string file;
    uint32_t fileId;
    int result;
    std::string err;
  } cases[] = {
      {"pc=EX41", bin, 4711, 0, ""},
      {"pc=VP41", bin, 4711, 9, noHeader},
      {"pc=EX52", bin, 4711, 0, warning},
      {"pc=EX64", bin, 4711, 5, warning + "ERROR: Invalid file size: not 3145728 bytes.\n"},
      {"pc=5", bin, 4711, 13, "ERROR: Can't check file: the PC type is not supported.\n"},
      {"pc=EX64", xml, 4711, 0, ""},
      {"pc=EX64", xml, 4712, 13, "ERROR: Device ID does not match.\n"},
      {"pc=5", xml, 4711, 13, "ERROR: Can't check XML file: the PC type is not supported.\n"},
  };
  for (const auto& c : cases) {
    StartMachine({c.pc});
    uint32_t version = 0;
    const CapturedOutput output =
        CaptureOutput([&] { return CheckDruxFirmwareFile(c.file.c_str(), c.fileId, &version); });
    EXPECT_EQ(output.result, c.result) << c.pc << " " << c.file;
    EXPECT_EQ(output.err, c.err) << c.pc << " " << c.file;
    if (c.result == 0) {
      EXPECT_EQ(version, 107u) << c.pc << " " << c.file;
    }
  }
}

TEST_F(DruxFirmware, SaveRefusesBeforeWriting) {
  const std::string bin = Path("copy.bin");
  StartMachine({"pc=5"});
  const CapturedOutput unsupported =
      CaptureOutput([&] { return SaveDruxFirmware(kServiceFeatureSet, bin.c_str(), 1, 0); });
  EXPECT_EQ(unsupported.result, 15);
  EXPECT_EQ(unsupported.out, "Save DRUX firmware ...\nWrite firmware file: " + bin + "\n");
  EXPECT_EQ(unsupported.err, "ERROR: DRUX firmware is not supported for this PC type.\n");

  // The running copy is read and checked in full before the name is refused.
  StartMachine({"pc=EX41", "pc-parent-id=0xFFFFFFFF"});
  SetFlash(0x100000, MakeImage(ImageRecipe{0x100000, "EX4F", "0105", 3}));
  const CapturedOutput noXml =
      CaptureOutput([&] { return SaveDruxFirmware(kServiceFeatureSet, bin.c_str(), 1, 0); });
  EXPECT_EQ(noXml.result, 13);
  EXPECT_EQ(noXml.out.find("Parent device ID"), std::string::npos);
  EXPECT_NE(noXml.out.find("Check DRUX firmware: "), std::string::npos);
  EXPECT_EQ(noXml.err, "ERROR: Files without XML header are not supported. Save as .fw file.\n");
  EXPECT_FALSE(testing::Exists(bin));
}

TEST_F(DruxFirmware, SaveWritesTheRunningCopyBehindAnXmlHeader) {
  StartMachine({"pc=EX52", "pc-parent-id=12", "system-flags=0x100", "pc-model=DX-EX52"});
  const Bytes image = MakeImage(ImageRecipe{0x100000, "EX5F", "0302", 7});
  SetFlash(0x200000, image);
  const std::string name = Path("saved.fw");
  const CapturedOutput output =
      CaptureOutput([&] { return SaveDruxFirmware(kServiceFeatureSet, name.c_str(), 0, 0); });
  ASSERT_EQ(output.result, 0) << output.err;
  EXPECT_EQ(output.out.rfind("Save DRUX firmware ...\nParent device ID 12 is used\n", 0), 0u);
  uint32_t version = 0;
  const CapturedOutput check = CaptureOutput(
      [&] { return CheckXmlHeader(name.c_str(), 0, 0x100000, 12, '_', 0, "fw", 0, &version); });
  EXPECT_EQ(check.result, 0) << check.err;
  EXPECT_EQ(version, 302u);
  const Bytes file = testing::ReadBytes(name);
  ASSERT_GT(file.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), file.end() - image.size()));
  const std::string header(file.begin(), file.end() - image.size() - 1);
  EXPECT_NE(header.find("Mat=\"DX-EX52\""), std::string::npos) << header;
}

// Declining an older file ends the update before the controller's update area is touched.
TEST_F(DruxFirmware, UpdateDeclinedWritesNothing) {
  StartMachine({"pc=EX52", "firmware=2.00"});
  const std::string name = Path("old.bin");
  testing::WriteBytes(name, MakeImage(ImageRecipe{0x100000, "EX5F", "0150", 0}));
  console_.Feed("n\n");
  const CapturedOutput output =
      CaptureOutput([&] { return UpdateDruxFirmware(kServiceFeatureSet, name.c_str(), 1, 0); });
  EXPECT_EQ(output.result, 7);
  EXPECT_NE(output.out.find("File version: 1.50\n"), std::string::npos) << output.out;
  const std::string question =
      "WARNING: Active version is newer than file version!\nContinue with update (y/n): ";
  ASSERT_GE(output.out.size(), question.size());
  EXPECT_EQ(output.out.substr(output.out.size() - question.size()), question);
  EXPECT_FALSE(Wrote(0xB0, 0xBF));
}

// Without a name the parent ID names the file first, then the device ID once more.
TEST_F(DruxFirmware, UpdateTriesTheDeviceIdAfterTheParentId) {
  StartMachine({"pc=EX64", "pc-parent-id=12", "pc-device-id=4711"});
  const CapturedOutput output =
      CaptureOutput([&] { return UpdateDruxFirmware(kServiceFeatureSet, nullptr, 1, 1); });
  EXPECT_EQ(output.result, 5);
  EXPECT_EQ(output.out,
            "Update DRUX firmware ...\nParent device ID 12 is used\n"
            "Read firmware file: 00012_0.fw\n"
            "Trying again with file based on device ID 4711 ...\n"
            "Read firmware file: 04711_0.fw\n");
  const std::string openError = std::string("ERROR: Can't open file: ") + std::strerror(ENOENT);
  EXPECT_EQ(output.err, openError + "\n" + openError + "\n");
  EXPECT_FALSE(Wrote(0xB0, 0xBF));
}

}  // namespace
}  // namespace drux
