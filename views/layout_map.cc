#include "views/layout_map.h"

#include <algorithm>

#include "foundation/error.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

bool LayoutInfo::IsAdornment() const { return node != nullptr && node->IsAdornment(); }
bool LayoutInfo::IsSeparator() const { return node != nullptr && node->IsSeparator(); }
bool LayoutInfo::IsContainer() const { return node != nullptr && node->IsContainer(); }
bool LayoutInfo::IsSelected() const { return node != nullptr && node->IsSelected(); }

LayoutInfo* LayoutMap::Get(const Node* note) const {
  auto it = index_.find(note);
  return it == index_.end() ? nullptr : it->second;
}

LayoutInfo* LayoutMap::CreateFor(Node* note) {
  RequireNotNull(note, "LayoutMap::CreateFor: no note");
  if (LayoutInfo* info = Get(note)) {
    info->used = true;
    return info;
  }
  auto info = std::make_unique<LayoutInfo>();
  info->node = note;
  LayoutInfo* raw = info.get();
  records_.push_back(std::move(info));
  index_.emplace(note, raw);
  return raw;
}

void LayoutMap::Set(const LayoutInfo& info) {
  RequireNotNull(info.node, "LayoutMap::Set: no note");
  *CreateFor(info.node) = info;
}

void LayoutMap::Remove(const Node* note) {
  auto it = index_.find(note);
  if (it == index_.end()) {
    return;
  }
  LayoutInfo* doomed = it->second;
  index_.erase(it);
  for (auto& r : records_) {
    if (r.get() == doomed) {
      r.reset();
      ++holes_;
      break;
    }
  }
}

void LayoutMap::Offset(int32_t dx, int32_t dy) {
  ForEach([dx, dy](LayoutInfo* r) {
    r->frame = fernweave::Offset(r->frame, dx, dy);
    r->title = fernweave::Offset(r->title, dx, dy);
  });
}

void LayoutMap::MarkAllNodesUnused() {
  ForEach([](LayoutInfo* r) { r->used = false; });
}

void LayoutMap::CleanupUnusedEntries() {
  for (auto& r : records_) {
    if (r != nullptr && !r->used) {
      index_.erase(r->node);
      r.reset();
      ++holes_;
    }
  }
  Compact();
}

void LayoutMap::CleanupDeletedNodes(const Hypertext& doc) {
  for (auto& r : records_) {
    // A deleted note is hidden and out of the index; the root is always live.
    if (r != nullptr && !doc.HasNode(r->node) && r->node != doc.Root()) {
      index_.erase(r->node);
      r.reset();
      ++holes_;
    }
  }
  Compact();
}

void LayoutMap::Clear() {
  records_.clear();
  index_.clear();
  holes_ = 0;
}

void LayoutMap::Reset() {
  Clear();
  records_.shrink_to_fit();
  index_.rehash(0);
}

void LayoutMap::Compact() const {
  if (holes_ == 0) {
    return;
  }
  records_.erase(std::remove(records_.begin(), records_.end(), nullptr), records_.end());
  holes_ = 0;
}

std::vector<LayoutInfo*> LayoutMap::Records() const {
  Compact();
  std::vector<LayoutInfo*> out;
  out.reserve(records_.size());
  for (const auto& r : records_) {
    out.push_back(r.get());
  }
  return out;
}

std::vector<LayoutInfo*> LayoutMap::ReverseRecords() const {
  std::vector<LayoutInfo*> out = Records();
  std::reverse(out.begin(), out.end());
  return out;
}

void LayoutMap::ForEach(const std::function<void(LayoutInfo*)>& visit) const {
  Compact();
  for (const auto& r : records_) {
    visit(r.get());
  }
}

}  // namespace fernweave
