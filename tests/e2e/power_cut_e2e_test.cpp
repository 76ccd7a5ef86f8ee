// Power cuts in the middle of writes and saves: the simulator cuts the power at one command of
// a request, the program ends on the spot, the machine starts again with what its memories
// held. A sweep over every step boundary of each write path (and the first, second, middle and
// last block of each transfer) checks what the technician finds afterwards: an intact image
// runs (the old one, or the new one when its copy was complete), a tagged area claims only
// data that is really there, a saved file is the old or the new one, and the same request run
// again succeeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "tests/support/file_contents.h"
#include "tests/support/program_runs.h"
#include "tests/support/simulated_pc.h"

namespace drux::test {
namespace {

namespace fs = std::filesystem;

// What a region holds after the cut, compared with the contents before the request and after a
// complete run of it.
enum class Outcome { Old, New, Torn, NoData };

const char* OutcomeName(Outcome outcome) {
  constexpr const char* kNames[] = {"old", "new", "torn", "no data"};
  return kNames[int(outcome)];
}

// An image as a repeated update leaves it: the update counter that the header patch writes
// (and the header CRC over it) depends on how often the image was written.
std::vector<uint8_t> WithoutCounter(std::vector<uint8_t> image) {
  constexpr size_t kCounter = 0x18;
  constexpr size_t kHeaderCrc = 0x1E;
  if (image.size() >= kHeaderCrc + 2) {
    std::fill(image.begin() + kCounter, image.begin() + kCounter + 4, 0);
    std::fill(image.begin() + kHeaderCrc, image.begin() + kHeaderCrc + 2, 0);
  }
  return image;
}

Outcome Compare(const std::vector<uint8_t>& now, const std::vector<uint8_t>& old,
                const std::vector<uint8_t>& fresh) {
  if (now == old) {
    return Outcome::Old;
  }
  return now == fresh ? Outcome::New : Outcome::Torn;
}

// The programs run in the machine's directory, so that the files of a path travel with it.
class InDirectory {
 public:
  explicit InDirectory(const std::string& directory) : home_(fs::current_path()) {
    fs::current_path(directory);
  }
  ~InDirectory() { fs::current_path(home_); }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  fs::path home_;
};

// The transfers move blocks; a step is a run of commands of one kind.
bool IsBlockCommand(uint8_t code) {
  return code == 0x20 || code >= 0xA0;
}

// Block commands share a family over their eight address extensions.
uint8_t Family(uint8_t code) {
  if (code < 0xA0) {
    return code;
  }
  return code < 0xB0 ? 0xA0 : uint8_t(code & ~0x07);
}

uint32_t BlockIndex(const sim::LogEntry& entry) {
  return uint32_t(entry.code - Family(entry.code)) << 14 | entry.address;
}

bool SameStep(const sim::LogEntry& a, const sim::LogEntry& b) {
  if (Family(a.code) != Family(b.code) || a.read != b.read || a.target != b.target ||
      a.device != b.device) {
    return false;
  }
  // The compatible flash commands alternate an index and a data address; the others count up.
  return a.code == 0x20 || BlockIndex(b) == BlockIndex(a) + 1;
}

// Steps outside the block transfers: a run of one command (identity reads, panel selection),
// except the panel requests, each of which is a step (unprotect, protect, reboot).
bool SameShortStep(const sim::LogEntry& a, const sim::LogEntry& b) {
  return a.code == b.code && a.read == b.read && a.target == b.target && a.device == b.device &&
         a.code != 0x22;
}

// The commands at which the power is cut: the first command of every step (requests, header
// and counter reads, protection), the first, middle and last block of each transfer, and the
// second block of a write (after a tag block, a header block or an index write that has no data
// behind it yet).
std::vector<size_t> CutPoints(const std::vector<sim::LogEntry>& log) {
  std::vector<size_t> cuts;
  auto add = [&cuts](size_t index) {
    if (cuts.empty() || cuts.back() < index) {
      cuts.push_back(index);
    }
  };
  for (size_t start = 0; start < log.size();) {
    const bool blocks = IsBlockCommand(log[start].code);
    size_t end = start + 1;
    while (end < log.size() &&
           (blocks ? SameStep(log[end - 1], log[end]) : SameShortStep(log[end - 1], log[end]))) {
      ++end;
    }
    add(start);
    if (blocks && end - start > 1) {
      if (!log[start].read) {
        add(start + 1);
      }
      add(start + (end - start) / 2);
      add(end - 1);
    }
    start = end;
  }
  return cuts;
}

// First and last command of the longest block write: the image transfer of an update.
std::pair<size_t, size_t> ImageWrite(const std::vector<sim::LogEntry>& log) {
  std::pair<size_t, size_t> best{0, 0};
  for (size_t start = 0; start < log.size();) {
    size_t end = start + 1;
    while (end < log.size() && SameStep(log[end - 1], log[end])) {
      ++end;
    }
    if (!log[start].read && IsBlockCommand(log[start].code) &&
        end - start > best.second - best.first + 1) {
      best = {start, end - 1};
    }
    start = end;
  }
  return best;
}

enum class Check {
  RunningImage,  // the image that runs after the power returns
  TaggedArea,    // the user data: what its information block claims
  SavedFile,     // the save's target file
};

struct PowerCutPath {
  const char* name;
  std::vector<std::vector<std::string>> setup;  // druxsim commands
  std::vector<std::string> before;              // a druxsvc run before the request (old data)
  std::vector<std::string> request;             // druxsvc arguments
  Check check;
  std::vector<std::string> region;  // druxsim dump arguments after AREA FILE
  // The image is written over the one that runs (one copy only): a cut inside the write leaves
  // no intact image, whatever the program does.
  bool inPlace;
  const char* file;  // saves: the target, holding old contents; user data: the new file
};

constexpr uint16_t kIndexRegister = 0x3FF1;   // of the compatible flash commands
constexpr uint32_t kUserDataBase = 0x9F0000;  // EX64
constexpr uint32_t kInfoBlockSize = 256;

class PowerCutSweep {
 public:
  explicit PowerCutSweep(const PowerCutPath& path) : path_(path) {
    const SimulatedPc& pc = template_;
    InDirectory here(pc.directory());
    for (const std::vector<std::string>& command : path.setup) {
      const ProgramOutput result = Tool(pc, command);
      EXPECT_EQ(result.exitCode, 0) << command[0] << ": " << result.err;
    }
    if (!path.before.empty()) {
      const ProgramOutput result = pc.Run(Druxsvc(), path.before, "", kFrozenClock);
      EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    }
    EXPECT_EQ(Tool(pc, {"log", "--clear"}).exitCode, 0);
    old_ = Observe(pc, nullptr);
  }

