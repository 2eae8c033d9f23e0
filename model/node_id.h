// Note identity: a 32-bit id number and a creator string, and the per-document index
// from id numbers to notes.

#ifndef FERNWEAVE_MODEL_NODE_ID_H_
#define FERNWEAVE_MODEL_NODE_ID_H_

#include <cstdint>
#include <unordered_map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fernweave {

class Node;

// The creator given to ids when the document names none.
inline constexpr char kSystemCreator[] = "system";

class NodeID {
 public:
  NodeID();
  NodeID(uint32_t id, std::string_view creator);

  uint32_t id() const { return id_; }
  const std::string& creator() const { return *creator_; }

  // A fresh id for a new note, drawn from the process-wide counter (see
  // `MakeUniqueNumber`), with the given creator.
  static NodeID MakeUnique(std::string_view creator);

  // The id a file gives a note to ask for a fresh one.
  static constexpr uint32_t kFreshIdRequest = 0xFFFFFFFF;
  // The next number of the process-wide counter. Numbers start just above the clock's
  // seconds count (the low 32 bits of it, since 2040 the clock no longer fits) and
  // stay strictly increasing within a run, even when many notes are made in the same
  // second or the clock goes backwards, until the counter wraps. Never 0 and never
  // kFreshIdRequest. A document draws through `Hypertext::NewIdNumber`, which also
  // skips the numbers it holds.
  static uint32_t MakeUniqueNumber();

  // Makes sure later numbers lie above `id`; the file reader calls it for every id it
  // reads, so a new note never takes the number of a stored one.
  static void RaiseCounterAbove(uint32_t id);

  // The counter itself, for tests that need a known starting point.
  static uint32_t LastIdForTesting();
  static void SetLastIdForTesting(uint32_t last_id);

  // Order by id number, then by creator.
  int Compare(const NodeID& other) const;
  bool Equal(const NodeID& other) const { return Compare(other) == 0; }
  friend bool operator<(const NodeID& a, const NodeID& b) { return a.Compare(b) < 0; }
  friend bool operator==(const NodeID& a, const NodeID& b) { return a.Equal(b); }

 private:
  uint32_t id_ = 0;
  // Every note of a document made by one person shares one creator text: each text is
  // kept once for the whole process, and identities point at it.
  const std::string* creator_;
};

// Per document: id number → notes (several notes may share a number when their
// creators differ). Holds no ownership. A note is indexed under its present id: a
// note's id changes only through SetID, which takes it out of the index first.
class NodeIndex {
 public:
  NodeIndex() = default;
  NodeIndex(NodeIndex&&) = default;
  NodeIndex& operator=(NodeIndex&&) = default;

  // Indexes n under its present id. Adding an indexed note again does nothing.
  void Add(Node* n);
  // Forgets n; nothing when it is not indexed.
  void Remove(Node* n);
  bool Has(const Node* n) const;
  // The first note indexed under `id`, or null.
  Node* Find(uint32_t id) const;
  // The note indexed under `id` with that creator, or null.
  Node* Find(uint32_t id, const std::string& creator) const;
  size_t size() const { return first_.size() + more_count_; }
  void Clear();

 private:
  // Ids are nearly always unique: the first note indexed under each number is kept in
  // first_, found through an open-addressing table of (number, place in first_ + 1)
  // pairs, 0 marking a free slot; the rare later ones under the same number beside
  // it, in the order they were indexed. A large document indexes every note here, so
  // the table takes 8 bytes a slot and no heap node per note.
  struct Slot {
    uint32_t id = 0;
    uint32_t place = 0;
  };
  // The slot of the number, or null.
  const Slot* FindSlot(uint32_t id) const;
  size_t Home(uint32_t id) const;
  void InsertSlot(uint32_t id, uint32_t place);
  // Frees slot i, moving later slots of its run back so that every lookup still finds
  // its number without passing a free slot.
  void EraseSlot(size_t i);
  void Grow();

  std::vector<Slot> slots_;
  std::vector<Node*> first_;
  std::unordered_map<uint32_t, std::vector<Node*>> more_;
  size_t more_count_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_NODE_ID_H_
