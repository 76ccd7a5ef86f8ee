// Factory settings of a panel itself (FSET with a panel, no module), end to end against
// simulated panels: the file checks of an update, the built-in display, Save's proposed name
// and a save followed by an update of the same file, Info ALL's panel sections.
#include <string>
#include <vector>

#include "sim/devices/factory_settings_image.h"
#include "tests/e2e/fset_e2e_support.h"

namespace drux::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Panel 0 carries modules (2 KiB of factory settings), panel 1 does not (256 bytes). Their
// modules are gone, so that the full set's module menu leaves the target to the panel itself.
const std::initializer_list<std::string> kPanels = {
    "panel.0.version=0x0DE0", "panel.0.module.0.fitted=0", "panel.1.module.0.fitted=0",
    "panel.1.version=0x1E24", "panel.1.module.1.fitted=0"};

constexpr size_t kBlock = 256;
constexpr size_t kRecordRoom = 1792;

sim::FactoryRecordFields Identity(const char* serial, uint32_t deviceId) {
  sim::FactoryRecordFields fields;
  fields.deviceId = deviceId;
  fields.compatibilityId = 7;
  fields.version = 0x12;
  sim::SetRecordText(fields.serialNumber, sizeof fields.serialNumber, serial);
  sim::SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision, "C1");
  sim::SetRecordText(fields.modelNumber, sizeof fields.modelNumber, "DX-PANEL-15");
  return fields;
}

Bytes DisplayBlock(const sim::FactoryRecordFields& fields) {
  Bytes block(kBlock);
  sim::BuildDisplayBlock(fields, block.data());
  return block;
}

// A display block followed by a record; the file ends with the record.
Bytes SettingsFile(const sim::FactoryRecordFields& block, const sim::FactoryRecordFields& record) {
  Bytes file = DisplayBlock(block);
  Bytes extended(kRecordRoom);
  extended.resize(sim::BuildFactoryRecord(record, extended.data(), extended.size()));
  file.insert(file.end(), extended.begin(), extended.end());
  return file;
}

// Changes a byte and keeps the sum of the bytes from `from` to `checksumAt` as it was.
void ChangeKeepingSum(Bytes& bytes, size_t at, uint8_t value, size_t checksumAt) {
  bytes[checksumAt] = uint8_t(bytes[checksumAt] + bytes[at] - value);
  bytes[at] = value;
}

Bytes PanelData(const SimulatedPc& pc, int panel, size_t length) {
  EXPECT_TRUE(sim::AttachDirectory(pc.directory().c_str()));
  Bytes bytes(length);
  EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::PanelDisplay, 0, bytes.data(), length, panel));
  return bytes;
}

size_t PanelDataWrites(const SimulatedPc& pc) {
  size_t writes = 0;
  for (const sim::LogEntry& entry : pc.CommandLog()) {
    writes += !entry.read && entry.code == 0x20 && entry.target == 4 ? 1 : 0;
  }
  return writes;
}

struct FileCase {
  const char* name;
  int panel;
  Bytes file;
  int exitCode;
  std::string out;  // must appear in the output
  std::string err;
};

std::vector<FileCase> FileCases() {
  const sim::FactoryRecordFields panel = Identity("P0A00012340", 0x1234);
  sim::FactoryRecordFields other = Identity("P0A00099999", 0x1235);
  other.compatibilityId = 8;
  sim::FactoryRecordFields wide = panel;
  wide.staticLength = 2000;
  sim::FactoryRecordFields late = panel;
  late.factOffset = 48;

  // Serial numbers that fill their field: the bytes behind the 11 characters differ, but they
  // are not part of the field.
  Bytes fullFields = SettingsFile(panel, panel);
  ChangeKeepingSum(fullFields, 153 + 11, 'Y', 255);
  ChangeKeepingSum(fullFields, kBlock + 32 + 25 + 11, 'X', kBlock + 127);
  Bytes pcSettings = SettingsFile(panel, panel);
  pcSettings[255] = uint8_t(pcSettings[255] - 0xAA);  // internal data add up to 0
  Bytes blockOnly = DisplayBlock(panel);
  Bytes tooLong = blockOnly;
  tooLong.resize(300);
  // Static data declared to 600 bytes, of which the file holds 128 (all that is not zero): a
  // sum over the zeros behind the file's end would pass, the panel's old bytes there would not.
  sim::FactoryRecordFields beyondFile = panel;
  beyondFile.staticLength = 600;
  Bytes shortRecord = SettingsFile(panel, beyondFile);
  shortRecord.resize(kBlock + 128);
  Bytes erased = blockOnly;
  erased.resize(kBlock + kRecordRoom, 0xFF);

  const std::string identity = " Model number: DX-PANEL-15\n Serial number: P0A00012340\n";
  return {
      {"mismatches are shown, not refused", 0, SettingsFile(panel, other), 0,
       "Check extended factory settings ...\n Version: 1.02\n Model number: DX-PANEL-15 \n"
       " Serial number: P0A00099999 -> MISMATCH!\n Hardware revision: C1 \n"
       " Device ID: 0x00001235 -> MISMATCH!\n Compatibility ID: 0x0008 -> MISMATCH!\n",
       ""},
      {"texts compared within their fields", 0, fullFields, 0,
       " Serial number: P0A00012340 \n Hardware revision: C1 \n Device ID: 0x00001234 \n", ""},
      {"256 bytes on a panel with modules", 0, blockOnly, 9,
       " Compatibility ID: 0x0007\nCheck extended factory settings ...\n",
       "ERROR: Invalid header.\n"},
      {"settings of a PC", 0, pcSettings, 9, "Check factory settings file ...\n",
       "ERROR: Invalid checksum of Keltrom internal data.\n"
       "       Maybe these are factory settings for a PC.\n"},
      {"static length beyond the record", 0, SettingsFile(panel, wide), 9,
       "Check extended factory settings ...\n",
       "ERROR: Invalid checksum of static data (2000 bytes).\n"},
      {"static length beyond the file's end", 0, shortRecord, 9,
       "Check extended factory settings ...\n",
       "ERROR: Invalid checksum of static data (600 bytes).\n"},
      {"erased extended record", 0, erased, 12, "Check extended factory settings ...\n",
       "ERROR: No factory settings available.\n"},
      {"FACT header not at 32", 0, SettingsFile(panel, late), 9, " Version: 1.02\n",
       "WARNING: FACT header not found - location not at offset 0x20?\n"},
      {"300 bytes on a panel without modules", 1, tooLong, 5, "Check factory settings file ...\n",
       "ERROR: Invalid file size: not 256 bytes.\n"},
      {"display block on a panel without modules", 1, blockOnly, 0, identity, ""},
  };
}

