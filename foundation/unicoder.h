// Text-encoding conversion between Unicode (UTF-8 or UTF-16) and the 8-bit character
// sets older text arrives in (Mac OS Roman, ISO Latin-1), plus the small UTF-8 decoder
// the XML layer uses to check what it writes and to mend damaged clippings.
//
// A `Unicoder` owns one converter for each side; conversions never fail: characters
// without an exact equivalent use ICU's fallback mappings, and the rest become '?'
// (8-bit side) or U+FFFD (Unicode side). Every conversion works in a buffer of its own,
// and each `Unicoder` serialises its own conversions, so the process-wide converters
// (`XMLWriter::outputConverter`, `XMLItem::inputConverter`) may be used from any thread.

#ifndef FERNWEAVE_FOUNDATION_UNICODER_H_
#define FERNWEAVE_FOUNDATION_UNICODER_H_

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

struct UConverter;

namespace fernweave {

enum class UnicodeForm {
  kUTF8,
  // With a byte-order mark; input without one is read as big-endian.
  kUTF16,
};

enum class TextEncoding {
  kMacRoman,
  kISOLatin1,
};

class Unicoder {
 public:
  // Opens both directions' converters. Throws Error("memF") when ICU cannot open them.
  Unicoder(UnicodeForm form, TextEncoding encoding);
  virtual ~Unicoder();

  Unicoder(const Unicoder&) = delete;
  Unicoder& operator=(const Unicoder&) = delete;

  // Unicode → 8-bit. Ill-formed input and characters the 8-bit set lacks become '?'
  // unless a fallback mapping exists (U+2264 ≤ has one in Mac OS Roman, for example).
  virtual std::string FromUnicode(std::string_view text);

  // 8-bit → Unicode. The empty text is returned unchanged. A text that seems to be
  // UTF-16 already (see SeemsToBeUTF16) is decoded as UTF-16 and re-encoded in this
  // converter's Unicode form.
  virtual std::string ToUnicode(std::string_view text);

  // Clear whatever state a conversion in that direction left in the converters (a
  // conversion resets them itself; these serve callers that stop one half-way).
  virtual void CleanupFromUnicode();
  virtual void CleanupToUnicode();

  // True when the text holds more than 3 zero bytes: 8-bit text never holds any, so the
  // caller was handed UTF-16.
  static bool SeemsToBeUTF16(std::string_view text);

  UnicodeForm form() const { return form_; }
  TextEncoding encoding() const { return encoding_; }

 private:
  UConverter* UnicodeSide();
  UConverter* EightBitSide();

  const UnicodeForm form_;
  const TextEncoding encoding_;
  std::mutex mutex_;
  // ICU converters keep state between calls, so one conversion at a time per object.
  UConverter* unicode_ = nullptr;    // guarded by mutex_
  UConverter* eight_bit_ = nullptr;  // guarded by mutex_
};

// One step of UTF-8 decoding: the code point at `text[pos]` and the bytes it spans.
struct Utf8Step {
  // The code point; kIllFormed when the bytes at pos are not well-formed UTF-8.
  // Encoded surrogates (ED A0..BF xx) are reported as the surrogate code point so
  // callers can tell them apart and drop the whole sequence.
  int32_t code_point;
  // Bytes consumed, at least 1. For ill-formed input: the maximal ill-formed prefix
  // (the lead byte and those continuation bytes that could still have completed it).
  size_t length;

  static constexpr int32_t kIllFormed = -1;
};

// REQUIRES: pos < text.size().
Utf8Step DecodeUtf8(std::string_view text, size_t pos);

// True for code points an XML 1.0 document can carry: tab, line feed, carriage return,
// U+0020..U+D7FF, U+E000..U+FFFD and U+10000..U+10FFFF.
inline bool IsXMLChar(int32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_UNICODER_H_
