// Updating a controller memory area from a file: page padding, the XML header skip and its
// Len, the header patch of firmware images, the verify and its mismatch dump.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "controller/status_text.h"
#include "tests/unit/transfer_test_support.h"
#include "tests/unit/transfer_unseekable_file.h"
#include "transfer/transfer_engine.h"
#include "transfer/transfer_steps.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::CaptureOutput;
using testing::kDone;
using testing::kLargeBlockFlash;
using testing::kSmallBlockFlash;

constexpr uint32_t kPanelData = 0x20;
constexpr uint32_t kPanelFlashTarget = 3;
constexpr uint32_t kDisplayTarget = 4;

class UpdateArea : public testing::TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    source_ = Path("image.bin");
  }

  CapturedOutput Update(uint32_t command, uint32_t target, uint32_t start, const Bytes& file,
                        uint8_t verify, uint8_t xml = 0, uint32_t sizeLimit = 0) {
    testing::WriteBytes(source_, file);
    return CaptureOutput([&] {
      return UpdateAreaFromFile(command, target, 0, start, source_.c_str(), verify, xml, sizeLimit);
    });
  }

  static Bytes Display(uint32_t offset, size_t length) {
    Bytes bytes(length);
    EXPECT_TRUE(sim::ReadAreaBytes(sim::Area::PanelDisplay, offset, bytes.data(), length, 0));
    return bytes;
  }
  static void SetDisplay(const Bytes& bytes) {
    ASSERT_TRUE(sim::WriteAreaBytes(sim::Area::PanelDisplay, 0, bytes.data(), bytes.size(), 0));
  }

  std::string source_;
};

TEST_F(UpdateArea, LastPageIsFilledWithErasedBytes) {
  struct Case {
    uint32_t command;
    size_t fileSize;
    size_t written;
    size_t commands;
  };
  const Case cases[] = {
      {kLargeBlockFlash, 300, 512, 2},
      {kSmallBlockFlash, 20, 256, 16},
      {kLargeBlockFlash, kTransferChunkSize + 1, kTransferChunkSize + 256, 41},
  };
  const uint32_t start = 0x20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileSize);
    SetFlash(start, Bytes(c.written + 256, 0x00));
    sim::ClearLog();
    const Bytes file = testing::Pattern(c.fileSize, 0x21, 5);
    const CapturedOutput updated = Update(c.command, 0, start, file, 1);
    EXPECT_EQ(updated.result, 0);
    EXPECT_EQ(updated.err, "");
    const std::string size = std::to_string(c.fileSize);
    EXPECT_EQ(updated.out.rfind("Write " + size + " bytes to device:   0%", 0), 0u);
    EXPECT_NE(updated.out.find("Verify " + size + " bytes with device:   0%"), std::string::npos);

    Bytes expected = file;
    expected.resize(c.written, 0xFF);
    expected.resize(c.written + 256, 0x00);
    EXPECT_EQ(Flash(start, c.written + 256), expected);
    EXPECT_EQ(LoggedBytes(false), c.written);
    size_t writes = 0;
    for (const sim::LogEntry& entry : Log()) {
      writes += entry.read ? 0 : 1;
    }
    EXPECT_EQ(writes, c.commands);
  }
}

