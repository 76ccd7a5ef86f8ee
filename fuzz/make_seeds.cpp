// Writes the generated part of the seed corpora: XML firmware headers as the program's save
// writes them, and factory-settings records and display blocks as druxsim's fset makes them.
// Usage: fuzz_make_seeds <corpus folder>   (writes into its xml_header and factory_record)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/devices/factory_settings_image.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string corpus = argv[1];
  return WriteXmlSeeds(corpus + "/xml_header") && WriteRecordSeeds(corpus + "/factory_record") ? 0
                                                                                               : 1;
}
