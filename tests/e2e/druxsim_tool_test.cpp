// The druxsim tool end to end: the built binary against temporary machine directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "controller/registers.h"
#include "sim/sim.h"
#include "tests/support/program_runner.h"
#include "tests/support/sim_port_registers.h"

namespace {

namespace fs = std::filesystem;
using drux::test::ProgramOutput;
using drux::test::TemporaryDirectory;

std::string ToolPath() {
  return std::string(DRUX_BIN_DIR) + "/druxsim";
}

class DruxsimTest : public ::testing::Test {
 protected:
  std::string Dir() const { return temp_.path() + "/pc"; }

  ProgramOutput Tool(std::vector<std::string> arguments,
                     std::vector<std::pair<std::string, std::string>> environment = {}) {
    drux::test::ProgramInvocation invocation;
    invocation.path = ToolPath();
    invocation.arguments = std::move(arguments);
    invocation.environment = std::move(environment);
    return drux::test::RunProgram(invocation);
  }

  // druxsim --dir <machine> ...
  ProgramOutput Sim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--dir", Dir()});
    return Tool(std::move(arguments));
  }

  // The machine as a program of this process sees it.
  const sim::MachineConfig& Attached() {
    EXPECT_TRUE(sim::AttachDirectory(Dir().c_str()));
    return sim::Config();
  }

  void TearDown() override { sim::StartInMemory(sim::DefaultMachineConfig()); }

  TemporaryDirectory temp_;
};

// One read command with the full handshake, as a program run would send it.
void HostReadCommand(uint32_t word, uint32_t size) {
  simtest::WriteReg(drux::kPortCommandStatus,
                    simtest::ReadReg(drux::kPortCommandStatus) | drux::kStatusLockBit);
  simtest::WriteReg(drux::kPortCommand, word);
  sim::PortRead(drux::kPortCommandState);
  sim::PortRead(drux::kPortCommandStatus);
  uint16_t window = size <= 16 ? drux::kPortSmallWindow : drux::kPortLargeWindow;
  for (uint32_t i = 0; i < size; ++i) {
    sim::PortRead(uint16_t(window + i));
  }
  simtest::WriteReg(drux::kPortCommandStatus,
                    simtest::ReadReg(drux::kPortCommandStatus) & ~drux::kStatusHostBits);
}

TEST_F(DruxsimTest, HelpAndUsageDocumentEveryCommand) {
  ProgramOutput help = Tool({"help"});
  ASSERT_EQ(help.exitCode, 0);
  // Not __FILE__: a compiler cache may hand the compiler a path relative to the build folder.
  std::ifstream usageFile(fs::path(DRUX_SOURCE_DIR) / "sim/tool/USAGE.md");
  std::stringstream usage;
  usage << usageFile.rdbuf();
  ASSERT_FALSE(usage.str().empty()) << "sim/tool/USAGE.md";
  for (const char* command :
       {"create",     "show",           "set",          "module",       "fault lock",
        "fault busy", "fault error",    "fault hang",   "fault clear",  "fault list",
        "dump",       "load",           "log",          "accesses",     "violations",
        "reset",      "--panel",        "--no-panels",  "--no-modules", "panelflash:N",
        "display:N",  "module.N.model", "panel.N.link", "transmitter",  "converter",
        "powercycle", "image",          "link:idle",    "conv:P",       "pfpga:P:D",
        "--after",    "--transmitter",  "--converter",  "--xml",        "--break",
        "receiver",   "hdbt",           "protect="}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << "help lacks " << command;
    EXPECT_NE(usage.str().find(command), std::string::npos) << "USAGE.md lacks " << command;
  }
}

