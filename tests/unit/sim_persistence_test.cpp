// The simulated machine in its state directory: what is loaded when, what is written back,
// and that a machine survives the end of a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim_state_directory_fixture.h"
#include "sim_test_host.h"

namespace {

namespace fs = std::filesystem;

using SimPersistenceTest = simtest::StateDirectoryTest;

TEST_F(SimPersistenceTest, EmptyDirectoryIsTheDefaultMachineAndCreatedOnlyWhenNeeded) {
  NewRun();
  EXPECT_FALSE(sim::MachineSaved());
  EXPECT_EQ(sim::Config().pcType, sim::DefaultMachineConfig().pcType);
  EXPECT_TRUE(sim::Persist());
  EXPECT_FALSE(fs::exists(directory_)) << "nothing changed, nothing to save";

  simtest::ReadReg(drux::kPortIdentification);
  EXPECT_TRUE(sim::Persist());
  EXPECT_TRUE(fs::exists(File("machine.txt")));
  EXPECT_TRUE(fs::exists(File("state.txt")));
  NewRun();
  EXPECT_TRUE(sim::MachineSaved());
  EXPECT_EQ(sim::PortAccessCount(), 4u);
  const sim::MachineConfig& config = sim::Config();
  EXPECT_TRUE(config.panels[1].connected);
  EXPECT_TRUE(config.modules[8].fitted);
  EXPECT_STREQ(config.modules[0].modelNumber, sim::DefaultMachineConfig().modules[0].modelNumber);
}

TEST_F(SimPersistenceTest, FlashWrittenInOneRunIsReadInTheNext) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  std::vector<uint8_t> data(256);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = uint8_t(i ^ 0x3C);
  }
  ASSERT_EQ(simtest::Write(0xE2, 0x0010, 0, 0, data.data(), 256).status, 0);
  ASSERT_TRUE(sim::Persist());

  NewRun();
  std::vector<uint8_t> back(256);
  ASSERT_EQ(simtest::Read(0xE2, 0x0010, 0, 0, back.data(), 256).status, 0);
  EXPECT_EQ(back, data);
  ASSERT_EQ(simtest::Read(0xE0, 0x0000, 0, 0, back.data(), 256).status, 0);
  EXPECT_EQ(back, std::vector<uint8_t>(256, 0xFF));
  EXPECT_EQ(sim::LogSize(), 3u) << "the log holds both runs";
}

TEST_F(SimPersistenceTest, OnlyWrittenPagesReachTheAreaFile) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  uint8_t data[16] = {0xAB};
  ASSERT_EQ(simtest::Write(0xA0, 0x0001, 0, 0, data, 16).status, 0);
  ASSERT_TRUE(sim::Persist());
  EXPECT_EQ(fs::file_size(File("flash.bin")), 0x10000u) << "one page, not 16 MiB";
  EXPECT_FALSE(fs::exists(File("linkflash.bin")));

  NewRun();
  ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::Flash, 0x250000, data, 1));
  ASSERT_TRUE(sim::Persist());
  std::vector<uint8_t> file = FileBytes("flash.bin");
  ASSERT_EQ(file.size(), 0x260000u);
  EXPECT_EQ(file[0x10], 0xAB);
  EXPECT_EQ(file[0x0F], 0xFF);
  EXPECT_EQ(file[0x100000], 0xFF) << "the gap is erased flash";
  EXPECT_EQ(file[0x250000], 0xAB);
}

TEST_F(SimPersistenceTest, RegisterOnlyRunTouchesNoAreaFile) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  std::vector<uint8_t> before(0x20000, 0x11);
  ASSERT_TRUE(drux::test::WriteFileBytes(File("flash.bin"), before));
  NewRun();
  simtest::ReadReg(drux::kPortIdentification);
  simtest::ReadReg(drux::kPortSystemStatus);
  uint8_t reply[4];
  ASSERT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).status, 0);
  // Changed behind the model's back: a model that had loaded the flash would not see it.
  std::vector<uint8_t> changed(0x20000, 0x22);
  ASSERT_TRUE(drux::test::WriteFileBytes(File("flash.bin"), changed));
  uint8_t block[16];
  ASSERT_EQ(simtest::Read(0xA0, 0x1000, 0, 0, block, 16).status, 0);
  EXPECT_EQ(block[0], 0x22);
  ASSERT_TRUE(sim::Persist());
  EXPECT_EQ(FileBytes("flash.bin"), changed) << "a read must not write the area back";
  for (const auto& entry : fs::directory_iterator(directory_)) {
    if (entry.path().filename() != "flash.bin") {
      EXPECT_LT(entry.file_size(), 4096u) << entry.path();
    }
  }
}

