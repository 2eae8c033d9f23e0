#include "model/change.h"

#include <algorithm>

namespace fernweave {

void Change::Add(const Node* n, uint32_t facets) {
  auto [it, inserted] = index_.emplace(n, entries_.size());
  if (inserted) {
    entries_.push_back(Entry{n, facets});
    dead_.push_back(false);
  } else {
    entries_[it->second].facets |= facets;
  }
}

void Change::Remove(const Node* n) {
  auto it = index_.find(n);
  if (it == index_.end()) {
    return;
  }
  dead_[it->second] = true;
  index_.erase(it);
}

uint32_t Change::FacetsFor(const Node* n) const {
  auto it = index_.find(n);
  return it == index_.end() ? 0 : entries_[it->second].facets;
}

bool Change::ModifiesDocument() const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    const uint32_t f = entries_[i].facets;
    if (!dead_[i] && f != 0 && f != facet::kNoModify) {
      return true;
    }
  }
  return false;
}

std::vector<Change::Entry> Change::Entries() const {
  std::vector<Entry> live;
  live.reserve(index_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!dead_[i]) {
      live.push_back(entries_[i]);
    }
  }
  return live;
}

void Change::Clear() {
  entries_.clear();
  dead_.clear();
  index_.clear();
}

void ChangeHolder::AddView(Changeable* view) {
  if (view != nullptr && std::find(views_.begin(), views_.end(), view) == views_.end()) {
    views_.push_back(view);
  }
}

void ChangeHolder::RemoveView(Changeable* view) {
  views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void ChangeHolder::Changed(const Node* n, uint32_t facets) {
  AddChange(n, facets);
  DoChanges();
}

void ChangeHolder::AddChange(const Node* n, uint32_t facets) {
  if (IgnoringChanges()) {
    return;
  }
  pending_.Add(n, facets);
}

void ChangeHolder::DoChanges() {
  if (AccumulatingChanges() || held_ || pending_.empty()) {
    return;
  }
  if (pending_.ModifiesDocument()) {
    modified_ = true;
  }
  // Deliver a copy and clear first: a view that reports a change while handling one
  // must not see the record it is reading change under it.
  const std::vector<Change::Entry> entries = pending_.Entries();
  pending_.Clear();
  const std::vector<Changeable*> views = views_;
  StIgnoreChanges ignore(this);
  for (Changeable* view : views) {
    for (const Change::Entry& e : entries) {
      if (e.node == nullptr) {
        view->DocumentChanged();
      } else {
        view->NoteChanged(e.node, e.facets);
      }
    }
  }
}

void ChangeHolder::IgnoreChanges(bool ignore) {
  if (ignore) {
    ++ignore_depth_;
  } else if (ignore_depth_ > 0) {
    --ignore_depth_;
  }
}

void ChangeHolder::AccumulateChanges(bool accumulate) {
  if (accumulate) {
    ++accumulate_depth_;
  } else if (accumulate_depth_ > 0) {
    --accumulate_depth_;
  }
}

void ChangeHolder::HoldChanges(bool hold) {
  held_ = hold;
  if (!hold) {
    DoChanges();
  }
}

StChanges::StChanges(ChangeHolder* holder) : holder_(holder) {
  if (holder_ != nullptr) {
    holder_->AccumulateChanges(true);
  }
}

StChanges::~StChanges() {
  if (holder_ != nullptr) {
    holder_->AccumulateChanges(false);
    holder_->DoChanges();
  }
}

StIgnoreChanges::StIgnoreChanges(ChangeHolder* holder) : holder_(holder) {
  if (holder_ != nullptr) {
    holder_->IgnoreChanges(true);
  }
}

StIgnoreChanges::~StIgnoreChanges() {
  if (holder_ != nullptr) {
    holder_->IgnoreChanges(false);
  }
}

}  // namespace fernweave
