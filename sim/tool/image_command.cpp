// druxsim image: writes image files of the display-link hardware's FPGAs and firmware, intact
// or broken on purpose, with or without XML firmware header. Touches no machine.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "sim/devices/fpga_image.h"
#include "sim/tool/tool.h"

namespace druxsim {

namespace {

constexpr uint32_t kDefaultSize = 0xA0000;
constexpr uint32_t kDefaultHdbtSize = 0x210000;

struct XmlFields {
  bool wanted = false;
  uint32_t device = 0;
  char function = '_';
  uint32_t variant = 0;
  std::string usage;
  std::string material = "DRUXSIM";
  bool versionGiven = false;
  uint32_t version = 0;
  bool lengthGiven = false;
  uint32_t length = 0;
};

struct ImageOptions {
  std::string file;
  sim::ImageRecipe recipe;
  bool sizeGiven = false;
  bool seedGiven = false;
  uint32_t version = 100;
  XmlFields xml;
  bool breakImageCrc = false;
  bool breakChecksum = false;
  bool breakId = false;
  bool breakXmlChecksum = false;
};

bool Number32(const std::string& text, uint32_t* value) {
  unsigned long long number = 0;
  if (!ParseUnsigned(text, &number) || number > 0xFFFFFFFFull) {
    return false;
  }
  *value = uint32_t(number);
  return true;
}

bool ParseFormat(const std::string& text, sim::ImageFormat* format) {
  if (text == "new") {
    *format = sim::ImageFormat::HeaderAtStart;
  } else if (text == "old") {
    *format = sim::ImageFormat::InfoTrailer;
  } else if (text == "hdbt") {
    *format = sim::ImageFormat::HeaderAtEnd;
  } else {
    return false;
  }
  return true;
}

// "M.m", decimal minor below 100.
bool ParseImageVersion(const std::string& text, uint32_t* version) {
  const size_t dot = text.find('.');
  unsigned long long major = 0;
  unsigned long long minor = 0;
  if (dot == std::string::npos || !ParseUnsigned(text.substr(0, dot), &major) ||
      !ParseUnsigned(text.substr(dot + 1), &minor) || minor > 99 || major > 99) {
    return false;
  }
  *version = uint32_t(major * 100 + minor);
  return true;
}

// DEV[:FCT[:VAR[:USE[:MAT]]]]; empty fields keep their defaults.
bool ParseXml(const std::string& text, XmlFields* xml) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) {
      break;
    }
    start = colon + 1;
  }
  if (parts.size() > 5 || !Number32(parts[0], &xml->device)) {
    return false;
  }
  xml->wanted = true;
  if (parts.size() > 1 && !parts[1].empty()) {
    if (parts[1].size() != 1) {
      return false;
    }
    xml->function = parts[1][0];
  }
  if (parts.size() > 2 && !parts[2].empty() && !Number32(parts[2], &xml->variant)) {
    return false;
  }
  if (parts.size() > 3 && !parts[3].empty()) {
    xml->usage = parts[3];
  }
  if (parts.size() > 4 && !parts[4].empty()) {
    xml->material = parts[4];
  }
  return true;
}

bool ApplyBreak(const std::string& kind, ImageOptions* options) {
  if (kind == "header-crc") {
    options->recipe.badHeaderCrc = true;
  } else if (kind == "image-crc") {
    options->breakImageCrc = true;
  } else if (kind == "checksum") {
    options->breakChecksum = true;
  } else if (kind == "id") {
    options->breakId = true;
  } else if (kind == "trailer") {
    options->recipe.noTrailerMark = true;
  } else if (kind == "xml-checksum") {
    options->breakXmlChecksum = true;
  } else {
    return false;
  }
  return true;
}

bool ApplyOption(const std::string& option, const std::string& value, ImageOptions* options) {
  sim::ImageRecipe& recipe = options->recipe;
  if (option == "--id") {
    if (value.size() != 4) {
      return false;
    }
    std::memcpy(recipe.id, value.data(), 4);
  } else if (option == "--version") {
    if (!ParseImageVersion(value, &options->version)) {
      return false;
    }
    sim::SetRecipeVersion(recipe, options->version);
  } else if (option == "--version-text") {
    if (value.empty() || value.size() > sizeof recipe.versionText) {
      return false;
    }
    std::memset(recipe.versionText, ' ', sizeof recipe.versionText);
    std::memcpy(recipe.versionText, value.data(), value.size());
  } else if (option == "--counter") {
    return Number32(value, &recipe.counter);
  } else if (option == "--state") {
    uint32_t state = 0;
    if (!Number32(value, &state) || state > 0xFFFF) {
      return false;
    }
    recipe.state = uint16_t(state);
  } else if (option == "--size") {
    options->sizeGiven = true;
    return Number32(value, &recipe.size);
  } else if (option == "--format") {
    return ParseFormat(value, &recipe.format);
  } else if (option == "--seed") {
    options->seedGiven = true;
    return Number32(value, &recipe.seed);
  } else if (option == "--xml") {
    return ParseXml(value, &options->xml);
  } else if (option == "--xml-ver") {
    options->xml.versionGiven = true;
    return Number32(value, &options->xml.version);
  } else if (option == "--xml-len") {
    options->xml.lengthGiven = true;
    return Number32(value, &options->xml.length);
  } else if (option == "--break") {
    return ApplyBreak(value, options);
  } else {
    return false;
  }
  return true;
}

