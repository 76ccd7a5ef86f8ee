// The XML firmware header: what a save writes, and every message and result of the check
// before an update, including values too large for 32 bits and values cut off by the header's
// end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "tests/unit/transfer_test_support.h"
#include "transfer/xml_header.h"

namespace drux {
namespace {

using testing::Bytes;
using testing::CapturedOutput;
using testing::CaptureOutput;

// 16 data bytes 1..16 sum to 136; Chk 0xff78 completes them to 0 modulo 65536.
const Bytes kData = testing::Pattern(16, 1);
const std::string kHeader =
    "<Firmware Dev=\"0815\" Ver=\"105\" Use=\"DRUX\" Fct=\"F\" Var=\"1\" Len=\"16\" "
    "Chk=\"0xff78\" Mat=\"A5E01234\" Dat=\"01.02.2026\" Rem=\"Created by DRUXSVC\"/>";
const std::string kChecked = "Check XML file: ";
const std::string kPassed = kChecked + "  0%\b\b\b\bDone\nFile version: 1.05\n";

struct Expectations {
  long maxFileSize = 0;
  long maxDataSize = 0;
  uint32_t device = 815;
  char function = 'F';
  uint32_t variant = 1;
  const char* usage = "DRUX";
  uint32_t minimumVersion = 100;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) {
    text.replace(at, from.size(), to);
  }
  return text;
}

class XmlHeaderCheck : public testing::TransferTest {
 protected:
  CapturedOutput Check(const Bytes& file, const Expectations& expect = {}) {
    const std::string path = Path("image.bin");
    testing::WriteBytes(path, file);
    version_ = 0xDEAD;
    return CaptureOutput([&] {
      return CheckXmlHeader(path.c_str(), expect.maxFileSize, expect.maxDataSize, expect.device,
                            expect.function, expect.variant, expect.usage, expect.minimumVersion,
                            &version_);
    });
  }
  CapturedOutput CheckHeader(const std::string& header, const Expectations& expect = {}) {
    return Check(testing::XmlFile(header, kData), expect);
  }

