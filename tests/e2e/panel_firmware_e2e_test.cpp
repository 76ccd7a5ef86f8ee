// The link receiver FPGA and the HDBaseT firmware of simulated panels, end to end: where each
// access group writes and reads, the version rules, write protection, names and variants, and
// round trips through the program's own files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Block index of a block command, with the address extension in the code's low bits.
uint32_t Block(const sim::LogEntry& entry, uint8_t base) {
  return uint32_t(entry.code - base) << 14 | entry.address;
}

struct Machine {
  SimulatedPc pc;
  explicit Machine(std::vector<std::string> receiver) {
    receiver.insert(receiver.begin(), {"receiver", "0"});
    EXPECT_EQ(pc.Druxsim(receiver).exitCode, 0);
    EXPECT_EQ(pc.Druxsim({"log", "--clear"}).exitCode, 0);
  }
  std::string Path(const std::string& name) const {
    return std::filesystem::relative(pc.directory() + "/" + name).string();
  }
  // An image file written by druxsim image.
  std::string Image(const std::string& name, std::vector<std::string> options) const {
    options.insert(options.begin(), {"image", Path(name)});
    EXPECT_EQ(pc.Druxsim(options).exitCode, 0);
    return Path(name);
  }
  ProgramOutput Svc(std::vector<std::string> arguments) const {
    return pc.Run(Druxsvc(), std::move(arguments), "", kFrozenClock, true);
  }
  // Commands of a block command (its eight address extensions) or, for 0x20 and 0x22, of
  // that code alone.
  int Writes(uint8_t base, bool read = false) const {
    int count = 0;
    for (const sim::LogEntry& entry : pc.CommandLog()) {
      count += Matches(entry, base) && entry.read == read ? 1 : 0;
    }
    return count;
  }
  static bool Matches(const sim::LogEntry& entry, uint8_t base) {
    const int span = base < 0x30 ? 1 : 8;
    return entry.code >= base && entry.code < base + span;
  }
  std::string Receiver() const { return pc.Druxsim({"receiver", "0"}).out; }
};

struct UpdateCase {
  const char* name;
  std::vector<std::string> receiver;
  std::vector<std::string> image;
  uint8_t writeCode;
  uint32_t firstByte;  // where the first block lands
  int compatibleLines;
  int protectRequests;
};

TEST(PanelLinkReceiverE2e, EachGroupStartsItsUpdateWhereItsImageGoes) {
  const std::vector<UpdateCase> cases = {
      {"M high",
       {"0x725C", "version=2.16", "area=high"},
       {"--id", "KR3D", "--version", "2.17"},
       0xC0,
       0x80000,
       0,
       2},
      {"M low",
       {"0x725C", "version=2.16", "area=low"},
       {"--id", "KR3D", "--version", "2.17"},
       0xC0,
       0x120000,
       0,
       2},
      {"L",
       {"0xB261", "version=6.14", "protect=0"},
       {"--id", "KR4D", "--version", "6.15", "--size", "0x300000"},
       0xD8,
       0,
       0,
       0},
      {"S",
       {"0xE05D", "version=0.40", "protect=0"},
       {"--id", "KVN8", "--version", "0.41", "--format", "old", "--size", "0x20000"},
       0x20,
       0,
       0,
       0},
      {"M major 5, the top of the protected range",
       {"0x725C", "version=5.10", "area=low"},
       {"--id", "KR3D", "--version", "5.11"},
       0xC0,
       0x120000,
       0,
       2},
      {"M without module functions",
       {"0x725C", "version=2.16", "modules=0"},
       {"--id", "KR3D", "--version", "2.17"},
       0x20,
       0,
       1,
       2},
  };
  for (const UpdateCase& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m(c.receiver);
    const std::string file = m.Image("new.bin", c.image);
    ProgramOutput run = m.Svc({"u", "link", "-p=0", file});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(Count(run.out, "Using compatible Flash commands\n"), size_t(c.compatibleLines));
    int protects = 0;
    bool first = true;
    for (const sim::LogEntry& entry : m.pc.CommandLog()) {
      protects += entry.code == 0x22 ? 1 : 0;
      if (!entry.read && Machine::Matches(entry, c.writeCode) && first && entry.address != 0x3FF1) {
        const uint32_t block = c.writeCode == 0x20 ? 0 : Block(entry, c.writeCode);
        EXPECT_EQ(block * (c.writeCode == 0xD8 ? 256 : 16), c.firstByte);
        first = false;
      }
    }
    EXPECT_FALSE(first) << "no write with the group's command";
    EXPECT_EQ(protects, c.protectRequests);
    EXPECT_TRUE(Has(m.Receiver(), c.protectRequests != 0 ? "flash protected" : "unprotected"));
  }
}

