// Writes the generated part of the seed corpora: XML firmware headers as the program's save
// writes them, factory-settings records and display blocks as druxsim's fset makes them, image
// files with header and CRCs, old-format images with their info trailer, panel settings files
// and key configuration files, each behind the control byte of its target.
// Usage: fuzz_make_seeds <corpus folder>   (writes into the folders of those targets)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/devices/factory_settings_image.h"
#include "transfer/transfer_engine.h"
#include "transfer/xml_header.h"

namespace {

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Header text, its NUL, then the data; Chk makes the data add up to 0 modulo 65536.
std::vector<uint8_t> XmlImage(uint32_t device, char function, uint16_t variant, const char* usage,
                              uint32_t version, const std::vector<uint8_t>& data,
                              const char* material) {
  uint16_t sum = 0;
  for (uint8_t byte : data) {
    sum = uint16_t(sum + byte);
  }
  const char* header =
      drux::BuildXmlHeader(device, function, variant, usage, version, uint32_t(data.size()),
                           uint16_t(0x10000 - sum), material);
  std::vector<uint8_t> image(header, header + std::strlen(header) + 1);
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = uint8_t(seed + i * 7);
  }
  return bytes;
}

sim::FactoryRecordFields Identity(uint32_t device, uint32_t parent) {
  sim::FactoryRecordFields fields;
  fields.deviceId = device;
  fields.compatibilityId = 0x0102;
  fields.parentDeviceId = parent;
  fields.parentCompatibilityId = 0x0304;
  sim::SetRecordText(fields.hardwareRevision, sizeof fields.hardwareRevision, "A1");
  sim::SetRecordText(fields.serialNumber, sizeof fields.serialNumber, "S0123456789");
  sim::SetRecordText(fields.modelNumber, sizeof fields.modelNumber, "6AV7 EX41 system unit");
  fields.version = 0x15;
  return fields;
}

std::vector<uint8_t> Record(const sim::FactoryRecordFields& fields, size_t areaSize) {
  std::vector<uint8_t> bytes(areaSize, 0xFF);
  // The whole area as a read returns it: the record, then erased bytes.
  sim::BuildFactoryRecord(fields, bytes.data(), bytes.size());
  return bytes;
}

bool WriteXmlSeeds(const std::string& folder) {
  return WriteSeed(folder + "/drux_firmware.bin",
                   XmlImage(1234, 'F', 7, "LZ70", 105, Pattern(64, 3), "A5E01234567890123456")) &&
         WriteSeed(folder + "/no_data.bin", XmlImage(0xF0BD, 'C', 999, "CONV", 65535, {}, "M")) &&
         WriteSeed(folder + "/link_fpga.bin",
                   XmlImage(61373, 'L', 0, "LINKFPGA", 1, Pattern(300, 200), "A5E0"));
}

bool WriteRecordSeeds(const std::string& folder) {
  sim::FactoryRecordFields plain = Identity(0x1234, 0xFFFFFFFF);
  sim::FactoryRecordFields later = Identity(0xF0BD, 0x1111);  // parent ID to be corrected
  later.factOffset = 64;
  later.staticLength = 256;
  later.checksumOffset = 255;
  sim::FactoryRecordFields exact = Identity(0xF0C0, 0xEF8A);  // FACT ends with the static data
  exact.staticLength = 119;
  exact.checksumOffset = 118;
  sim::FactoryRecordFields declared = Identity(0x42, 0);  // static data beyond the bytes there
  declared.staticLength = 1500;
  sim::FactoryRecordFields bad = Identity(0x42, 0);
  bad.badChecksum = true;

  std::vector<uint8_t> prefixed(sim::kDisplayBlockBytes);
  sim::BuildDisplayBlock(plain, prefixed.data());
  const std::vector<uint8_t> record = Record(plain, 1024);
  prefixed.insert(prefixed.end(), record.begin(), record.end());

  return WriteSeed(folder + "/plain_record.bin", Record(plain, 1280)) &&
         WriteSeed(folder + "/parent_to_correct.bin", Record(later, 1024)) &&
         WriteSeed(folder + "/fact_at_static_end.bin", Record(exact, 512)) &&
         WriteSeed(folder + "/short_read.bin", Record(declared, 600)) &&
         WriteSeed(folder + "/bad_checksum.bin", Record(bad, 128)) &&
         WriteSeed(folder + "/display_block_and_record.bin", prefixed) &&
         WriteSeed(folder + "/erased_area.bin", std::vector<uint8_t>(1024, 0xFF));
}

using Bytes = std::vector<uint8_t>;

Bytes Control(uint8_t control, const Bytes& file) {
  Bytes bytes{control};
  bytes.insert(bytes.end(), file.begin(), file.end());
  return bytes;
}