TEST_F(UpdateArea, DisplayBlockTakesTheDataUnpadded) {
  const Bytes before = testing::Pattern(256, 0x80);
  struct Case {
    size_t length;
    int result;
    const char* error;
  };
  const Case cases[] = {
      {96, 0, ""},
      {100, 6,
       "ERROR: Invalid size 100h (must be multiple of 16).\n"
       "ERROR: Can't write data: invalid parameter\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    SetDisplay(before);
    sim::ClearLog();
    const Bytes file = testing::Pattern(c.length, 1);
    const CapturedOutput updated = Update(kPanelData, kDisplayTarget, 0, file, 1);
    EXPECT_EQ(updated.result, c.result);
    EXPECT_EQ(updated.err, c.error);
    Bytes expected = before;
    if (c.result == 0) {
      std::copy(file.begin(), file.end(), expected.begin());
      EXPECT_EQ(LoggedBytes(false), c.length);
    } else {
      EXPECT_EQ(sim::LogSize(), 0u);
    }
    EXPECT_EQ(Display(0, 256), expected);
  }
}

TEST_F(UpdateArea, XmlHeaderIsSkippedAndLenLimitsTheData) {
  const Bytes data = testing::Pattern(32, 0x30);
  const Bytes trailer(16, 0xEE);
  Bytes dataAndTrailer = data;
  dataAndTrailer.insert(dataAndTrailer.end(), trailer.begin(), trailer.end());
  const std::string withLen = "<Firmware Dev=\"0815\" Len=\"32\"/>";
  struct Case {
    const char* name;
    Bytes file;
    uint32_t sizeLimit;
    Bytes written;
    bool skipped;
  };
  const Case cases[] = {
      {"Len", testing::XmlFile(withLen, dataAndTrailer), 0, data, true},
      {"tag in upper case", testing::XmlFile("<FIRMWARE Len=\"32\"/>", dataAndTrailer), 0, data,
       true},
      {"no Len", testing::XmlFile("<Firmware Dev=\"0815\"/>", dataAndTrailer), 0, dataAndTrailer,
       true},
      {"empty Len", testing::XmlFile("<Firmware Len=\"\"/>", dataAndTrailer), 0, dataAndTrailer,
       true},
      {"Len beyond the file", testing::XmlFile("<Firmware Len=\"99\"/>", dataAndTrailer), 0,
       dataAndTrailer, true},
      {"size limit below Len", testing::XmlFile(withLen, dataAndTrailer), 16,
       Bytes(data.begin(), data.begin() + 16), true},
      {"no header", dataAndTrailer, 0, dataAndTrailer, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The display block takes exactly what is written.
    const Bytes before(64, 0x5A);
    SetDisplay(before);
    sim::ClearLog();
    const CapturedOutput updated = Update(kPanelData, kDisplayTarget, 0, c.file, 1, 1, c.sizeLimit);
    EXPECT_EQ(updated.result, 0);
    EXPECT_EQ(updated.err, "");
    const std::string size = std::to_string(c.written.size());
    EXPECT_EQ(updated.out.rfind(std::string(c.skipped ? "Skip XML header: Done\n" : "") + "Write " +
                                    size + " bytes to device: ",
                                0),
              0u)
        << updated.out;
    Bytes expected = before;
    std::copy(c.written.begin(), c.written.end(), expected.begin());
    EXPECT_EQ(Display(0, 64), expected);
    EXPECT_EQ(LoggedBytes(false), c.written.size());

    // Flash pads the written data to a page; bytes behind Len never reach it.
    SetFlash(0, Bytes(512, 0x00));
    const CapturedOutput flashed = Update(kSmallBlockFlash, 0, 0, c.file, 1, 1, c.sizeLimit);
    EXPECT_EQ(flashed.result, 0);
    EXPECT_EQ(flashed.err, "");
    expected = c.written;
    expected.resize(256, 0xFF);
    expected.resize(512, 0x00);
    EXPECT_EQ(Flash(0, 512), expected);
  }
}

TEST_F(UpdateArea, TagWithoutNulWritesNothing) {
  struct Case {
    const char* name;
    size_t length;
  };
  const Case cases[] = {{"short file", 40}, {"longer than a chunk", 3 * kTransferChunkSize + 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = "<Firmware Len=\"16\"";
    text.resize(c.length, 'x');
    sim::ClearLog();
    const CapturedOutput updated =
        Update(kSmallBlockFlash, 0, 0, Bytes(text.begin(), text.end()), 1, 1);
    EXPECT_EQ(updated.result, 3);
    EXPECT_EQ(updated.err, "ERROR: Can't read XML header.\n");
    EXPECT_EQ(updated.out, "Skip XML header: ");
    EXPECT_EQ(sim::LogSize(), 0u);
  }
}

TEST_F(UpdateArea, HeaderLongerThanAChunkIsSkipped) {
  std::string header = "<Firmware Rem=\"";
  header.append(kTransferChunkSize + 4000, 'r');
  header += "\" Len=\"16\"/>";
  const Bytes data = testing::Pattern(32, 0x44);
  SetFlash(0, Bytes(256, 0x00));
  const CapturedOutput updated =
      Update(kSmallBlockFlash, 0, 0, testing::XmlFile(header, data), 1, 1);
  EXPECT_EQ(updated.result, 0);
  EXPECT_EQ(updated.err, "");
  // Len lies beyond the part of the header that is kept: all data behind the NUL is written.
  Bytes expected = data;
  expected.resize(256, 0xFF);
  EXPECT_EQ(Flash(0, 256), expected);
}

TEST_F(UpdateArea, FileShorterThanTheTagWithXmlFlag) {
  const CapturedOutput updated = Update(kSmallBlockFlash, 0, 0, Bytes{'<', 'F', 'i'}, 1, 1);
  EXPECT_EQ(updated.result, 3);
  EXPECT_EQ(updated.err.rfind("ERROR: Can't read file: ", 0), 0u) << updated.err;
  EXPECT_EQ(sim::LogSize(), 0u);
}

TEST(TransferAreaFlags, IndirectOnlyForLargePanelFlashAndLargeBlocksByCommand) {
  struct Case {
    uint32_t command;
    uint32_t target;
    uint32_t totalSize;
    uint8_t indirect;
    uint8_t largeBlocks;
  };
  const Case cases[] = {
      {kPanelData, kPanelFlashTarget, 0x40000, 0, 0},
      {kPanelData, kPanelFlashTarget, 0x40001, 1, 0},
      {kPanelData, kPanelFlashTarget, 0x7FFFFFFF, 1, 0},
      // The size is compared as a signed number: with its top bit set it counts as negative.
      {kPanelData, kPanelFlashTarget, 0x80000000, 0, 0},
      {kPanelData, kPanelFlashTarget, 0xFFFFFFFF, 0, 0},
      {kPanelData, kDisplayTarget, 0x40001, 0, 0},
      {0x21, kPanelFlashTarget, 0x40001, 0, 0},
      {0xB8, 0, 0x40001, 0, 1},
      {0xD8, 0, 16, 0, 1},
      {kLargeBlockFlash, 0, 16, 0, 1},
      {0xE8, 0, 16, 0, 1},
      {kSmallBlockFlash, 0, 16, 0, 0},
      {0x63, 0, 16, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "command 0x" << c.command << " target "
                                      << c.target << " size 0x" << c.totalSize);
    const MemoryArea area = transfer::TransferArea(c.command, c.target, 3, 0x100, c.totalSize);
    EXPECT_EQ(area.command, c.command);
    EXPECT_EQ(area.target, c.target);
    EXPECT_EQ(area.device, 3);
    EXPECT_EQ(area.start, 0x100u);
    EXPECT_EQ(area.indirect, c.indirect);
    EXPECT_EQ(area.largeBlocks, c.largeBlocks);
    EXPECT_EQ(transfer::BlockSize(area), c.largeBlocks != 0 ? 256u : 16u);
  }
}

// A file whose length cannot be taken (a pipe) is a general file error before anything is
// read or written.
TEST_F(UpdateArea, FileThatCannotBePositioned) {
  struct Case {
    const char* name;
    std::function<int(const char*)> run;
    const char* out;
  };
  uint32_t version = 0;
  const Case cases[] = {
      {"update", [](const char* name) { return UpdateAreaFromFile(0xA0, 0, 0, 0, name, 1, 0, 0); },
       ""},
      {"update with XML header",
       [](const char* name) { return UpdateAreaFromFile(0xA0, 0, 0, 0, name, 1, 1, 0); }, ""},
      {"XML header check",
       [&version](const char* name) {
         return CheckXmlHeader(name, 0, 0, 0, 0, 0xFFFF, "", 0, &version);
       },
       "Check XML file: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::UnseekableFile pipe;
    sim::ClearLog();
    const CapturedOutput result = CaptureOutput([&] { return c.run(pipe.path()); });
    EXPECT_EQ(result.result, 5);
    EXPECT_EQ(result.err, "ERROR: Can't seek file: Illegal seek\n");
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(sim::LogSize(), 0u);
  }
}

TEST_F(UpdateArea, MissingFile) {
  const CapturedOutput updated = CaptureOutput([&] {
    return UpdateAreaFromFile(kSmallBlockFlash, 0, 0, 0, Path("missing.bin").c_str(), 1, 0, 0);
  });
  EXPECT_EQ(updated.result, 2);
  EXPECT_EQ(updated.err, "ERROR: Can't open file: No such file or directory\n");
  EXPECT_EQ(updated.out, "");
}

TEST_F(UpdateArea, ControllerFailureEndsTheWrite) {
  ASSERT_TRUE(sim::AddFault({sim::FaultKind::ErrorByte, int(kLargeBlockFlash), 0x85, 0}));
  const CapturedOutput updated = Update(kLargeBlockFlash, 0, 0, testing::Pattern(512, 1), 1);
  EXPECT_EQ(updated.result, 6);
  EXPECT_EQ(updated.err, std::string("ERROR: Can't write data: ") + StatusText(-3, 0x85) + "\n");
  EXPECT_EQ(updated.out, "Write 512 bytes to device:   0%");
}

// A firmware image carries the update counter at 0x18 and a CRC over 0x10-0x1D at 0x1E, high
// byte first; the CRC over 0x10-0x1F is then 0.
TEST_F(UpdateArea, HeaderPatchKeepsTheHeaderCrcValid) {
  Bytes image = testing::Pattern(kTransferChunkSize + 64, 0x10, 3);
  const uint16_t fileCrc = Crc16(0xFFFF, image.data() + 0x10, 14);
  image[0x1E] = uint8_t(fileCrc >> 8);
  image[0x1F] = uint8_t(fileCrc);
  ASSERT_EQ(Crc16(0xFFFF, image.data() + 0x10, 16), 0);

  SetHeaderPatchValue(0x01020304);
  const CapturedOutput updated = Update(kLargeBlockFlash, 0, 0x40000, image, 1);
  SetHeaderPatchValue(0);
  EXPECT_EQ(updated.result, 0);
  EXPECT_EQ(updated.err, "");

  const Bytes flash = Flash(0x40000, image.size());
  EXPECT_EQ(Bytes(flash.begin() + 0x18, flash.begin() + 0x1C), Bytes({4, 3, 2, 1}));
  EXPECT_EQ(Crc16(0xFFFF, flash.data() + 0x10, 16), 0);
  EXPECT_NE(Bytes(flash.begin() + 0x1E, flash.begin() + 0x20),
            Bytes(image.begin() + 0x1E, image.begin() + 0x20));
  // Everything else is the file as it is, and the file itself is untouched.
  Bytes expected = image;
  std::copy(flash.begin() + 0x18, flash.begin() + 0x20, expected.begin() + 0x18);
  EXPECT_EQ(flash, expected);
  EXPECT_EQ(testing::ReadBytes(source_), image);

  // Without a patch value the header goes as it is.
  EXPECT_EQ(Update(kLargeBlockFlash, 0, 0x40000, image, 1).result, 0);
  EXPECT_EQ(Flash(0x40000, image.size()), image);
}

TEST_F(UpdateArea, LargePanelFlashSkipsTheVerify) {
  // Panel 0 of the default machine protects its flash (a panel of major 2).
  sim::MachineConfig config = sim::Config();
  config.panels[0].flashProtected = false;
  sim::UpdateConfig(config);
  const Bytes image = testing::Pattern(0x40010, 0x77, 11);
  const CapturedOutput updated = Update(kPanelData, kPanelFlashTarget, 0, image, 1);
  EXPECT_EQ(updated.result, 0);
  EXPECT_EQ(updated.err, "");
  const std::string suffix = "Done\nVerify of data is not supported - verify is skipped.\n";
  ASSERT_GE(updated.out.size(), suffix.size());
  EXPECT_EQ(updated.out.substr(updated.out.size() - suffix.size()), suffix);
  Bytes flash(image.size());
  ASSERT_TRUE(sim::ReadAreaBytes(sim::Area::PanelFlash, 0, flash.data(), flash.size(), 0));
  EXPECT_EQ(flash, image);
  EXPECT_EQ(LoggedBytes(true), 0u);
}

// The simulated flash keeps what is written, so the mismatch is set up behind the verify's back:
// the device holds one pattern, the file one wrong byte.
TEST_F(UpdateArea, MismatchReportsTheIndexAndDumpsItsRow) {
  const Bytes device = testing::Pattern(2 * kTransferChunkSize, 0);
  SetFlash(0, device);
  Bytes file = device;
  file[0x3A34] = 0x01;
  testing::WriteBytes(source_, file);
  platform::File* open = platform::OpenFile(source_.c_str(), platform::FileMode::ReadBinary);
  ASSERT_NE(open, nullptr);
  const MemoryArea area = transfer::TransferArea(kSmallBlockFlash, 0, 0, 0, uint32_t(file.size()));
  const CapturedOutput verified = CaptureOutput(
      [&] { return transfer::VerifyAreaWithFile(area, open, uint32_t(file.size()), false); });
  platform::CloseFile(open);

  EXPECT_EQ(verified.result, 10);
  EXPECT_EQ(verified.err, "ERROR: Data mismatch at index 0x3a34.\n");
  const std::string marker = "1. wrong byte :" + std::string(12, ' ') + " | " +
                             std::string(33, ' ') + "   " + std::string(4, ' ') + "|\n";
  EXPECT_EQ(
      verified.out,
      "Verify 20480 bytes with device:   0%\b\b\b\b 50%"
      "Data on device: 30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f = 0123456789:;<=>?\n" +
          marker +
          "Data in file  : 30 31 32 33 01 35 36 37 38 39 3a 3b 3c 3d 3e 3f = 0123.56789:;<=>?\n");
}

}  // namespace
}  // namespace drux
