#include "model/content.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <utility>
#include <vector>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace fernweave {
namespace {

// Calls `visit(start, end, units)` for each character of `text` from byte `from`
// (a character start): its byte range and its length in UTF-16 units. Stops early
// when visit returns false.
template <typename Visit>
void ForEachCharacterFrom(std::string_view text, size_t from, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = static_cast<int32_t>(from);
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

template <typename Visit>
void ForEachCharacter(std::string_view text, Visit visit) {
  ForEachCharacterFrom(text, 0, visit);
}

// Where the character at UTF-16 offset `units` starts, walking from a character start
// `from_bytes` that lies at UTF-16 offset `from_units` <= units; past the end, the end.
// Keep in sync with UnitsFrom: both define the offsets of Utf8OffsetForUtf16 and
// Utf16OffsetForUtf8.
CharacterPlace LocateFrom(std::string_view text, size_t from_bytes, size_t from_units,
                          size_t units) {
  CharacterPlace result{text.size(), 0};
  size_t seen = from_units;
  ForEachCharacterFrom(text, from_bytes, [&](size_t start, size_t, size_t length) {
    if (seen + length > units) {
      result.bytes = start;
      return false;
    }
    seen += length;
    return true;
  });
  result.units = seen;
  return result;
}

// A byte that is not a UTF-8 continuation byte always begins a character.
bool BeginsCharacter(std::string_view text, size_t at) {
  return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

// The UTF-16 offset of the character at byte `bytes`, walking from a character start
// `from_bytes` <= bytes that lies at UTF-16 offset `from_units`.
size_t UnitsFrom(std::string_view text, size_t from_bytes, size_t from_units, size_t bytes) {
  size_t seen = from_units;
  ForEachCharacterFrom(text, from_bytes, [&](size_t, size_t end, size_t length) {
    if (end > bytes) {
      return false;  // the character at or around `bytes`
    }
    seen += length;
    return true;
  });
  return seen;
}

// The end of the character that starts at byte `at` (a character start).
size_t CharacterEnd(std::string_view text, size_t at) {
  size_t end = text.size();
  ForEachCharacterFrom(text, at, [&end](size_t, size_t e, size_t) {
    end = e;
    return false;
  });
  return end;
}

// Texts shorter than this are walked from their start for each offset conversion.
constexpr size_t kIndexedTextBytes = 1024;
// Distance in bytes between the index's checkpoints.
constexpr size_t kCheckpointBytes = 64;

int32_t ClampToInt32(size_t n) {
  return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX));
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

// The same for boundaries between user-perceived characters.
icu::BreakIterator* CharacterBreaker() {
  thread_local std::unique_ptr<icu::BreakIterator> breaker;
  if (breaker == nullptr) {
    UErrorCode status = U_ZERO_ERROR;
    breaker.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
      breaker.reset();
    }
  }
  return breaker.get();
}

// Whether byte offset `at` lies between two ASCII characters (or at an end of the
// text next to one) that no grapheme rule keeps together: all but CR LF.
bool PlainBoundary(std::string_view text, size_t at) {
  const bool before_plain = at == 0 || static_cast<unsigned char>(text[at - 1]) < 0x80;
  const bool after_plain = at >= text.size() || static_cast<unsigned char>(text[at]) < 0x80;
  const bool cr_lf = at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
  return before_plain && after_plain && !cr_lf;
}

// Moves byte offsets `start` back and `end` on to boundaries of `breaker`, which has
// been given the text.
void WidenTo(icu::BreakIterator* breaker, int32_t* start, int32_t* end) {
  if (!breaker->isBoundary(*end)) {
    // isBoundary left the iterator at the boundary that follows.
    const int32_t next = breaker->current();
    if (next != icu::BreakIterator::DONE) {
      *end = next;
    }
  }
  if (!breaker->isBoundary(*start)) {
    const int32_t previous = breaker->preceding(*start);
    *start = previous == icu::BreakIterator::DONE ? 0 : previous;
  }
}

}  // namespace

// Checkpoints (byte offset, UTF-16 offset) at character starts about every
// kCheckpointBytes bytes, so a conversion walks at most one stretch. An all-ASCII text
// needs none: its offsets are the same in both units.
class Utf16OffsetIndex {
 public:
  // REQUIRES: text.size() < UINT32_MAX.
  explicit Utf16OffsetIndex(std::string_view text) {
    ascii_ = std::all_of(text.begin(), text.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii_) {
      total_units_ = text.size();
      return;
    }
    size_t units = 0;
    size_t next_checkpoint = 0;
    ForEachCharacter(text, [&](size_t start, size_t, size_t length) {
      if (start >= next_checkpoint) {
        byte_marks_.push_back(static_cast<uint32_t>(start));
        unit_marks_.push_back(static_cast<uint32_t>(units));
        next_checkpoint = start + kCheckpointBytes;
      }
      units += length;
      return true;
    });
    total_units_ = units;
  }

