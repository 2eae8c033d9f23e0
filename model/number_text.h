// Numbers in text, as values read and write them. Reading follows stream extraction:
// leading white space is skipped, then an optional sign, and reading stops at the first
// character that does not fit. Writing is independent of the process locale.

#ifndef FERNWEAVE_MODEL_NUMBER_TEXT_H_
#define FERNWEAVE_MODEL_NUMBER_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fernweave {

// Reads a decimal integer at the start of `text`. Returns the number of characters
// consumed (white space and sign included), 0 when no digit follows. A number outside
// the 64-bit range saturates and sets *out_of_range (when given) to true.
size_t ReadLeadingInteger(std::string_view text, int64_t* value, bool* out_of_range = nullptr);

// Reads a real number ("12", "-1.5", ".5", "2e3", "1.5E-7") at the start of `text`. The
// words "inf" and "nan" are not numbers. Returns the number of characters consumed, 0
// when there is no number. Overflow gives the largest finite number of that sign and
// underflow zero.
size_t ReadLeadingDouble(std::string_view text, double* value);

// Saturating conversions; NaN gives 0.
int32_t SaturateToInt32(double x);
int32_t SaturateToInt32(int64_t x);
uint32_t SaturateToUint32(double x);
int64_t SaturateToInt64(double x);

// General notation with at most `significant_digits` significant digits, trailing zeros
// dropped ("%.10g" in the C locale).
std::string FormatDouble(double x, int significant_digits);
// The shortest text that reads back (through ReadLeadingDouble) to exactly `x`.
std::string FormatDoubleShortest(double x);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_NUMBER_TEXT_H_
