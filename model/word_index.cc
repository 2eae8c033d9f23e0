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
#include <unicode/utext.h>

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
      list.words_.insert(FoldWord(line));
    }
    start = end + 1;
  }
  return list;
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
  if (current == nullptr || folder != loaded_from) {
    current = std::make_shared<const StopList>(StopList::FromFile(folder / kStopListFileName));
    loaded_from = std::move(folder);
  }
  return current;
}

// --- Words -------------------------------------------------------------------------

std::string FoldWord(std::string_view word) {
  if (IsAscii(word)) {
    std::string folded(word);
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return folded;
  }
  icu::UnicodeString unicode =
      icu::UnicodeString::fromUTF8(icu::StringPiece(word.data(), static_cast<int32_t>(word.size())));
  unicode.foldCase(U_FOLD_CASE_DEFAULT);
  std::string folded;
  unicode.toUTF8String(folded);
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
  UErrorCode status = U_ZERO_ERROR;
  UText utext = UTEXT_INITIALIZER;
  utext_openUTF8(&utext, text.data(), static_cast<int64_t>(text.size()), &status);
  breaker->setText(&utext, status);
  if (U_FAILURE(status)) {
    utext_close(&utext);
    return;
  }
  // On UTF-8 text the boundaries are byte offsets.
  int32_t start = breaker->first();
  for (int32_t end = breaker->next(); end != icu::BreakIterator::DONE;
       start = end, end = breaker->next()) {
    if (breaker->getRuleStatus() == UBRK_WORD_NONE) {
      continue;
    }
    std::string folded = FoldWord(text.substr(static_cast<size_t>(start),
                                              static_cast<size_t>(end - start)));
    if (!stop.Contains(folded)) {
      pending_.push_back(std::move(folded));
    }
  }
  // The iterator keeps a shallow copy of the text; leave it on text that stays valid.
  static const icu::UnicodeString kNoText;
  breaker->setText(kNoText);
  utext_close(&utext);
}

void WordIndex::Finish() {
  if (pending_.empty()) {
    return;
  }
  for (Entry& e : entries_) {
    for (uint32_t i = 0; i < e.count; ++i) {
      pending_.push_back(e.word);
    }
  }
  std::sort(pending_.begin(), pending_.end());
  entries_.clear();
  total_ = pending_.size();
  double squares = 0;
  for (size_t i = 0; i < pending_.size();) {
    size_t j = i + 1;
    while (j < pending_.size() && pending_[j] == pending_[i]) {
      ++j;
    }
    const auto count = static_cast<uint32_t>(j - i);
    squares += static_cast<double>(count) * count;
    entries_.push_back(Entry{std::move(pending_[i]), count});
    i = j;
  }
  norm_ = std::sqrt(squares);
  pending_.clear();
  pending_.shrink_to_fit();
}

WordIndex WordIndex::Build(std::string_view text, const StopList& stop) {
  WordIndex index;
  index.Add(text, stop);
  index.Finish();
  return index;
}

uint32_t WordIndex::CountFolded(std::string_view folded) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), folded,
                             [](const Entry& e, std::string_view w) { return e.word < w; });
  return it != entries_.end() && it->word == folded ? it->count : 0;
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
  // Both entry lists are sorted: walk them together.
  double dot = 0;
  auto i = a.entries().begin();
  auto j = b.entries().begin();
  while (i != a.entries().end() && j != b.entries().end()) {
    const int order = i->word.compare(j->word);
    if (order < 0) {
      ++i;
    } else if (order > 0) {
      ++j;
    } else {
      dot += static_cast<double>(i->count) * j->count;
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
  cache->index.Add(content->text(), *stop);
  for (const PropertyMap::Entry& e : properties_.entries()) {
    if (e.attribute->IsString() && e.attribute->IsUserAttribute()) {
      cache->index.Add(e.value->AsString(), *stop);
    }
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