TEST_F(DruxsimTest, UsageErrorsExitWithOneAndChangeNothing) {
  ASSERT_EQ(Sim({"create"}).exitCode, 0);
  const std::vector<std::vector<std::string>> calls = {
      {},
      {"frobnicate"},
      {"create", "--pc", "EX99"},
      {"create", "--panel", "16"},
      {"create", "--panel", "2:version=0x10000"},
      {"create", "--channels", "2"},
      {"create", "--firmware"},
      {"set"},
      {"set", "pc=EX64", "nonsense=1"},
      {"set", "system-flags=0x12"},
      {"module", "16", "id=1"},
      {"module", "3", "hwrev=TOOLONG"},
      {"fault", "busy", "0xe0"},
      {"fault", "jam", "0x10"},
      {"dump", "rom", "x.bin"},
      {"dump", "display:16", "x.bin"},
      {"dump", "flash", "x.bin", "--length", "0x1000001"},
      {"log", "--all"},
      {"show", "extra"},
      {"create", "--transmitter", "V6K4:version=1.100"},
      {"create", "--converter", "16:KR3B"},
      {"transmitter", "V6K4", "area=middle"},
      {"converter", "1", "KR4B", "parent=1"},
      {"fault", "busy", "0xe0", "2", "--after", "3"},
      {"dump", "link:elsewhere", "x.bin"},
      {"powercycle", "now"},
  };
  for (const auto& call : calls) {
    ProgramOutput result = Sim(call);
    std::string text;
    for (const std::string& word : call) {
      text += word + " ";
    }
    EXPECT_EQ(result.exitCode, 1) << text << result.err;
    EXPECT_FALSE(result.err.empty()) << text;
  }
  EXPECT_EQ(Tool({"--dir"}).exitCode, 1);
  const sim::MachineConfig& config = Attached();
  EXPECT_EQ(config.pcType, 18) << "the refused set must not apply its valid half";
  EXPECT_EQ(config.panelChannels, 16u);
}

TEST_F(DruxsimTest, CreateBuildsTheRequestedMachine) {
  ProgramOutput created = Sim({"create",
                               "--pc",
                               "VP41",
                               "--variant",
                               "DRUU",
                               "--channels",
                               "1",
                               "--firmware",
                               "2.07",
                               "--update-counter",
                               "9",
                               "--system-flags",
                               "0x4100",
                               "--features",
                               "0",
                               "--bios",
                               "0xa5",
                               "--panel",
                               "0:version=0x5886:link=1.2:nomodules",
                               "--panel",
                               "3:unconnected",
                               "--no-modules"});
  ASSERT_EQ(created.exitCode, 0) << created.err;
  const sim::MachineConfig& config = Attached();
  EXPECT_EQ(config.pcType, 15);
  EXPECT_STREQ(config.id, "DRUU");
  EXPECT_EQ(config.panelChannels, 1u);
  EXPECT_EQ(config.firmwareVersion, 0x0207);
  EXPECT_EQ(config.updateCounter, 9u);
  EXPECT_EQ(config.systemFlags, 0x4100u);
  EXPECT_EQ(config.biosRegister, 0xA5u);
  EXPECT_TRUE(config.panels[0].connected);
  EXPECT_EQ(config.panels[0].versionId, 0x5886);
  EXPECT_EQ(config.panels[0].linkFpgaMajor, 1);
  EXPECT_EQ(config.panels[0].linkFpgaMinor, 2);
  EXPECT_FALSE(config.panels[0].moduleFunctions);
  EXPECT_FALSE(config.panels[1].connected) << "named panels replace the default ones";
  EXPECT_FALSE(config.panels[3].connected);
  EXPECT_NE(config.panels[3].versionId, 0);
  for (const sim::ModuleConfig& module : config.modules) {
    EXPECT_FALSE(module.fitted);
  }

  ProgramOutput show = Sim({"show"});
  ASSERT_EQ(show.exitCode, 0);
  for (const char* line : {"PC type:             15 (VP41)", "identification DRUU",
                           "Firmware version:    2.07", "0: connected, version ID 0x5886",
                           "3: not connected", "Flash:               4194304 bytes"}) {
    EXPECT_NE(show.out.find(line), std::string::npos) << line << "\n" << show.out;
  }

  ASSERT_EQ(Sim({"create", "--variant", "absent", "--no-panels"}).exitCode, 0);
  const sim::MachineConfig& absent = Attached();
  EXPECT_FALSE(absent.present);
  EXPECT_FALSE(absent.panels[0].connected);
  EXPECT_TRUE(absent.modules[0].fitted) << "the default modules stay";
}

