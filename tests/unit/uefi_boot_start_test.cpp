// A start without the shell: load options as arguments, names on the image's own volume.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uefi/load_options.h"
#include "platform/uefi/volume_path.h"

namespace platform::uefi {
namespace {

std::vector<uint16_t> Units(const std::u16string& text) {
  return std::vector<uint16_t>(text.begin(), text.end());
}

std::u16string UntilNul(const std::vector<uint16_t>& units) {
  std::u16string text;
  for (uint16_t unit : units) {
    if (unit == 0) {
      break;
    }
    text.push_back(static_cast<char16_t>(unit));
  }
  return text;
}

// The words, or {"<too long>"} when they did not fit.
std::vector<std::string> Words(const std::u16string& options, size_t capacity = 256) {
  std::vector<uint16_t> units = Units(options);
  std::vector<char> out(capacity);
  int count = SplitLoadOptions(units.data(), units.size(), out.data(), out.size());
  if (count < 0) {
    return {"<too long>"};
  }
  std::vector<std::string> words;
  const char* word = out.data();
  for (int i = 0; i < count; ++i) {
    words.emplace_back(word);
    word += words.back().size() + 1;
  }
  return words;
}

struct SplitCase {
  const char16_t* options;
  size_t units;  // 0: the text without its terminator
  std::vector<std::string> words;
};

TEST(UefiLoadOptionsTest, SplitIntoWordsAsTheShellDoes) {
  const SplitCase cases[] = {
      {u"", 0, {}},
      {u"i drux", 0, {"i", "drux"}},
      {u"  u   kcf\tcodes.kcf  -y ", 0, {"u", "kcf", "codes.kcf", "-y"}},
      // efibootmgr -u stores the terminator; everything after it is ignored.
      {u"i drux -y\0junk", 15, {"i", "drux", "-y"}},
      {u"u drux \"my file.fw\" -y", 0, {"u", "drux", "my file.fw", "-y"}},
      {u"i \"all\"", 0, {"i", "all"}},
      {u"c uid \"\"", 0, {"c", "uid", ""}},
      {u"a\"b c\"d", 0, {"ab cd"}},
      {u"say ^\"quoted^\" ^^", 0, {"say", "\"quoted\"", "^"}},
      // The shell's echo writes a byte-order mark and a line end.
      {u"\uFEFFi stat\r\n", 0, {"i", "stat"}},
      {u"/? -h", 0, {"/?", "-h"}},
  };
  for (const SplitCase& c : cases) {
    std::u16string text =
        c.units == 0 ? std::u16string(c.options) : std::u16string(c.options, c.units);
    EXPECT_EQ(Words(text), c.words) << std::string(text.begin(), text.end());
  }
}

TEST(UefiLoadOptionsTest, BinaryDataOfTheFirmwareIsNoCommandLine) {
  // EDK II marks the boot entries it made itself with a GUID as their load options.
  std::vector<uint16_t> units = {0x5ad9, 0x8c3d, 0x1f94, 0x4e0c, 0x5e9b, 0x1233, 0x197f, 0x7b5c};
  char out[64];
  EXPECT_FALSE(IsLoadOptionText(units.data(), units.size()));
  EXPECT_EQ(SplitLoadOptions(units.data(), units.size(), out, sizeof out), 0);
  // ASCII options (efibootmgr without -u) read as UCS-2 are no text either.
  std::vector<uint16_t> ascii = {0x2069, 0x7264, 0x7875};  // "i drux" in bytes
  EXPECT_FALSE(IsLoadOptionText(ascii.data(), ascii.size()));
  std::vector<uint16_t> control = Units(u"i\x01x");
  EXPECT_FALSE(IsLoadOptionText(control.data(), control.size()));
  std::vector<uint16_t> umlaut = Units(u"u drux f\u00fcr.fw");
  EXPECT_FALSE(IsLoadOptionText(umlaut.data(), umlaut.size()));
}

TEST(UefiLoadOptionsTest, WordsThatDoNotFitAreRefused) {
  EXPECT_EQ(Words(u"abc def", 8), (std::vector<std::string>{"abc", "def"}));
  EXPECT_EQ(Words(u"abc def", 7), std::vector<std::string>{"<too long>"});
  EXPECT_EQ(Words(u"abcdefgh", 8), std::vector<std::string>{"<too long>"});
  // The capacity the entry reserves always suffices, also for one-letter words.
  std::u16string many;
  for (int i = 0; i < 100; ++i) {
    many += u"x ";
  }
  EXPECT_EQ(Words(many, LoadOptionWordsCapacity(many.size())).size(), 100u);
}

TEST(UefiLoadOptionsTest, ProgramNamesEndInEfi) {
  const std::pair<const char*, bool> cases[] = {
      {"druxsvc.efi", true},
      {"\\EFI\\BOOT\\BOOTX64.EFI", true},
      {"FS0:\\Druxsvc.Efi", true},
      {".efi", true},
      {"i", false},
      {"efi", false},
      {"drux.efix", false},
      {"druxsvc", false},
      {"", false},
  };
  for (const auto& [word, expected] : cases) {
    EXPECT_EQ(IsProgramName(word), expected) << word;
  }
}

std::u16string Folder(const std::u16string& path, size_t capacity = 64) {
  std::vector<uint16_t> units = Units(path);
  units.push_back(0);
  std::vector<uint16_t> out(capacity);
  if (!ImageFolder(units.data(), out.data(), out.size())) {
    return u"<too long>";
  }
  return UntilNul(out);
}

TEST(UefiVolumePathTest, TheImageFolderIsWhereRelativeNamesStart) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"\\EFI\\BOOT\\BOOTX64.EFI", u"\\EFI\\BOOT"},
      {u"\\druxsvc.efi", u"\\"},
      {u"druxsvc.efi", u"\\"},
      {u"", u"\\"},
      {u"EFI\\DRUX\\druxsvc.efi", u"\\EFI\\DRUX"},
  };
  for (const auto& [path, folder] : cases) {
    EXPECT_EQ(Folder(path), std::u16string(folder));
  }
  EXPECT_EQ(Folder(u"\\EFI\\BOOT\\X.EFI", 9), u"<too long>");
}

