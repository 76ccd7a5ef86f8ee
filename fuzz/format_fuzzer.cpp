// Our printf formatter against the C library's snprintf: the program's own message formats and
// some harder flag, width and precision combinations, with arguments and the buffer capacity
// taken from the input. Same text, same terminator, same length, no write beyond the capacity.
#include <cstdio>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "platform/format.h"

namespace {

// Texts for "%.Ns": exactly N bytes, without a terminator unless the input put one there.
constexpr size_t kBoundedSizes[] = {4, 11, 18, 40};

struct Arguments {
  int i[4];
  unsigned u[8];
  long l[2];
  unsigned long ul[4];
  long long ll;
  size_t z;
  double d[2];
  int width;      // for '*': kept to a few hundred columns
  int precision;  // for '.*'
  char s[2][64];  // terminated texts
  std::unique_ptr<char[]> bounded[4];
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    uint8_t bytes[sizeof(T)] = {};
    for (size_t k = 0; k < sizeof(T) && used_ < size_; ++k) {
      bytes[k] = data_[used_++];
    }
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }
  void TakeText(char* text, size_t capacity) {
    const size_t length = Take<uint8_t>() % capacity;
    for (size_t k = 0; k < length; ++k) {
      text[k] = char(Take<uint8_t>());
    }
    text[length] = 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

void Fill(Input* input, Arguments* a) {
  for (int& value : a->i) {
    value = input->Take<int>();
  }
  for (unsigned& value : a->u) {
    value = input->Take<unsigned>();
  }
  for (long& value : a->l) {
    value = input->Take<long>();
  }
  for (unsigned long& value : a->ul) {
    value = input->Take<unsigned long>();
  }
  a->ll = input->Take<long long>();
  a->z = input->Take<size_t>();
  for (double& value : a->d) {
    value = input->Take<double>();
  }
  a->width = input->Take<int16_t>() % 301;
  a->precision = input->Take<int16_t>() % 301;
  for (char* text : a->s) {
    input->TakeText(text, sizeof a->s[0]);
  }
  for (size_t k = 0; k < 4; ++k) {
    a->bounded[k].reset(new char[kBoundedSizes[k]]);
    for (size_t c = 0; c < kBoundedSizes[k]; ++c) {
      a->bounded[k][c] = char(input->Take<uint8_t>());
    }
  }
}

using FormatCall = long (*)(char* out, size_t capacity, const Arguments& a, bool ours);

// The same format and arguments go to both formatters; the compiler checks the types once.
#define FORMAT_CASE(format, ...)                                                   \
  [](char* out, size_t capacity, const Arguments& a, bool ours) -> long {          \
    return ours ? long(platform::FormatString(out, capacity, format, __VA_ARGS__)) \
                : long(std::snprintf(out, capacity, format, __VA_ARGS__));         \
  }

const FormatCall kFormats[] = {
    FORMAT_CASE("Total time needed: %.f seconds\n", a.d[0]),
    FORMAT_CASE(" %s: %.2f degree C, log: %lu h %lu min, alarm: %lu h %lu min\n", a.s[0], a.d[0],
                a.ul[0], a.ul[1], a.ul[2], a.ul[3]),
    FORMAT_CASE("<Firmware Dev=\"%04u\" Ver=\"%u\" Use=\"%s\" Fct=\"%c\" Var=\"%u\" Len=\"%lu\" "
                "Chk=\"0x%04x\" Mat=\"%.18s\" Dat=\"%02u.%02u.%04u\" Rem=\"%s\"/>",
                a.u[0], a.u[1], a.s[0], a.i[0], a.u[2], a.ul[0], a.u[3], a.bounded[2].get(), a.u[4],
                a.u[5], a.u[6], a.s[1]),
    FORMAT_CASE("%05lu%c%u.%s", a.ul[0], a.i[0], a.u[0], a.s[0]),
    FORMAT_CASE("%04x%04u.bin", a.u[0], a.u[1]),
    FORMAT_CASE(" Model number: %.40s\n Serial number: %.11s\n Hardware revision: %.4s\n",
                a.bounded[3].get(), a.bounded[1].get(), a.bounded[0].get()),
    FORMAT_CASE(" Device ID: 0x%08lx\n Compatibility ID: 0x%04x\n", a.ul[0], a.u[0]),
    FORMAT_CASE("ERROR: Invalid address 0x%lx (must be multiple of %d).\n", a.ul[0], a.i[0]),
    FORMAT_CASE("%02x: %02x %02x", a.u[0], a.u[1], a.u[2]),
    FORMAT_CASE("%-51s%s\n", a.s[0], a.s[1]),
    FORMAT_CASE("%s Cmd:0x%x Addr:0x%04x DevNum:0x%x Target:0x%x Size:0x%x\n", a.s[0], a.u[0],
                a.u[1], a.u[2], a.u[3], a.u[4]),
    FORMAT_CASE("\b\b\b\b%3d%%", a.i[0]),
    FORMAT_CASE("Too less data to test checksum (%d bytes vs. %d bytes).\n", a.i[0], a.i[1]),
    FORMAT_CASE("%d.%02d %u.%02u", a.i[0], a.i[1], a.u[0], a.u[1]),
    FORMAT_CASE("ERROR: Invalid file size: > %ld bytes.\n", a.l[0]),
    FORMAT_CASE("ERROR: Unknown option '%c'.\n", a.i[0]),
    FORMAT_CASE("%*d|%-*u|%0*x", a.width, a.i[0], a.width, a.u[0], a.width, a.u[1]),
    FORMAT_CASE("%-*.*s|%.*s", a.width, a.precision, a.s[0], a.precision, a.s[1]),
    FORMAT_CASE("%+.*e|%#g|%G|% 08.3f", a.precision, a.d[0], a.d[1], a.d[0], a.d[1]),
    FORMAT_CASE("%*.*f|%-+10.4E|%.0e", a.width, a.precision, a.d[0], a.d[1], a.d[1]),
    FORMAT_CASE("%.*g|%#.0f|%010.3g", a.precision, a.d[0], a.d[1], a.d[0]),
    FORMAT_CASE("%#o|%#x|%#X|%+d|% d|%.0d|%.0u", a.u[0], a.u[1], a.u[2], a.i[0], a.i[1], a.i[2],
                a.u[3]),
    FORMAT_CASE("%lld|%zu|%hhd|%hd|%hu|%hhx|%.*ld", a.ll, a.z, static_cast<signed char>(a.i[0]),
                static_cast<short>(a.i[1]), static_cast<unsigned short>(a.u[0]),
                static_cast<unsigned char>(a.u[1]), a.precision, a.l[1]),
    FORMAT_CASE("%p|%-20p|%c%c", reinterpret_cast<void*>(a.ul[0]), reinterpret_cast<void*>(a.ul[1]),
                a.i[1], a.i[2]),
};

constexpr size_t kFormatCount = sizeof kFormats / sizeof kFormats[0];
constexpr size_t kLargeCapacity = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 1024) {
    return 0;
  }
  const FormatCall call = kFormats[data[0] % kFormatCount];
  // Small capacities cut the text; the rest must hold it whole.
  const size_t capacity = data[1] < 0xC0 ? data[1] : kLargeCapacity;
  Input input(data + 2, size - 2);
  Arguments arguments{};
  Fill(&input, &arguments);

  // Each result in a block of exactly the capacity, so that a write beyond it is caught.
  const size_t allocated = capacity == 0 ? 1 : capacity;
  std::unique_ptr<char[]> expected(new char[allocated]);
  std::unique_ptr<char[]> actual(new char[allocated]);
  std::memset(expected.get(), 0x5A, allocated);
  std::memset(actual.get(), 0x5A, allocated);
  const long expectedLength = call(expected.get(), capacity, arguments, false);
  const long actualLength = call(actual.get(), capacity, arguments, true);
  FUZZ_CHECK(expectedLength >= 0);
  FUZZ_CHECK(actualLength == expectedLength);
  FUZZ_CHECK(std::memcmp(expected.get(), actual.get(), allocated) == 0);
  return 0;
}