TEST_F(DruxsimTest, SetAndModuleChangeTheSavedMachine) {
  ASSERT_EQ(Sim({"set", "pc=EX53", "panel.3.connected=1", "panel.3.version=0x0101",
                 "panel.0.link=3.4", "module.2.model=Bus unit 2", "bios=7"})
                .exitCode,
            0);
  const sim::MachineConfig& config = Attached();
  EXPECT_EQ(config.pcType, 20);
  EXPECT_TRUE(config.panels[3].connected);
  EXPECT_EQ(config.panels[3].versionId, 0x0101);
  EXPECT_EQ(config.panels[0].linkFpgaMajor, 3);
  EXPECT_TRUE(config.panels[1].connected) << "a default machine keeps what set does not name";
  EXPECT_TRUE(config.modules[2].fitted);
  EXPECT_STREQ(config.modules[2].modelNumber, "Bus unit 2");

  ASSERT_EQ(Sim({"module", "5", "id=0x1234", "hwrev=A1", "serial=S-5", "model=Five", "parent=0x20"})
                .exitCode,
            0);
  ProgramOutput module = Sim({"module", "5"});
  EXPECT_EQ(module.out,
            "module 5: id=0x00001234 hwrev=A1 serial=S-5 model=Five parent=0x00000020\n");
  ASSERT_EQ(Sim({"module", "0", "--remove"}).exitCode, 0);
  EXPECT_EQ(Sim({"module", "0"}).out, "module 0: not fitted\n");
  EXPECT_FALSE(Attached().modules[0].fitted);
  EXPECT_TRUE(Attached().modules[5].fitted);
}

TEST_F(DruxsimTest, FaultsAreListedInOrderAndCleared) {
  for (const std::vector<std::string>& fault :
       {std::vector<std::string>{"fault", "busy", "0xE0", "2"},
        {"fault", "error", "0x61", "0x85"},
        {"fault", "hang", "any"},
        {"fault", "lock"}}) {
    ASSERT_EQ(Sim(fault).exitCode, 0);
  }
  EXPECT_EQ(Sim({"fault", "list"}).out, "busy 0xe0 2\nerror 0x61 0x85\nhang any\nlock\n");
  EXPECT_NE(Sim({"show"}).out.find("lock held"), std::string::npos);
  ASSERT_EQ(Sim({"fault", "clear"}).exitCode, 0);
  EXPECT_EQ(Sim({"fault", "list"}).out, "");
}

TEST_F(DruxsimTest, DumpAndLoadMoveAreaBytes) {
  std::string input = temp_.path() + "/in.bin";
  std::string output = temp_.path() + "/out.bin";
  std::string bytes;
  for (int i = 0; i < 5000; ++i) {
    bytes.push_back(char(i * 13));
  }
  std::ofstream(input, std::ios::binary) << bytes;
  ASSERT_EQ(Sim({"load", "flash", input, "--offset", "0x1000"}).exitCode, 0);
  ASSERT_EQ(Sim({"dump", "flash", output, "--offset", "4096", "--length", "5000"}).exitCode, 0);
  std::ifstream dumped(output, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(dumped), {}), bytes);

  ASSERT_EQ(Sim({"load", "display:2", input, "--offset", "0"}).exitCode, 1) << "5000 > 4 KiB";
  ASSERT_EQ(Sim({"load", "panelflash:2", input, "--offset", "0x3fe000"}).exitCode, 0);
  uint8_t byte = 0;
  ASSERT_TRUE(sim::AttachDirectory(Dir().c_str()));
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::PanelFlash, 0x3fe001, &byte, 1, 2));
  EXPECT_EQ(byte, 13);

  ASSERT_EQ(Sim({"dump", "display:1", output}).exitCode, 0);
  EXPECT_EQ(fs::file_size(output), 4096u);
  ASSERT_EQ(Sim({"dump", "linkflash", output, "--offset", "0xffff00"}).exitCode, 0);
  EXPECT_EQ(fs::file_size(output), 256u);
  EXPECT_EQ(Sim({"load", "flash", temp_.path() + "/missing.bin"}).exitCode, 2);
  EXPECT_EQ(Sim({"dump", "flash", temp_.path() + "/no/such/dir.bin"}).exitCode, 2);
}