std::u16string Path(const std::u16string& folder, const std::u16string& name,
                    size_t capacity = 64) {
  std::vector<uint16_t> f = Units(folder);
  f.push_back(0);
  std::vector<uint16_t> n = Units(name);
  n.push_back(0);
  std::vector<uint16_t> out(capacity);
  if (!VolumePath(f.data(), n.data(), out.data(), out.size())) {
    return u"<refused>";
  }
  return UntilNul(out);
}

TEST(UefiVolumePathTest, NamesAreRelativeToTheFolderOrFromTheRoot) {
  struct Case {
    const char16_t* folder;
    const char16_t* name;
    const char16_t* path;
  };
  const Case cases[] = {
      {u"\\EFI\\DRUX", u"04711_0.fw", u"\\EFI\\DRUX\\04711_0.fw"},
      {u"\\EFI\\DRUX", u"fw\\new.fw", u"\\EFI\\DRUX\\fw\\new.fw"},
      {u"\\EFI\\DRUX", u"..\\report.txt", u"\\EFI\\DRUX\\..\\report.txt"},
      {u"\\EFI\\DRUX", u"\\images\\kr3b.bin", u"\\images\\kr3b.bin"},
      {u"\\", u"report.txt", u"\\report.txt"},
      {u"\\", u"\\report.txt", u"\\report.txt"},
      // No mappings without the shell.
      {u"\\EFI\\DRUX", u"fs1:\\x.bin", u"<refused>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Path(c.folder, c.name), std::u16string(c.path));
  }
  EXPECT_EQ(Path(u"\\EFI", u"ab", 8), u"\\EFI\\ab");
  EXPECT_EQ(Path(u"\\EFI", u"abc", 8), u"<refused>");
}

}  // namespace
}  // namespace platform::uefi
