// Change notification: what the model tells the open views after it changed.
//
// The document keeps one pending `Change` record, a map from note to facet mask (a
// null note stands for the whole document). Model operations report facets on notes
// (`ChangeHolder::Changed`); unless changes are being accumulated or held, the record
// is then handed at once to every registered view (`Changeable`) and cleared.
// `StChanges` batches the changes of a scope into one delivery; `StIgnoreChanges`
// suspends recording (used while a document is built or read).

#ifndef FERNWEAVE_MODEL_CHANGE_H_
#define FERNWEAVE_MODEL_CHANGE_H_

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace fernweave {

class Node;

// The facet bits of a change mask.
namespace facet {
inline constexpr uint32_t kMoved = 1;        // the note appeared or moved
inline constexpr uint32_t kChildren = 2;     // the note's children changed
inline constexpr uint32_t kNoModify = 16;    // does not modify the document (selection, reading)
inline constexpr uint32_t kLinks = 32;       // the note's links changed
inline constexpr uint32_t kHidden = 64;      // the note was hidden (deleted)
inline constexpr uint32_t kDisplay = 0x200;  // a display attribute changed
inline constexpr uint32_t kRedraw = 0x201;   // a display attribute that needs a redraw
}  // namespace facet

// What a view implements to hear about changes. The model calls it on the main thread,
// with recording suspended (changes the view makes while handling are not reported).
class Changeable {
 public:
  virtual ~Changeable() = default;
  // `node` changed in the ways `facets` says. The node outlives the call.
  virtual void NoteChanged(const Node* node, uint32_t facets) = 0;
  // The whole document changed; redraw everything.
  virtual void DocumentChanged() = 0;
};

// A pending change record: notes in the order they were first reported, each with the
// OR of the facets reported for it.
class Change {
 public:
  struct Entry {
    const Node* node;  // null: the whole document
    uint32_t facets;
  };

  // ORs facets into the entry of n (creating it). Facets 0 still create the entry.
  void Add(const Node* n, uint32_t facets);
  // Drops the entry of n (a note being removed from the document).
  void Remove(const Node* n);
  // The facets recorded for n, 0 when none.
  uint32_t FacetsFor(const Node* n) const;
  bool empty() const { return index_.empty(); }
  // True when an entry carries a mask other than 0 and kNoModify.
  bool ModifiesDocument() const;
  // The live entries in first-report order.
  std::vector<Entry> Entries() const;
  void Clear();

 private:
  std::vector<Entry> entries_;  // a removed entry keeps its slot with node == nullptr
  std::vector<bool> dead_;
  std::unordered_map<const Node*, size_t> index_;
};

// The owner of the pending record and of the list of views; the document is one.
class ChangeHolder {
 public:
  ChangeHolder() = default;
  ChangeHolder(const ChangeHolder&) = delete;
  ChangeHolder& operator=(const ChangeHolder&) = delete;
  virtual ~ChangeHolder() = default;

  // Registers a view (not owned). REQUIRES: the view stays alive until removed.
  void AddView(Changeable* view);
  void RemoveView(Changeable* view);

  // ORs facets for n into the pending record, then delivers (DoChanges).
  void Changed(const Node* n, uint32_t facets);
  // ORs facets into the pending record without delivering. Nothing while ignoring.
  void AddChange(const Node* n, uint32_t facets);
  // Delivers the pending record to every view, unless changes are being accumulated
  // or held, or there are none. Sets the modified flag when an entry modifies the
  // document.
  void DoChanges();

  // Recording on/off; calls nest, so each IgnoreChanges(true) needs its false.
  void IgnoreChanges(bool ignore);
  bool IgnoringChanges() const { return ignore_depth_ > 0; }
  // Accumulating on/off; nests like IgnoreChanges. Delivery waits until the last
  // accumulation ends (StChanges then delivers).
  void AccumulateChanges(bool accumulate);
  bool AccumulatingChanges() const { return accumulate_depth_ > 0; }
  // Holding: record but do not deliver until released; releasing delivers.
  void HoldChanges(bool hold);
  bool HoldingChanges() const { return held_; }

  const Change& PendingChanges() const { return pending_; }
  // Forgets the pending entry of a note leaving the document.
  void DropPendingChange(const Node* n) { pending_.Remove(n); }

  bool IsModified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

 private:
  Change pending_;
  std::vector<Changeable*> views_;
  int ignore_depth_ = 0;
  int accumulate_depth_ = 0;
  bool held_ = false;
  bool modified_ = false;
};

// Accumulates the changes of its scope and delivers them once at its end.
class StChanges {
 public:
  // A null holder makes the guard do nothing.
  explicit StChanges(ChangeHolder* holder);
  ~StChanges();
  StChanges(const StChanges&) = delete;
  StChanges& operator=(const StChanges&) = delete;

 private:
  ChangeHolder* holder_;
};

// Suspends the recording of changes for its scope.
class StIgnoreChanges {
 public:
  // A null holder makes the guard do nothing.
  explicit StIgnoreChanges(ChangeHolder* holder);
  ~StIgnoreChanges();
  StIgnoreChanges(const StIgnoreChanges&) = delete;
  StIgnoreChanges& operator=(const StIgnoreChanges&) = delete;

 private:
  ChangeHolder* holder_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_CHANGE_H_
