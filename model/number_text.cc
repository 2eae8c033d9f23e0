#include "model/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace fernweave {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Skips white space and one sign; returns the index of the first character after them.
size_t SkipBlanksAndSign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) {
    ++i;
  }
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

size_t ReadLeadingInteger(std::string_view text, int64_t* value, bool* out_of_range) {
  if (out_of_range != nullptr) {
    *out_of_range = false;
  }
  bool negative;
  size_t start = SkipBlanksAndSign(text, &negative);
  if (start >= text.size() || !IsDigit(text[start])) {
    return 0;
  }
  uint64_t magnitude = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  auto [end, error] = std::from_chars(first, last, magnitude);
  bool too_big = error == std::errc::result_out_of_range;
  if (!too_big) {
    uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    too_big = magnitude > limit;
  }
  if (too_big) {
    *value = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    if (out_of_range != nullptr) {
      *out_of_range = true;
    }
  } else if (negative) {
    // Negating in unsigned arithmetic keeps -2^63 representable.
    *value = static_cast<int64_t>(~magnitude + 1);
  } else {
    *value = static_cast<int64_t>(magnitude);
  }
  return static_cast<size_t>(end - text.data());
}

size_t ReadLeadingDouble(std::string_view text, double* value) {
  bool negative;
  size_t start = SkipBlanksAndSign(text, &negative);
  // A number starts with a digit or with "." and a digit; this keeps "inf", "nan" and
  // hexadecimal forms out.
  bool starts_number = start < text.size() &&
                       (IsDigit(text[start]) || (text[start] == '.' && start + 1 < text.size() &&
                                                 IsDigit(text[start + 1])));
  if (!starts_number) {
    return 0;
  }
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  double magnitude = 0;
  auto [end, error] = std::from_chars(first, last, magnitude, std::chars_format::general);
  if (error == std::errc::invalid_argument) {
    return 0;
  }
  if (error == std::errc::result_out_of_range) {
    // Too large or too small to represent: decide which from the exponent, or without
    // one from whether any digit before the point is non-zero.
    std::string_view number(first, static_cast<size_t>(end - first));
    size_t e = number.find_first_of("eE");
    bool overflow;
    if (e != std::string_view::npos) {
      overflow = e + 1 >= number.size() || number[e + 1] != '-';
    } else {
      std::string_view whole = number.substr(0, number.find('.'));
      overflow = whole.find_first_not_of('0') != std::string_view::npos;
    }
    magnitude = overflow ? std::numeric_limits<double>::max() : 0.0;
  }
  *value = negative ? -magnitude : magnitude;
  return static_cast<size_t>(end - text.data());
}

int32_t SaturateToInt32(double x) {
  if (std::isnan(x)) {
    return 0;
  }
  if (x <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  if (x >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(x);
}

int32_t SaturateToInt32(int64_t x) {
  if (x < std::numeric_limits<int32_t>::min()) {
    return std::numeric_limits<int32_t>::min();
  }
  if (x > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(x);
}

uint32_t SaturateToUint32(double x) {
  if (std::isnan(x) || x <= 0) {
    return 0;
  }
  if (x >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
    return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(x);
}

int64_t SaturateToInt64(double x) {
  if (std::isnan(x)) {
    return 0;
  }
  // 2^63 is exactly representable; every double below it converts safely.
  constexpr double kTwo63 = 9223372036854775808.0;
  if (x >= kTwo63) {
    return std::numeric_limits<int64_t>::max();
  }
  if (x < -kTwo63) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(x);
}

std::string FormatDouble(double x, int significant_digits) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general,
                                    significant_digits);
  if (error != std::errc()) {
    return "0";
  }
  return std::string(buffer, end);
}

std::string FormatDoubleShortest(double x) {
  // "-0" would read back as the integer 0; the point keeps it a real number.
  if (x == 0 && std::signbit(x)) {
    return "-0.0";
  }
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
  if (error != std::errc()) {
    return "0";
  }
  return std::string(buffer, end);
}

}  // namespace fernweave
