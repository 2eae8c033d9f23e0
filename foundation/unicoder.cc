#include "foundation/unicoder.h"

#include <algorithm>
#include <memory>

#include <unicode/ucnv.h>

#include "foundation/error.h"

namespace fernweave {
namespace {

const char* UnicodeName(UnicodeForm form) {
  return form == UnicodeForm::kUTF8 ? "UTF-8" : "UTF-16";
}

const char* EightBitName(TextEncoding encoding) {
  return encoding == TextEncoding::kMacRoman ? "macintosh" : "ISO-8859-1";
}

// Opens a converter that takes fallback mappings and substitutes '?' on the 8-bit side.
UConverter* OpenConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &status);
  if (U_FAILURE(status) || converter == nullptr) {
    throw Error(error_code::kMemF, std::string("cannot open the text converter ") + name);
  }
  ucnv_setFallback(converter, true);
  return converter;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Converts `text` from the source's encoding to the target's in a buffer of this call's
// own, starting at `capacity` bytes and growing when ICU asks for more room.
std::string Convert(UConverter* target, UConverter* source, std::string_view text,
                    size_t capacity) {
  if (text.empty()) {
    return std::string();
  }
  std::string out(std::max<size_t>(capacity, 16), '\0');
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    char* out_next = out.data();
    const char* in_next = text.data();
    ucnv_convertEx(target, source, &out_next, out.data() + out.size(), &in_next,
                   text.data() + text.size(), nullptr, nullptr, nullptr, nullptr,
                   /*reset=*/true, /*flush=*/true, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(out.size() * 2, '\0');
      continue;
    }
    // Substitution callbacks are installed, so only a broken converter fails; keep what
    // was converted rather than lose the text.
    out.resize(static_cast<size_t>(out_next - out.data()));
    return out;
  }
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

Unicoder::Unicoder(UnicodeForm form, TextEncoding encoding) : form_(form), encoding_(encoding) {
  unicode_ = OpenConverter(UnicodeName(form_));
  try {
    eight_bit_ = OpenConverter(EightBitName(encoding_));
  } catch (...) {
    ucnv_close(unicode_);
    throw;
  }
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setSubstChars(eight_bit_, "?", 1, &status);
}

Unicoder::~Unicoder() {
  ucnv_close(unicode_);
  ucnv_close(eight_bit_);
}

std::string Unicoder::FromUnicode(std::string_view text) {
  // Both 8-bit sets agree with ASCII, and most text is ASCII.
  if (form_ == UnicodeForm::kUTF8 && IsAscii(text)) {
    return std::string(text);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return Convert(eight_bit_, unicode_, text, text.size() * 2);
}

std::string Unicoder::ToUnicode(std::string_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (SeemsToBeUTF16(text)) {
    // Decode the UTF-16 directly, so characters outside the 8-bit set survive. Without
    // a byte-order mark, ASCII-heavy text tells the byte order: its zero bytes sit at
    // odd offsets in little-endian order.
    const char* name = "UTF-16";
    bool has_bom = text.size() >= 2 && ((text[0] == '\xFE' && text[1] == '\xFF') ||
                                        (text[0] == '\xFF' && text[1] == '\xFE'));
    if (!has_bom) {
      size_t even_zeros = 0;
      size_t odd_zeros = 0;
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0') {
          (i % 2 == 0 ? even_zeros : odd_zeros)++;
        }
      }
      name = odd_zeros > even_zeros ? "UTF-16LE" : "UTF-16BE";
    }
    std::unique_ptr<UConverter, ConverterCloser> utf16(OpenConverter(name));
    std::lock_guard<std::mutex> lock(mutex_);
    return Convert(unicode_, utf16.get(), text, text.size() * 2 + 4);
  }
  if (form_ == UnicodeForm::kUTF8 && IsAscii(text)) {
    return std::string(text);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return Convert(unicode_, eight_bit_, text, text.size() * 4 + 4);
}

void Unicoder::CleanupFromUnicode() {
  std::lock_guard<std::mutex> lock(mutex_);
  ucnv_resetToUnicode(unicode_);
  ucnv_resetFromUnicode(eight_bit_);
}

void Unicoder::CleanupToUnicode() {
  std::lock_guard<std::mutex> lock(mutex_);
  ucnv_resetToUnicode(eight_bit_);
  ucnv_resetFromUnicode(unicode_);
}

bool Unicoder::SeemsToBeUTF16(std::string_view text) {
  return std::count(text.begin(), text.end(), '\0') > 3;
}

Utf8Step DecodeUtf8(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    return {lead, 1};
  }
  size_t need;
  int32_t c;
  // The range the first continuation byte must fall in, which rules out overlong forms
  // and code points above U+10FFFF. Surrogates (ED A0..BF) are let through and flagged.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    c = lead & 0x0F;
    if (lead == 0xE0)
      low = 0xA0;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    c = lead & 0x07;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;
  } else {
    return {Utf8Step::kIllFormed, 1};
  }
  size_t i = pos + 1;
  for (size_t k = 0; k < need; ++k, ++i) {
    if (i >= text.size()) {
      return {Utf8Step::kIllFormed, i - pos};
    }
    unsigned char b = byte(i);
    unsigned char lo = k == 0 ? low : 0x80;
    unsigned char hi = k == 0 ? high : 0xBF;
    if (b < lo || b > hi) {
      return {Utf8Step::kIllFormed, i - pos};
    }
    c = (c << 6) | (b & 0x3F);
  }
  return {c, need + 1};
}

}  // namespace fernweave