void StoreCrc(Bytes& bytes, size_t at, size_t covered) {
  const uint16_t crc = drux::Crc16(0xFFFF, &bytes[at], covered);
  bytes[at + covered] = uint8_t(crc >> 8);
  bytes[at + covered + 1] = uint8_t(crc);
}

// A new-format image: header at 16 (or in the last 16 bytes), header CRC, whole-image CRC.
Bytes Image(size_t size, const char* id, const char* version, bool headerAtEnd) {
  Bytes image = Pattern(size, 5);
  const size_t at = headerAtEnd ? size - 16 : 16;
  std::memcpy(&image[at], id, 4);
  std::memcpy(&image[at + 4], version, 4);
  std::memset(&image[at + 8], 0, 6);
  image[at + 8] = 3;
  StoreCrc(image, at, 14);
  if (!headerAtEnd) {
    StoreCrc(image, 0, size - 2);
    return image;
  }
  // A valid header adds the same to any running CRC: two bytes in front of it close the CRC.
  for (uint32_t x = 0; x <= 0xFFFF; ++x) {
    image[at - 2] = uint8_t(x >> 8);
    image[at - 1] = uint8_t(x);
    if (drux::Crc16(0xFFFF, image.data(), size) == 0) {
      break;
    }
  }
  return image;
}

bool WriteImageSeeds(const std::string& folder) {
  Bytes badVersion = Image(64, "EX4F", "x105", false);
  Bytes brokenCrc = Image(256, "LKVN", "0217", false);
  brokenCrc[100] ^= 1;
  return WriteSeed(folder + "/drux_firmware", Control(0, Image(256, "EX4F", "0105", false))) &&
         WriteSeed(folder + "/fpga_image", Control(1, Image(512, "LKVN", "0217", false))) &&
         WriteSeed(folder + "/hdbt_blanks_in_version",
                   Control(2, Image(128, "VRTP", "  42", true))) &&
         WriteSeed(folder + "/no_expected_id", Control(3, Image(48, "VP4F", "1003", false))) &&
         WriteSeed(folder + "/version_not_a_number", Control(0, badVersion)) &&
         WriteSeed(folder + "/broken_image_crc", Control(1, brokenCrc)) &&
         WriteSeed(folder + "/own_id_renewed_crcs", Control(0x1D, Pattern(40, 1))) &&
         WriteSeed(folder + "/wrong_size", Control(0x20, Image(64, "EX4F", "0105", false))) &&
         WriteSeed(folder + "/too_short_for_header", Control(1, Pattern(20, 9)));
}

// Control byte, file name, then an old-format image of `size` bytes ending in its trailer.
Bytes OldImage(uint8_t control, const std::string& name, size_t size, const char* trailerText,
               int sumOffBy) {
  Bytes bytes{control, uint8_t(name.size())};
  bytes.insert(bytes.end(), name.begin(), name.end());
  Bytes image = Pattern(size, 11);
  if (trailerText != nullptr) {
    std::memcpy(&image[size - 16], trailerText, 16);
  }
  uint8_t sum = 0;
  for (size_t i = 1; i < size; ++i) {
    sum = uint8_t(sum + image[i]);
  }
  image[0] = uint8_t(-sum + sumOffBy);
  bytes.insert(bytes.end(), image.begin(), image.end());
  return bytes;
}

bool WriteFpgaInfoSeeds(const std::string& folder) {
  const char* kvnr = "\xFF\xFFKVNR0105  FPGA";
  Bytes erasedBehind = OldImage(0, "", 256, kvnr, 0);
  erasedBehind.insert(erasedBehind.end(), 256, 0xFF);  // the file fails, the scan stops early
  return WriteSeed(folder + "/trailer", OldImage(0, "", 512, kvnr, 0)) &&
         WriteSeed(folder + "/trailer_bad_sum", OldImage(0, "", 256, kvnr, 1)) &&
         WriteSeed(folder + "/blank_before_version",
                   OldImage(4, "", 256, "\xFF\xFFKVN8 105  FPGA", 0)) &&
         WriteSeed(folder + "/type_and_version_in_name",
                   OldImage(12, "ABCD0105.bin", 256, nullptr, 0)) &&
         WriteSeed(folder + "/name_without_extension", OldImage(0, "KVNR0100", 512, nullptr, 0)) &&
         WriteSeed(folder + "/name_too_short", OldImage(12, "ABC0105.bin", 256, nullptr, 0)) &&
         WriteSeed(folder + "/type_mismatch", OldImage(4, "", 256, kvnr, 0)) &&
         WriteSeed(folder + "/above_limit", OldImage(1, "", 512, kvnr, 0)) &&
         WriteSeed(folder + "/not_whole_units", OldImage(0, "", 300, kvnr, 0)) &&
         WriteSeed(folder + "/trailer_then_erased", erasedBehind);
}

