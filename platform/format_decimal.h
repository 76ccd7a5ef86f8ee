// Decimal digits of a double for the formatter's %f, %e and %g. The C library prints the exact
// binary value rounded to nearest with ties to even; so do we, with exact integer arithmetic
// instead of floating point.
#pragma once

namespace platform {

// A double's exact expansion has at most 767 significant digits.
inline constexpr int kMaxDecimalDigits = 800;

// The rounded value is 0.d0 d1 d2 ... scaled so that digits[0] stands at 10^exponent, i.e.
// digits[0] is the leading digit and digits[i] the digit of 10^(exponent - i).
struct DecimalDigits {
  char digits[kMaxDecimalDigits];  // '0'..'9' without trailing zeros; digits past count are 0
  int count;                       // 0 when the rounded value is zero
  int exponent;                    // decimal exponent of digits[0]; 0 for zero
  bool carried;                    // rounding up raised the exponent (9.96 -> 10.0)
};

enum class DigitCut {
  Significant,  // keep `limit` significant digits (%e, %g)
  AfterPoint,   // keep `limit` digits after the decimal point (%f)
};

// Rounds the magnitude of a finite double (its sign is ignored).
void RoundToDecimal(double value, DigitCut cut, int limit, DecimalDigits* out);

}  // namespace platform