TEST(PanelFsetE2e, UpdateChecksTheFileBeforeWriting) {
  for (const FileCase& c : FileCases()) {
    SCOPED_TRACE(c.name);
    SimulatedPc pc(kPanels);
    TemporaryDirectory files;
    WorkingDirectory inFiles(files.path());
    ASSERT_TRUE(WriteFileBytes("panel.bin", c.file));
    const std::string panel = "-p=" + std::to_string(c.panel);
    ProgramOutput result = pc.Run(FullSet(), {"u", "fset", "panel.bin", panel}, "", kFrozenClock);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    EXPECT_EQ(result.err, c.err);
    if (c.exitCode == 0) {
      EXPECT_NE(result.out.find("*** The panel must be powered off/on"), std::string::npos);
      EXPECT_EQ(PanelData(pc, c.panel, c.file.size()), c.file);
    } else {
      EXPECT_EQ(PanelDataWrites(pc), 0u);
    }
  }
}

TEST(PanelFsetE2e, SaveProposesTheNameAndItsFileUpdatesThePanel) {
  SimulatedPc pc(kPanels);
  PutRecord(pc, {"--panel", "0", "devid=0x1234", "blockversion=3", "serial=P0A00012340",
                 "model=DX-PANEL-15", "version=1.2"});
  const Bytes saved = PanelData(pc, 0, 2048);
  TemporaryDirectory files;
  WorkingDirectory inFiles(files.path());

  ProgramOutput save = pc.Run(FullSet(), {"s", "fset", "-p=0"}, "", kFrozenClock);
  EXPECT_EQ(save.err, "");
  EXPECT_EQ(save.exitCode, 0);
  EXPECT_NE(save.out.find("Save factory settings of panel 0 ...\n"
                          "Check factory settings of panel 0 ...\n"
                          " Model number: DX-PANEL-15\n"),
            std::string::npos)
      << save.out;
  EXPECT_NE(save.out.find("Write settings file: 12340003.bin\n"
                          "Read 2048 bytes from device:   0%\b\b\b\bDone\n"),
            std::string::npos)
      << save.out;
  EXPECT_EQ(ReadFileBytes("12340003.bin"), saved);

  PutRecord(pc, {"--panel", "0", "devid=0x9999", "serial=OTHER"});
  ProgramOutput update = pc.Run(FullSet(), {"u", "fset", "12340003.bin", "-p=0"}, "", kFrozenClock);
  EXPECT_EQ(update.err, "");
  EXPECT_EQ(update.exitCode, 0);
  EXPECT_NE(update.out.find(" Version: 1.02\n Model number: DX-PANEL-15 \n"), std::string::npos)
      << update.out;
  EXPECT_EQ(update.out.find("MISMATCH"), std::string::npos) << update.out;
  EXPECT_EQ(PanelData(pc, 0, 2048), saved);
}

TEST(PanelFsetE2e, BuiltInDisplayHasNoSettingsOfItsOwn) {
  struct Case {
    std::vector<std::string> request;
    std::string heading;
  };
  const Case cases[] = {
      {{"i", "fset", "-p=1"}, "\n-- Factory settings of panel 1 --\n\n"},
      {{"s", "fset", "-p=1"}, "Save factory settings of panel 1 ...\n"},
      {{"u", "fset", "x.bin", "-p=1"}, "Update factory settings of panel 1 ...\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request[0]);
    SimulatedPc pc(
        {"panel.1.version=0x5886", "panel.1.module.0.fitted=0", "panel.1.module.1.fitted=0"});
    ProgramOutput result = pc.Run(FullSet(), c.request, "", kFrozenClock);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find(c.heading + "Function is not available for built-in display\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(PanelDataWrites(pc), 0u);
  }
}

TEST(PanelFsetE2e, InfoAllShowsEveryConnectedPanel) {
  SimulatedPc pc;  // the default machine with its factory contents
  ProgramOutput result = pc.Run(Druxsvc(), {"i", "all"}, "", kFrozenClock);
  EXPECT_EQ(result.exitCode, 0);
  for (const std::string panel : {"0", "1"}) {
    EXPECT_NE(
        result.out.find("\n-- Factory settings of panel " + panel +
                        " --\n\nCheck factory settings of panel " + panel +
                        " ...\n Model number: DX-PANEL-15\n Serial number: P0A0001234" + panel +
                        "\n Hardware revision: C1\n Device ID: 0x0000d315\n"
                        " Compatibility ID: 0x0002\n\n-- Statistics values of panel " +
                        panel + " --\n"),
        std::string::npos)
        << result.out;
  }
}

}  // namespace
}  // namespace drux::test