TEST_F(DruxsimTest, LogAccessesAndViolationsOfAProgramRun) {
  ASSERT_EQ(Sim({"create"}).exitCode, 0);
  ASSERT_TRUE(sim::AttachDirectory(Dir().c_str()));
  HostReadCommand(0x10114000, 4);  // controller identity
  HostReadCommand(0xE1004005, 256);
  simtest::WriteReg(drux::kPortCommand, 0x61004100);  // without the lock
  ASSERT_TRUE(sim::Persist());

  EXPECT_EQ(Sim({"log"}).out,
            "RD cmd=0x10 addr=0x0000 dev=1 target=1 size=4 state=1 err=0x00\n"
            "RD cmd=0xe1 addr=0x0005 dev=0 target=0 size=256 state=1 err=0x00\n"
            "RD cmd=0x61 addr=0x0100 dev=0 target=0 size=0 state=1 err=0x00\n");
  // Each handshake costs claim 8, command word 4, one poll 2, the reply, release 8; then the
  // lone command word 4: (22 + 4) + (22 + 256) + 4.
  EXPECT_EQ(Sim({"accesses"}).out, "308\n");
  ProgramOutput violations = Sim({"violations"});
  EXPECT_EQ(violations.out.substr(0, 2), "1\n");
  EXPECT_NE(violations.out.find("does not hold the lock"), std::string::npos);

  for (const char* command : {"log", "accesses", "violations"}) {
    ASSERT_EQ(Sim({command, "--clear"}).exitCode, 0) << command;
  }
  EXPECT_EQ(Sim({"log"}).out, "");
  EXPECT_EQ(Sim({"accesses"}).out, "0\n");
  EXPECT_EQ(Sim({"violations"}).out, "0\n");
}

TEST_F(DruxsimTest, ResetReleasesALockLeftBehind) {
  ASSERT_TRUE(sim::AttachDirectory(Dir().c_str()));
  simtest::WriteReg(drux::kPortCommandStatus,
                    simtest::ReadReg(drux::kPortCommandStatus) | drux::kStatusLockBit);
  ASSERT_TRUE(sim::Persist());
  EXPECT_NE(Sim({"show"}).out.find("lock held"), std::string::npos);
  ASSERT_EQ(Sim({"reset"}).exitCode, 0);
  EXPECT_NE(Sim({"show"}).out.find("lock free"), std::string::npos);
}

TEST_F(DruxsimTest, MachineDirectoryFromOptionEnvironmentOrHome) {
  std::string fromVariable = temp_.path() + "/variable";
  std::string home = temp_.path() + "/home";
  fs::create_directories(home);
  ASSERT_EQ(Tool({"create", "--pc", "19"}, {{"DRUXSIM_DIR", fromVariable}}).exitCode, 0);
  EXPECT_TRUE(fs::exists(fromVariable + "/machine.txt"));
  ASSERT_EQ(Tool({"create", "--pc", "20"}, {{"DRUXSIM_DIR", ""}, {"HOME", home}}).exitCode, 0);
  EXPECT_TRUE(fs::exists(home + "/.druxsim/machine.txt"));
  ProgramOutput show = Tool({"--dir", fromVariable, "show"}, {{"HOME", home}});
  EXPECT_NE(show.out.find("(VP64)"), std::string::npos);
}