bool ParseImageOptions(const Arguments& args, ImageOptions* options) {
  if (args.empty() || args[0].empty() || args[0][0] == '-') {
    return false;
  }
  options->file = args[0];
  sim::SetRecipeVersion(options->recipe, options->version);
  for (size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size() || !ApplyOption(args[i], args[i + 1], options)) {
      return false;
    }
  }
  sim::ImageRecipe& recipe = options->recipe;
  if (!options->sizeGiven) {
    recipe.size = recipe.format == sim::ImageFormat::HeaderAtEnd ? kDefaultHdbtSize : kDefaultSize;
  }
  if (options->breakId) {
    recipe.id[0] = recipe.id[0] == 'Z' ? 'A' : char(recipe.id[0] + 1);
  }
  if (!options->seedGiven) {
    recipe.seed = sim::DefaultImageSeed(recipe);
  }
  if (options->xml.usage.empty()) {
    options->xml.usage = recipe.format == sim::ImageFormat::HeaderAtEnd ? "fw" : "fp";
  }
  return recipe.size >= sim::MinimumImageSize(recipe.format);
}

void BreakImage(const ImageOptions& options, std::vector<uint8_t>& image) {
  if (options.breakImageCrc) {
    image.back() ^= 0x01;
  }
  if (options.breakChecksum) {
    image[0] ^= 0x01;
  }
}

std::string XmlHeader(const ImageOptions& options, const std::vector<uint8_t>& image) {
  const XmlFields& xml = options.xml;
  uint16_t sum = 0;
  for (uint8_t byte : image) {
    sum = uint16_t(sum + byte);
  }
  uint16_t check = uint16_t(-sum);
  if (options.breakXmlChecksum) {
    check = uint16_t(check + 1);
  }
  char text[512];
  std::snprintf(text, sizeof text,
                "<Firmware Dev=\"%04u\" Ver=\"%u\" Use=\"%s\" Fct=\"%c\" Var=\"%u\" Len=\"%u\" "
                "Chk=\"0x%04x\" Mat=\"%s\" Dat=\"01.01.2026\" Rem=\"Created by DRUXSIM\"/>",
                unsigned(xml.device), unsigned(xml.versionGiven ? xml.version : options.version),
                xml.usage.c_str(), xml.function, unsigned(xml.variant),
                unsigned(xml.lengthGiven ? xml.length : uint32_t(image.size())), unsigned(check),
                xml.material.c_str());
  return std::string(text) + '\0';
}

}  // namespace

int RunImage(const Arguments& args) {
  ImageOptions options;
  if (!ParseImageOptions(args, &options)) {
    return Fail(kExitUsage,
                "image FILE [--id ID] [--version M.m|--version-text TEXT] [--counter N] "
                "[--state N] [--size N] [--format new|old|hdbt] [--seed N] "
                "[--xml DEV[:FCT[:VAR[:USE[:MAT]]]]] [--xml-ver N] [--xml-len N] "
                "[--break KIND]...");
  }
  std::vector<uint8_t> image(options.recipe.size);
  sim::FillImage(options.recipe, 0, image.data(), uint32_t(image.size()));
  BreakImage(options, image);
  const std::string header = options.xml.wanted ? XmlHeader(options, image) : std::string();
  platform::File* file = platform::OpenFile(options.file.c_str(), platform::FileMode::WriteBinary);
  if (file == nullptr) {
    return Fail(kExitIo,
                "image: can't create " + options.file + ": " + platform::SystemErrorText());
  }
  bool ok = platform::WriteFile(file, header.data(), header.size()) == header.size() &&
            platform::WriteFile(file, image.data(), image.size()) == image.size();
  ok = platform::CloseFile(file) && ok;
  if (!ok) {
    return Fail(kExitIo, "image: can't write " + options.file);
  }
  std::printf("%s: %zu bytes (image %zu bytes at offset %zu)\n", options.file.c_str(),
              header.size() + image.size(), image.size(), header.size());
  return kExitOk;
}

}  // namespace druxsim
