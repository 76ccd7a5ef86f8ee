// Our own printf engine: reads each conversion directive, fetches its argument and lays out
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

struct Directive {
  bool left = false;       // '-'
  bool plus = false;       // '+'
  bool space = false;      // ' '
  bool alternate = false;  // '#'
  bool zero = false;       // '0'
  size_t width = 0;
  int precision = -1;  // -1: none given
  Length length = Length::Default;
  char conversion = 0;  // 0: the format ended inside the directive
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

size_t FillFor(const Directive& directive, size_t body) {
  return directive.width > body ? directive.width - body : 0;
}

void PadBefore(Output* out, const Directive& directive, size_t body) {
  if (!directive.left) {
    PutSpaces(out, FillFor(directive, body));
  }
}

void PadAfter(Output* out, const Directive& directive, size_t body) {
  if (directive.left) {
    PutSpaces(out, FillFor(directive, body));
  }
}

// Zeros that the '0' flag adds between sign and digits; it yields to '-'.
size_t ZeroFill(const Directive& directive, size_t body) {
  return directive.zero && !directive.left ? FillFor(directive, body) : 0;
}

// Text padded to the field width with spaces.
void PutField(Output* out, const Directive& directive, const char* text, size_t length) {
  PadBefore(out, directive, length);
  Put(out, text, length);
  PadAfter(out, directive, length);
}

// ---- Directive ---------------------------------------------------------------------------

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

const char* ReadFlags(const char* p, Directive* directive) {
  for (;; ++p) {
    switch (*p) {
      case '-':
        directive->left = true;
        break;
      case '+':
        directive->plus = true;
        break;
      case ' ':
        directive->space = true;
        break;
      case '#':
        directive->alternate = true;
        break;
      case '0':
        directive->zero = true;
        break;
      case '\'':  // digit grouping: the C locale has no separator
        break;
      default:
        return p;
    }
  }
}

const char* ReadWidth(const char* p, Directive* directive, va_list* args) {
  if (*p != '*') {
    return ReadCount(p, &directive->width);
  }
  int width = va_arg(*args, int);
  if (width < 0) {
    directive->left = true;
    directive->width = static_cast<size_t>(-static_cast<long long>(width));
  } else {
    directive->width = static_cast<size_t>(width);
  }
  return p + 1;
}

const char* ReadPrecision(const char* p, Directive* directive, va_list* args) {
  if (*p != '.') {
    return p;
  }
  ++p;
  if (*p == '*') {
    int precision = va_arg(*args, int);
    directive->precision = precision < 0 ? -1 : precision;
    return p + 1;
  }
  size_t precision = 0;
  p = ReadCount(p, &precision);
  directive->precision = static_cast<int>(precision);
  return p;
}

const char* ReadLength(const char* p, Directive* directive) {
  switch (*p) {
    case 'h':
      if (p[1] == 'h') {
        directive->length = Length::Char;
        return p + 2;
      }
      directive->length = Length::Short;
      return p + 1;
    case 'l':
      if (p[1] == 'l') {
        directive->length = Length::LongLong;
        return p + 2;
      }
      directive->length = Length::Long;
      return p + 1;
    case 'z':
      directive->length = Length::Size;
      return p + 1;
    case 't':
      directive->length = Length::PtrDiff;
      return p + 1;
    case 'j':
      directive->length = Length::IntMax;
      return p + 1;
    default:
      return p;
  }
}

// p points behind the '%'; returns the position behind the conversion character.
const char* ReadSpec(const char* p, Directive* directive, va_list* args) {
  p = ReadFlags(p, directive);
  p = ReadWidth(p, directive, args);
  p = ReadPrecision(p, directive, args);
  p = ReadLength(p, directive);
  directive->conversion = *p;
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

size_t WritePrefix(const Directive& directive, Integer value, const IntegerStyle& style,
                   char* prefix) {
  size_t length = 0;
  if (value.negative) {
    prefix[length++] = '-';
  } else if (style.signed_conversion && directive.plus) {
    prefix[length++] = '+';
  } else if (style.signed_conversion && directive.space) {
    prefix[length++] = ' ';
  }
  if (style.hex_prefix && value.magnitude != 0) {
    prefix[length++] = '0';
    prefix[length++] = style.upper ? 'X' : 'x';
  }
  return length;
}

void FormatInteger(Output* out, const Directive& directive, Integer value,
                   const IntegerStyle& style) {
  char digits[kMaxIntegerDigits];
  char* end = digits + kMaxIntegerDigits;
  // An explicit precision of 0 prints nothing for 0.
  size_t digit_count = directive.precision == 0 && value.magnitude == 0
                           ? 0
                           : WriteDigits(value.magnitude, style, end);
  const char* first = end - digit_count;

  char prefix[3];
  size_t prefix_length = WritePrefix(directive, value, style, prefix);

  size_t precision = directive.precision < 0 ? 0 : static_cast<size_t>(directive.precision);
  size_t zeros = precision > digit_count ? precision - digit_count : 0;
  // '#' with octal makes the first digit a zero.
  if (style.base == 8 && directive.alternate && zeros == 0 && (digit_count == 0 || *first != '0')) {
    zeros = 1;
  }
  size_t body = prefix_length + zeros + digit_count;
  if (directive.precision < 0) {
    size_t fill = ZeroFill(directive, body);
    zeros += fill;
    body += fill;
  }
  PadBefore(out, directive, body);
  Put(out, prefix, prefix_length);
  PutZeros(out, zeros);
  Put(out, first, digit_count);
  PadAfter(out, directive, body);
}

void FormatSignedConversion(Output* out, const Directive& directive, va_list* args) {
  FormatInteger(out, directive, ReadSigned(directive.length, args), {10, false, true, false});
}

void FormatUnsignedConversion(Output* out, const Directive& directive, va_list* args) {
  Integer value{ReadUnsigned(directive.length, args), false};
  switch (directive.conversion) {
    case 'o':
      return FormatInteger(out, directive, value, {8, false, false, false});
    case 'x':
      return FormatInteger(out, directive, value, {16, false, false, directive.alternate});
    case 'X':
      return FormatInteger(out, directive, value, {16, true, false, directive.alternate});
    default:
      return FormatInteger(out, directive, value, {10, false, false, false});
  }
}

constexpr char kNullPointer[] = "(nil)";

// Like "%#lx", where '+' and ' ' still apply; a null pointer is "(nil)".
void FormatPointer(Output* out, const Directive& directive, va_list* args) {
  const void* pointer = va_arg(*args, void*);
  if (pointer == nullptr) {
    return PutField(out, directive, kNullPointer, sizeof(kNullPointer) - 1);
  }
  Integer value{reinterpret_cast<uintptr_t>(pointer), false};
  FormatInteger(out, directive, value, {16, false, true, true});
}

// ---- Characters and strings --------------------------------------------------------------

void FormatChar(Output* out, const Directive& directive, va_list* args) {
  char c = static_cast<char>(static_cast<unsigned char>(va_arg(*args, int)));
  PutField(out, directive, &c, 1);
}

constexpr char kNullString[] = "(null)";

size_t BoundedLength(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') {
    ++length;
  }
  return length;
}

void FormatStringArgument(Output* out, const Directive& directive, va_list* args) {
  const char* text = va_arg(*args, const char*);
  size_t limit = directive.precision < 0 ? std::numeric_limits<size_t>::max()
                                         : static_cast<size_t>(directive.precision);
  if (text == nullptr) {
    // The C library prints "(null)" only when the precision leaves room for all of it.
    text = limit >= sizeof(kNullString) - 1 ? kNullString : "";
  }
  PutField(out, directive, text, BoundedLength(text, limit));
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
void ChooseGeneralLayout(const Directive& directive, long long precision, FloatLayout* layout) {
  const DecimalDigits& digits = *layout->digits;
  long long significant = precision == 0 ? 1 : precision;
  long long exponent = LeadingExponent(digits);
  layout->exponent_form = !(significant > exponent && exponent >= -4);
  long long fraction = layout->exponent_form ? significant - 1 : significant - 1 - exponent;
  // The C library decides on the fraction digits before rounding: when a value with all its
  // significant digits before the point rounds up to a new power of ten, '#' keeps none.
  if (directive.alternate && digits.carried && exponent == significant) {
    fraction = 0;
  }
  if (!directive.alternate) {
    long long stored = layout->exponent_form ? digits.count - 1LL : digits.count - 1LL - exponent;
    if (stored < fraction) {
      fraction = stored < 0 ? 0 : stored;
    }
  }
  layout->fraction_digits = static_cast<size_t>(fraction);
  layout->point = fraction > 0 || directive.alternate;
}

FloatLayout ChooseLayout(const Directive& directive, double value, DecimalDigits* digits) {
  long long precision = directive.precision < 0 ? kDefaultPrecision : directive.precision;
  FloatLayout layout{digits, false, false,
                     directive.conversion >= 'A' && directive.conversion <= 'Z', 0};
  switch (directive.conversion) {
    case 'e':
    case 'E':
      RoundToDecimal(value, DigitCut::Significant, RoundingPrecision(precision + 1), digits);
      layout.exponent_form = true;
      break;
    case 'g':
    case 'G':
      RoundToDecimal(value, DigitCut::Significant,
                     RoundingPrecision(precision == 0 ? 1 : precision), digits);
      ChooseGeneralLayout(directive, precision, &layout);
      return layout;
    default:
      RoundToDecimal(value, DigitCut::AfterPoint, RoundingPrecision(precision), digits);
      break;
  }
  layout.fraction_digits = static_cast<size_t>(precision);
  layout.point = precision > 0 || directive.alternate;
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

char SignFor(const Directive& directive, bool negative) {
  return negative ? '-' : directive.plus ? '+' : directive.space ? ' ' : '\0';
}

// "inf" and "nan" keep their sign but are padded with spaces only.
void FormatNonFinite(Output* out, const Directive& directive, double value, char sign) {
  bool upper = directive.conversion >= 'A' && directive.conversion <= 'Z';
  const char* word = IsNan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
  char text[4];
  size_t length = 0;
  if (sign != '\0') {
    text[length++] = sign;
  }
  memcpy(text + length, word, 3);
  PutField(out, directive, text, length + 3);
}

void FormatFloat(Output* out, const Directive& directive, va_list* args) {
  double value = va_arg(*args, double);
  char sign = SignFor(directive, IsNegative(value));
  if (!IsFinite(value)) {
    return FormatNonFinite(out, directive, value, sign);
  }
  DecimalDigits digits;
  FloatLayout layout = ChooseLayout(directive, value, &digits);
  size_t body = (sign != '\0' ? 1 : 0) + LayoutLength(layout);
  size_t zeros = ZeroFill(directive, body);
  PadBefore(out, directive, body + zeros);
  if (sign != '\0') {
    PutChar(out, sign);
  }
  PutZeros(out, zeros);
  PutLayout(out, layout);
  PadAfter(out, directive, body + zeros);
}

// ---- Dispatch ----------------------------------------------------------------------------

// Returns false when the conversion is not one of ours; the caller then prints it as text.
bool FormatConversion(Output* out, const Directive& directive, va_list* args) {
  switch (directive.conversion) {
    case 'd':
    case 'i':
      FormatSignedConversion(out, directive, args);
      return true;
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      FormatUnsignedConversion(out, directive, args);
      return true;
    case 'c':
      FormatChar(out, directive, args);
      return true;
    case 's':
      FormatStringArgument(out, directive, args);
      return true;
    case 'p':
      FormatPointer(out, directive, args);
      return true;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      FormatFloat(out, directive, args);
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
    Directive directive;
    p = ReadSpec(percent + 1, &directive, &remaining);
    if (directive.conversion == '\0') {
      break;  // a format ending in an unfinished directive prints nothing for it
    }
    if (!FormatConversion(&out, directive, &remaining)) {
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