  uint32_t version_ = 0;
};

TEST_F(XmlHeaderCheck, AttributesInTheirOrder) {
  struct Case {
    const char* name;
    std::string from;
    std::string to;
    Expectations expect;
    const char* error;
    int result;
  };
  const std::string kUse21(21, 'U');
  const std::string kUse20(20, 'U');
  const Case cases[] = {
      {"valid", "", "", {}, "", 0},
      {"tag in lower case", "<Firmware", "<firmware", {}, "", 0},
      {"blank before the tag", "<Firmware", " <Firmware", {}, "ERROR: No XML header found.\n", 9},
      {"other element", "<Firmware", "<Image", {}, "ERROR: No XML header found.\n", 9},
      {"no end", "\"/>", "\">", {}, "ERROR: Invalid XML header - '/>' missing.\n", 9},
      {"Dev missing",
       "Dev=",
       "Dxv=",
       {},
       "ERROR: Invalid XML header - 'Dev' attribute missing or empty.\n",
       9},
      {"Dev empty",
       "Dev=\"0815\"",
       "Dev=\"\"",
       {},
       "ERROR: Invalid XML header - 'Dev' attribute missing or empty.\n",
       9},
      {"Dev other", "Dev=\"0815\"", "Dev=\"0816\"", {}, "ERROR: Device ID does not match.\n", 13},
      {"Dev beyond 32 bits",
       "Dev=\"0815\"",
       "Dev=\"4294968111\"",
       {},
       "ERROR: Device ID does not match.\n",
       13},
      {"Dev not expected", "Dev=\"0815\"", "Dev=\"0816\"", {.device = 0}, "", 0},
      {"Fct missing",
       "Fct=",
       "Fcx=",
       {},
       "ERROR: Invalid XML header - 'Fct' attribute missing or empty.\n",
       9},
      {"Fct empty",
       "Fct=\"F\"",
       "Fct=\"\"",
       {},
       "ERROR: Invalid XML header - 'Fct' attribute missing or empty.\n",
       9},
      {"Fct two characters",
       "Fct=\"F\"",
       "Fct=\"FG\"",
       {},
       "ERROR: Invalid XML header - 'Fct' > 1 char.\n",
       9},
      {"Fct other", "Fct=\"F\"", "Fct=\"G\"", {}, "ERROR: Function does not match.\n", 13},
      {"Fct not expected", "Fct=\"F\"", "Fct=\"G\"", {.function = 0}, "", 0},
      {"Var missing",
       "Var=",
       "Vax=",
       {},
       "ERROR: Invalid XML header - 'Var' attribute missing or empty.\n",
       9},
      {"Var 999", "Var=\"1\"", "Var=\"999\"", {.variant = 0xFFFF}, "", 0},
      {"Var 1000",
       "Var=\"1\"",
       "Var=\"1000\"",
       {.variant = 0xFFFF},
       "ERROR: Invalid XML header - 'Var' > 999.\n",
       9},
      {"Var beyond 32 bits",
       "Var=\"1\"",
       "Var=\"4294967296\"",
       {.variant = 0},
       "ERROR: Invalid XML header - 'Var' > 999.\n",
       9},
      {"Var other", "Var=\"1\"", "Var=\"2\"", {}, "ERROR: Variant does not match.\n", 8},
      {"Use missing",
       "Use=",
       "Usx=",
       {},
       "ERROR: Invalid XML header - 'Use' attribute missing or empty.\n",
       9},
      {"Use of 21 characters",
       "Use=\"DRUX\"",
       "Use=\"" + kUse21 + "\"",
       {.usage = ""},
       "ERROR: Invalid XML header - 'Use' attribute missing or empty.\n",
       9},
      {"Use of 20 characters", "Use=\"DRUX\"", "Use=\"" + kUse20 + "\"", {.usage = ""}, "", 0},
      {"Use in other case",
       "Use=\"DRUX\"",
       "Use=\"drux\"",
       {},
       "ERROR: Usage does not match.\n",
       13},
      {"Ver missing",
       "Ver=",
       "Vex=",
       {},
       "ERROR: Invalid XML header - 'Ver' attribute missing.\n",
       9},
      {"Ver 65536",
       "Ver=\"105\"",
       "Ver=\"65536\"",
       {},
       "ERROR: Invalid XML header - 'Ver' > 65535.\n",
       9},
      {"Ver beyond 32 bits",
       "Ver=\"105\"",
       "Ver=\"4294967401\"",
       {},
       "ERROR: Invalid XML header - 'Ver' > 65535.\n",
       9},
      {"Ver too low", "", "", {.minimumVersion = 106}, "ERROR: Version too low (< 106).\n", 8},
      {"Mat missing",
       "Mat=",
       "Max=",
       {},
       "ERROR: Invalid XML header - 'Mat' attribute missing or empty.\n",
       9},
      {"Mat empty",
       "Mat=\"A5E01234\"",
       "Mat=\"\"",
       {},
       "ERROR: Invalid XML header - 'Mat' attribute missing or empty.\n",
       9},
      {"Date well formed", "Rem=", "Date=\"31.12.2025\" Rem=", {}, "", 0},
      {"Date without leading zeros",
       "Rem=",
       "Date=\"1.2.2026\" Rem=",
       {},
       "ERROR: Invalid XML header - wrong 'Date' format.\n",
       9},
      {"Date with other separators",
       "Rem=",
       "Date=\"01-02-2026\" Rem=",
       {},
       "ERROR: Invalid XML header - wrong 'Date' format.\n",
       9},
      {"Len missing",
       "Len=",
       "Lex=",
       {},
       "ERROR: Invalid XML header - 'Len' attribute missing.\n",
       9},
      {"Len empty",
       "Len=\"16\"",
       "Len=\"\"",
       {},
       "ERROR: Invalid XML header - 'Len' attribute missing.\n",
       9},
      {"Len beyond the file",
       "Len=\"16\"",
       "Len=\"17\"",
       {},
       "ERROR: Data length mismatch with file size.\n",
       9},
      {"Len of 4 GiB - 1",
       "Len=\"16\"",
       "Len=\"4294967295\"",
       {},
       "ERROR: Data length mismatch with file size.\n",
       9},
      {"Len of 4 GiB + 16",
       "Len=\"16\"",
       "Len=\"4294967312\"",
       {},
       "ERROR: Data length mismatch with file size.\n",
       9},
      {"file size limit",
       "",
       "",
       {.maxFileSize = 15},
       "ERROR: Invalid file size: > 15 bytes.\n",
       9},
      {"data size limit",
       "",
       "",
       {.maxDataSize = 15},
       "ERROR: Invalid data size: > 15 bytes.\n",
       9},
      {"limits met", "", "", {.maxFileSize = 16, .maxDataSize = 16}, "", 0},
      {"Len shorter than the file",
       "Len=\"16\" Chk=\"0xff78\"",
       "Len=\"15\" Chk=\"0xff88\"",
       {},
       "",
       0},
      {"Chk missing",
       "Chk=",
       "Chx=",
       {},
       "ERROR: Invalid XML header - 'Chk' attribute missing.\n",
       9},
      {"Chk with upper-case X",
       "Chk=\"0xff78\"",
       "Chk=\"0Xff78\"",
       {},
       "ERROR: Invalid XML header - 'Chk' attribute missing.\n",
       9},
      {"Chk decimal", "Chk=\"0xff78\"", "Chk=\"65400\"", {}, "", 0},
      {"Chk upper-case digits", "Chk=\"0xff78\"", "Chk=\"0xFF78\"", {}, "", 0},
      {"Chk 0x10000",
       "Chk=\"0xff78\"",
       "Chk=\"0x10000\"",
       {},
       "ERROR: Invalid XML header - 'Chk' > 0xffff.\n",
       9},
      {"Chk beyond 32 bits",
       "Chk=\"0xff78\"",
       "Chk=\"0x10000ff78\"",
       {},
       "ERROR: Invalid XML header - 'Chk' > 0xffff.\n",
       9},
      {"Chk hex without digits",
       "Chk=\"0xff78\"",
       "Chk=\"0x\"",
       {},
       "ERROR: Invalid XML header - 'Chk' attribute missing.\n",
       9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string header = c.from.empty() ? kHeader : Replace(kHeader, c.from, c.to);
    const CapturedOutput checked = CheckHeader(header, c.expect);
    EXPECT_EQ(checked.result, c.result);
    EXPECT_EQ(checked.err, c.error);
    EXPECT_EQ(checked.out, c.result == 0 ? kPassed : kChecked);
  }
}

TEST_F(XmlHeaderCheck, VersionIsReportedEvenWhenTooLow) {
  const CapturedOutput checked = CheckHeader(kHeader, {.minimumVersion = 106});
  EXPECT_EQ(checked.result, 8);
  EXPECT_EQ(version_, 105u);
  EXPECT_EQ(CheckHeader(kHeader).result, 0);
  EXPECT_EQ(version_, 105u);
}

TEST_F(XmlHeaderCheck, ChecksumWrittenInHexOrDecimal) {
  // 256 bytes of 0xff and one 0x01 sum to 0xff01; 0x00ff completes them.
  Bytes data(256, 0xFF);
  data.push_back(0x01);
  const std::string header = Replace(kHeader, "Len=\"16\" Chk=\"0xff78\"", "Len=\"257\" Chk=\"X\"");
  struct Case {
    const char* chk;
    const char* error;
    int result;
  };
  const Case cases[] = {
      {"0x00ff", "", 0},
      {"255", "", 0},
      {"0X00FF", "ERROR: Invalid XML header - 'Chk' attribute missing.\n", 9},
      {"0x00fe", "ERROR: Invalid file checksum.", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chk);
    const CapturedOutput checked = Check(
        testing::XmlFile(Replace(header, "Chk=\"X\"", std::string("Chk=\"") + c.chk + "\""), data));
    EXPECT_EQ(checked.result, c.result);
    EXPECT_EQ(checked.err, c.error);
  }
}

TEST_F(XmlHeaderCheck, WrongChecksumFollowsTheProgressLine) {
  const CapturedOutput checked = CheckHeader(Replace(kHeader, "0xff78", "0xff79"));
  EXPECT_EQ(checked.result, 9);
  EXPECT_EQ(checked.out, kChecked + "  0%\b\b\b\bDone\n");
  EXPECT_EQ(checked.err, "ERROR: Invalid file checksum.");
}

// Scans end with the header text: what follows its NUL is data, even when it holds a quote.
TEST_F(XmlHeaderCheck, ValueCutOffByTheHeaderEndIsMissing) {
  struct Case {
    const char* name;
    std::string from;
    std::string trailer;
    Bytes data;
    const char* error;
  };
  Bytes quoted = kData;
  quoted[0] = 'C';
  quoted[1] = '"';
  const Case cases[] = {
      {"numeric", "Len=\"16\" ", " Len=\"16", kData,
       "ERROR: Invalid XML header - 'Len' attribute missing.\n"},
      {"numeric, quote behind the NUL", "Len=\"16\" ", " Len=\"16", Bytes{'"'},
       "ERROR: Invalid XML header - 'Len' attribute missing.\n"},
      {"text, quote behind the NUL", "Mat=\"A5E01234\" ", " Mat=\"AB", quoted,
       "ERROR: Invalid XML header - 'Mat' attribute missing or empty.\n"},
      {"name at the very end", "Len=\"16\" ", " Len", kData,
       "ERROR: Invalid XML header - 'Len' attribute missing.\n"},
      {"equals sign at the very end", "Len=\"16\" ", " Len=", kData,
       "ERROR: Invalid XML header - 'Len' attribute missing.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string header = Replace(kHeader, c.from, "") + c.trailer;
    const CapturedOutput checked = Check(testing::XmlFile(header, c.data));
    EXPECT_EQ(checked.result, 9);
    EXPECT_EQ(checked.err, c.error);
  }
}

TEST_F(XmlHeaderCheck, HeaderLengthLimit) {
  const std::string rem = "Rem=\"Created by DRUXSVC\"";
  auto headerOfLength = [&](size_t length) {
    const std::string padded =
        Replace(kHeader, rem, "Rem=\"" + std::string(length - kHeader.size() + 18, 'x') + "\"");
    EXPECT_EQ(padded.size(), length);
    return padded;
  };
  const CapturedOutput longest = CheckHeader(headerOfLength(1022));
  EXPECT_EQ(longest.result, 0);
  EXPECT_EQ(longest.err, "");

  const CapturedOutput tooLong = CheckHeader(headerOfLength(1023));
  EXPECT_EQ(tooLong.result, 3);
  EXPECT_EQ(tooLong.err, "ERROR: Can't read XML header.\n");
  EXPECT_EQ(tooLong.out, kChecked);

  const CapturedOutput noNul = Check(Bytes(2000, 'x'));
  EXPECT_EQ(noNul.result, 3);
  EXPECT_EQ(noNul.err, "ERROR: Can't read XML header.\n");

  // The file ends before any NUL: a failed read, reported with the system's text.
  const CapturedOutput shortFile = Check(Bytes(kHeader.begin(), kHeader.end()));
  EXPECT_EQ(shortFile.result, 3);
  EXPECT_EQ(shortFile.err.rfind("ERROR: Can't read file: ", 0), 0u) << shortFile.err;
}

TEST_F(XmlHeaderCheck, MissingFileCannotBeOpened) {
  uint32_t version = 0;
  const std::string path = Path("missing.bin");
  const CapturedOutput checked = CaptureOutput(
      [&] { return CheckXmlHeader(path.c_str(), 0, 0, 0, 0, 0xFFFF, "", 0, &version); });
  EXPECT_EQ(checked.result, 2);
  EXPECT_EQ(checked.out, kChecked);
  EXPECT_EQ(checked.err, "ERROR: Can't open file: No such file or directory\n");
}

TEST_F(XmlHeaderCheck, DataTooShortForLen) {
  // Len fits the file length check only when the header itself is counted; here it does not.
  const Bytes file = testing::XmlFile(kHeader, Bytes(kData.begin(), kData.end() - 1));
  const CapturedOutput checked = Check(file);
  EXPECT_EQ(checked.result, 9);
  EXPECT_EQ(checked.err, "ERROR: Data length mismatch with file size.\n");
}

TEST_F(XmlHeaderCheck, BuiltHeaderPassesTheCheck) {
  const Bytes data = testing::Pattern(3000, 7, 13);
  const uint16_t checksum = testing::XmlChecksum(data);
  std::string header;
  const CapturedOutput built = CaptureOutput([&] {
    header = BuildXmlHeader(815, 'F', 1, "DRUX", 105, uint32_t(data.size()), checksum,
                            "A5E0123456789012345678");
    return 0;
  });
  EXPECT_EQ(built.out, "Build XML header ...\n");

  const platform::Date today = platform::LocalDate();
  char date[16];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", today.day, today.month, today.year);
  char chk[8];
  std::snprintf(chk, sizeof chk, "0x%04x", checksum);
  EXPECT_EQ(header, std::string("<Firmware Dev=\"0815\" Ver=\"105\" Use=\"DRUX\" Fct=\"F\" ") +
                        "Var=\"1\" Len=\"3000\" Chk=\"" + chk + "\" Mat=\"A5E012345678901234\" " +
                        "Dat=\"" + date + "\" Rem=\"Created by DRUXSVC\"/>");

  const CapturedOutput checked = Check(testing::XmlFile(header, data));
  EXPECT_EQ(checked.result, 0);
  EXPECT_EQ(checked.err, "");
  EXPECT_EQ(checked.out.substr(checked.out.size() - 24), "Done\nFile version: 1.05\n");
  EXPECT_EQ(version_, 105u);
}

TEST(XmlAttributes, SearchAndValues) {
  const std::string header = "<Firmware dev=\"12\" Ver=\"0x1F\" Rem=\"Len\" Len=\"16\" Cut=\"7";
  const int length = int(header.size());
  EXPECT_EQ(FindXmlAttribute(header.c_str(), length, "DEV"), 13);
  EXPECT_EQ(FindXmlAttribute(header.c_str(), length, "Mat"), -1);
  // The search stops at the given length.
  EXPECT_EQ(FindXmlAttribute(header.c_str(), 12, "dev"), -1);

  uint32_t value = 0;
  EXPECT_EQ(ReadNumericXmlAttribute(header.c_str(), length, "Dev", &value), 13);
  EXPECT_EQ(value, 12u);
  EXPECT_GE(ReadNumericXmlAttribute(header.c_str(), length, "Ver", &value), 0);
  EXPECT_EQ(value, 0x1Fu);
  // The first occurrence wins, also inside another attribute's value.
  EXPECT_EQ(ReadNumericXmlAttribute(header.c_str(), length, "Len", &value), -1);
  EXPECT_EQ(ReadNumericXmlAttribute(header.c_str(), length, "Cut", &value), -1);

  char text[21] = {};
  const std::string quoted = "<Firmware Use=\"ab\" Mat=\"" + std::string(20, 'm') + "\"";
  EXPECT_GE(ReadTextXmlAttribute(quoted.c_str(), int(quoted.size()), "Mat", text, 20), 0);
  EXPECT_EQ(std::string(text), std::string(20, 'm'));
  EXPECT_GE(ReadTextXmlAttribute(quoted.c_str(), int(quoted.size()), "use", text, 20), 0);
  EXPECT_EQ(std::string(text), "ab");
  EXPECT_EQ(ReadTextXmlAttribute(quoted.c_str(), int(quoted.size()), "Mat", text, 19), -1);
}

}  // namespace
}  // namespace drux
