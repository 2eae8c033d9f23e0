#include "model/word_index.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "model/attribute.h"
#include "model/config.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_vector.h"

namespace fernweave {
namespace {

// One word-break iterator per thread: making one loads the rules and dictionaries.
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

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const char* kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// Appends the folded form of UTF-16 text as UTF-8, as AppendFoldedWord does for the
// same text in UTF-8, without making ICU strings for it.
void AppendFoldedUnits(const UChar* units, int32_t length, std::string* out) {
  // Full folding can make a character three.
  constexpr int32_t kRoom = 192;
  UChar folded[kRoom];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = length <= kRoom / 3
                        ? u_strFoldCase(folded, kRoom, units, length, U_FOLD_CASE_DEFAULT, &status)
                        : -1;
  if (n < 0 || U_FAILURE(status)) {
    icu::UnicodeString word(units, length);
    word.foldCase(U_FOLD_CASE_DEFAULT);
    word.toUTF8String(*out);
    return;
  }
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U16_NEXT(folded, i, n, c);
    uint8_t bytes[U8_MAX_LENGTH];
    int32_t size = 0;
    U8_APPEND_UNSAFE(bytes, size, c);
    out->append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  }
}

}  // namespace

// --- Stop list ---------------------------------------------------------------------

StopList StopList::FromText(std::string_view text) {
  StopList list;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view line = TrimBlanks(text.substr(start, end - start));
    if (!line.empty() && line.front() != '#') {
      list.Insert(FoldWord(line));
    }
    start = end + 1;
  }
  return list;
}

void StopList::Insert(std::string folded) {
  const uint64_t hash = WordHash(folded);
  if (!words_.insert(std::move(folded)).second) {
    return;
  }
  if (hash == 0) {
    zero_hash_ = true;
    return;
  }
  if (slots_.size() < 4 * words_.size()) {
    // Grow and place every hash again.
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(std::max<size_t>(64, old.size() * 2), 0);
    for (uint64_t h : old) {
      for (size_t i = h & (slots_.size() - 1); h != 0; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i] == 0) {
          slots_[i] = h;
          break;
        }
      }
    }
  }
  for (size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
    if (slots_[i] == 0 || slots_[i] == hash) {
      slots_[i] = hash;
      return;
    }
  }
}

bool StopList::Contains(std::string_view folded, uint64_t hash) const {
  bool maybe = hash == 0 ? zero_hash_ : false;
  if (hash != 0 && !slots_.empty()) {
    for (size_t i = hash & (slots_.size() - 1); slots_[i] != 0;
         i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == hash) {
        maybe = true;
        break;
      }
    }
  }
  return maybe && words_.count(std::string(folded)) != 0;
}

bool StopList::Contains(std::string_view folded) const {
  return Contains(folded, WordHash(folded));
}

StopList StopList::FromFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return StopList();
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream contents;
  if (!in || !(contents << in.rdbuf())) {
    return StopList();
  }
  return FromText(contents.str());
}

std::shared_ptr<const StopList> CurrentStopList() {
  static std::filesystem::path loaded_from;
  static std::shared_ptr<const StopList> current;
  std::filesystem::path folder = ConfigFolder();
  // Compared as plain strings: this runs for every note a query looks at, and a
  // component-wise path comparison costs more than building a small index.
  if (current == nullptr || folder.native() != loaded_from.native()) {
    current = std::make_shared<const StopList>(StopList::FromFile(folder / kStopListFileName));
    loaded_from = std::move(folder);
  }
  return current;
}

// --- Words -------------------------------------------------------------------------

