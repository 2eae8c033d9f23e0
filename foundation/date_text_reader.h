// A small reader over typed date text that behaves like formatted stream extraction,
// which is how dates typed by users have always been read: white space is skipped
// before numbers, words and separator characters; a failed read leaves its target
// unchanged and every later read fails too. Unlike a standard stream it never throws,
// never consults the process locale, and treats a number outside the target's range as
// a failed read instead of storing a saturated value.

#ifndef FERNWEAVE_FOUNDATION_DATE_TEXT_READER_H_
#define FERNWEAVE_FOUNDATION_DATE_TEXT_READER_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace fernweave {

// True for the ASCII white space characters " \t\n\v\f\r".
inline bool IsDateSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsDateDigit(char c) {
  return c >= '0' && c <= '9';
}

inline bool IsDateLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

class DateTextReader {
 public:
  // `text` must outlive the reader.
  explicit DateTextReader(std::string_view text) : text_(text) {}

  bool failed() const { return failed_; }

  // Skips white space and reads an optionally signed decimal whole number into *out.
  // Fails (leaving *out unchanged) when there are no digits or the number lies outside
  // [min, max].
  bool ReadNumber(int64_t min, int64_t max, int64_t* out);

  // ReadNumber bounded by the range of T.
  template <typename T>
  bool Read(T* out) {
    int64_t value = 0;
    if (!ReadNumber(std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), &value)) {
      return false;
    }
    *out = static_cast<T>(value);
    return true;
  }

  // Skips white space and reads one character. Fails at the end of the text.
  bool ReadChar(char* out);

  // Skips white space and reads the following run of non-white-space characters.
  // Fails (leaving *out unchanged) at the end of the text.
  bool ReadWord(std::string* out);

  // The next character without skipping white space, or -1 at the end or after a
  // failure.
  int Peek() const;

  // Consumes the next character, if any.
  void Skip();

  // Steps back over the character just read (after ReadChar). Does nothing after a
  // failure or at the start.
  void PutBack();

 private:
  void SkipSpace();

  std::string_view text_;
  size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_DATE_TEXT_READER_H_
