// Platform conformance: one fixed sequence of platform calls (formatting, number parsing,
// files, console redirection, line input, clock) whose printed results must be the same with
// every backend. The uefi test runs it on the host and in the UEFI shell and compares the two
// result files. Lines that start with '~' hold values that differ by nature (clock readings);
// the test checks them on their own.
//
// Usage: platform_conformance <result file>   (line input comes from the standard input)
// Ends with exit code 3, so that the test also sees the exit code pass through.
#include <climits>
#include <cstring>

#include "platform/format.h"
#include "platform/platform.h"

namespace {

using platform::FileMode;
using platform::Print;
using platform::SeekOrigin;

constexpr int kConformanceExitCode = 3;

// A namespace-scope object that needs its constructor at run time (the volatile read keeps the
// compiler from folding it): the UEFI entry must run the constructor table.
volatile int startValue = 41;
struct StartProbe {
  int value;
  StartProbe() : value(startValue + 1) {}
};
StartProbe startProbe;

void PrintOutcome(const char* step, bool ok) {
  if (ok) {
    Print("%s: ok\n", step);
  } else {
    Print("%s: failed (%s)\n", step, platform::SystemErrorText());
  }
}

void FormatIntegers() {
  Print("[%d] [%d] [%d] [%d] [%i]\n", 0, -1, INT_MAX, INT_MIN, 42);
  Print("[%u] [%u] [%u]\n", 0u, 7u, UINT_MAX);
  Print("[%ld] [%ld] [%ld] [%lu] [%lu]\n", 0L, LONG_MIN, LONG_MAX, 0UL, ULONG_MAX);
  Print("[%x] [%x] [%X] [%lx] [%lx]\n", 0u, 0xDEADBEEFu, 0xBEEFu, 0UL, 0x0123456789ABCDEFUL);
  Print("[%02x] [%02x] [%02x] [%02x]\n", 0u, 5u, 0xABu, 0x1FFu);
  Print("[%04x] [%04x] [%04x]\n", 0x12u, 0xFFFFu, 0x12345u);
  Print("[%08lx] [%08lx] [%08lx]\n", 0xABCUL, 0xFFFFFFFFUL, 0x123456789UL);
  Print("[%3d%%] [%3d%%] [%3d%%] [%3d%%]\n", 0, 5, 100, 1000);
  Print("[%5d] [%-5d] [%05d] [%+d] [% d]\n", -42, -42, -42, 42, 42);
  Print("%d.%02d %d.%02d\n", 105 / 100, 105 % 100, 1999 / 100, 1999 % 100);
  Print("%05lu%c%u.%s %04x%04u.bin\n", 1234UL, 'r', 7u, "bin", 0x2Au, 17u);
}

void FormatTexts() {
  const char* sixty = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX";
  Print("[%c] [%c] [%c]\n", 'A', ' ', '~');
  Print("[%s] [%s]\n", "", "text with spaces");
  Print("[%.4s] [%.4s] [%.4s]\n", "abcdefgh", "ab", "");
  Print("[%.11s] [%.11s]\n", "exactly11ch", "longer than eleven");
  Print("[%.40s]\n", sixty);
  Print("[%-51s]\n", "left");
  Print("[%-51s]\n", sixty);
  Print("[%10s] [%-10s] [%10.3s]\n", "right", "left", "cut");
  Print("%s %s file: %s\n", "Write", "report", "REPORT.TXT");
}

void FormatFloatingPoint() {
  Print("[%.f] [%.f] [%.f] [%.f] [%.f]\n", 0.0, 0.5, 1.5, 2.5, 3.5);
  Print("[%.f] [%.f] [%.f] [%.f]\n", -0.5, 0.49999, 12345.0, 1e15);
  Print("[%.2f] [%.2f] [%.2f] [%.2f]\n", 3.14159, 0.005, 0.015, -0.004);
  Print("[%.2f] [%.2f] [%.2f] [%.2f]\n", 99.995, 1.0 / 3.0, 1e9, -2.5);
  Print("Total time needed: %.f seconds\n", static_cast<double>(12 - 10));
}

void FormatIntoBuffers() {
  char small[8];
  size_t length = platform::FormatString(small, sizeof small, "%s", "truncated text");
  Print("buffer of 8: [%s] full length %lu\n", small, static_cast<unsigned long>(length));
  char exact[6];
  length = platform::FormatString(exact, sizeof exact, "%05d", 42);
  Print("buffer of 6: [%s] full length %lu\n", exact, static_cast<unsigned long>(length));
}

void ParseNumbers() {
  const char* texts[] = {"0", " -42x", "+17", "2147483648", "-9223372036854775809", "abc", ""};
  for (const char* text : texts) {
    const char* end = nullptr;
    bool overflowed = false;
    long value = platform::ParseDecimalLong(text, &end, &overflowed);
    Print("parse long [%s]: %ld, used %ld, overflow %d\n", text, value,
          static_cast<long>(end - text), overflowed ? 1 : 0);
  }
  const char* decimals[] = {"12", "  -7", "123456", "x1"};
  for (const char* text : decimals) {
    int value = -99;
    bool ok = platform::ScanDecimalInt(text, &value);
    int narrow = -99;
    bool narrowOk = platform::ScanDecimalInt(text, &narrow, 2);
    Print("scan int [%s]: %d %d, width 2: %d %d\n", text, ok ? 1 : 0, value, narrowOk ? 1 : 0,
          narrow);
  }
  const char* hexes[] = {"ffffffff", "0x1A", "DEADbeef", "g1"};
  for (const char* text : hexes) {
    unsigned long value = 0;
    bool ok = platform::ScanHexUnsignedLong(text, &value);
    Print("scan hex [%s]: %d %lx\n", text, ok ? 1 : 0, value);
  }
}

// The memory and string functions: the UEFI images bring their own.
void MemoryFunctions() {
  char text[] = "0123456789";
  memmove(text + 2, text, 5);  // target behind the source
  Print("memmove forward overlap: %s\n", text);
  memmove(text, text + 3, 6);  // target before the source
  Print("memmove backward overlap: %s\n", text);
  memset(text + 1, '*', 3);
  memcpy(text + 6, "ab", 2);
  Print("memset and memcpy: %s, length %lu\n", text, static_cast<unsigned long>(strlen(text)));
  const unsigned char low[] = {1, 2, 0x7F};
  const unsigned char high[] = {1, 2, 0x80};
  Print("memcmp: %d %d %d\n", memcmp(low, high, 3) < 0 ? -1 : 1, memcmp(high, low, 3) > 0 ? 1 : -1,
        memcmp(low, high, 2));
  Print("strlen: %lu %lu\n", static_cast<unsigned long>(strlen("")),
        static_cast<unsigned long>(strlen("seven c")));
}

// Reads the whole file into buffer; prints its length and text.
void ShowContent(const char* step, const char* name) {
  char buffer[64] = {};
  platform::File* file = platform::OpenFile(name, FileMode::ReadBinary);
  if (file == nullptr) {
    PrintOutcome(step, false);
    return;
  }
  size_t length = platform::ReadFile(file, buffer, sizeof buffer - 1);
  platform::CloseFile(file);
  Print("%s: %lu bytes [%s]\n", step, static_cast<unsigned long>(length), buffer);
}

void WriteWholeFile(const char* name, FileMode mode, const char* text) {
  platform::File* file = platform::OpenFile(name, mode);
  PrintOutcome("open for writing", file != nullptr);
  if (file != nullptr) {
    size_t written = platform::WriteFile(file, text, strlen(text));
    Print("written %lu of %lu\n", static_cast<unsigned long>(written),
          static_cast<unsigned long>(strlen(text)));
    PrintOutcome("close", platform::CloseFile(file));
  }
}

void SeekAndRead() {
  platform::File* file = platform::OpenFile("cf_a.bin", FileMode::WriteBinary);
  PrintOutcome("create cf_a.bin", file != nullptr);
  if (file == nullptr) {
    return;
  }
  Print("write: %lu\n", static_cast<unsigned long>(platform::WriteFile(file, "0123456789", 10)));
  Print("tell after write: %ld\n", platform::TellFile(file));
  char piece[8] = {};
  PrintOutcome("seek begin 3", platform::SeekFile(file, 3, SeekOrigin::Begin));
  Print("read 4: %lu [%s]\n", static_cast<unsigned long>(platform::ReadFile(file, piece, 4)),
        piece);
  Print("tell: %ld\n", platform::TellFile(file));
  PrintOutcome("seek current -2", platform::SeekFile(file, -2, SeekOrigin::Current));
  Print("tell: %ld\n", platform::TellFile(file));
  PrintOutcome("seek end -1", platform::SeekFile(file, -1, SeekOrigin::End));
  memset(piece, 0, sizeof piece);
  Print("read at end: %lu [%s]\n", static_cast<unsigned long>(platform::ReadFile(file, piece, 4)),
        piece);
  Print("read past end: %lu\n", static_cast<unsigned long>(platform::ReadFile(file, piece, 4)));
  PrintOutcome("seek before start", platform::SeekFile(file, -20, SeekOrigin::Begin));
  PrintOutcome("seek end 0", platform::SeekFile(file, 0, SeekOrigin::End));
  Print("append 2: %lu\n", static_cast<unsigned long>(platform::WriteFile(file, "AB", 2)));
  PrintOutcome("flush", platform::FlushFile(file));
  PrintOutcome("close", platform::CloseFile(file));
  ShowContent("content", "cf_a.bin");
}

void OpenModes() {
  WriteWholeFile("cf_a.bin", FileMode::WriteBinary, "xy");
  ShowContent("after w+b of an existing file", "cf_a.bin");
  platform::File* file = platform::OpenFile("cf_a.bin", FileMode::ReadWriteBinary);
  PrintOutcome("open r+b", file != nullptr);
  if (file != nullptr) {
    platform::SeekFile(file, 1, SeekOrigin::Begin);
    platform::WriteFile(file, "Z", 1);
    platform::CloseFile(file);
  }
  ShowContent("after r+b", "cf_a.bin");
  file = platform::OpenFile("cf_a.bin", FileMode::AppendBinary);
  PrintOutcome("open ab", file != nullptr);
  if (file != nullptr) {
    platform::WriteFile(file, "12", 2);
    platform::SeekFile(file, 0, SeekOrigin::Begin);
    platform::WriteFile(file, "34", 2);
    platform::CloseFile(file);
  }
  ShowContent("after ab", "cf_a.bin");
  WriteWholeFile("cf_new.bin", FileMode::AppendBinary, "new");
  ShowContent("ab creates", "cf_new.bin");
  PrintOutcome("open rb of a missing file",
               platform::OpenFile("cf_missing.bin", FileMode::ReadBinary) != nullptr);
  PrintOutcome("open r+b of a missing file",
               platform::OpenFile("cf_missing.bin", FileMode::ReadWriteBinary) != nullptr);
}

void RenameAndDelete() {
  PrintOutcome("rename a to b", platform::RenameFile("cf_a.bin", "cf_b.bin"));
  PrintOutcome("open the old name",
               platform::OpenFile("cf_a.bin", FileMode::ReadBinary) != nullptr);
  ShowContent("new name", "cf_b.bin");
  PrintOutcome("rename over an existing file", platform::RenameFile("cf_b.bin", "cf_new.bin"));
  ShowContent("replaced target", "cf_new.bin");
  PrintOutcome("rename a missing file", platform::RenameFile("cf_b.bin", "cf_c.bin"));
  PrintOutcome("delete", platform::DeleteFile("cf_new.bin"));
  PrintOutcome("delete again", platform::DeleteFile("cf_new.bin"));
}

bool Exists(const char* name) {
  platform::File* file = platform::OpenFile(name, FileMode::ReadBinary);
  if (file != nullptr) {
    platform::CloseFile(file);
  }
  return file != nullptr;
}

// How the save engine replaces a file: the data goes to "<name>.tmp", which is then renamed
// over the old file. The old content, longer than the new, must be gone entirely, and no
// intermediate name (the temporary file or a backup of the old one) may stay behind.
void SaveStyleReplace() {
  WriteWholeFile("cf_save.bin", FileMode::WriteBinary, "old content, longer than the new one");
  WriteWholeFile("cf_save.bin.tmp", FileMode::WriteBinary, "new content");
  PrintOutcome("rename the temporary file into place",
               platform::RenameFile("cf_save.bin.tmp", "cf_save.bin"));
  ShowContent("replaced by the save", "cf_save.bin");
  Print("temporary file left: %d, backup left: %d\n", Exists("cf_save.bin.tmp") ? 1 : 0,
        Exists("cf_save.bin~") ? 1 : 0);
  PrintOutcome("rename a missing temporary file over it",
               platform::RenameFile("cf_save.bin.tmp", "cf_save.bin"));
  ShowContent("kept after the failed rename", "cf_save.bin");
  PrintOutcome("delete the saved file", platform::DeleteFile("cf_save.bin"));
}

// New files beside a user's file take a name that nothing has: the user's "<name>.tmp" and
// "<name>~" (the UEFI rename's backup) stay as they are, and a name of 255 characters still
// gets a temporary file of its own.
void FreshFiles() {
  WriteWholeFile("cf_keep.bin", FileMode::WriteBinary, "old");
  WriteWholeFile("cf_keep.bin.tmp", FileMode::WriteBinary, "user's tmp");
  WriteWholeFile("cf_keep.bin~", FileMode::WriteBinary, "user's backup");
  char chosen[300];
  platform::File* file =
      platform::CreateFreshFileBeside("cf_keep.bin", ".tmp", chosen, sizeof chosen);
  PrintOutcome("create a fresh file", file != nullptr);
  if (file != nullptr) {
    Print("fresh name: %s\n", chosen);
    platform::WriteFile(file, "fresh", 5);
    platform::CloseFile(file);
    PrintOutcome("rename it over the old file", platform::RenameFile(chosen, "cf_keep.bin"));
  }
  ShowContent("renamed fresh file", "cf_keep.bin");
  ShowContent("user's tmp", "cf_keep.bin.tmp");
  ShowContent("user's backup", "cf_keep.bin~");
  Print("fresh name left: %d, other backup left: %d\n", Exists(chosen) ? 1 : 0,
        Exists("cf_keep.bin.1~") ? 1 : 0);
  const char* names[] = {"cf_keep.bin", "cf_keep.bin.tmp", "cf_keep.bin~"};
  for (const char* name : names) {
    platform::DeleteFile(name);
  }

  char longName[256];
  memset(longName, 'L', 251);
  memcpy(longName + 251, ".bin", 5);
  file = platform::CreateFreshFileBeside(longName, ".tmp", chosen, sizeof chosen);
  PrintOutcome("fresh file beside a 255-character name", file != nullptr);
  if (file != nullptr) {
    Print("its name: %lu characters, ends %s\n", static_cast<unsigned long>(strlen(chosen)),
          chosen + strlen(chosen) - 8);
    platform::CloseFile(file);
    PrintOutcome("rename it to the long name", platform::RenameFile(chosen, longName));
    PrintOutcome("delete the long name", platform::DeleteFile(longName));
  }
}

void Directories() {
  PrintOutcome("create directory", platform::CreateDirectory("cf_dir"));
  PrintOutcome("create it again", platform::CreateDirectory("cf_dir"));
  WriteWholeFile("cf_dir/inner.bin", FileMode::WriteBinary, "inner");
  PrintOutcome("rename inside the directory",
               platform::RenameFile("cf_dir/inner.bin", "cf_dir/renamed.bin"));
  ShowContent("file in the directory", "cf_dir/renamed.bin");
  // A save refuses, before it reads, a name that can never take its file.
  char tooLong[300];
  memset(tooLong, 'L', 256);
  tooLong[256] = '\0';
  Print("can create: the directory %d, a file in it %d, a new file %d, 256 characters %d\n",
        platform::CanCreateFile("cf_dir") ? 1 : 0,
        platform::CanCreateFile("cf_dir/renamed.bin") ? 1 : 0,
        platform::CanCreateFile("cf_dir/new.bin") ? 1 : 0,
        platform::CanCreateFile(tooLong) ? 1 : 0);
  PrintOutcome("delete in the directory", platform::DeleteFile("cf_dir/renamed.bin"));
}

// Larger than any one transfer of the backends, so that the pieces must join up.
void LargeFile() {
  static unsigned char data[20000];
  static unsigned char back[20000];
  for (size_t i = 0; i < sizeof data; ++i) {
    data[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
  }
  platform::File* file = platform::OpenFile("cf_large.bin", FileMode::WriteBinary);
  if (file == nullptr) {
    PrintOutcome("create cf_large.bin", false);
    return;
  }
  size_t written = platform::WriteFile(file, data, sizeof data);
  platform::SeekFile(file, 0, SeekOrigin::Begin);
  size_t read = 0;
  for (size_t piece; (piece = platform::ReadFile(file, back + read, 1000)) > 0;) {
    read += piece;
  }
  platform::SeekFile(file, 0, SeekOrigin::End);
  Print("large file: written %lu, read %lu, size %ld, same %d\n",
        static_cast<unsigned long>(written), static_cast<unsigned long>(read),
        platform::TellFile(file), memcmp(data, back, sizeof data) == 0 ? 1 : 0);
  platform::CloseFile(file);
  platform::DeleteFile("cf_large.bin");
}

// The test reads the text files back itself: their line ends differ by backend.
void TextFiles() {
  WriteWholeFile("cf_text.txt", FileMode::WriteText, "first line\nsecond line\nthird line\n");
  WriteWholeFile("cf_trunc.txt", FileMode::WriteText,
                 "a long first text\nthat the next open must remove\n");
  WriteWholeFile("cf_trunc.txt", FileMode::WriteText, "short\n");
}

void LineInput() {
  char line[200];
  size_t length = 0;
  int lines = 0;
  for (int c; (c = platform::ReadChar()) != platform::kEndOfInput;) {
    if (c == '\n') {
      line[length] = '\0';
      Print("input %d: [%s]\n", ++lines, line);
      length = 0;
    } else if (length + 1 < sizeof line) {
      line[length++] = static_cast<char>(c);
    }
  }
  if (length > 0) {
    line[length] = '\0';
    Print("input %d without line end: [%s]\n", ++lines, line);
  }
  int after = platform::ReadChar();
  Print("after the end: %d %d\n", after, platform::ReadChar());
}

void Clock() {
  int64_t first = platform::CalendarSeconds();
  platform::Date date = platform::LocalDate();
  int64_t second = platform::CalendarSeconds();
  Print("~date %04d-%02d-%02d\n", date.year, date.month, date.day);
  Print("~seconds %lld\n", static_cast<long long>(first));
  Print("clock does not go back: %d\n", second >= first ? 1 : 0);
  Print("date fields in range: %d\n",
        date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31 ? 1 : 0);
}

}  // namespace

void ProgramMain(int argc, char** argv) {
  Print("conformance: console before the report file\n");
  platform::PrintError("conformance: error stream before the report file\n");
  if (argc < 2) {
    platform::PrintError("usage: %s <result file>\n", argv[0]);
    platform::Exit(1);
  }
  platform::File* results = platform::OpenFile(argv[1], FileMode::WriteText);
  if (results == nullptr) {
    platform::PrintSystemError("ERROR: Can't open file");
    platform::Exit(2);
  }
  platform::RedirectConsole(results);
  Print("global constructor ran: %d\n", startProbe.value);
  Print("-- format\n");
  FormatIntegers();
  FormatTexts();
  FormatFloatingPoint();
  FormatIntoBuffers();
  ParseNumbers();
  MemoryFunctions();
  Print("-- files\n");
  SeekAndRead();
  OpenModes();
  RenameAndDelete();
  SaveStyleReplace();
  FreshFiles();
  Directories();
  LargeFile();
  TextFiles();
  Print("-- console\n");
  platform::PrintError("error stream into the report file\n");
  Print("standard output after it\n");
  platform::Flush(platform::Stream::Out);
  LineInput();
  Print("-- clock\n");
  Clock();
  Print("-- end\n");
  platform::Exit(kConformanceExitCode);
}