  size_t total_units() const { return total_units_; }

  CharacterPlace Locate(std::string_view text, size_t units) const {
    if (ascii_ || units >= total_units_) {
      const size_t at = std::min(units, total_units_);
      return CharacterPlace{ascii_ ? at : text.size(), at};
    }
    // The last checkpoint at or before `units`; the first is always (0, 0).
    const size_t i =
        std::upper_bound(unit_marks_.begin(), unit_marks_.end(), units) - unit_marks_.begin() - 1;
    return LocateFrom(text, byte_marks_[i], unit_marks_[i], units);
  }

  size_t UnitOffset(std::string_view text, size_t bytes) const {
    if (ascii_) {
      return std::min(bytes, text.size());
    }
    if (bytes >= text.size()) {
      return total_units_;
    }
    const size_t i =
        std::upper_bound(byte_marks_.begin(), byte_marks_.end(), bytes) - byte_marks_.begin() - 1;
    return UnitsFrom(text, byte_marks_[i], unit_marks_[i], bytes);
  }

 private:
  bool ascii_ = false;
  size_t total_units_ = 0;
  std::vector<uint32_t> byte_marks_;
  std::vector<uint32_t> unit_marks_;
};

void Content::SetText(std::string_view text) {
  TextChanged();
  // Most texts hold no line feed at all: they are taken as they are.
  const size_t first_feed = text.find('\n');
  if (first_feed == std::string_view::npos) {
    text_.assign(text);
    return;
  }
  text_.clear();
  text_.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;  // the pair's line feed below becomes the one carriage return
    }
    text_.push_back(text[i] == '\n' ? '\r' : text[i]);
  }
}

Content::Content(const Content& other)
    : text_(other.text_),
      text_stamp_(other.text_stamp_),
      extras_(other.extras_ != nullptr ? std::make_unique<TextExtras>(*other.extras_) : nullptr),
      offsets_(other.offsets_ != nullptr ? std::make_unique<OffsetCache>(*other.offsets_)
                                         : nullptr) {}