  // A complete run: its commands, exit code and what it leaves.
  void RunReference() {
    SimulatedPc pc;
    Copy(pc);
    InDirectory here(pc.directory());
    const ProgramOutput result = Request(pc);
    ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 16) << result.out << result.err;
    exitCode_ = result.exitCode;
    log_ = pc.CommandLog();
    ASSERT_EQ(Tool(pc, {"powercycle"}).exitCode, 0);
    fresh_ = Observe(pc, nullptr);
    ASSERT_NE(fresh_, old_) << "the request changes nothing";
  }

  struct CutResult {
    size_t cut;
    Outcome outcome;
  };

  // With `repeat` the request runs once more after the cut.
  CutResult CutAt(size_t cut, bool repeat) {
    SimulatedPc pc;
    Copy(pc);
    InDirectory here(pc.directory());
    EXPECT_EQ(Tool(pc, {"fault", "powercut", "any", "--after", std::to_string(cut)}).exitCode, 0);
    const ProgramOutput result = Request(pc);
    EXPECT_EQ(result.exitCode, sim::kPowerCutExitCode) << result.out << result.err;
    EXPECT_NE(result.err.find("druxsim: power cut\n"), std::string::npos) << result.err;
    const std::vector<sim::LogEntry> log = pc.CommandLog();
    EXPECT_EQ(log.size(), cut + 1) << "the program went on after the cut";
    EXPECT_EQ(log.empty() ? 0 : log.back().state, 2) << "the cut command never finishes";
    EXPECT_EQ(sim::CommandStatusValue() & 0xFFF, 0u) << "the interface comes back free";
    EXPECT_EQ(sim::FaultCount(), 0);

    Outcome outcome = Outcome::Torn;
    const std::vector<uint8_t> now = Observe(pc, &outcome);
    if (path_.check != Check::TaggedArea) {
      outcome = Compare(now, old_, fresh_);
    }

    if (!repeat) {
      return CutResult{cut, outcome};
    }
    // The technician runs the request again after the power came back.
    const ProgramOutput again = Request(pc);
    EXPECT_EQ(again.exitCode, exitCode_) << again.out << again.err;
    EXPECT_EQ(Tool(pc, {"powercycle"}).exitCode, 0);
    EXPECT_TRUE(WithoutCounter(Observe(pc, nullptr)) == WithoutCounter(fresh_))
        << "the repeated request";
    return CutResult{cut, outcome};
  }

