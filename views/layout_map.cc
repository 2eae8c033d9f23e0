#include "views/layout_map.h"

#include <algorithm>
#include <cstdint>

#include "foundation/error.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

bool LayoutInfo::IsAdornment() const { return node != nullptr && node->IsAdornment(); }
bool LayoutInfo::IsSeparator() const { return node != nullptr && node->IsSeparator(); }
bool LayoutInfo::IsContainer() const { return node != nullptr && node->IsContainer(); }
bool LayoutInfo::IsSelected() const { return node != nullptr && node->IsSelected(); }

namespace {

const Node* const kTombstone = reinterpret_cast<const Node*>(uintptr_t{1});

}  // namespace

size_t LayoutMap::Index::SlotFor(const Node* note) const {
  // Fibonacci hashing of the address; notes are at least 16 bytes apart.
  const uint64_t h = (reinterpret_cast<uintptr_t>(note) >> 4) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h >> 32) & (slots_.size() - 1);
}

LayoutInfo* LayoutMap::Index::Find(const Node* note) const {
  if (slots_.empty()) {
    return nullptr;
  }
  for (size_t i = SlotFor(note);; i = (i + 1) & (slots_.size() - 1)) {
    const Slot& slot = slots_[i];
    if (slot.key == note) {
      return slot.value;
    }
    if (slot.key == nullptr) {
      return nullptr;
    }
  }
}

void LayoutMap::Index::Insert(const Node* note, LayoutInfo* info) {
  if ((used_ + 1) * 4 >= slots_.size() * 3) {
    Grow();
  }
  size_t i = SlotFor(note);
  while (slots_[i].key != nullptr && slots_[i].key != kTombstone) {
    i = (i + 1) & (slots_.size() - 1);
  }
  if (slots_[i].key == nullptr) {
    ++used_;
  }
  slots_[i] = Slot{note, info};
  ++size_;
}

void LayoutMap::Index::Erase(const Node* note) {
  if (slots_.empty()) {
    return;
  }
  for (size_t i = SlotFor(note);; i = (i + 1) & (slots_.size() - 1)) {
    Slot& slot = slots_[i];
    if (slot.key == note) {
      slot = Slot{kTombstone, nullptr};
      --size_;
      return;
    }
    if (slot.key == nullptr) {
      return;
    }
  }
}

void LayoutMap::Index::Grow() {
  std::vector<Slot> old = std::move(slots_);
  // Twice the live entries (tombstones are dropped), at least 64 slots.
  size_t capacity = 64;
  while (capacity < 4 * (size_ + 1)) {
    capacity *= 2;
  }
  slots_.assign(capacity, Slot{});
  size_ = 0;
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.key != nullptr && slot.key != kTombstone) {
      Insert(slot.key, slot.value);
    }
  }
}

void LayoutMap::Index::Clear() {
  std::fill(slots_.begin(), slots_.end(), Slot{});
  size_ = 0;
  used_ = 0;
}

void LayoutMap::Index::Release() {
  slots_.clear();
  slots_.shrink_to_fit();
  size_ = 0;
  used_ = 0;
}

LayoutInfo* LayoutMap::Get(const Node* note) const { return index_.Find(note); }

LayoutInfo* LayoutMap::CreateFor(Node* note) {
  bool created = false;
  return CreateFor(note, &created);
}

LayoutInfo* LayoutMap::CreateFor(Node* note, bool* created) {
  RequireNotNull(note, "LayoutMap::CreateFor: no note");
  *created = false;
  if (LayoutInfo* info = Get(note)) {
    info->used = true;
    return info;
  }
  *created = true;
  auto info = std::make_unique<LayoutInfo>();
  info->node = note;
  LayoutInfo* raw = info.get();
  records_.push_back(std::move(info));
  index_.Insert(note, raw);
  return raw;
}

void LayoutMap::Set(const LayoutInfo& info) {
  RequireNotNull(info.node, "LayoutMap::Set: no note");
  *CreateFor(info.node) = info;
}

void LayoutMap::Remove(const Node* note) {
  LayoutInfo* doomed = index_.Find(note);
  if (doomed == nullptr) {
    return;
  }
  index_.Erase(note);
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
      index_.Erase(r->node);
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
      index_.Erase(r->node);
      r.reset();
      ++holes_;
    }
  }
  Compact();
}

void LayoutMap::Clear() {
  records_.clear();
  index_.Clear();
  holes_ = 0;
}

void LayoutMap::Reset() {
  Clear();
  records_.shrink_to_fit();
  index_.Release();
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
