// Old-format FPGA images: the info trailer readers, CheckFpgaInfoFile on the bytes as a file of a
// name from the input, and ScanFpgaInfo on the same bytes in a panel's flash of the simulated
// controller, each against a plain model. The scan reads no block behind its area and none
// behind the trailer; an accepted image has the type, version and sum the check reports; a
// refused one gets the message of the first rule it breaks.
// Input: a control byte, a name length (0-15), the name, then the image.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "firmware/fpga_info_trailer.h"
#include "firmware/image_checks.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_io.h"
#include "sim/sim.h"

namespace {

using drux::fuzz::Printed;
using Bytes = std::vector<uint8_t>;

// Control byte: bits 0-1 the size limit, bits 2-3 the expected type, and fix-ups that let the
// fuzzer past the sum and the multiple of 256.
constexpr long kSizeLimits[] = {0x40000, 0x100, 0x400, -1};  // -1: the file's own length
constexpr uint8_t kRenewSum = 1 << 4;
constexpr uint8_t kWholeUnits = 1 << 5;
constexpr uint8_t kScanFromSecondBlock = 1 << 6;

constexpr uint32_t kPanelFlashTarget = 3;
constexpr uint32_t kScanDevice = 0;

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

bool IsLetter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct Info {
  char type[5];
  uint32_t version;
};

bool ModelIsTrailer(const uint8_t* block) {
  return block[0] == 0xFF && block[1] == 0xFF && std::memcmp(block + 12, "FPGA", 4) == 0;
}

uint32_t Digits(const uint8_t* text, size_t length) {
  uint32_t value = 0;
  for (size_t i = 0; i < length && IsDigit(text[i]); ++i) {
    value = value * 10 + uint32_t(text[i] - '0');
  }
  return value;
}

// The version is the digits from byte 6 as written: a blank there reads 0.
bool VersionMatches(const uint8_t* trailer, uint32_t version) {
  return version == Digits(trailer + 6, 6);
}

Info TrailerInfo(const uint8_t* trailer) {
  Info info{};
  std::memcpy(info.type, trailer + 2, 4);
  info.version = Digits(trailer + 6, 6);
  return info;
}

// Four letters, four digits, then a dot or the end of the name.
bool NameInfo(const std::string& name, Info* info) {
  if (name.size() < 8 || (name.size() > 8 && name[8] != '.')) {
    return false;
  }
  for (size_t i = 0; i < 8; ++i) {
    if (i < 4 ? !IsLetter(uint8_t(name[i])) : !IsDigit(uint8_t(name[i]))) {
      return false;
    }
  }
  std::memcpy(info->type, name.data(), 4);
  info->type[4] = 0;
  info->version = Digits(reinterpret_cast<const uint8_t*>(name.data()) + 4, 4);
  return true;
}

void CheckTrailerReaders(const uint8_t* bytes) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[drux::kFpgaInfoTrailerSize]);
  std::memcpy(block.get(), bytes, drux::kFpgaInfoTrailerSize);
  FUZZ_CHECK(drux::IsFpgaInfoTrailer(block.get()) == ModelIsTrailer(bytes));
  char type[drux::kFpgaTypeLength + 1];
  drux::FpgaInfoTrailerType(block.get(), type);
  FUZZ_CHECK(std::memcmp(type, bytes + 2, 4) == 0 && type[4] == 0);
  FUZZ_CHECK(VersionMatches(bytes, drux::FpgaInfoTrailerVersion(block.get())));
}

// The check is given the bare name, so it runs inside the scratch folder.
Printed CheckFileInFolder(const std::string& name, long limit, const char* type,
                          uint32_t* version) {
  const int here = open(".", O_RDONLY | O_DIRECTORY);
  FUZZ_CHECK(here >= 0 && chdir(drux::fuzz::ScratchFolder()) == 0);
  const Printed printed = drux::fuzz::CatchPrinted(
      [&] { return drux::CheckFpgaInfoFile(name.c_str(), limit, type, version); });
  FUZZ_CHECK(fchdir(here) == 0 && close(here) == 0);
  return printed;
}

void CheckFile(const Bytes& image, const std::string& name, long limit, const char* type) {
  drux::fuzz::WriteScratchFile(name, image.data(), image.size());
  uint32_t version = 0xDEAD;
  const Printed printed = CheckFileInFolder(name, limit, type, &version);
  std::remove((std::string(drux::fuzz::ScratchFolder()) + "/" + name).c_str());

  const long length = long(image.size());
  if (length > limit) {
    FUZZ_CHECK(printed.result == 5 &&
               printed.err == "ERROR: Invalid file size: > " + std::to_string(limit) + " bytes.\n");
    return;
  }
  if (length % 256 != 0) {
    FUZZ_CHECK(printed.result == 5 &&
               printed.err == "ERROR: File size is not a multiple of 256 bytes.\n");
    return;
  }
  if (length == 0) {
    FUZZ_CHECK(printed.result == 3 &&
               drux::fuzz::StartsWith(printed.err, "ERROR: Can't read file: "));
    return;
  }
  const uint8_t* trailer = image.data() + length - 16;
  Info info{};
  if (ModelIsTrailer(trailer)) {
    if (drux::fuzz::Sum8(image.data(), image.size()) != 0) {
      FUZZ_CHECK(printed.result == 9 && printed.err == "ERROR: Invalid file checksum.");
      return;
    }
    info = TrailerInfo(trailer);
  } else {
    FUZZ_CHECK(printed.out.find("The file does not contain a valid FPGA info!\n") !=
               std::string::npos);
    NameInfo(name, &info);
  }
  if (std::strncmp(info.type, type, 4) != 0) {
    FUZZ_CHECK(printed.result == 13 && printed.err == "ERROR: FPGA type mismatch.\n");
    return;
  }
  FUZZ_CHECK(printed.result == 0 && printed.err.empty());
  FUZZ_CHECK(ModelIsTrailer(trailer) ? VersionMatches(trailer, version) : version == info.version);
  FUZZ_CHECK(printed.out.find(std::string("File type: ") + type + "\n") != std::string::npos);
}