struct VersionCase {
  std::vector<std::string> receiver;
  const char* id;
  const char* fileVersion;
  const char* refusal;  // nullptr: accepted
};

TEST(PanelLinkReceiverE2e, FileVersionsMustFitTheRunningMajor) {
  const std::vector<VersionCase> cases = {
      {{"0xB261", "version=6.14"},
       "KR4D",
       "6.13",
       "ERROR: Incompatible versions - file version > 6.13 is required.\n"},
      {{"0xB261", "version=6.14"}, "KR4D", "6.14", nullptr},
      {{"0xB261", "version=6.13"}, "KR4D", "6.02", nullptr},
      {{"0x725C", "version=2.05"},
       "KR3D",
       "3.00",
       "ERROR: Incompatible versions - file version 2.xx is required.\n"},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.fileVersion);
    Machine m(c.receiver);
    const bool large = c.receiver[0] == "0xB261";
    std::vector<std::string> image{"--id", c.id, "--version", c.fileVersion};
    if (large) {
      image.insert(image.end(), {"--size", "0x300000"});
    }
    ProgramOutput run = m.Svc({"u", "link", "-p=0", m.Image("f.bin", image), "-y"});
    if (c.refusal != nullptr) {
      EXPECT_EQ(run.exitCode, 8);
      EXPECT_TRUE(Has(run.out, c.refusal)) << run.out;
      EXPECT_EQ(m.Writes(large ? 0xD8 : 0xC0), 0);
      EXPECT_EQ(m.Writes(0x22), 0);
    } else {
      EXPECT_EQ(run.exitCode, 0) << run.out;
    }
  }
}

TEST(PanelLinkReceiverE2e, UnknownPanelTypeIsNotSupported) {
  Machine m({});
  ASSERT_EQ(m.pc.Druxsim({"set", "panel.0.version=0xABCD"}).exitCode, 0);
  for (const char* action : {"i", "u", "s"}) {
    ProgramOutput run = m.Svc({action, "link", "-p=0", "x.bin"});
    EXPECT_EQ(run.exitCode, 15) << action;
    EXPECT_TRUE(Has(run.out, "ERROR: The panel version ID 'abcd' is not supported.\n"));
  }
}

TEST(PanelLinkReceiverE2e, Kvnr1NamesAndVariantFollowTheMajor) {
  Machine m({"0x722C", "version=1.02", "protect=0"});
  // Save proposes the variant-1 name and writes variant 1 with device ID 16.
  ProgramOutput save = m.pc.Run(Druxsvc(), {"s", "link", "-p=0"}, "", kFrozenClock, true);
  EXPECT_EQ(save.exitCode, 0) << save.out;
  EXPECT_TRUE(Has(save.out, "Write FPGA file: 0016#1.fp\n"));
  const std::string saved = "0016#1.fp";
  const std::vector<uint8_t> bytes = ReadFileBytes(saved);
  const std::string head(bytes.begin(), bytes.begin() + 80);
  EXPECT_TRUE(Has(head, "Dev=\"0016\" Ver=\"102\" Use=\"fp\" Fct=\"#\" Var=\"1\"")) << head;
  // The program's own file goes back in (round trip through its XML header).
  ProgramOutput again = m.Svc({"u", "link", "-p=0", saved, "-y"});
  EXPECT_EQ(again.exitCode, 0) << again.out;
  std::filesystem::remove(saved);
  // A panel of major 0 proposes the variant-0 name.
  ASSERT_EQ(m.pc.Druxsim({"receiver", "0", "version=0.40"}).exitCode, 0);
  ProgramOutput old = m.Svc({"u", "link", "-p=0"});
  EXPECT_TRUE(Has(old.out, "0016#0.fp")) << old.out;
}