void AppendFoldedWord(std::string_view word, std::string* out) {
  if (IsAscii(word)) {
    const size_t at = out->size();
    out->resize(at + word.size());
    char* folded = out->data() + at;
    for (char c : word) {
      *folded++ = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return;
  }
  icu::UnicodeString unicode =
      icu::UnicodeString::fromUTF8(icu::StringPiece(word.data(), static_cast<int32_t>(word.size())));
  unicode.foldCase(U_FOLD_CASE_DEFAULT);
  unicode.toUTF8String(*out);
}

std::string FoldWord(std::string_view word) {
  std::string folded;
  AppendFoldedWord(word, &folded);
  return folded;
}

void WordIndex::Add(std::string_view text, const StopList& stop) {
  if (text.empty()) {
    return;
  }
  icu::BreakIterator* breaker = WordBreaker();
  if (breaker == nullptr) {
    return;
  }
  // ICU finds boundaries several times faster in UTF-16 than through a UTF-8 UText, so
  // the text is converted and each boundary mapped back to a byte offset by walking the
  // UTF-8 text alongside (ill-formed bytes count one unit per maximal ill-formed
  // sequence, as the conversion's U+FFFD does).
  thread_local std::vector<UChar> buffer;
  buffer.resize(text.size() + 1);  // UTF-16 never needs more units than UTF-8 has bytes
  UErrorCode status = U_ZERO_ERROR;
  int32_t units = 0;
  u_strFromUTF8WithSub(buffer.data(), static_cast<int32_t>(buffer.size()), &units, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) {
    return;
  }
  const icu::UnicodeString unicode(false, buffer.data(), units);  // read-only, not copied
  // Room for every word of the text at once: a word is at least one byte and
  // separated by at least one; folding rarely grows a word.
  words_.reserve(words_.size() + text.size() + 16);
  pending_.reserve(pending_.size() + text.size() / 2 + 1);
  breaker->setText(unicode);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t byte = 0;   // the byte offset of UTF-16 offset `unit`
  int32_t unit = 0;
  auto byte_at = [&](int32_t wanted) {
    while (unit < wanted && byte < length) {
      if (bytes[byte] < 0x80) {
        ++byte;
        ++unit;
        continue;
      }
      UChar32 c;
      U8_NEXT(bytes, byte, length, c);
      unit += c > 0xFFFF ? 2 : 1;
    }
    return byte;
  };
  int32_t start = breaker->first();
  for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE;
       start = end, end = breaker->next()) {
    if (breaker->getRuleStatus() == UBRK_WORD_NONE) {
      continue;
    }
    const int32_t first = byte_at(start);
    const int32_t last = byte_at(end);
    const std::string_view word =
        text.substr(static_cast<size_t>(first), static_cast<size_t>(last - first));
    const size_t offset = words_.size();
    if (IsAscii(word)) {
      AppendFoldedWord(word, &words_);
    } else {
      AppendFoldedUnits(buffer.data() + start, end - start, &words_);
    }
    const std::string_view folded = std::string_view(words_).substr(offset);
    const uint64_t hash = WordHash(folded);
    if (stop.Contains(folded, hash)) {
      words_.resize(offset);
    } else {
      pending_.push_back(Span{hash, static_cast<uint32_t>(offset),
                              static_cast<uint32_t>(folded.size()), 1});
    }
  }
  // The iterator keeps a reference to the text; leave it on text that stays valid.
  static const icu::UnicodeString kNoText;
  breaker->setText(kNoText);
}

void WordIndex::Finish() {
  if (pending_.empty()) {
    return;
  }
  std::vector<Span> all = std::move(pending_);
  pending_ = std::vector<Span>();
  all.insert(all.end(), entries_.begin(), entries_.end());
  const std::string_view words(words_);
  auto word = [&words](const Span& s) { return words.substr(s.offset, s.length); };

  // Merge repeats through a hash table first, so that only distinct words are sorted
  // (a note's text repeats its words a lot). Slots hold 1 + the index in `all` of the
  // first occurrence; `all` keeps each distinct word at its first place.
  thread_local std::vector<uint32_t> slots;
  size_t capacity = 16;
  while (capacity < 2 * all.size()) {
    capacity *= 2;
  }
  slots.assign(capacity, 0);
  size_t distinct = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const Span& s = all[i];
    for (size_t slot = s.hash & (capacity - 1);; slot = (slot + 1) & (capacity - 1)) {
      if (slots[slot] == 0) {
        all[distinct] = s;
        slots[slot] = static_cast<uint32_t>(++distinct);
        break;
      }
      Span& seen = all[slots[slot] - 1];
      if (seen.hash == s.hash && word(seen) == word(s)) {
        seen.count += s.count;
        break;
      }
    }
  }
  all.resize(distinct);
  // By hash first: comparing two integers is far cheaper than comparing two words.
  std::sort(all.begin(), all.end(), [&word](const Span& a, const Span& b) {
    return a.hash != b.hash ? a.hash < b.hash : word(a) < word(b);
  });

  size_t bytes = 0;
  total_ = 0;
  double squares = 0;
  for (const Span& s : all) {
    bytes += s.length;
    total_ += s.count;
    squares += static_cast<double>(s.count) * s.count;
  }
  // The distinct words, copied out back to back at their exact size.
  std::string packed;
  packed.reserve(bytes);
  for (Span& s : all) {
    const std::string_view w = word(s);
    s.offset = static_cast<uint32_t>(packed.size());
    packed.append(w);
  }
  entries_.assign(all.begin(), all.end());
  words_ = std::move(packed);
  norm_ = std::sqrt(squares);
}

