#include "foundation/date_text_reader.h"

namespace fernweave {

void DateTextReader::SkipSpace() {
  while (pos_ < text_.size() && IsDateSpace(text_[pos_])) {
    ++pos_;
  }
}

bool DateTextReader::ReadNumber(int64_t min, int64_t max, int64_t* out) {
  if (failed_) {
    return false;
  }
  SkipSpace();
  size_t p = pos_;
  bool negative = false;
  if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
    negative = text_[p] == '-';
    ++p;
  }
  if (p >= text_.size() || !IsDateDigit(text_[p])) {
    failed_ = true;
    return false;
  }
  // Accumulate as a negative number so the most negative value fits; once the
  // magnitude passes every representable bound stop growing but keep consuming, as a
  // stream consumes all the digits of a number too large for its target.
  constexpr int64_t kFloor = std::numeric_limits<int64_t>::min() / 10;
  int64_t value = 0;
  bool too_large = false;
  for (; p < text_.size() && IsDateDigit(text_[p]); ++p) {
    const int digit = text_[p] - '0';
    if (value < kFloor || value * 10 < std::numeric_limits<int64_t>::min() + digit) {
      too_large = true;
    } else {
      value = value * 10 - digit;
    }
  }
  pos_ = p;
  if (!negative) {
    if (value == std::numeric_limits<int64_t>::min()) {
      too_large = true;
    } else {
      value = -value;
    }
  }
  if (too_large || value < min || value > max) {
    failed_ = true;
    return false;
  }
  *out = value;
  return true;
}

bool DateTextReader::ReadChar(char* out) {
  if (failed_) {
    return false;
  }
  SkipSpace();
  if (pos_ >= text_.size()) {
    failed_ = true;
    return false;
  }
  *out = text_[pos_++];
  return true;
}

bool DateTextReader::ReadWord(std::string* out) {
  if (failed_) {
    return false;
  }
  SkipSpace();
  if (pos_ >= text_.size()) {
    failed_ = true;
    return false;
  }
  const size_t start = pos_;
  while (pos_ < text_.size() && !IsDateSpace(text_[pos_])) {
    ++pos_;
  }
  out->assign(text_.substr(start, pos_ - start));
  return true;
}

int DateTextReader::Peek() const {
  if (failed_ || pos_ >= text_.size()) {
    return -1;
  }
  return static_cast<unsigned char>(text_[pos_]);
}

void DateTextReader::Skip() {
  if (!failed_ && pos_ < text_.size()) {
    ++pos_;
  }
}

void DateTextReader::PutBack() {
  if (!failed_ && pos_ > 0) {
    --pos_;
  }
}

}  // namespace fernweave