TEST_F(SimPersistenceTest, ConfigurationFaultsAndCountersSurvive) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.present = true;
  std::memcpy(config.id, "DRUU", 5);
  config.pcType = 23;
  config.systemFlags = 0x00005500;
  config.panelChannels = 1;
  config.updateCounter = 77;
  config.featureRegister = 0x10000;
  config.biosRegister = 0x12345678;
  config.firmwareVersion = 0x0A3F;
  config.panels[0] = sim::PanelConfig{true, 0x5886, 7, 200, false};
  config.panels[1].connected = false;
  config.panels[9] = sim::PanelConfig{false, 0x0042, 1, 2, true};
  config.modules[8] = sim::ModuleConfig{};
  config.modules[13].fitted = true;
  config.modules[13].id = 0xFFFFFFFF;
  std::memcpy(config.modules[13].modelNumber, "Model with spaces = and equals", 31);
  config.modules[13].parentId = 12;
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), config));
  NewRun();
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::Busy, 0xE0, 0, 3}));
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::LockHeld, sim::kAnyCommand, 0, 0}));
  ASSERT_TRUE(sim::Persist());

  NewRun();
  const sim::MachineConfig& loaded = sim::Config();
  EXPECT_STREQ(loaded.id, "DRUU");
  EXPECT_EQ(loaded.pcType, 23);
  EXPECT_EQ(loaded.systemFlags, 0x5500u);
  EXPECT_EQ(loaded.panelChannels, 1u);
  EXPECT_EQ(loaded.updateCounter, 77u);
  EXPECT_EQ(loaded.biosRegister, 0x12345678u);
  EXPECT_EQ(loaded.firmwareVersion, 0x0A3F);
  EXPECT_TRUE(loaded.panels[0].connected);
  EXPECT_EQ(loaded.panels[0].versionId, 0x5886);
  EXPECT_EQ(loaded.panels[0].linkFpgaMajor, 7);
  EXPECT_EQ(loaded.panels[0].linkFpgaMinor, 200);
  EXPECT_FALSE(loaded.panels[0].moduleFunctions);
  EXPECT_FALSE(loaded.panels[1].connected);
  EXPECT_EQ(loaded.panels[9].versionId, 0x0042);
  EXPECT_FALSE(loaded.modules[8].fitted);
  EXPECT_TRUE(loaded.modules[13].fitted);
  EXPECT_EQ(loaded.modules[13].id, 0xFFFFFFFFu);
  EXPECT_STREQ(loaded.modules[13].modelNumber, "Model with spaces = and equals");
  EXPECT_EQ(loaded.modules[13].parentId, 12u);
  ASSERT_EQ(sim::FaultCount(), 2);
  EXPECT_EQ(sim::FaultAt(0).count, 3u);

  sim::ClearFaults();
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::Busy, 0xE0, 0, 3}));
  uint8_t block[256];
  EXPECT_EQ(simtest::Read(0xE0, 0, 0, 0, block, 256).errorByte, 0x84);
  ASSERT_TRUE(sim::Persist());
  NewRun();
  ASSERT_EQ(sim::FaultCount(), 1);
  EXPECT_EQ(sim::FaultAt(0).count, 2u) << "the busy countdown goes on in the next run";
  EXPECT_EQ(sim::PortAccessCount(), 22u) << "claim 8, command 4, poll 2, release 8";
}