// Display block and extended record of a panel with modules, cut to `size` bytes.
Bytes PanelFile(const sim::FactoryRecordFields& fields, size_t size) {
  Bytes file(2048, 0);
  sim::BuildDisplayBlock(Identity(0x1234, 0xFFFFFFFF), file.data());
  sim::BuildFactoryRecord(fields, &file[256], 1792);
  file.resize(size);
  return file;
}

bool WritePanelSeeds(const std::string& folder) {
  sim::FactoryRecordFields other = Identity(0x4321, 0);
  sim::FactoryRecordFields factAt48 = Identity(0x1234, 0);
  factAt48.factOffset = 48;
  factAt48.staticLength = 160;
  factAt48.checksumOffset = 159;
  sim::FactoryRecordFields longStatic = Identity(0x1234, 0);
  longStatic.staticLength = 1792;
  longStatic.checksumOffset = 20;
  Bytes erased = PanelFile(Identity(0x1234, 0), 2048);
  std::memset(&erased[256], 0xFF, 1792);
  Bytes pcSum = PanelFile(Identity(0x1234, 0), 256);
  pcSum[255] = uint8_t(pcSum[255] - 0xAA);  // internal data that add up to 0, as a PC record
  return WriteSeed(folder + "/display_block", Control(0, PanelFile(Identity(0x1234, 0), 256))) &&
         WriteSeed(folder + "/with_record", Control(1, PanelFile(Identity(0x1234, 0), 2048))) &&
         WriteSeed(folder + "/record_of_other_device", Control(1, PanelFile(other, 400))) &&
         WriteSeed(folder + "/display_block_only_with_modules",
                   Control(1, PanelFile(Identity(0x1234, 0), 256))) &&
         WriteSeed(folder + "/fact_at_48", Control(1, PanelFile(factAt48, 1024))) &&
         WriteSeed(folder + "/erased_record", Control(1, erased)) &&
         WriteSeed(folder + "/static_data_past_file_end", Control(9, PanelFile(longStatic, 300))) &&
         WriteSeed(folder + "/internal_sum_of_a_pc", Control(0, pcSum)) &&
         WriteSeed(folder + "/too_long_for_panel", Control(0, PanelFile(Identity(0x1234, 0), 300)));
}

// Key configuration header; the control byte pads it to the size and closes the sum.
Bytes KeyHeader(uint8_t panels, const char* version, const char* userInfo) {
  Bytes header(256, 0);
  std::memcpy(&header[0], "Version:", 8);
  std::memcpy(&header[8], version, std::strlen(version));
  std::memcpy(&header[14], "Date:2024-05-01", 15);
  std::memcpy(&header[30], "UserInfo:", 9);
  std::memcpy(&header[39], userInfo, std::strlen(userInfo));
  header[130] = panels;
  return header;
}

bool WriteKeySeeds(const std::string& folder) {
  Bytes whole = KeyHeader(1, "1.02", "line 3");
  whole.resize(12816, 0x5A);
  std::memcpy(&whole[12800], "ScanCodes..:  ", 15);
  whole.back() = 0;
  uint8_t sum = 0;
  for (uint8_t byte : whole) {
    sum = uint8_t(sum + byte);
  }
  whole.back() = uint8_t(-sum);
  Bytes noDate = KeyHeader(1, "1", "x");
  noDate[14] = 'd';
  return WriteSeed(folder + "/one_channel", Control(0, whole)) &&
         WriteSeed(folder + "/sixteen_channels", Control(7, KeyHeader(16, "2.00", "all panels"))) &&
         WriteSeed(folder + "/texts_fill_their_fields",
                   Control(6, KeyHeader(1, "123456", std::string(91, 'u').c_str()))) &&
         WriteSeed(folder + "/panel_count_mismatch", Control(6, KeyHeader(16, "1.00", "x"))) &&
         WriteSeed(folder + "/size_for_one_channel", Control(1, whole)) &&
         WriteSeed(folder + "/bad_sum", Control(2, KeyHeader(1, "1.00", "x"))) &&
         WriteSeed(folder + "/tag_missing", Control(6, noDate)) &&
         WriteSeed(folder + "/short_header", Control(0, Bytes(100, 'V')));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string corpus = argv[1];
  const bool written =
      WriteXmlSeeds(corpus + "/xml_header") && WriteRecordSeeds(corpus + "/factory_record") &&
      WriteImageSeeds(corpus + "/image_file") && WriteFpgaInfoSeeds(corpus + "/fpga_info") &&
      WritePanelSeeds(corpus + "/panel_settings") && WriteKeySeeds(corpus + "/key_configuration");
  return written ? 0 : 1;
}