// The image in a panel's flash from `start`, erased flash behind it up to a whole block.
void CheckScan(Bytes area, uint32_t start) {
  area.resize((area.size() + 15) / 16 * 16, 0xFF);
  FUZZ_CHECK(sim::WriteAreaBytes(sim::Area::PanelFlash, start, area.data(), area.size(), 0));
  sim::ClearLog();
  uint32_t dataSize = 0xDEAD;
  char type[drux::kFpgaTypeLength + 1] = "none";
  uint32_t version = 0xDEAD;
  uint16_t checksum = 0xDEAD;
  const Printed printed = drux::fuzz::CatchPrinted([&] {
    return drux::ScanFpgaInfo(kPanelFlashTarget, kScanDevice, start, uint32_t(area.size()),
                              &dataSize, type, &version, &checksum);
  });

  uint8_t sum8 = 0;
  uint16_t sum16 = 0;
  size_t offset = 0;
  for (; offset < area.size(); offset += 16) {
    for (size_t i = 0; i < 16; ++i) {
      sum8 = uint8_t(sum8 + area[offset + i]);
      sum16 = uint16_t(sum16 + area[offset + i]);
    }
    if (ModelIsTrailer(&area[offset])) {
      break;
    }
  }
  const bool found = offset < area.size();
  // One read per block up to the trailer, each within the area.
  const size_t blocks = found ? offset / 16 + 1 : area.size() / 16;
  FUZZ_CHECK(sim::LogSize() == blocks);
  for (size_t i = 0; i < blocks; ++i) {
    const sim::LogEntry entry = sim::LogAt(i);
    FUZZ_CHECK(entry.read && entry.code == 0x20 && entry.target == kPanelFlashTarget);
    FUZZ_CHECK(entry.address == start / 16 + i && entry.size == 16);
  }
  if (!found) {
    FUZZ_CHECK(printed.result == 9 &&
               printed.err == "ERROR: FPGA info not found (old firmware).\n");
    return;
  }
  if (sum8 != 0) {
    FUZZ_CHECK(printed.result == 9 && printed.err == "ERROR: Invalid checksum.\n");
    return;
  }
  FUZZ_CHECK(printed.result == 0 && printed.err.empty());
  FUZZ_CHECK(dataSize == offset + 16 && checksum == uint16_t(-sum16));
  FUZZ_CHECK(std::memcmp(type, &area[offset + 2], 4) == 0 && type[4] == 0);
  FUZZ_CHECK(VersionMatches(&area[offset], version));
}

// A name the scratch folder can hold: no '/' or NUL, not "." or "..".
std::string FileName(const uint8_t* bytes, size_t length) {
  std::string name(reinterpret_cast<const char*>(bytes), length);
  for (char& c : name) {
    if (c == '/' || c == '\0') {
      c = '_';
    }
  }
  return name.empty() || name == "." || name == ".." ? "image.bin" : name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    sim::StartInMemory(sim::DefaultMachineConfig());
    return true;
  }();
  (void)started;
  if (size < 2 || size > 4096) {
    return 0;
  }
  const uint8_t control = data[0];
  const size_t nameLength = data[1] % 16;
  if (size < 2 + nameLength) {
    return 0;
  }
  const std::string name = FileName(data + 2, nameLength);
  Bytes image(data + 2 + nameLength, data + size);
  if ((control & kWholeUnits) != 0 && image.size() >= 16 && image.size() % 256 != 0) {
    image.insert(image.end() - 16, 256 - image.size() % 256, 0);
  }
  if ((control & kRenewSum) != 0 && image.size() > 16) {
    image[0] = uint8_t(image[0] - drux::fuzz::Sum8(image.data(), image.size()));
  }
  if (image.size() >= 16) {
    CheckTrailerReaders(image.data() + image.size() - 16);
  }

  const long limit = kSizeLimits[control & 3] < 0 ? long(image.size()) : kSizeLimits[control & 3];
  char type[5] = "KVNR";
  if ((control >> 2 & 3) == 1) {
    std::memcpy(type, "KVN8", 4);
  } else if ((control >> 2 & 3) == 2 && image.size() >= 16) {
    std::memcpy(type, &image[image.size() - 14], 4);
  } else if ((control >> 2 & 3) == 3) {
    std::strncpy(type, name.c_str(), 4);
  }
  CheckFile(image, name, limit, type);
  CheckScan(image, (control & kScanFromSecondBlock) != 0 ? 16 : 0);
  return 0;
}
