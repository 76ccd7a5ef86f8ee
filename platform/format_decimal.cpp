// Exact decimal expansion of a double: the integer part by repeated division, the fraction by
// repeated multiplication by ten, both on fixed-size big numbers (no heap, no floating point).
#include "platform/format_decimal.h"

#include <bit>
#include <cstdint>

namespace platform {
namespace {

constexpr int kLimbBits = 32;
// The largest integer part (mantissa << 971) has 1024 bits; the longest fraction has 1074 bits
// and needs four more while it is multiplied by ten.
constexpr int kLimbCount = 36;
// DBL_MAX has 309 integer digits.
constexpr int kMaxIntegerDigits = 310;
// Nine decimal digits per division keep the integer conversion short.
constexpr uint32_t kChunkDivisor = 1000000000;
constexpr int kChunkDigits = 9;
constexpr int kMaxChunks = kMaxIntegerDigits / kChunkDigits + 2;

constexpr int kMantissaBits = 52;
constexpr int kExponentMask = 0x7ff;
constexpr int kExponentBias = 1075;  // bias 1023 plus the 52 fraction bits
constexpr int kSubnormalExponent = -1074;

struct BigNumber {
  uint32_t limbs[kLimbCount];
  int used;  // limbs at and above this index are zero
};

void TrimUnused(BigNumber* number) {
  while (number->used > 0 && number->limbs[number->used - 1] == 0) {
    --number->used;
  }
}

// number = value << shift
void SetShifted(BigNumber* number, uint64_t value, int shift) {
  for (uint32_t& limb : number->limbs) {
    limb = 0;
  }
  const uint32_t words[2] = {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
  for (int w = 0; w < 2; ++w) {
    int position = shift + w * kLimbBits;
    int index = position / kLimbBits;
    int offset = position % kLimbBits;
    if (words[w] == 0 || index >= kLimbCount) {
      continue;
    }
    number->limbs[index] |= words[w] << offset;
    if (offset != 0 && index + 1 < kLimbCount) {
      number->limbs[index + 1] |= words[w] >> (kLimbBits - offset);
    }
  }
  number->used = kLimbCount;
  TrimUnused(number);
}

// number /= divisor; returns the remainder.
uint32_t DivideSmall(BigNumber* number, uint32_t divisor) {
  uint64_t remainder = 0;
  for (int i = number->used - 1; i >= 0; --i) {
    uint64_t current = (remainder << kLimbBits) | number->limbs[i];
    number->limbs[i] = static_cast<uint32_t>(current / divisor);
    remainder = current % divisor;
  }
  TrimUnused(number);
  return static_cast<uint32_t>(remainder);
}

void MultiplySmall(BigNumber* number, uint32_t factor) {
  uint64_t carry = 0;
  for (int i = 0; i < number->used; ++i) {
    uint64_t product = uint64_t{number->limbs[i]} * factor + carry;
    number->limbs[i] = static_cast<uint32_t>(product);
    carry = product >> kLimbBits;
  }
  if (carry != 0 && number->used < kLimbCount) {
    number->limbs[number->used++] = static_cast<uint32_t>(carry);
  }
}

// Removes and returns the bits from `bit` upwards; the caller knows they form a small value.
uint32_t TakeBitsFrom(BigNumber* number, int bit) {
  int index = bit / kLimbBits;
  int offset = bit % kLimbBits;
  if (index >= number->used) {
    return 0;
  }
  uint32_t value = number->limbs[index] >> offset;
  if (offset != 0 && index + 1 < number->used) {
    value |= number->limbs[index + 1] << (kLimbBits - offset);
  }
  number->limbs[index] &= offset == 0 ? 0 : (uint32_t{1} << offset) - 1;
  for (int i = index + 1; i < number->used; ++i) {
    number->limbs[i] = 0;
  }
  number->used = index + 1;
  TrimUnused(number);
  return value;
}

bool BitIsSet(const BigNumber& number, int bit) {
  int index = bit / kLimbBits;
  return index < number.used && ((number.limbs[index] >> (bit % kLimbBits)) & 1) != 0;
}

bool AnyBitBelow(const BigNumber& number, int bit) {
  int index = bit / kLimbBits;
  for (int i = 0; i < index && i < number.used; ++i) {
    if (number.limbs[i] != 0) {
      return true;
    }
  }
  uint32_t mask = (uint32_t{1} << (bit % kLimbBits)) - 1;
  return index < number.used && (number.limbs[index] & mask) != 0;
}

// The exact value as a stream of decimal digits: integer digits first, then fraction digits,
// which are fraction / 2^fraction_bits times ten, one at a time.
struct ExactExpansion {
  char integer_digits[kMaxIntegerDigits];
  int integer_count;  // 0 when the integer part is zero
  int integer_next;
  BigNumber fraction;
  int fraction_bits;
};

void WriteIntegerDigits(BigNumber integer, ExactExpansion* out) {
  uint32_t chunks[kMaxChunks];
  int chunk_count = 0;
  while (integer.used > 0) {
    chunks[chunk_count++] = DivideSmall(&integer, kChunkDivisor);
  }
  out->integer_count = 0;
  for (int i = chunk_count - 1; i >= 0; --i) {
    char text[kChunkDigits];
    uint32_t chunk = chunks[i];
    for (int d = kChunkDigits - 1; d >= 0; --d) {
      text[d] = static_cast<char>('0' + chunk % 10);
      chunk /= 10;
    }
    int start = 0;
    if (i == chunk_count - 1) {
      while (text[start] == '0') {
        ++start;
      }
    }
    for (int d = start; d < kChunkDigits; ++d) {
      out->integer_digits[out->integer_count++] = text[d];
    }
  }
  out->integer_next = 0;
}

void StartExpansion(double value, ExactExpansion* out) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  int biased = static_cast<int>(bits >> kMantissaBits) & kExponentMask;
  uint64_t mantissa = bits & ((uint64_t{1} << kMantissaBits) - 1);
  int exponent = kSubnormalExponent;
  if (biased != 0) {
    mantissa |= uint64_t{1} << kMantissaBits;
    exponent = biased - kExponentBias;
  }
  BigNumber integer;
  if (exponent >= 0) {
    SetShifted(&integer, mantissa, exponent);
    SetShifted(&out->fraction, 0, 0);
    out->fraction_bits = 0;
  } else {
    int shift = -exponent;
    uint64_t whole = shift < 64 ? mantissa >> shift : 0;
    uint64_t part = shift < 64 ? mantissa & ((uint64_t{1} << shift) - 1) : mantissa;
    SetShifted(&integer, whole, 0);
    SetShifted(&out->fraction, part, 0);
    out->fraction_bits = shift;
  }
  WriteIntegerDigits(integer, out);
}

bool Exhausted(const ExactExpansion& source) {
  return source.integer_next == source.integer_count && source.fraction.used == 0;
}

int NextDigit(ExactExpansion* source) {
  if (source->integer_next < source->integer_count) {
    return source->integer_digits[source->integer_next++] - '0';
  }
  MultiplySmall(&source->fraction, 10);
  return static_cast<int>(TakeBitsFrom(&source->fraction, source->fraction_bits));
}

// Reads the leading nonzero digit of a nonzero value and sets *exponent to its place.
int FirstSignificantDigit(ExactExpansion* source, int* exponent) {
  if (source->integer_count > 0) {
    *exponent = source->integer_count - 1;
    return NextDigit(source);
  }
  *exponent = -1;
  int digit = NextDigit(source);
  while (digit == 0) {
    --*exponent;
    digit = NextDigit(source);
  }
  return digit;
}

// How the digits not taken yet compare with half a unit of the last digit taken.
enum class Tail { BelowHalf, Half, AboveHalf };

Tail CompareTailWithHalf(const ExactExpansion& source) {
  if (source.integer_next < source.integer_count) {
    int next = source.integer_digits[source.integer_next] - '0';
    if (next != 5) {
      return next < 5 ? Tail::BelowHalf : Tail::AboveHalf;
    }
    for (int i = source.integer_next + 1; i < source.integer_count; ++i) {
      if (source.integer_digits[i] != '0') {
        return Tail::AboveHalf;
      }
    }
    return source.fraction.used == 0 ? Tail::Half : Tail::AboveHalf;
  }
  if (source.fraction.used == 0) {
    return Tail::BelowHalf;
  }
  int half_bit = source.fraction_bits - 1;
  if (!BitIsSet(source.fraction, half_bit)) {
    return Tail::BelowHalf;
  }
  return AnyBitBelow(source.fraction, half_bit) ? Tail::AboveHalf : Tail::Half;
}

bool RoundsUp(Tail tail, int last_digit) {
  return tail == Tail::AboveHalf || (tail == Tail::Half && last_digit % 2 != 0);
}

void AddOneUnit(DecimalDigits* out) {
  int i = out->count - 1;
  while (i >= 0 && out->digits[i] == '9') {
    --i;
  }
  if (i < 0) {
    out->digits[0] = '1';
    out->count = 1;
    ++out->exponent;
    out->carried = true;
    return;
  }
  ++out->digits[i];
  out->count = i + 1;
}

void DropTrailingZeros(DecimalDigits* out) {
  while (out->count > 0 && out->digits[out->count - 1] == '0') {
    --out->count;
  }
}

// Nothing of the value survives the cut: it becomes zero or one unit of the cut's place.
// `first` is the leading digit, `keep` (at most 0) how many digits the cut keeps.
void RoundAwayAllDigits(const ExactExpansion& source, int first, int keep, DecimalDigits* out) {
  bool up = false;
  if (keep == 0) {
    Tail tail = first != 5          ? (first < 5 ? Tail::BelowHalf : Tail::AboveHalf)
                : Exhausted(source) ? Tail::Half
                                    : Tail::AboveHalf;
    up = RoundsUp(tail, 0);
  }
  if (up) {
    out->digits[0] = '1';
    out->count = 1;
    out->exponent = out->exponent + 1 - keep;
  } else {
    out->count = 0;
    out->exponent = 0;
  }
}

}  // namespace

void RoundToDecimal(double value, DigitCut cut, int limit, DecimalDigits* out) {
  ExactExpansion source;
  StartExpansion(value, &source);
  out->count = 0;
  out->exponent = 0;
  out->carried = false;
  if (Exhausted(source)) {
    return;
  }
  int first = FirstSignificantDigit(&source, &out->exponent);
  long long keep = cut == DigitCut::Significant ? limit : out->exponent + 1LL + limit;
  if (keep <= 0) {
    RoundAwayAllDigits(source, first, static_cast<int>(keep < -1 ? -1 : keep), out);
    return;
  }
  out->digits[0] = static_cast<char>('0' + first);
  out->count = 1;
  while (out->count < keep && out->count < kMaxDecimalDigits && !Exhausted(source)) {
    out->digits[out->count++] = static_cast<char>('0' + NextDigit(&source));
  }
  if (out->count == keep &&
      RoundsUp(CompareTailWithHalf(source), out->digits[out->count - 1] - '0')) {
    AddOneUnit(out);
  }
  DropTrailingZeros(out);
}

}  // namespace platform