TEST(PanelLinkReceiverE2e, ProtectionIsRestoredAfterAnEarlyFailure) {
  Machine m({"0x725C", "version=2.16"});
  ASSERT_EQ(m.pc.Druxsim({"fault", "error", "0x7a", "0x85", "read"}).exitCode, 0);
  ProgramOutput run =
      m.Svc({"u", "link", "-p=0", m.Image("f.bin", {"--id", "KR3D", "--version", "2.17"})});
  EXPECT_EQ(run.exitCode, 6);
  EXPECT_TRUE(Has(run.out, "ERROR: Can't get panel module FPGA header: device failure"));
  EXPECT_EQ(m.Writes(0x22), 2);
  EXPECT_TRUE(Has(m.Receiver(), "flash protected"));
  // A failed protect still makes the update fail, with its own line.
  ASSERT_EQ(m.pc.Druxsim({"fault", "clear"}).exitCode, 0);
  ASSERT_EQ(m.pc.Druxsim({"fault", "error", "0x22", "0x85", "--after", "1"}).exitCode, 0);
  ProgramOutput protect = m.Svc({"u", "link", "-p=0", m.Path("f.bin"), "-y"});
  EXPECT_EQ(protect.exitCode, 6);
  EXPECT_TRUE(Has(protect.out, "ERROR: Can't enable write protect: device failure"));
}

TEST(PanelLinkReceiverE2e, CompatibleCommandsOnAPanelWithoutModuleFunctions) {
  Machine m({"0x725C", "version=2.16", "modules=0"});
  ProgramOutput fp = m.Svc({"s", "link", "-p=0", m.Path("a.FP")});
  EXPECT_EQ(fp.exitCode, 0) << fp.out;
  EXPECT_EQ(Count(fp.out, "Using compatible Flash commands\n"), 2u);
  EXPECT_EQ(m.Writes(0xD0, true), 0);
  EXPECT_GT(m.Writes(0x20, true), 0);
  EXPECT_EQ(ReadFileBytes(m.Path("a.FP"))[0], '<');
  ProgramOutput bin = m.Svc({"s", "link", "-p=0", m.Path("a.bin")});
  EXPECT_EQ(bin.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(m.Path("a.bin")).size(), 0xA0000u);
  // The saved raw image goes back through the compatible commands (indirect, no verify).
  ProgramOutput update = m.Svc({"u", "link", "-p=0", m.Path("a.bin"), "-y"});
  EXPECT_EQ(update.exitCode, 0) << update.out;
  EXPECT_TRUE(Has(update.out, "Verify of data is not supported - verify is skipped.\n"));
}

TEST(PanelLinkReceiverE2e, GroupLSavesTheRunningCopyAndTakesItsOwnFileBack) {
  Machine m({"0xB261", "version=6.14", "area=low"});
  // A pending update in the idle copy must not leak into the saved file's checksum.
  ASSERT_EQ(
      m.Svc({"u", "link", "-p=0",
             m.Image("n.bin", {"--id", "KR4D", "--version", "6.20", "--size", "0x300000"}), "-y"})
          .exitCode,
      0);
  ASSERT_EQ(m.pc.Druxsim({"log", "--clear"}).exitCode, 0);
  ProgramOutput save = m.Svc({"s", "link", "-p=0", m.Path("l.fp")});
  EXPECT_EQ(save.exitCode, 0) << save.out;
  uint32_t lowest = 0xFFFFFFFF;
  for (const sim::LogEntry& entry : m.pc.CommandLog()) {
    if (entry.code >= 0xE8 && entry.code < 0xF0) {
      lowest = std::min(lowest, Block(entry, 0xE8) * 256);
    }
  }
  EXPECT_EQ(lowest, 0x300000u);
  ProgramOutput update = m.Svc({"u", "link", "-p=0", m.Path("l.fp"), "-y"});
  EXPECT_EQ(update.exitCode, 0) << update.out;
  // After the panel's reboot it runs the new image, which the panel reports.
  ASSERT_EQ(m.Svc({"u", "link", "-p=0", m.Path("n.bin"), "-y", "-r"}).exitCode, 0);
  EXPECT_TRUE(Has(m.Svc({"i", "link", "-p=0"}).out, "FPGA version: 6.20 (0xb261)\n"));
}

