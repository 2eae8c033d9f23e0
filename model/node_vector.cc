#include "model/node_vector.h"

#include <algorithm>

#include "model/node.h"

namespace fernweave {
namespace {

// Members sorted by a date attribute, latest first, cut to n. The sort is stable so
// notes with equal dates keep their list order.
template <typename P>
std::vector<P> LatestBy(const std::vector<P>& notes, std::string_view attribute, size_t n) {
  std::vector<std::pair<int64_t, P>> dated;
  dated.reserve(notes.size());
  for (P note : notes) {
    dated.emplace_back(note->GetDate(attribute), note);
  }
  std::stable_sort(dated.begin(), dated.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<P> result;
  for (size_t i = 0; i < dated.size() && i < n; ++i) {
    result.push_back(dated[i].second);
  }
  return result;
}

}  // namespace

template <typename P>
void TNodeVector<P>::Add(P n) {
  if (n != nullptr && !Has(n)) {
    notes_.push_back(n);
  }
}

template <typename P>
void TNodeVector<P>::Insert(P n, size_t index) {
  notes_.insert(notes_.begin() + std::min(index, notes_.size()), n);
}

template <typename P>
void TNodeVector<P>::Remove(const Node* n) {
  std::erase(notes_, n);
}

template <typename P>
void TNodeVector<P>::Append(const TNodeVector& other) {
  for (P n : other.notes_) {
    Add(n);
  }
}

template <typename P>
bool TNodeVector<P>::Has(const Node* n) const {
  return std::find(notes_.begin(), notes_.end(), n) != notes_.end();
}

template <typename P>
bool TNodeVector<P>::SameParent() const {
  for (P n : notes_) {
    if (n->Father() != notes_.front()->Father()) {
      return false;
    }
  }
  return true;
}

template <typename P>
bool TNodeVector<P>::OnlyAdornments() const {
  return !notes_.empty() &&
         std::all_of(notes_.begin(), notes_.end(), [](P n) { return n->IsAdornment(); });
}

template <typename P>
TNodeVector<P> TNodeVector<P>::AgentsAndContainers() const {
  TNodeVector result;
  for (P n : notes_) {
    if (n->IsAgent() || n->IsContainer()) {
      result.notes_.push_back(n);
    }
  }
  return result;
}

template <typename P>
void TNodeVector<P>::RemoveAliases() {
  std::erase_if(notes_, [](P n) { return n->IsAlias(); });
}

template <typename P>
void TNodeVector<P>::RemoveAdornments() {
  std::erase_if(notes_, [](P n) { return n->IsAdornment(); });
}

template <typename P>
TNodeVector<P> TNodeVector<P>::Unlocked() const {
  TNodeVector result;
  for (P n : notes_) {
    if (!n->GetBoolean("Lock")) {
      result.notes_.push_back(n);
    }
  }
  return result;
}

template <typename P>
TNodeVector<P> TNodeVector<P>::Newest(size_t n) const {
  return TNodeVector(LatestBy(notes_, "Created", n));
}

template <typename P>
TNodeVector<P> TNodeVector<P>::MostRecentlyModified(size_t n) const {
  return TNodeVector(LatestBy(notes_, "Modified", n));
}

template <typename P>
ValuePtr TNodeVector<P>::SharedValue(std::string_view attribute) const {
  if (notes_.empty()) {
    return nullptr;
  }
  const Value* first = notes_.front()->Get(attribute);
  for (P n : notes_) {
    if (!n->Get(attribute)->equal(*first)) {
      return nullptr;
    }
  }
  return first->Clone();
}

template <typename P>
std::optional<double> TNodeVector<P>::SharedNumber(std::string_view attribute) const {
  if (notes_.empty()) {
    return std::nullopt;
  }
  const double first = notes_.front()->GetDouble(attribute);
  for (P n : notes_) {
    if (n->GetDouble(attribute) != first) {
      return std::nullopt;
    }
  }
  return first;
}

template <typename P>
std::optional<bool> TNodeVector<P>::SharedBoolean(std::string_view attribute) const {
  if (notes_.empty()) {
    return std::nullopt;
  }
  const bool first = notes_.front()->GetBoolean(attribute);
  for (P n : notes_) {
    if (n->GetBoolean(attribute) != first) {
      return std::nullopt;
    }
  }
  return first;
}

template <typename P>
std::optional<PColor> TNodeVector<P>::SharedColor(std::string_view attribute) const {
  if (notes_.empty()) {
    return std::nullopt;
  }
  const PColor first = notes_.front()->Get(attribute)->AsColor();
  for (P n : notes_) {
    if (!(n->Get(attribute)->AsColor() == first)) {
      return std::nullopt;
    }
  }
  return first;
}

template <typename P>
std::string TNodeVector<P>::TitleList() const {
  std::string list;
  for (P n : notes_) {
    if (!list.empty()) {
      list += ", ";
    }
    list += n->Name();
  }
  return list;
}

template class TNodeVector<Node*>;
template class TNodeVector<const Node*>;

}  // namespace fernweave
