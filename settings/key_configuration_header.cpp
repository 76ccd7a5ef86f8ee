// The header of a key configuration image: three tagged texts and the panel count.
#include <cstring>

#include "platform/platform.h"
#include "settings/key_configuration.h"
#include "settings/key_configuration_steps.h"

namespace drux::kcf {

namespace {

struct TaggedField {
  uint32_t offset;
  uint32_t width;
  const char* tag;
};

constexpr TaggedField kVersion{kKcfVersionOffset, kKcfVersionWidth, "Version:"};
constexpr TaggedField kDate{kKcfDateOffset, kKcfDateWidth, "Date:"};
constexpr TaggedField kUserInfo{kKcfUserInfoOffset, kKcfUserInfoWidth, "UserInfo:"};

bool HasTag(const uint8_t* header, const TaggedField& field) {
  return std::memcmp(header + field.offset, field.tag, std::strlen(field.tag)) == 0;
}

// The text after the tag, cut at the end of its field when the image lacks the NUL.
struct FieldText {
  char text[kKcfUserInfoWidth + 1];
};

FieldText TextAfterTag(const uint8_t* header, const TaggedField& field) {
  FieldText result{};
  const size_t tagLength = std::strlen(field.tag);
  const uint8_t* from = header + field.offset + tagLength;
  const size_t room = field.width - tagLength;
  size_t length = 0;
  while (length < room && from[length] != 0) {
    ++length;
  }
  std::memcpy(result.text, from, length);
  return result;
}

}  // namespace

bool HasHeaderTags(const uint8_t* header) {
  return HasTag(header, kVersion) && HasTag(header, kDate) && HasTag(header, kUserInfo);
}

uint8_t HeaderPanelCount(const uint8_t* header) {
  return header[kKcfPanelCountOffset];
}

void PrintHeaderFields(const uint8_t* header, const char* indent) {
  platform::Print("%sVersion: %s\n", indent, TextAfterTag(header, kVersion).text);
  platform::Print("%sUser info: %s\n", indent, TextAfterTag(header, kUserInfo).text);
  platform::Print("%sBuild date: %s\n", indent, TextAfterTag(header, kDate).text);
  platform::Print("%sPanel count: %d\n", indent, int(HeaderPanelCount(header)));
}

MemoryArea KcfArea(uint32_t start, uint32_t size) {
  return MemoryArea{
      uint16_t(kKcfCommand), uint16_t(kKcfTarget), uint16_t(kKcfDevice), start, size, 0, 0};
}

}  // namespace drux::kcf