TEST_F(DruxsimTest, UnwritableDirectoryIsAnIoError) {
  std::string file = temp_.path() + "/plain";
  std::ofstream(file) << "x";
  ProgramOutput created = Tool({"--dir", file + "/pc", "create"});
  EXPECT_EQ(created.exitCode, 2);
  EXPECT_NE(created.err.find("can't create"), std::string::npos);
  EXPECT_EQ(Tool({"--dir", file + "/pc", "set", "pc=19"}).exitCode, 2);
}

}  // namespace

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// What the image generator writes is what a set-up puts into the flash; an image loaded into
// the idle copy runs after the next power cycle; every copy can be dumped.
TEST_F(DruxsimTest, FpgaModulesAreSetUpDumpedLoadedAndStarted) {
  ASSERT_EQ(Sim({"create"}).exitCode, 0);
  EXPECT_EQ(Sim({"transmitter"}).out, "link transmitter: none\n");
  EXPECT_EQ(Sim({"converter", "1"}).out, "converter 1: none\n");
  ASSERT_EQ(Sim({"transmitter", "LKVN", "version=2.10", "counter=4", "area=high", "parent=0x1267"})
                .exitCode,
            0);
  ASSERT_EQ(Sim({"converter", "0", "KR4B", "version=1.05"}).exitCode, 0);
  EXPECT_EQ(Sim({"transmitter"}).out,
            "link transmitter: LKVN running=high id=LKVN version=2.10 counter=4 crc=ok "
            "update=none\n");
  EXPECT_EQ(Attached().modules[3].parentId, 0x1267u);

  const std::string generated = temp_.path() + "/lkvn.bin";
  const std::string dumped = temp_.path() + "/running.bin";
  ASSERT_EQ(
      Tool({"image", generated, "--id", "LKVN", "--version", "2.10", "--counter", "4"}).exitCode,
      0);
  ASSERT_EQ(Sim({"dump", "link:running", dumped}).exitCode, 0);
  EXPECT_EQ(Bytes(dumped), Bytes(generated));
  ASSERT_EQ(Sim({"dump", "link:high", dumped, "--length", "32"}).exitCode, 0);
  EXPECT_EQ(Bytes(dumped).size(), 32u);

  const std::string update = temp_.path() + "/kr4b.bin";
  ASSERT_EQ(Tool({"image", update, "--id", "KR4B", "--version", "1.06", "--counter", "1", "--size",
                  "0x300000"})
                .exitCode,
            0);
  ASSERT_EQ(Sim({"load", "conv:0:idle", update}).exitCode, 0);
  EXPECT_NE(Sim({"converter", "0"}).out.find("version=1.05 counter=0 crc=ok update=pending"),
            std::string::npos);
  ASSERT_EQ(Sim({"powercycle"}).exitCode, 0);
  EXPECT_EQ(Sim({"converter", "0"}).out,
            "converter 0: KR4B running=high id=KR4B version=1.06 counter=1 crc=ok update=none\n");
  ASSERT_EQ(Sim({"dump", "conv:0:running", dumped}).exitCode, 0);
  EXPECT_EQ(Bytes(dumped), Bytes(update));
  EXPECT_NE(Sim({"show"}).out.find("  converter 0: KR4B running=high"), std::string::npos);

  ASSERT_EQ(Sim({"converter", "0", "none"}).exitCode, 0);
  EXPECT_EQ(Sim({"dump", "conv:0:idle", dumped}).exitCode, 1) << "no converter, no copies";
  EXPECT_EQ(Sim({"transmitter", "LKVNX"}).exitCode, 1);
  EXPECT_EQ(Sim({"converter", "16", "KR3B"}).exitCode, 1);
}