WordIndex WordIndex::Build(std::string_view text, const StopList& stop) {
  WordIndex index;
  index.Add(text, stop);
  index.Finish();
  return index;
}

uint32_t WordIndex::CountFolded(std::string_view folded) const {
  const uint64_t hash = WordHash(folded);
  size_t low = 0;
  size_t high = entries_.size();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const Span& s = entries_[middle];
    if (s.hash < hash || (s.hash == hash && WordAt(middle) < folded)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low < entries_.size() && entries_[low].hash == hash && WordAt(low) == folded
             ? entries_[low].count
             : 0;
}

int WordIndex::CompareAt(size_t i, const WordIndex& other, size_t j) const {
  const uint64_t a = entries_[i].hash;
  const uint64_t b = other.entries_[j].hash;
  if (a != b) {
    return a < b ? -1 : 1;
  }
  return WordAt(i).compare(other.WordAt(j));
}

uint32_t WordIndex::Count(std::string_view word) const {
  word = TrimBlanks(word);
  if (word.empty() || entries_.empty()) {
    return 0;
  }
  return CountFolded(FoldWord(word));
}

double Similarity(const WordIndex& a, const WordIndex& b) {
  if (a.empty() || b.empty()) {
    return 0;
  }
  // Both word lists are sorted: walk them together.
  double dot = 0;
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const int order = a.CompareAt(i, b, j);
    if (order < 0) {
      ++i;
    } else if (order > 0) {
      ++j;
    } else {
      dot += static_cast<double>(a.CountAt(i)) * b.CountAt(j);
      ++i;
      ++j;
    }
  }
  // Rounding can carry identical vectors a hair past 1.
  return std::min(1.0, dot / (a.Norm() * b.Norm()));
}

// --- Notes -------------------------------------------------------------------------

const WordIndex& Node::GetWordIndex() const {
  static const WordIndex kEmpty;
  const Node* original = GetOriginal();
  if (original == nullptr) {
    return kEmpty;
  }
  if (original != this) {
    return original->GetWordIndex();
  }
  std::shared_ptr<const StopList> stop = CurrentStopList();
  const Content* content = GetContent();
  if (word_index_ != nullptr && word_index_->text_stamp == content->text_stamp() &&
      word_index_->stop_list == stop) {
    return word_index_->index;
  }
  auto cache = std::make_unique<WordIndexCache>();
  cache->text_stamp = content->text_stamp();
  // One pass over the text and the user strings together, each after a line break
  // (always a word boundary): every pass has a fixed cost in the break iterator.
  std::string extra;
  for (const PropertyMap::Entry& e : properties_.entries()) {
    if (e.attribute->IsString() && e.attribute->IsUserAttribute()) {
      extra.push_back('\r');
      extra.append(e.value->AsString());
    }
  }
  if (extra.empty()) {
    cache->index.Add(content->text(), *stop);
  } else {
    cache->index.Add(content->text() + extra, *stop);
  }
  cache->index.Finish();
  cache->stop_list = std::move(stop);
  word_index_ = std::move(cache);
  return word_index_->index;
}

void Node::Index() {
  word_index_.reset();
}

bool NoteHoldsWord(const Node& note, std::string_view word) {
  return !note.IsAlias() && note.GetWordIndex().Holds(word);
}

std::vector<Node*> MostSimilarNotes(const Node& target, size_t n) {
  const Node* original = target.GetOriginal();
  Hypertext* doc = target.GetHypertext();
  if (n == 0 || original == nullptr || doc == nullptr) {
    return {};
  }
  const WordIndex& wanted = original->GetWordIndex();
  if (wanted.empty()) {
    return {};
  }
  struct Scored {
    double score;
    size_t order;
    Node* note;
  };
  std::vector<Scored> scored;
  const NodeVector all = doc->AllNodes();
  for (size_t i = 0; i < all.size(); ++i) {
    Node* candidate = all[i];
    if (candidate == original || candidate->IsAlias() || candidate->IsHidden()) {
      continue;
    }
    const double score = Similarity(wanted, candidate->GetWordIndex());
    if (score > 0) {
      scored.push_back(Scored{score, i, candidate});
    }
  }
  auto better = [](const Scored& a, const Scored& b) {
    return a.score != b.score ? a.score > b.score : a.order < b.order;
  };
  const size_t keep = std::min(n, scored.size());
  std::partial_sort(scored.begin(), scored.begin() + static_cast<ptrdiff_t>(keep), scored.end(),
                    better);
  std::vector<Node*> best;
  best.reserve(keep);
  for (size_t i = 0; i < keep; ++i) {
    best.push_back(scored[i].note);
  }
  return best;
}

}  // namespace fernweave