  // The first command that changes the image (an index register write carries no data).
  size_t FirstImageWrite() const {
    const size_t first = ImageWrite(log_).first;
    const bool index =
        log_.size() > first && log_[first].code == 0x20 && log_[first].address == kIndexRegister;
    return index ? first + 1 : first;
  }

  size_t LastImageWrite() const { return ImageWrite(log_).second; }

  // What each cut must leave.
  Outcome Expected(size_t cut) const {
    const size_t first = FirstImageWrite();
    const size_t last = LastImageWrite();
    switch (path_.check) {
      case Check::SavedFile:
        return Outcome::Old;  // the target is replaced after the last command
      case Check::TaggedArea:
        // The block says "no data" from its first write until the last one tags the new data.
        return cut <= first ? Outcome::Old : cut > LastWrite() ? Outcome::New : Outcome::NoData;
      case Check::RunningImage:
        break;
    }
    if (cut <= first) {
      return Outcome::Old;
    }
    if (cut > last) {
      return Outcome::New;
    }
    return path_.inPlace ? Outcome::Torn : Outcome::Old;
  }

  const std::vector<sim::LogEntry>& log() const { return log_; }
  bool saves() const { return path_.check == Check::SavedFile; }

 private:
  ProgramOutput Tool(const SimulatedPc& pc, std::vector<std::string> arguments) const {
    return pc.Druxsim(std::move(arguments));
  }

