// Ordered lists of notes that views, agents, export and the inspector pass around.
// They never own the notes.

#ifndef FERNWEAVE_MODEL_NODE_VECTOR_H_
#define FERNWEAVE_MODEL_NODE_VECTOR_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/color.h"
#include "model/value.h"

namespace fernweave {

class Node;

template <typename P>  // Node* or const Node*
class TNodeVector {
 public:
  TNodeVector() = default;
  explicit TNodeVector(std::vector<P> notes) : notes_(std::move(notes)) {}

  // Appends n unless it is already present or null.
  void Add(P n);
  // Inserts n at index (clamped to the end), even when present.
  void Insert(P n, size_t index);
  // Removes every occurrence of n.
  void Remove(const Node* n);
  // Adds (as Add does) every note of other, in order.
  void Append(const TNodeVector& other);
  bool Has(const Node* n) const;
  void Clear() { notes_.clear(); }

  // True when every member has the same father (and for an empty list).
  bool SameParent() const;
  // True when the list is not empty and every member is an adornment.
  bool OnlyAdornments() const;
  // The members that are agents or containers.
  TNodeVector AgentsAndContainers() const;
  void RemoveAliases();
  void RemoveAdornments();
  // The members whose `Lock` is false.
  TNodeVector Unlocked() const;
  // The n members created most recently, newest first (`Created`).
  TNodeVector Newest(size_t n) const;
  // The n members modified most recently, latest first (`Modified`).
  TNodeVector MostRecentlyModified(size_t n) const;

  // The effective value of the attribute when every member has an equal one (owned by
  // the caller); null when they differ or the list is empty.
  ValuePtr SharedValue(std::string_view attribute) const;
  std::optional<double> SharedNumber(std::string_view attribute) const;
  std::optional<bool> SharedBoolean(std::string_view attribute) const;
  std::optional<PColor> SharedColor(std::string_view attribute) const;
  // The members' names joined by ", ".
  std::string TitleList() const;

  size_t size() const { return notes_.size(); }
  bool empty() const { return notes_.empty(); }
  P operator[](size_t i) const { return notes_[i]; }
  auto begin() const { return notes_.begin(); }
  auto end() const { return notes_.end(); }
  const std::vector<P>& notes() const { return notes_; }

 private:
  std::vector<P> notes_;
};

using NodeVector = TNodeVector<Node*>;
using ConstNodeVector = TNodeVector<const Node*>;

extern template class TNodeVector<Node*>;
extern template class TNodeVector<const Node*>;

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_NODE_VECTOR_H_
