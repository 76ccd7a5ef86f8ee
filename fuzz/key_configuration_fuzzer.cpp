// Key configuration files through CheckKeyConfigurationFile for a target of 1 or 16 panel
// channels, against a plain model: header read, the three tags, size for the channel count,
// 8-bit sum, then the panel count. An accepted or counted file shows the header texts as far as
// their fields reach; a refused one gets the message of the first rule it breaks.
// Input: one control byte, then the file.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_io.h"
#include "settings/key_configuration.h"

namespace {

using drux::fuzz::Printed;
using Bytes = std::vector<uint8_t>;

// Control byte: bit 0 a target with 16 channels, then fix-ups that let the fuzzer reach the
// size of a 16-channel file and past the sum.
constexpr uint8_t kSixteenChannels = 1 << 0;
constexpr uint8_t kPadToSize = 1 << 1;
constexpr uint8_t kRenewSum = 1 << 2;

struct Tag {
  size_t offset;
  size_t width;
  const char* text;
};
constexpr Tag kVersion{0, 14, "Version:"};
constexpr Tag kDate{14, 16, "Date:"};
constexpr Tag kUserInfo{30, 100, "UserInfo:"};

bool HasTag(const Bytes& file, const Tag& tag) {
  return std::memcmp(&file[tag.offset], tag.text, std::strlen(tag.text)) == 0;
}

// The text behind the tag up to its NUL or the end of its field.
std::string TextOf(const Bytes& file, const Tag& tag) {
  const size_t from = tag.offset + std::strlen(tag.text);
  size_t end = from;
  while (end < tag.offset + tag.width && file[end] != 0) {
    ++end;
  }
  return std::string(file.begin() + long(from), file.begin() + long(end));
}

std::string HeaderLines(const Bytes& file) {
  return " Version: " + TextOf(file, kVersion) + "\n User info: " + TextOf(file, kUserInfo) +
         "\n Build date: " + TextOf(file, kDate) + "\n Panel count: " + std::to_string(file[130]) +
         "\n";
}

void CheckFile(const Bytes& file, uint32_t channels) {
  const std::string path = drux::fuzz::WriteScratchFile("keys.kcf", file.data(), file.size());
  const Printed printed = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckKeyConfigurationFile(channels, path.c_str()); });
  std::remove(path.c_str());

  if (file.size() < 256) {
    FUZZ_CHECK(printed.result == 3 &&
               drux::fuzz::StartsWith(printed.err, "ERROR: Can't read file: "));
    return;
  }
  if (!HasTag(file, kVersion) || !HasTag(file, kDate) || !HasTag(file, kUserInfo)) {
    FUZZ_CHECK(printed.result == 9 &&
               printed.err ==
                   "ERROR: The file does not contain a valid header.\n"
                   "       Please specify a valid key configuration file.\n");
    return;
  }
  const size_t expected = channels * 12544 + 272;
  if (file.size() != expected) {
    FUZZ_CHECK(printed.result == 5 && printed.err == "ERROR: Invalid file size: not " +
                                                         std::to_string(expected) + " bytes.\n");
    return;
  }
  if (drux::fuzz::Sum8(file.data(), file.size()) != 0) {
    FUZZ_CHECK(printed.result == 9 && printed.err == "ERROR: Invalid file checksum.");
    return;
  }
  FUZZ_CHECK(printed.out.find(HeaderLines(file)) != std::string::npos);
  if (file[130] != channels) {
    FUZZ_CHECK(printed.result == 5 &&
               printed.err == "ERROR: Panel count of KCF and target do not match.\n");
    return;
  }
  FUZZ_CHECK(printed.result == 0 && printed.err.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 16384) {
    return 0;
  }
  const uint8_t control = data[0];
  const uint32_t channels = (control & kSixteenChannels) != 0 ? 16 : 1;
  Bytes file(data + 1, data + size);
  if ((control & kPadToSize) != 0 && file.size() < drux::KcfImageSize(channels)) {
    file.resize(drux::KcfImageSize(channels), 0);
  }
  if ((control & kRenewSum) != 0 && !file.empty()) {
    file.back() = uint8_t(file.back() - drux::fuzz::Sum8(file.data(), file.size()));
  }
  CheckFile(file, channels);
  return 0;
}