Content& Content::operator=(const Content& other) {
  if (this != &other) {
    Content copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Content::~Content() = default;

const Content::TextExtras& Content::Extras() const {
  static const TextExtras kNone;
  return extras_ != nullptr ? *extras_ : kNone;
}

Content::TextExtras& Content::MutableExtras() {
  if (extras_ == nullptr) {
    extras_ = std::make_unique<TextExtras>();
  }
  return *extras_;
}

bool operator==(const Content& a, const Content& b) {
  return a.text_ == b.text_ && a.Extras() == b.Extras();
}

size_t Content::Utf16Length() const {
  if (const Utf16OffsetIndex* index = Offsets()) {
    return index->total_units();
  }
  return fernweave::Utf16Length(text_);
}
int Content::WordCount() const {
  return CountWords(text_);
}

void Content::Clear() {
  *this = Content();
}

// --- Text operations -------------------------------------------------------------

const Utf16OffsetIndex* Content::Offsets() const {
  if (text_.size() < kIndexedTextBytes || text_.size() >= UINT32_MAX) {
    return nullptr;
  }
  if (offsets_ == nullptr) {
    offsets_ = std::make_unique<OffsetCache>();
  }
  if (offsets_->index == nullptr) {
    offsets_->index = std::make_shared<const Utf16OffsetIndex>(text_);
  }
  return offsets_->index.get();
}

void Content::TextChanged() {
  static std::atomic<uint64_t> last_stamp{0};
  text_stamp_ = last_stamp.fetch_add(1, std::memory_order_relaxed) + 1;
  offsets_.reset();
}

CharacterPlace Content::Locate(size_t units) const {
  const Utf16OffsetIndex* index = Offsets();
  if (index == nullptr) {
    return LocateFrom(text_, 0, 0, units);
  }
  // Offsets() made the cache.
  for (const OffsetCache::Recent& recent : offsets_->recent) {
    if (recent.asked == units) {
      return recent.place;
    }
  }
  OffsetCache::Recent& slot = offsets_->recent[offsets_->next_recent];
  offsets_->next_recent = 1 - offsets_->next_recent;
  slot = OffsetCache::Recent{units, index->Locate(text_, units)};
  return slot.place;
}

size_t Content::ByteOffset(size_t units) const {
  return Locate(units).bytes;
}

Content::Stretch Content::StretchOf(TextRange range) const {
  const size_t total = Utf16Length();
  const size_t start = std::min(range.start, total);
  const size_t end = std::max(start, std::min(range.end, total));
  const CharacterPlace from = Locate(start);
  CharacterPlace to = Locate(end);
  if (to.units < end) {
    // The end fell inside a surrogate pair: take in the whole character.
    to = CharacterPlace{CharacterEnd(text_, to.bytes), to.units + 2};
  }
  return Stretch{TextRange{from.units, to.units}, from.bytes, to.bytes};
}

size_t Content::UnitOffset(size_t bytes) const {
  if (const Utf16OffsetIndex* index = Offsets()) {
    return index->UnitOffset(text_, bytes);
  }
  return Utf16OffsetForUtf8(text_, bytes);
}

size_t Content::Find(std::string_view target, size_t from) const {
  if (target.empty()) {
    return npos;
  }
  size_t at = Locate(from).bytes;
  while (true) {
    const size_t found = text_.find(target, at);
    if (found == std::string::npos) {
      return npos;
    }
    // A target that is not well-formed text can match inside a character; such a
    // match, or one before `from` (which lay inside a surrogate pair), is no match.
    const size_t units = UnitOffset(found);
    const size_t after = found + target.size();
    auto is_start = [this](size_t bytes) {
      return BeginsCharacter(text_, bytes) || ByteOffset(UnitOffset(bytes)) == bytes;
    };
    if (units >= from && is_start(found) && is_start(after)) {
      return units;
    }
    at = found + 1;
  }
}

TextRange Content::Select(size_t start, size_t length) const {
  const size_t total = Utf16Length();
  start = std::min(start, total);
  return StretchOf(TextRange{start, start + std::min(length, total - start)}).units;
}

TextRange Content::WidenToWordBoundaries(TextRange span) const {
  const Stretch stretch = StretchOf(span);
  const TextRange selected = stretch.units;
  icu::BreakIterator* words = WordBreaker();
  icu::BreakIterator* characters = CharacterBreaker();
  if (words == nullptr || characters == nullptr || text_.size() > INT32_MAX) {
    return selected;
  }
  int32_t start = static_cast<int32_t>(stretch.from_byte);
  int32_t end = static_cast<int32_t>(stretch.to_byte);
  // The iterators read the UTF-8 text in place, and their offsets are byte offsets.
  UErrorCode status = U_ZERO_ERROR;
  UText text = UTEXT_INITIALIZER;
  utext_openUTF8(&text, text_.data(), static_cast<int64_t>(text_.size()), &status);
  if (U_SUCCESS(status)) {
    words->setText(&text, status);
  }
  if (U_SUCCESS(status)) {
    WidenTo(words, &start, &end);
  }
  // Between two ASCII characters other than a carriage return and a line feed there is
  // always a character boundary, so only other ends are checked.
  const bool plain_ends = PlainBoundary(text_, static_cast<size_t>(start)) &&
                          PlainBoundary(text_, static_cast<size_t>(end));
  if (U_SUCCESS(status) && !plain_ends) {
    characters->setText(&text, status);
    if (U_SUCCESS(status)) {
      WidenTo(characters, &start, &end);
    }
  }
  // The iterators keep a reference to the text; point them at text that outlives it.
  static const icu::UnicodeString kNoText;
  words->setText(kNoText);
  if (!plain_ends) {
    characters->setText(kNoText);
  }
  utext_close(&text);
  if (U_FAILURE(status)) {
    return selected;
  }
  // Ill-formed bytes are one character to us but may hold a boundary for the
  // iterators; such a boundary never narrows the selection.
  const size_t start_byte = static_cast<size_t>(start);
  const size_t end_byte = static_cast<size_t>(end);
  return TextRange{
      start_byte == stretch.from_byte ? selected.start
                                      : std::min(UnitOffset(start_byte), selected.start),
      end_byte == stretch.to_byte ? selected.end : std::max(UnitOffset(end_byte), selected.end)};
}

std::string_view Content::SpanText(TextRange span) const {
  const Stretch s = StretchOf(span);
  return std::string_view(text_).substr(s.from_byte, s.to_byte - s.from_byte);
}

void Content::AppendSpan(const Content& from, TextRange span) {
  if (&from == this) {
    const Content copy = from;
    AppendSpan(copy, span);
    return;
  }
  const Stretch stretch = from.StretchOf(span);
  const TextRange s = stretch.units;
  if (s.start == s.end) {
    return;
  }
  const size_t base = Utf16Length();
  auto moved = [&](size_t offset) { return ClampToInt32(offset - s.start + base); };

  // The run in effect at the span's start, then the runs that begin inside it. Runs
  // are kept in order of their start, so a long text's many runs are searched.
  const std::vector<StyleRun>& runs = from.style_runs();
  const auto first_after = std::partition_point(runs.begin(), runs.end(), [&](const StyleRun& r) {
    return r.start < 0 || static_cast<size_t>(r.start) <= s.start;
  });
  auto add_run = [this](StyleRun run) {
    std::vector<StyleRun>& mine = style_runs();
    if (!mine.empty() && mine.back().start >= run.start) {
      mine.back() = std::move(run);  // an earlier run that now covers nothing
    } else {
      mine.push_back(std::move(run));
    }
  };
  if (first_after != runs.begin()) {
    StyleRun run = *(first_after - 1);
    run.start = moved(s.start);
    add_run(std::move(run));
  }
  for (auto run = first_after; run != runs.end() && static_cast<size_t>(run->start) < s.end;
       ++run) {
    StyleRun copy = *run;
    copy.start = moved(static_cast<size_t>(run->start));
    add_run(std::move(copy));
  }
  for (const StruckSpan& struck : from.struck_spans()) {
    const size_t a = static_cast<size_t>(std::max(struck.start, 0));
    const size_t b = a + static_cast<size_t>(std::max(struck.length, 0));
    const size_t lo = std::max(a, s.start);
    const size_t hi = std::min(b, s.end);
    if (lo < hi) {
      struck_spans().push_back(StruckSpan{moved(lo), ClampToInt32(hi - lo)});
    }
  }
  const size_t from_length = from.pictures().empty() ? 0 : from.Utf16Length();
  for (const TextPicture& picture : from.pictures()) {
    const size_t p = static_cast<size_t>(std::max(picture.position, 0));
    // A picture at the very end of the text goes with the span that ends there.
    if ((p >= s.start && p < s.end) || (p == s.end && s.end == from_length)) {
      TextPicture copy = picture;
      copy.position = moved(p);
      pictures().push_back(std::move(copy));
    }
  }
  text_.append(from.text_, stretch.from_byte, stretch.to_byte - stretch.from_byte);
  TextChanged();
  if (extras_ != nullptr) {
    extras_->rtf.clear();
  }
}

void Content::DeleteSpan(TextRange span) {
  const Stretch stretch = StretchOf(span);
  const TextRange s = stretch.units;
  if (s.start == s.end) {
    return;
  }
  const size_t removed = s.length();
  // Where an offset lands once the span is gone.
  auto moved = [&](size_t offset) {
    return ClampToInt32(offset <= s.start ? offset : offset >= s.end ? offset - removed : s.start);
  };

  if (extras_ != nullptr) {
    TextExtras& x = *extras_;
    // The text after the span keeps the run in effect at the span's end.
    const StyleRun* at_end = nullptr;
    for (const StyleRun& run : x.style_runs) {
      if (run.start >= 0 && static_cast<size_t>(run.start) <= s.end) {
        at_end = &run;
      }
    }
    std::vector<StyleRun> runs;
    for (const StyleRun& run : x.style_runs) {
      const size_t start = static_cast<size_t>(std::max(run.start, 0));
      if (start < s.start || start > s.end || &run == at_end) {
        runs.push_back(run);
        runs.back().start = moved(start);
      }
    }
    x.style_runs = std::move(runs);

    std::vector<StruckSpan> struck;
    for (const StruckSpan& span_struck : x.struck_spans) {
      const size_t a = static_cast<size_t>(std::max(span_struck.start, 0));
      const size_t b = a + static_cast<size_t>(std::max(span_struck.length, 0));
      const int32_t lo = moved(a);
      const int32_t hi = moved(b);
      if (lo < hi) {
        struck.push_back(StruckSpan{lo, hi - lo});
      }
    }
    x.struck_spans = std::move(struck);

    std::vector<TextPicture> pictures;
    for (TextPicture& picture : x.pictures) {
      const size_t p = static_cast<size_t>(std::max(picture.position, 0));
      if (p < s.start || p >= s.end) {
        picture.position = moved(p);
        pictures.push_back(std::move(picture));
      }
    }
    x.pictures = std::move(pictures);
  }

  text_.erase(stretch.from_byte, stretch.to_byte - stretch.from_byte);
  TextChanged();
  if (extras_ != nullptr) {
    extras_->rtf.clear();
  }
}

size_t Utf16Length(std::string_view text) {
  // A run of ASCII bytes is one unit a byte; only the rest needs decoding.
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) {
    ++ascii;
  }
  size_t total = ascii;
  ForEachCharacterFrom(text, ascii, [&total](size_t, size_t, size_t units) {
    total += units;
    return true;
  });
  return total;
}

size_t Utf8OffsetForUtf16(std::string_view text, size_t units) {
  return LocateFrom(text, 0, 0, units).bytes;
}

size_t Utf16OffsetForUtf8(std::string_view text, size_t bytes) {
  return UnitsFrom(text, 0, 0, bytes);
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