TEST_F(SimPersistenceTest, HandWrittenStateFilesAreRead) {
  fs::create_directories(directory_);
  std::ofstream(File("machine.txt")) << "# comment\nvariant=ABCD\npc=VP52\nchannels=1\n"
                                        "firmware=3.09\npanel.2.connected=yes\n"
                                        "panel.2.link=1.7\nmodule.4.model=X\r\nunknown=1\n";
  std::ofstream(File("faults.txt")) << "hang 0x61\nnonsense\nerror any 0x80\n";
  std::ofstream(File("state.txt")) << "accesses=123456789012\nstatus=0x800\n"
                                      "violations=2\nlast-violation=before\n";
  std::ofstream(File("log.txt")) << "RD cmd=0x10 addr=0x0000 dev=1 target=1 size=4 state=1 "
                                    "err=0x00\ngarbage\n";
  NewRun();
  const sim::MachineConfig& config = sim::Config();
  EXPECT_STREQ(config.id, "ABCD");
  EXPECT_EQ(config.pcType, 17);
  EXPECT_EQ(config.panelChannels, 1u);
  EXPECT_EQ(config.firmwareVersion, 0x0309);
  EXPECT_TRUE(config.panels[2].connected);
  EXPECT_EQ(config.panels[2].linkFpgaMinor, 7);
  EXPECT_FALSE(config.panels[0].connected) << "a saved machine lists every panel it has";
  EXPECT_TRUE(config.modules[4].fitted);
  EXPECT_STREQ(config.modules[4].modelNumber, "X");
  EXPECT_EQ(sim::FaultCount(), 2);
  EXPECT_EQ(sim::PortAccessCount(), 123456789012u);
  EXPECT_EQ(sim::ProtocolViolationCount(), 2u);
  EXPECT_STREQ(sim::LastProtocolViolation(), "before");
  EXPECT_NE(sim::CommandStatusValue() & drux::kStatusLockBit, 0u) << "a lock left behind";
  EXPECT_EQ(sim::LogSize(), 1u);
}

TEST_F(SimPersistenceTest, LockLeftByAnAbortedRunStaysUntilReset) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  simtest::WriteReg(drux::kPortCommandStatus,
                    simtest::ReadReg(drux::kPortCommandStatus) | drux::kStatusLockBit);
  ASSERT_TRUE(sim::Persist());
  NewRun();
  uint8_t reply[4];
  EXPECT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).status, -2);
  sim::ResetCommandInterface();
  EXPECT_EQ(simtest::Read(0x10, 0, 1, 1, reply, 4).status, 0);
}

TEST_F(SimPersistenceTest, ClearedLogAndRecreatedMachineStartEmpty) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  NewRun();
  uint8_t data[16] = {1};
  simtest::Write(0xA0, 0, 0, 0, data, 16);
  ASSERT_TRUE(sim::Persist());
  NewRun();
  EXPECT_EQ(sim::LogSize(), 1u);
  sim::ClearLog();
  simtest::Read(0xA0, 0, 0, 0, data, 16);
  ASSERT_TRUE(sim::Persist());
  NewRun();
  ASSERT_EQ(sim::LogSize(), 1u);
  EXPECT_TRUE(sim::LogAt(0).read);

  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.pcType = 14;
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), config));
  EXPECT_FALSE(fs::exists(File("flash.bin")));
  EXPECT_FALSE(fs::exists(File("log.txt")));
  NewRun();
  EXPECT_EQ(sim::LogSize(), 0u);
  EXPECT_EQ(sim::PortAccessCount(), 0u);
  EXPECT_EQ(sim::AreaSize(sim::Area::Flash), 0x400000u);
}

TEST_F(SimPersistenceTest, InMemoryMachinesNeverTouchFiles) {
  setenv(sim::kStateDirectoryVariable, directory_.c_str(), 1);
  sim::StartInMemory(sim::DefaultMachineConfig());
  uint8_t data[16] = {};
  simtest::Write(0xA0, 0, 0, 0, data, 16);
  EXPECT_TRUE(sim::Persist());
  unsetenv(sim::kStateDirectoryVariable);
  EXPECT_FALSE(fs::exists(directory_));
}

TEST_F(SimPersistenceTest, FirstPortAccessAttachesTheDirectoryOfTheEnvironment) {
  ASSERT_TRUE(sim::CreateMachine(directory_.c_str(), sim::DefaultMachineConfig()));
  ASSERT_TRUE(sim::Persist());
  std::ofstream(File("machine.txt")) << "variant=DRUU\npc=21\n";
  // No machine chosen: what a program sees at its first port access.
  setenv(sim::kStateDirectoryVariable, directory_.c_str(), 1);
  sim::AttachDirectory(directory_.c_str());  // drop what CreateMachine cached
  EXPECT_EQ(simtest::ReadReg(drux::kPortSystemStatus) & 0xFF, 21u);
  unsetenv(sim::kStateDirectoryVariable);
}

}  // namespace
