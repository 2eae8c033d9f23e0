// The per-note word index: which words a note holds and how often. The expression
// language's `word(x)` asks whether a note holds a word, and `similarTo(note, n)`
// ranks the document's notes by how much of their vocabulary they share with a note.
//
// A note's words are those of its text followed by the values it stores itself for
// string attributes under "User" (not inherited ones). Words are found by the Unicode
// word-boundary rules (dictionary-based for Chinese, Japanese and Thai), so spaces and
// punctuation are not words and numbers are; each word is case-folded (full folding:
// "Straße" and "STRASSE" are the same word). Words of the stop list ("stoplist.txt" in
// the configuration folder) are left out.
//
// Similarity of two notes is the cosine of their word-count vectors:
//   sum over shared words of count_a * count_b / (|a| * |b|),
// where |a| is the square root of the sum of a's squared counts. It is 0 when either
// note holds no word and 1 for notes holding the same words in the same proportions;
// it ignores word order and text length.
//
// Notes build their index lazily (`Node::GetWordIndex`) and drop it when their text,
// one of their user string values or the stop list changes.

#ifndef FERNWEAVE_MODEL_WORD_INDEX_H_
#define FERNWEAVE_MODEL_WORD_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fernweave {

class Node;

inline constexpr char kStopListFileName[] = "stoplist.txt";

// Common words an index leaves out. Each line of the file holds one word; blank lines
// and lines starting with "#" are skipped; words are case-folded as index words are.
class StopList {
 public:
  StopList() = default;
  // The words of `text`, one per line.
  static StopList FromText(std::string_view text);
  // The stop list of the file; empty when the file cannot be read.
  static StopList FromFile(const std::filesystem::path& file);

  // REQUIRES: `folded` is already case-folded (FoldWord); `hash` is WordHash(folded).
  bool Contains(std::string_view folded, uint64_t hash) const;
  bool Contains(std::string_view folded) const;
  size_t size() const { return words_.size(); }

 private:
  void Insert(std::string folded);

  // The words' hashes in an open-addressed table (a power of two in size, at most a
  // quarter full, 0 marking a free slot): most words are not stop words, and a miss is
  // decided here without touching a string.
  std::vector<uint64_t> slots_;
  bool zero_hash_ = false;  // a word whose hash is 0 is in the list
  std::unordered_set<std::string> words_;
};

// The stop list of the configuration folder in use, read on first use and read again
// when the configuration folder changes. Never null; stays valid until the folder
// changes.
std::shared_ptr<const StopList> CurrentStopList();

// The case-folded form of a word (full Unicode case folding; ASCII is lower-cased).
std::string FoldWord(std::string_view word);
// Appends the case-folded form of `word` to `out`.
void AppendFoldedWord(std::string_view word, std::string* out);
// A 64-bit hash of a folded word (FNV-1a); the order of an index's words.
inline uint64_t WordHash(std::string_view folded) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : folded) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return hash;
}

class WordIndex {
 public:
  WordIndex() = default;

  // Adds the words of `text` (UTF-8; ill-formed bytes never form words) that are not
  // in `stop`; then call Finish. Adding after Finish is allowed; call Finish again.
  void Add(std::string_view text, const StopList& stop);
  // Sorts and counts what Add gathered.
  void Finish();
  // Add then Finish.
  static WordIndex Build(std::string_view text, const StopList& stop);

  // How many times the index holds `word`, which is trimmed of blanks and case-folded
  // first; 0 when absent (a text of several words is never an entry).
  uint32_t Count(std::string_view word) const;
  bool Holds(std::string_view word) const { return Count(word) != 0; }
  // The count of an already folded word (no folding, no checks).
  uint32_t CountFolded(std::string_view folded) const;

  // The distinct words, i from 0 to size() - 1, and their counts, ordered by WordHash
  // and then byte-wise (so two indexes can be walked together).
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::string_view WordAt(size_t i) const {
    return std::string_view(words_).substr(entries_[i].offset, entries_[i].length);
  }
  uint32_t CountAt(size_t i) const { return entries_[i].count; }
  // Orders this index's word i against `other`'s word j as the entries are ordered:
  // negative, zero (the same word) or positive.
  int CompareAt(size_t i, const WordIndex& other, size_t j) const;
  // Number of words counted, repeats included.
  size_t TotalWords() const { return total_; }
  // The Euclidean length of the count vector.
  double Norm() const { return norm_; }

 private:
  // A word in words_ and how often it occurs.
  struct Span {
    uint64_t hash;  // WordHash of the word
    uint32_t offset;
    uint32_t length;
    uint32_t count;
  };

  std::string words_;          // the folded words, back to back
  std::vector<Span> entries_;  // distinct words in order (after Finish)
  std::vector<Span> pending_;  // words added since the last Finish, one per occurrence
  size_t total_ = 0;
  double norm_ = 0;
};

// A note's index with what it was built from (Node::GetWordIndex).
struct WordIndexCache {
  WordIndex index;
  uint64_t text_stamp = 0;                     // Content::text_stamp of the text indexed
  std::shared_ptr<const StopList> stop_list;  // the stop list applied
};

// The cosine similarity described above, in [0, 1].
double Similarity(const WordIndex& a, const WordIndex& b);

// Whether the note's index holds `word`. An alias answers false: it has no words of
// its own.
bool NoteHoldsWord(const Node& note, std::string_view word);

// The live notes most similar to `target` (by Similarity of their indexes), best first,
// at most n. Left out: `target` and every alias (an alias shares its original's words,
// so its original stands for it), hidden notes, and notes sharing no word with the
// target. Equal scores keep the document's registration order. Empty for n == 0, a
// target without a document, or a target whose index is empty. An alias target
// ranks against its original's words and its original is left out.
std::vector<Node*> MostSimilarNotes(const Node& target, size_t n);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_WORD_INDEX_H_