TEST(PanelLinkReceiverE2e, NameLikeFileWithoutTrailerIsReadAsXml) {
  Machine m({"0x722C", "version=1.04", "protect=0"});
  std::string text = "<Firmware Dev=\"16\"";
  text.resize(0x100, 'A');
  // Type and version come from the bare name only (no directory in front).
  const std::string name = "KVNR0105.bin";
  std::ofstream(name, std::ios::binary) << text;
  ProgramOutput run = m.Svc({"u", "link", "-p=0", name, "-y"});
  std::filesystem::remove(name);
  EXPECT_EQ(run.exitCode, 3) << run.out;
  EXPECT_TRUE(Has(run.out, "ERROR: Can't read XML header.\n")) << run.out;
}

// Bulk transfers cost the protocol's floor per block (38 port accesses per 16-byte block, 278
// per 256-byte block) plus a few hundred for headers and identity reads.
TEST(PanelLinkReceiverE2e, TransfersStayAtTheProtocolFloor) {
  struct FloorCase {
    std::vector<std::string> receiver;
    uint64_t imageSize;
    uint64_t blockSize;
    uint64_t perBlock;
  };
  const std::vector<FloorCase> cases = {
      {{"0x725C", "version=2.16"}, 0xA0000, 16, 38},
      {{"0xB261", "version=6.14"}, 0x300000, 256, 278},
  };
  for (const FloorCase& c : cases) {
    Machine m(c.receiver);
    // Save reads the image three times (check, save, verify), the update twice.
    for (const std::string action : {"s", "u"}) {
      ASSERT_EQ(m.pc.Druxsim({"accesses", "--clear"}).exitCode, 0);
      ProgramOutput run = m.Svc({action, "link", "-p=0", m.Path("image.bin"), "-y"});
      ASSERT_EQ(run.exitCode, 0) << run.out;
      const uint64_t floor = (action == "s" ? 3 : 2) * c.imageSize / c.blockSize * c.perBlock;
      const uint64_t accesses = std::stoull(m.pc.Druxsim({"accesses"}).out);
      EXPECT_GE(accesses, floor) << action;
      EXPECT_LE(accesses, floor + 500) << action;
    }
  }
}

struct HdbtCase {
  const char* link;
  const char* fileVersion;
  int exitCode;
  const char* line;
};

TEST(HdbtFirmwareE2e, FirmwareVersionFollowsTheLinkFpga) {
  const std::vector<HdbtCase> cases = {
      {"6.14", "0.95", 8, "ERROR: Incompatible versions - file version 1.xx is required.\n"},
      {"7.05", "1.02", 8, "ERROR: Incompatible versions - file version 0.xx is required.\n"},
      {"7.05", "0.95", 0, "Verify of data is not supported - verify is skipped.\n"},
      {"6.14", "1.06", 0, "Verify of data is not supported - verify is skipped.\n"},
      {"6.13", "1.00", 8, "ERROR: Incompatible versions - file version 0.xx is required.\n"},
      {"6.14", "1.00", 0, "Verify of data is not supported - verify is skipped.\n"},
  };
  for (const HdbtCase& c : cases) {
    SCOPED_TRACE(std::string(c.link) + " " + c.fileVersion);
    Machine m({"0xB25D", std::string("version=") + c.link});
    ASSERT_EQ(m.pc.Druxsim({"hdbt", "0", "version=0.90"}).exitCode, 0);
    const std::string file = m.Image("0042#0.fw", {"--format", "hdbt", "--id", "VRTP", "--version",
                                                   c.fileVersion, "--xml", "42:#"});
    ProgramOutput run = m.Svc({"u", "hdbt", "-p=0", file, "-y"});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
    EXPECT_TRUE(Has(run.out, c.line)) << run.out;
    EXPECT_EQ(m.Writes(0xD8, true), 0);
    EXPECT_EQ(m.Writes(0xD8) > 0, c.exitCode == 0);
  }
  Machine other({"0x7238", "version=6.20"});
  ProgramOutput info = other.Svc({"i", "hdbt", "-p=0"});
  EXPECT_EQ(info.exitCode, 15);
  EXPECT_TRUE(Has(info.out, "ERROR: HDBT firmware is not supported on this panel.\n"));
}

}  // namespace
}  // namespace drux::test
