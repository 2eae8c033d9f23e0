#include "model/content.h"

#include <atomic>
#include <memory>
#include <utility>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace fernweave {
namespace {

// Calls `visit(start, end, units)` for each character of `text`: its byte range and
// its length in UTF-16 units. Stops early when visit returns false.
template <typename Visit>
void ForEachCharacter(std::string_view text, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    // An ill-formed sequence (c < 0) becomes one U+FFFD.
    size_t units = c > 0xFFFF ? 2 : 1;
    if (!visit(static_cast<size_t>(start), static_cast<size_t>(i), units)) {
      return;
    }
  }
}

// One word-break iterator per thread, made on first use; creating one loads the rules
// and dictionaries, so it is kept.
icu::BreakIterator* WordBreaker() {
  thread_local std::unique_ptr<icu::BreakIterator> breaker;
  if (breaker == nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    breaker.reset(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
      breaker.reset();
    }
  }
  return breaker.get();
}

}  // namespace

void Content::SetText(std::string_view text) {
  static std::atomic<uint64_t> last_stamp{0};
  text_stamp_ = last_stamp.fetch_add(1, std::memory_order_relaxed) + 1;
  text_.clear();
  text_.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;  // the pair's line feed below becomes the one carriage return
    }
    text_.push_back(text[i] == '\n' ? '\r' : text[i]);
  }
}

bool operator==(const Content& a, const Content& b) {
  return a.text_ == b.text_ && a.style_runs_ == b.style_runs_ &&
         a.struck_spans_ == b.struck_spans_ && a.pictures_ == b.pictures_ && a.rtf_ == b.rtf_ &&
         a.script_ == b.script_ && a.picture_ == b.picture_;
}

size_t Content::Utf16Length() const {
  return fernweave::Utf16Length(text_);
}
int Content::WordCount() const {
  return CountWords(text_);
}

void Content::Clear() {
  *this = Content();
}

size_t Utf16Length(std::string_view text) {
  size_t total = 0;
  ForEachCharacter(text, [&total](size_t, size_t, size_t units) {
    total += units;
    return true;
  });
  return total;
}

size_t Utf8OffsetForUtf16(std::string_view text, size_t units) {
  size_t result = text.size();
  size_t seen = 0;
  ForEachCharacter(text, [&](size_t start, size_t, size_t length) {
    if (seen + length > units) {
      result = start;
      return false;
    }
    seen += length;
    return true;
  });
  return result;
}

size_t Utf16OffsetForUtf8(std::string_view text, size_t bytes) {
  size_t seen = 0;
  ForEachCharacter(text, [&](size_t, size_t end, size_t length) {
    if (end > bytes) {
      return false;  // the character at or around `bytes`
    }
    seen += length;
    return true;
  });
  return seen;
}

int CountWords(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  icu::BreakIterator* breaker = WordBreaker();
  if (breaker == nullptr) {
    return 0;
  }
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  breaker->setText(unicode);
  int words = 0;
  breaker->first();
  for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE; end = breaker->next()) {
    if (breaker->getRuleStatus() != UBRK_WORD_NONE) {
      ++words;
    }
  }
  // The iterator keeps a reference to the text; point it at text that outlives it.
  static const icu::UnicodeString kNoText;
  breaker->setText(kNoText);
  return words;
}

}  // namespace fernweave
