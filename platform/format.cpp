// Our own printf engine: reads each conversion specification, fetches its argument and lays out
// the text exactly as the host C library does, handing it to the sink in pieces.
#include "platform/format.h"

#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/format_decimal.h"

namespace platform {
namespace {

enum class Length { Default, Char, Short, Long, LongLong, Size, PtrDiff, IntMax };

struct Spec {
  bool left = false;       // '-'
  bool plus = false;       // '+'
  bool space = false;      // ' '
  bool alternate = false;  // '#'
  bool zero = false;       // '0'
  size_t width = 0;
  int precision = -1;  // -1: none given
  Length length = Length::Default;
  char conversion = 0;  // 0: the format ended inside the specification
};

struct Output {
  FormatSink* sink;
  size_t count;
};

// ---- Output pieces -----------------------------------------------------------------------

constexpr char kSpaces[] = "                                ";
constexpr char kZeros[] = "00000000000000000000000000000000";
constexpr size_t kRunLength = sizeof(kSpaces) - 1;

void Put(Output* out, const char* data, size_t length) {
  if (length > 0) {
    out->sink->put(out->sink, data, length);
    out->count += length;
  }
}

void PutChar(Output* out, char c) {
  Put(out, &c, 1);
}

void PutRun(Output* out, const char* run, size_t length) {
  while (length > 0) {
    size_t piece = length < kRunLength ? length : kRunLength;
    Put(out, run, piece);
    length -= piece;
  }
}

void PutSpaces(Output* out, size_t length) {
  PutRun(out, kSpaces, length);
}
void PutZeros(Output* out, size_t length) {
  PutRun(out, kZeros, length);
}

size_t FillFor(const Spec& spec, size_t body) {
  return spec.width > body ? spec.width - body : 0;
}

void PadBefore(Output* out, const Spec& spec, size_t body) {
  if (!spec.left) {
    PutSpaces(out, FillFor(spec, body));
  }
}

void PadAfter(Output* out, const Spec& spec, size_t body) {
  if (spec.left) {
    PutSpaces(out, FillFor(spec, body));
  }
}

// Zeros that the '0' flag adds between sign and digits; it yields to '-'.
size_t ZeroFill(const Spec& spec, size_t body) {
  return spec.zero && !spec.left ? FillFor(spec, body) : 0;
}

// Text padded to the field width with spaces.
void PutField(Output* out, const Spec& spec, const char* text, size_t length) {
  PadBefore(out, spec, length);
  Put(out, text, length);
  PadAfter(out, spec, length);
}

// ---- Specification -----------------------------------------------------------------------

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Saturates instead of overflowing; the C library rejects such widths anyway.
const char* ReadCount(const char* p, size_t* value) {
  constexpr size_t kLimit = std::numeric_limits<int>::max();
  *value = 0;
  while (IsDigit(*p)) {
    *value = *value * 10 + static_cast<size_t>(*p - '0');
    if (*value > kLimit) {
      *value = kLimit;
    }
    ++p;
  }
  return p;
}

const char* ReadFlags(const char* p, Spec* spec) {
  for (;; ++p) {
    switch (*p) {
      case '-':
        spec->left = true;
        break;
      case '+':
        spec->plus = true;
        break;
      case ' ':
        spec->space = true;
        break;
      case '#':
        spec->alternate = true;
        break;
      case '0':
        spec->zero = true;
        break;
      case '\'':  // digit grouping: the C locale has no separator
        break;
      default:
        return p;
    }
  }
}

const char* ReadWidth(const char* p, Spec* spec, va_list* args) {
  if (*p != '*') {
    return ReadCount(p, &spec->width);
  }
  int width = va_arg(*args, int);
  if (width < 0) {
    spec->left = true;
    spec->width = static_cast<size_t>(-static_cast<long long>(width));
  } else {
    spec->width = static_cast<size_t>(width);
  }
  return p + 1;
}

const char* ReadPrecision(const char* p, Spec* spec, va_list* args) {
  if (*p != '.') {
    return p;
  }
  ++p;
  if (*p == '*') {
    int precision = va_arg(*args, int);
    spec->precision = precision < 0 ? -1 : precision;
    return p + 1;
  }
  size_t precision = 0;
  p = ReadCount(p, &precision);
  spec->precision = static_cast<int>(precision);
  return p;
}

const char* ReadLength(const char* p, Spec* spec) {
  switch (*p) {
    case 'h':
      if (p[1] == 'h') {
        spec->length = Length::Char;
        return p + 2;
      }
      spec->length = Length::Short;
      return p + 1;
    case 'l':
      if (p[1] == 'l') {
        spec->length = Length::LongLong;
        return p + 2;
      }
      spec->length = Length::Long;
      return p + 1;
    case 'z':
      spec->length = Length::Size;
      return p + 1;
    case 't':
      spec->length = Length::PtrDiff;
      return p + 1;
    case 'j':
      spec->length = Length::IntMax;
      return p + 1;
    default:
      return p;
  }
}

// p points behind the '%'; returns the position behind the conversion character.
const char* ReadSpec(const char* p, Spec* spec, va_list* args) {
  p = ReadFlags(p, spec);
  p = ReadWidth(p, spec, args);
  p = ReadPrecision(p, spec, args);
  p = ReadLength(p, spec);
  spec->conversion = *p;
  return *p == '\0' ? p : p + 1;
}

// ---- Integers ----------------------------------------------------------------------------

struct Integer {
  uint64_t magnitude;
  bool negative;
};

template <typename T>
Integer FromSigned(T value) {
  auto bits = static_cast<uint64_t>(static_cast<int64_t>(value));
  return value < 0 ? Integer{0 - bits, true} : Integer{bits, false};
}

Integer ReadSigned(Length length, va_list* args) {
  switch (length) {
    case Length::Char:
      return FromSigned(static_cast<signed char>(va_arg(*args, int)));
    case Length::Short:
      return FromSigned(static_cast<short>(va_arg(*args, int)));
    case Length::Long:
      return FromSigned(va_arg(*args, long));
    case Length::LongLong:
      return FromSigned(va_arg(*args, long long));
    case Length::Size:
      return FromSigned(va_arg(*args, std::make_signed_t<size_t>));
    case Length::PtrDiff:
      return FromSigned(va_arg(*args, ptrdiff_t));
    case Length::IntMax:
      return FromSigned(va_arg(*args, intmax_t));
    case Length::Default:
      break;
  }
  return FromSigned(va_arg(*args, int));
}

uint64_t ReadUnsigned(Length length, va_list* args) {
  switch (length) {
    case Length::Char:
      return static_cast<unsigned char>(va_arg(*args, unsigned));
    case Length::Short:
      return static_cast<unsigned short>(va_arg(*args, unsigned));
    case Length::Long:
      return va_arg(*args, unsigned long);
    case Length::LongLong:
      return va_arg(*args, unsigned long long);
    case Length::Size:
      return va_arg(*args, size_t);
    case Length::PtrDiff:
      return va_arg(*args, std::make_unsigned_t<ptrdiff_t>);
    case Length::IntMax:
      return va_arg(*args, uintmax_t);
    case Length::Default:
      break;
  }
  return va_arg(*args, unsigned);
}

struct IntegerStyle {
  unsigned base;
  bool upper;
  bool signed_conversion;  // '+' and ' ' apply
  bool hex_prefix;         // "0x" before nonzero values
};

constexpr char kLowerDigits[] = "0123456789abcdef";
constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr size_t kMaxIntegerDigits = 22;  // octal 2^64 - 1

// Writes the digits right-aligned before `end`; returns how many.
size_t WriteDigits(uint64_t value, const IntegerStyle& style, char* end) {
  const char* table = style.upper ? kUpperDigits : kLowerDigits;
  size_t count = 0;
  do {
    *--end = table[value % style.base];
    value /= style.base;
    ++count;
  } while (value != 0);
  return count;
}

size_t WritePrefix(const Spec& spec, Integer value, const IntegerStyle& style, char* prefix) {
  size_t length = 0;
  if (value.negative) {
    prefix[length++] = '-';
  } else if (style.signed_conversion && spec.plus) {
    prefix[length++] = '+';
  } else if (style.signed_conversion && spec.space) {
    prefix[length++] = ' ';
  }
  if (style.hex_prefix && value.magnitude != 0) {
    prefix[length++] = '0';
    prefix[length++] = style.upper ? 'X' : 'x';
  }
  return length;
}

void FormatInteger(Output* out, const Spec& spec, Integer value, const IntegerStyle& style) {
  char digits[kMaxIntegerDigits];
  char* end = digits + kMaxIntegerDigits;
  // An explicit precision of 0 prints nothing for 0.
  size_t digit_count =
      spec.precision == 0 && value.magnitude == 0 ? 0 : WriteDigits(value.magnitude, style, end);
  const char* first = end - digit_count;

  char prefix[3];
  size_t prefix_length = WritePrefix(spec, value, style, prefix);

  size_t precision = spec.precision < 0 ? 0 : static_cast<size_t>(spec.precision);
  size_t zeros = precision > digit_count ? precision - digit_count : 0;
  // '#' with octal makes the first digit a zero.
  if (style.base == 8 && spec.alternate && zeros == 0 && (digit_count == 0 || *first != '0')) {
    zeros = 1;
  }
  size_t body = prefix_length + zeros + digit_count;
  if (spec.precision < 0) {
    size_t fill = ZeroFill(spec, body);
    zeros += fill;
    body += fill;
  }
  PadBefore(out, spec, body);
  Put(out, prefix, prefix_length);
  PutZeros(out, zeros);
  Put(out, first, digit_count);
  PadAfter(out, spec, body);
}

void FormatSignedConversion(Output* out, const Spec& spec, va_list* args) {
  FormatInteger(out, spec, ReadSigned(spec.length, args), {10, false, true, false});
}

void FormatUnsignedConversion(Output* out, const Spec& spec, va_list* args) {
  Integer value{ReadUnsigned(spec.length, args), false};
  switch (spec.conversion) {
    case 'o':
      return FormatInteger(out, spec, value, {8, false, false, false});
    case 'x':
      return FormatInteger(out, spec, value, {16, false, false, spec.alternate});
    case 'X':
      return FormatInteger(out, spec, value, {16, true, false, spec.alternate});
    default:
      return FormatInteger(out, spec, value, {10, false, false, false});
  }
}

constexpr char kNullPointer[] = "(nil)";

// Like "%#lx", where '+' and ' ' still apply; a null pointer is "(nil)".
void FormatPointer(Output* out, const Spec& spec, va_list* args) {
  const void* pointer = va_arg(*args, void*);
  if (pointer == nullptr) {
    return PutField(out, spec, kNullPointer, sizeof(kNullPointer) - 1);
  }
  Integer value{reinterpret_cast<uintptr_t>(pointer), false};
  FormatInteger(out, spec, value, {16, false, true, true});
}

// ---- Characters and strings --------------------------------------------------------------

void FormatChar(Output* out, const Spec& spec, va_list* args) {
  char c = static_cast<char>(static_cast<unsigned char>(va_arg(*args, int)));
  PutField(out, spec, &c, 1);
}

constexpr char kNullString[] = "(null)";

size_t BoundedLength(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') {
    ++length;
  }
  return length;
}

void FormatStringArgument(Output* out, const Spec& spec, va_list* args) {
  const char* text = va_arg(*args, const char*);
  size_t limit =
      spec.precision < 0 ? std::numeric_limits<size_t>::max() : static_cast<size_t>(spec.precision);
  if (text == nullptr) {
    // The C library prints "(null)" only when the precision leaves room for all of it.
    text = limit >= sizeof(kNullString) - 1 ? kNullString : "";
  }
  PutField(out, spec, text, BoundedLength(text, limit));
}

// ---- Floating point ----------------------------------------------------------------------

// Digits past the 767 significant ones of a double are zeros; rounding needs no more.
constexpr int kRoundingPrecisionLimit = kMaxDecimalDigits + 400;
constexpr int kDefaultPrecision = 6;

// What follows the sign: "ddd.fff" or "d.fffe+XX".
struct FloatLayout {
  const DecimalDigits* digits;
  bool exponent_form;
  bool point;
  bool upper;
  size_t fraction_digits;
};

int LeadingExponent(const DecimalDigits& digits) {
  return digits.count == 0 ? 0 : digits.exponent;
}

size_t IntegerDigitCount(const DecimalDigits& digits) {
  return digits.count > 0 && digits.exponent >= 0 ? static_cast<size_t>(digits.exponent) + 1 : 1;
}

size_t ExponentDigitCount(int exponent) {
  int magnitude = exponent < 0 ? -exponent : exponent;
  return magnitude >= 100 ? 3 : 2;
}

size_t LayoutLength(const FloatLayout& layout) {
  size_t length = (layout.point ? 1 : 0) + layout.fraction_digits;
  if (layout.exponent_form) {
    // leading digit, 'e', exponent sign, exponent digits
    return length + 3 + ExponentDigitCount(LeadingExponent(*layout.digits));
  }
  return length + IntegerDigitCount(*layout.digits);
}

// Digits[from .. from + length) where indexes outside the stored digits are zeros.
void PutDigitRange(Output* out, const DecimalDigits& digits, long long from, size_t length) {
  if (from < 0) {
    size_t zeros =
        static_cast<unsigned long long>(-from) < length ? static_cast<size_t>(-from) : length;
    PutZeros(out, zeros);
    from += static_cast<long long>(zeros);
    length -= zeros;
  }
  if (from < digits.count && length > 0) {
    size_t available = static_cast<size_t>(digits.count - from);
    size_t piece = available < length ? available : length;
    Put(out, digits.digits + from, piece);
    length -= piece;
  }
  PutZeros(out, length);
}

void PutExponent(Output* out, int exponent, bool upper) {
  char text[5];
  size_t length = 0;
  text[length++] = upper ? 'E' : 'e';
  text[length++] = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude >= 100) {
    text[length++] = static_cast<char>('0' + magnitude / 100);
  }
  text[length++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[length++] = static_cast<char>('0' + magnitude % 10);
  Put(out, text, length);
}

void PutLayout(Output* out, const FloatLayout& layout) {
  const DecimalDigits& digits = *layout.digits;
  long long fraction_start = 1;
  if (layout.exponent_form) {
    PutDigitRange(out, digits, 0, 1);
  } else {
    size_t integer_digits = IntegerDigitCount(digits);
    PutDigitRange(out, digits, digits.count > 0 && digits.exponent >= 0 ? 0 : -1, integer_digits);
    fraction_start = digits.count > 0 ? digits.exponent + 1LL : 0;
  }
  if (layout.point) {
    PutChar(out, '.');
  }
  PutDigitRange(out, digits, fraction_start, layout.fraction_digits);
  if (layout.exponent_form) {
    PutExponent(out, LeadingExponent(digits), layout.upper);
  }
}

int RoundingPrecision(long long precision) {
  return static_cast<int>(precision < kRoundingPrecisionLimit ? precision
                                                              : kRoundingPrecisionLimit);
}

// %g: the shorter of %e and %f by the exponent after rounding, trailing zeros removed unless '#'.
void ChooseGeneralLayout(const Spec& spec, long long precision, FloatLayout* layout) {
  const DecimalDigits& digits = *layout->digits;
  long long significant = precision == 0 ? 1 : precision;
  long long exponent = LeadingExponent(digits);
  layout->exponent_form = !(significant > exponent && exponent >= -4);
  long long fraction = layout->exponent_form ? significant - 1 : significant - 1 - exponent;
  // The C library decides on the fraction digits before rounding: when a value with all its
  // significant digits before the point rounds up to a new power of ten, '#' keeps none.
  if (spec.alternate && digits.carried && exponent == significant) {
    fraction = 0;
  }
  if (!spec.alternate) {
    long long stored = layout->exponent_form ? digits.count - 1LL : digits.count - 1LL - exponent;
    if (stored < fraction) {
      fraction = stored < 0 ? 0 : stored;
    }
  }
  layout->fraction_digits = static_cast<size_t>(fraction);
  layout->point = fraction > 0 || spec.alternate;
}

FloatLayout ChooseLayout(const Spec& spec, double value, DecimalDigits* digits) {
  long long precision = spec.precision < 0 ? kDefaultPrecision : spec.precision;
  FloatLayout layout{digits, false, false, spec.conversion >= 'A' && spec.conversion <= 'Z', 0};
  switch (spec.conversion) {
    case 'e':
    case 'E':
      RoundToDecimal(value, DigitCut::Significant, RoundingPrecision(precision + 1), digits);
      layout.exponent_form = true;
      break;
    case 'g':
    case 'G':
      RoundToDecimal(value, DigitCut::Significant,
                     RoundingPrecision(precision == 0 ? 1 : precision), digits);
      ChooseGeneralLayout(spec, precision, &layout);
      return layout;
    default:
      RoundToDecimal(value, DigitCut::AfterPoint, RoundingPrecision(precision), digits);
      break;
  }
  layout.fraction_digits = static_cast<size_t>(precision);
  layout.point = precision > 0 || spec.alternate;
  return layout;
}

bool IsNegative(double value) {
  return (std::bit_cast<uint64_t>(value) >> 63) != 0;
}

bool IsFinite(double value) {
  constexpr uint64_t kExponentBits = uint64_t{0x7ff} << 52;
  return (std::bit_cast<uint64_t>(value) & kExponentBits) != kExponentBits;
}

bool IsNan(double value) {
  constexpr uint64_t kMantissaBits = (uint64_t{1} << 52) - 1;
  return !IsFinite(value) && (std::bit_cast<uint64_t>(value) & kMantissaBits) != 0;
}

char SignFor(const Spec& spec, bool negative) {
  return negative ? '-' : spec.plus ? '+' : spec.space ? ' ' : '\0';
}

// "inf" and "nan" keep their sign but are padded with spaces only.
void FormatNonFinite(Output* out, const Spec& spec, double value, char sign) {
  bool upper = spec.conversion >= 'A' && spec.conversion <= 'Z';
  const char* word = IsNan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
  char text[4];
  size_t length = 0;
  if (sign != '\0') {
    text[length++] = sign;
  }
  memcpy(text + length, word, 3);
  PutField(out, spec, text, length + 3);
}

void FormatFloat(Output* out, const Spec& spec, va_list* args) {
  double value = va_arg(*args, double);
  char sign = SignFor(spec, IsNegative(value));
  if (!IsFinite(value)) {
    return FormatNonFinite(out, spec, value, sign);
  }
  DecimalDigits digits;
  FloatLayout layout = ChooseLayout(spec, value, &digits);
  size_t body = (sign != '\0' ? 1 : 0) + LayoutLength(layout);
  size_t zeros = ZeroFill(spec, body);
  PadBefore(out, spec, body + zeros);
  if (sign != '\0') {
    PutChar(out, sign);
  }
  PutZeros(out, zeros);
  PutLayout(out, layout);
  PadAfter(out, spec, body + zeros);
}

// ---- Dispatch ----------------------------------------------------------------------------

// Returns false when the conversion is not one of ours; the caller then prints it as text.
bool FormatConversion(Output* out, const Spec& spec, va_list* args) {
  switch (spec.conversion) {
    case 'd':
    case 'i':
      FormatSignedConversion(out, spec, args);
      return true;
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      FormatUnsignedConversion(out, spec, args);
      return true;
    case 'c':
      FormatChar(out, spec, args);
      return true;
    case 's':
      FormatStringArgument(out, spec, args);
      return true;
    case 'p':
      FormatPointer(out, spec, args);
      return true;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      FormatFloat(out, spec, args);
      return true;
    case '%':  // width and flags are ignored, as the C library does
      PutChar(out, '%');
      return true;
    default:
      return false;
  }
}

const char* FindPercent(const char* p) {
  while (*p != '\0' && *p != '%') {
    ++p;
  }
  return p;
}

struct BufferSink {
  FormatSink base;
  char* buffer;
  size_t capacity;
  size_t used;
};

// Keeps what fits, leaving room for the terminator.
void PutToBuffer(FormatSink* self, const char* data, size_t length) {
  auto* sink = reinterpret_cast<BufferSink*>(self);
  if (sink->used + 1 >= sink->capacity) {
    return;
  }
  size_t room = sink->capacity - 1 - sink->used;
  size_t piece = length < room ? length : room;
  memcpy(sink->buffer + sink->used, data, piece);
  sink->used += piece;
}

}  // namespace

size_t FormatToSink(FormatSink* sink, const char* format, va_list args) {
  Output out{sink, 0};
  va_list remaining;
  va_copy(remaining, args);
  const char* p = format;
  while (*p != '\0') {
    const char* percent = FindPercent(p);
    Put(&out, p, static_cast<size_t>(percent - p));
    if (*percent == '\0') {
      break;
    }
    Spec spec;
    p = ReadSpec(percent + 1, &spec, &remaining);
    if (spec.conversion == '\0') {
      break;  // a format ending in an unfinished specification prints nothing for it
    }
    if (!FormatConversion(&out, spec, &remaining)) {
      Put(&out, percent, static_cast<size_t>(p - percent));
    }
  }
  va_end(remaining);
  return out.count;
}

size_t FormatStringV(char* buffer, size_t capacity, const char* format, va_list args) {
  BufferSink sink{{PutToBuffer}, buffer, capacity, 0};
  size_t length = FormatToSink(&sink.base, format, args);
  if (capacity > 0) {
    buffer[sink.used] = '\0';
  }
  return length;
}

size_t FormatString(char* buffer, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t length = FormatStringV(buffer, capacity, format, args);
  va_end(args);
  return length;
}

}  // namespace platform