TEST_F(DruxsimTest, CreateSetsUpFpgaModulesOnlyWhenAsked) {
  ASSERT_EQ(Sim({"create", "--transmitter", "V4K4:version=1.07:area=high", "--converter",
                 "1:KR3B:version=1.01:counter=9"})
                .exitCode,
            0);
  const std::string show = Sim({"show"}).out;
  EXPECT_NE(show.find("link transmitter: V4K4 running=high id=V4K4 version=1.07 counter=0"),
            std::string::npos);
  EXPECT_NE(show.find("converter 1: KR3B running=low id=KR3B version=1.01 counter=9"),
            std::string::npos);
  EXPECT_TRUE(Attached().modules[3].fitted);
  EXPECT_TRUE(sim::Config().panels[1].modules[2].fitted);
  ASSERT_EQ(Sim({"create"}).exitCode, 0);
  EXPECT_NE(Sim({"show"}).out.find("link transmitter: none"), std::string::npos);
  EXPECT_FALSE(Attached().modules[3].fitted);
  EXPECT_FALSE(sim::Config().panels[1].modules[2].fitted);
}

// The generator's XML header carries the layout of the programs' own, with a checksum that
// makes the data add up to 0; the broken variants break exactly one thing.
TEST_F(DruxsimTest, ImageGeneratorWritesXmlHeadersAndBrokenVariants) {
  const std::string file = temp_.path() + "/0044#0.fp";
  ProgramOutput made = Tool(
      {"image", file, "--id", "KR4B", "--version", "1.06", "--size", "0x400", "--xml", "44:#"});
  ASSERT_EQ(made.exitCode, 0);
  std::vector<uint8_t> bytes = Bytes(file);
  const auto nul = std::find(bytes.begin(), bytes.end(), 0);
  ASSERT_NE(nul, bytes.end());
  const std::string header(bytes.begin(), nul);
  EXPECT_EQ(header.rfind("<Firmware Dev=\"0044\" Ver=\"106\" Use=\"fp\" Fct=\"#\" Var=\"0\" "
                         "Len=\"1024\" Chk=\"0x",
                         0),
            0u)
      << header;
  EXPECT_EQ(made.out, file + ": " + std::to_string(bytes.size()) +
                          " bytes (image 1024 bytes at offset " +
                          std::to_string(header.size() + 1) + ")\n");
  const unsigned check = std::stoul(header.substr(header.find("Chk=\"0x") + 7, 4), nullptr, 16);
  unsigned sum = check;
  for (auto it = nul + 1; it != bytes.end(); ++it) {
    sum += *it;
  }
  EXPECT_EQ(sum % 65536, 0u);

  const std::string good = temp_.path() + "/good.bin";
  ASSERT_EQ(Tool({"image", good, "--size", "0x100"}).exitCode, 0);
  const std::vector<uint8_t> intact = Bytes(good);
  const struct {
    const char* kind;
    std::vector<size_t> changed;  // the byte positions that differ from the intact image
  } cases[] = {{"image-crc", {255}}, {"header-crc", {31, 254, 255}}};
  for (const auto& c : cases) {
    const std::string broken = temp_.path() + "/" + c.kind;
    ASSERT_EQ(Tool({"image", broken, "--size", "0x100", "--break", c.kind}).exitCode, 0);
    const std::vector<uint8_t> bad = Bytes(broken);
    std::vector<size_t> changed;
    for (size_t i = 0; i < bad.size(); ++i) {
      if (bad[i] != intact[i]) {
        changed.push_back(i);
      }
    }
    EXPECT_EQ(changed, c.changed) << c.kind;
  }
  EXPECT_EQ(Tool({"image", good, "--format", "new", "--size", "33"}).exitCode, 1);
  EXPECT_EQ(Tool({"image", good, "--break", "nothing"}).exitCode, 1);
}

}  // namespace