  // A fresh machine directory with the template's files (machine, images, old target).
  void Copy(const SimulatedPc& pc) const {
    fs::copy(template_.directory(), pc.directory(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }

  ProgramOutput Request(const SimulatedPc& pc) const {
    return pc.Run(Druxsvc(), path_.request, "", kFrozenClock);
  }

  size_t LastWrite() const {
    size_t last = 0;
    for (size_t i = 0; i < log_.size(); ++i) {
      last = log_[i].read ? last : i;
    }
    return last;
  }

  // The bytes that tell the outcome: the running image, the saved file, or the user data that
  // the information block claims (then `tagged` tells which claim it makes).
  std::vector<uint8_t> Observe(const SimulatedPc& pc, Outcome* tagged) const {
    const std::string& directory = pc.directory();
    const std::string dump = directory + "/observed.bin";
    switch (path_.check) {
      case Check::SavedFile:
        return ReadFileBytes(directory + "/" + path_.file);
      case Check::RunningImage: {
        std::vector<std::string> arguments = {"dump", path_.region[0], dump};
        arguments.insert(arguments.end(), path_.region.begin() + 1, path_.region.end());
        EXPECT_EQ(Tool(pc, arguments).exitCode, 0);
        return ReadFileBytes(dump);
      }
      case Check::TaggedArea:
        break;
    }
    EXPECT_EQ(Tool(pc, {"dump", "flash", dump, "--offset", std::to_string(kUserDataBase),
                        "--length", std::to_string(kInfoBlockSize)})
                  .exitCode,
              0);
    const std::vector<uint8_t> block = ReadFileBytes(dump);
    if (block.size() != kInfoBlockSize || std::string(block.begin(), block.begin() + 4) != "USER") {
      if (tagged != nullptr) {
        *tagged = Outcome::NoData;
      }
      return {};
    }
    const uint32_t length = block[4] | block[5] << 8 | block[6] << 16 | uint32_t(block[7]) << 24;
    EXPECT_EQ(
        Tool(pc, {"dump", "flash", dump, "--offset", std::to_string(kUserDataBase + kInfoBlockSize),
                  "--length", std::to_string(length)})
            .exitCode,
        0);
    std::vector<uint8_t> data = ReadFileBytes(dump);
    if (tagged != nullptr) {
      const std::vector<uint8_t> fresh = ReadFileBytes(directory + "/" + path_.file);
      const std::vector<uint8_t> old = ReadFileBytes(directory + "/old.bin");
      *tagged = data == old ? Outcome::Old : data == fresh ? Outcome::New : Outcome::Torn;
    }
    return data;
  }

  const PowerCutPath& path_;
  SimulatedPc template_;
  std::vector<uint8_t> old_;
  std::vector<uint8_t> fresh_;
  std::vector<sim::LogEntry> log_;
  int exitCode_ = 0;
};

std::string Describe(const sim::LogEntry& entry) {
  char text[96];
  sim::FormatLogEntry(entry, text, sizeof text);
  return text;
}

void Sweep(const PowerCutPath& path) {
  SCOPED_TRACE(path.name);
  PowerCutSweep sweep(path);
  sweep.RunReference();
  if (::testing::Test::HasFatalFailure()) {
    return;
  }
  const std::vector<size_t> cuts = CutPoints(sweep.log());
  std::string report;
  for (size_t cut : cuts) {
    SCOPED_TRACE("power cut at command " + std::to_string(cut) + ": " + Describe(sweep.log()[cut]));
    // The request runs again after the cuts that leave a half-written copy, and after the last
    // cut (a save writes nothing to the device; before the first write a run again is a run
    // like the first).
    const bool repeat = cut == cuts.back() || (!sweep.saves() && cut > sweep.FirstImageWrite() &&
                                               cut <= sweep.LastImageWrite());
    const PowerCutSweep::CutResult result = sweep.CutAt(cut, repeat);
    EXPECT_EQ(OutcomeName(result.outcome), std::string(OutcomeName(sweep.Expected(cut))));
    report += " " + std::to_string(cut) + ":" + OutcomeName(result.outcome);
  }
  std::printf("%s: %zu commands, %zu cuts:%s\n", path.name, sweep.log().size(), cuts.size(),
              report.c_str());
}

// Each write path of the display link, the user data and two saves, on small machines.
const std::vector<PowerCutPath>& Paths() {
  static const std::vector<PowerCutPath> paths = {
      {"link transmitter update (EX6K, 0xB8), then PC reboot",
       {{"create", "--transmitter", "EX6K:version=1.02:counter=3"},
        {"image", "42672_0.fp", "--id", "EX6K", "--version", "1.03", "--xml", "42672:_"}},
       {},
       {"u", "link", "42672_0.fp", "-y", "-r"},
       Check::RunningImage,
       {"link:running"},
       false,
       nullptr},
      {"link converter update (KR3B running high, 0xC0 into the low copy), then converter reboot",
       {{"create", "--panel", "0", "--converter", "0:KR3B:version=1.05:area=high"},
        {"image", "0039#0.fp", "--id", "KR3B", "--version", "1.06", "--xml", "39:#"}},
       {},
       {"u", "conv", "-p=0", "0039#0.fp", "-y", "-r"},
       Check::RunningImage,
       {"conv:0:running"},
       false,
       nullptr},
      {"receiver group M (KR3D, protected, 0xC0 into the idle copy), then panel reboot",
       {{"create", "--panel", "0"},
        {"receiver", "0", "0x725C", "version=2.16", "protect=1"},
        {"image", "m.bin", "--id", "KR3D", "--version", "2.17"}},
       {},
       {"u", "link", "-p=0", "m.bin", "-y", "-r"},
       Check::RunningImage,
       {"pfpga:0:1:running"},
       false,
       nullptr},
      {"receiver group L (KR4D, 0xD8 into the idle copy), then panel reboot",
       {{"create", "--panel", "0"},
        {"receiver", "0", "0xB261", "version=6.14", "protect=0"},
        {"image", "l.bin", "--id", "KR4D", "--version", "6.15", "--size", "0x300000"}},
       {},
       {"u", "link", "-p=0", "l.bin", "-y", "-r"},
       Check::RunningImage,
       {"pfpga:0:1:running"},
       false,
       nullptr},
      {"receiver group S (KVNR, protected, 0x20 over the running image), then panel reboot",
       {{"create", "--panel", "0"},
        {"receiver", "0", "0x722C", "version=1.02", "protect=1"},
        {"image", "s.bin", "--id", "KVNR", "--version", "1.03", "--format", "old", "--size",
         "0x20000"}},
       {},
       {"u", "link", "-p=0", "s.bin", "-y", "-r"},
       Check::RunningImage,
       {"panelflash:0", "--length", "0x20000"},
       true,
       nullptr},
      {"receiver group M without module functions (compatible route, counter read, indirect)",
       {{"create", "--panel", "0"},
        {"receiver", "0", "0x725C", "version=2.16", "protect=1", "modules=0"},
        {"image", "m.bin", "--id", "KR3D", "--version", "2.17"}},
       {},
       {"u", "link", "-p=0", "m.bin", "-y", "-r"},
       Check::RunningImage,
       {"panelflash:0", "--length", "0xA0000"},
       true,
       nullptr},
      {"user data update over older user data (tag block last)",
       {{"create"},
        {"image", "old.bin", "--size", "3000", "--seed", "1"},
        {"image", "new.bin", "--size", "5000", "--seed", "2"}},
       {"u", "user", "old.bin"},
       {"u", "user", "new.bin"},
       Check::TaggedArea,
       {},
       false,
       "new.bin"},
      {"link transmitter save over an older file (check, read, verify)",
       {{"create", "--transmitter", "EX6K:version=1.02:counter=3"},
        {"image", "saved.fp", "--id", "EX6K", "--version", "1.01", "--xml", "42672:_"}},
       {},
       {"s", "link", "saved.fp", "-y"},
       Check::SavedFile,
       {},
       false,
       "saved.fp"},
      {"user data save over an older file",
       {{"create"},
        {"image", "old.bin", "--size", "3000", "--seed", "1"},
        {"image", "saved.bin", "--size", "100", "--seed", "3"}},
       {"u", "user", "old.bin"},
       {"s", "user", "saved.bin", "-y"},
       Check::SavedFile,
       {},
       false,
       "saved.bin"},
  };
  return paths;
}

TEST(PowerCutFaultE2e, ListedInItsOwnFormAndRefusedWhenMalformed) {
  struct FormCase {
    std::vector<std::string> words;
    const char* listed;  // nullptr: a usage error
  };
  const FormCase cases[] = {
      {{"powercut", "0xB8", "write", "--after", "40"}, "powercut 0xb8 write --after 40\n"},
      {{"powercut", "any"}, "powercut any\n"},
      {{"powercut", "0x22", "read"}, "powercut 0x22 read\n"},
      {{"powercut"}, nullptr},
      {{"powercut", "0x100"}, nullptr},
      {{"powercut", "any", "0x85"}, nullptr},
      {{"powercut", "any", "--after"}, nullptr},
  };
  SimulatedPc pc;
  for (const FormCase& c : cases) {
    SCOPED_TRACE(c.words[0] + " " + (c.words.size() > 1 ? c.words[1] : ""));
    ASSERT_EQ(pc.Druxsim({"fault", "clear"}).exitCode, 0);
    std::vector<std::string> arguments = c.words;
    arguments.insert(arguments.begin(), "fault");
    EXPECT_EQ(pc.Druxsim(arguments).exitCode, c.listed != nullptr ? 0 : 1);
    EXPECT_EQ(pc.Druxsim({"fault", "list"}).out, c.listed != nullptr ? c.listed : "");
  }
  const std::string help = pc.Druxsim({"help"}).out;
  EXPECT_NE(help.find("fault powercut CMD"), std::string::npos);
  const std::string usage =
      ReadFileText((fs::path(DRUX_SOURCE_DIR) / "sim/tool/USAGE.md").string());
  EXPECT_NE(usage.find("druxsim fault powercut CMD\n"), std::string::npos);
}

// A save cut in its read: nothing of the program's own end runs (its temporary file stays,
// the target never appears), and the next program finds the controller free.
TEST(PowerCutFaultE2e, TheProgramStopsAtTheCutAndTheNextStartFindsTheMachineUsable) {
  SimulatedPc pc;
  InDirectory here(pc.directory());
  ASSERT_EQ(pc.Druxsim({"create", "--transmitter", "EX6K:version=1.02"}).exitCode, 0);
  // The save's image check reads 2560 blocks; the cut falls into the save's own read.
  ASSERT_EQ(pc.Druxsim({"fault", "powercut", "0xe0", "read", "--after", "3000"}).exitCode, 0);
  const ProgramOutput cut = pc.Run(Druxsvc(), {"s", "link", "saved.fp", "-y"}, "", kFrozenClock);
  EXPECT_EQ(cut.exitCode, sim::kPowerCutExitCode);
  EXPECT_NE(cut.out.find("Read 655360 bytes from device: "), std::string::npos) << cut.out;
  EXPECT_EQ(cut.out.find("Total time needed"), std::string::npos) << "the program went on";
  EXPECT_EQ(cut.err, "druxsim: power cut\n");
  EXPECT_FALSE(fs::exists("saved.fp"));
  EXPECT_TRUE(fs::exists("saved.fp.tmp")) << "a power cut removes nothing";
  EXPECT_LT(fs::file_size("saved.fp.tmp"), 655360u);

  const std::vector<sim::LogEntry> log = pc.CommandLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().code, 0xE0);
  EXPECT_EQ(log.back().state, 2);
  EXPECT_EQ(sim::FaultCount(), 0) << "the power comes back once";
  const ProgramOutput next = pc.Run(Druxsvc(), {"i", "link"}, "", kFrozenClock);
  EXPECT_EQ(next.exitCode, 0) << next.err;
  EXPECT_NE(next.out.find("FPGA version: 1.02"), std::string::npos) << next.out;
}

class PowerCutE2e : public ::testing::TestWithParam<size_t> {};

TEST_P(PowerCutE2e, EveryCutLeavesAnIntactStateAndTheRequestCanBeRepeated) {
  Sweep(Paths()[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(WritePaths, PowerCutE2e, ::testing::Range(size_t(0), Paths().size()));

}  // namespace
}  // namespace drux::test
