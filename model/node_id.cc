#include "model/node_id.h"

#include <algorithm>

#include "foundation/clock.h"
#include "model/node.h"

namespace fernweave {
namespace {

// The next number to hand out. Set from the clock on first use, which stands for
// program start: nothing draws ids before the first note is made.
uint32_t& LastId() {
  static uint32_t last_id = static_cast<uint32_t>(NowLocalSeconds());
  return last_id;
}

}  // namespace

uint32_t NodeID::MakeUniqueNumber() {
  uint32_t& last_id = LastId();
  const int64_t now = NowLocalSeconds();
  if (now >= 0) {
    // Compare with the low 32 bits: from 2040 on the seconds count no longer fits, and
    // comparing with the full count would reset the counter at every call, giving
    // notes made in the same second the same id.
    const uint32_t now32 = static_cast<uint32_t>(now);
    if (last_id <= now32) {
      last_id = now32 + 1;
    }
  }
  // 0 stands for "no id" in files and aliases, and 4294967295 (-1) asks the reader for
  // a fresh id: the counter skips both when it reaches them.
  while (last_id == 0 || last_id == kFreshIdRequest) {
    ++last_id;
  }
  return last_id++;
}

NodeID NodeID::MakeUnique(std::string creator) {
  return NodeID(MakeUniqueNumber(), std::move(creator));
}

void NodeID::RaiseCounterAbove(uint32_t id) {
  uint32_t& last_id = LastId();
  if (last_id <= id) {
    last_id = id + 1;
  }
}

uint32_t NodeID::LastIdForTesting() {
  return LastId();
}

void NodeID::SetLastIdForTesting(uint32_t last_id) {
  LastId() = last_id;
}

int NodeID::Compare(const NodeID& other) const {
  if (id_ != other.id_) {
    return id_ < other.id_ ? -1 : 1;
  }
  return creator_.compare(other.creator_) < 0 ? -1 : (creator_ == other.creator_ ? 0 : 1);
}

void NodeIndex::Add(Node* n) {
  if (n == nullptr || Has(n)) {
    return;
  }
  auto [it, inserted] = first_.emplace(n->GetID().id(), n);
  if (!inserted) {
    more_[it->first].push_back(n);
    ++more_count_;
  }
}

void NodeIndex::Remove(Node* n) {
  if (n == nullptr) {
    return;
  }
  const uint32_t id = n->GetID().id();
  auto first = first_.find(id);
  if (first == first_.end()) {
    return;
  }
  auto more = more_.find(id);
  if (first->second == n) {
    // The next note indexed under the number becomes the first.
    if (more == more_.end()) {
      first_.erase(first);
      return;
    }
    first->second = more->second.front();
    more->second.erase(more->second.begin());
  } else {
    if (more == more_.end()) {
      return;
    }
    auto it = std::find(more->second.begin(), more->second.end(), n);
    if (it == more->second.end()) {
      return;
    }
    more->second.erase(it);
  }
  --more_count_;
  if (more->second.empty()) {
    more_.erase(more);
  }
}

bool NodeIndex::Has(const Node* n) const {
  if (n == nullptr) {
    return false;
  }
  const uint32_t id = n->GetID().id();
  auto first = first_.find(id);
  if (first == first_.end()) {
    return false;
  }
  if (first->second == n) {
    return true;
  }
  auto more = more_.find(id);
  return more != more_.end() &&
         std::find(more->second.begin(), more->second.end(), n) != more->second.end();
}

Node* NodeIndex::Find(uint32_t id) const {
  // The first note indexed under the number wins.
  auto it = first_.find(id);
  return it == first_.end() ? nullptr : it->second;
}

Node* NodeIndex::Find(uint32_t id, const std::string& creator) const {
  auto first = first_.find(id);
  if (first == first_.end()) {
    return nullptr;
  }
  if (first->second->GetID().creator() == creator) {
    return first->second;
  }
  auto more = more_.find(id);
  if (more == more_.end()) {
    return nullptr;
  }
  for (Node* n : more->second) {
    if (n->GetID().creator() == creator) {
      return n;
    }
  }
  return nullptr;
}

}  // namespace fernweave
