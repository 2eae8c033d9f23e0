#include "model/node_id.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

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

// The creator texts of the process, each kept once and never let go (a process meets
// a handful). A node-based set: a text's address stays put as others join.
struct CreatorHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

const std::string* InternCreator(std::string_view creator) {
  static std::mutex mutex;
  static auto* creators = new std::unordered_set<std::string, CreatorHash, std::equal_to<>>();
  // The text of the last identity made, most often the next one's too.
  static const std::string* last = nullptr;
  std::lock_guard<std::mutex> lock(mutex);
  if (last != nullptr && *last == creator) {
    return last;
  }
  auto it = creators->find(creator);
  if (it == creators->end()) {
    it = creators->emplace(creator).first;
  }
  last = &*it;
  return last;
}

}  // namespace

NodeID::NodeID() : creator_(InternCreator(std::string_view())) {}

NodeID::NodeID(uint32_t id, std::string_view creator)
    : id_(id), creator_(InternCreator(creator)) {}

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

NodeID NodeID::MakeUnique(std::string_view creator) {
  return NodeID(MakeUniqueNumber(), creator);
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
  if (creator_ == other.creator_) {
    return 0;  // one text for each creator
  }
  return *creator_ < *other.creator_ ? -1 : 1;
}

size_t NodeIndex::Home(uint32_t id) const {
  // Ids are numbered in steps: multiplied, consecutive numbers spread over the table.
  return static_cast<size_t>((uint64_t{id} * 0x9E3779B97F4A7C15ULL) >> 32) & (slots_.size() - 1);
}

const NodeIndex::Slot* NodeIndex::FindSlot(uint32_t id) const {
  if (slots_.empty()) {
    return nullptr;
  }
  for (size_t i = Home(id);; i = (i + 1) & (slots_.size() - 1)) {
    if (slots_[i].place == 0) {
      return nullptr;
    }
    if (slots_[i].id == id) {
      return &slots_[i];
    }
  }
}

void NodeIndex::InsertSlot(uint32_t id, uint32_t place) {
  // At most four fifths full, so that a lookup of a missing number ends soon.
  if ((first_.size() + 1) * 5 > slots_.size() * 4) {
    Grow();
  }
  size_t i = Home(id);
  while (slots_[i].place != 0) {
    i = (i + 1) & (slots_.size() - 1);
  }
  slots_[i] = Slot{id, place};
}

void NodeIndex::EraseSlot(size_t i) {
  const size_t mask = slots_.size() - 1;
  size_t hole = i;
  for (size_t j = (i + 1) & mask; slots_[j].place != 0; j = (j + 1) & mask) {
    // The slot at j may move into the hole unless its home lies cyclically in (hole, j].
    const size_t home = Home(slots_[j].id);
    const bool home_between = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (!home_between) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole] = Slot{};
}

void NodeIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  for (const Slot& slot : old) {
    if (slot.place != 0) {
      size_t i = Home(slot.id);
      while (slots_[i].place != 0) {
        i = (i + 1) & (slots_.size() - 1);
      }
      slots_[i] = slot;
    }
  }
}

void NodeIndex::Clear() {
  slots_.clear();
  first_.clear();
  more_.clear();
  more_count_ = 0;
}

void NodeIndex::Add(Node* n) {
  if (n == nullptr || Has(n)) {
    return;
  }
  const uint32_t id = n->GetID().id();
  if (FindSlot(id) != nullptr) {
    more_[id].push_back(n);
    ++more_count_;
    return;
  }
  first_.push_back(n);
  InsertSlot(id, static_cast<uint32_t>(first_.size()));
}

void NodeIndex::Remove(Node* n) {
  if (n == nullptr) {
    return;
  }
  const uint32_t id = n->GetID().id();
  const Slot* slot = FindSlot(id);
  if (slot == nullptr) {
    return;
  }
  Node*& first = first_[slot->place - 1];
  auto more = more_.find(id);
  if (first == n) {
    if (more != more_.end()) {
      // The next note indexed under the number becomes the first.
      first = more->second.front();
      more->second.erase(more->second.begin());
    } else {
      // The last of first_ takes the freed place, and its slot follows it.
      const uint32_t place = slot->place;
      Node* moved = first_.back();
      first_[place - 1] = moved;
      first_.pop_back();
      if (moved != n) {
        const_cast<Slot*>(FindSlot(moved->GetID().id()))->place = place;
      }
      EraseSlot(static_cast<size_t>(FindSlot(id) - slots_.data()));
      return;
    }
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
  const Slot* slot = FindSlot(id);
  if (slot == nullptr) {
    return false;
  }
  if (first_[slot->place - 1] == n) {
    return true;
  }
  auto more = more_.find(id);
  return more != more_.end() &&
         std::find(more->second.begin(), more->second.end(), n) != more->second.end();
}

Node* NodeIndex::Find(uint32_t id) const {
  // The first note indexed under the number wins.
  const Slot* slot = FindSlot(id);
  return slot == nullptr ? nullptr : first_[slot->place - 1];
}

Node* NodeIndex::Find(uint32_t id, const std::string& creator) const {
  const Slot* slot = FindSlot(id);
  if (slot == nullptr) {
    return nullptr;
  }
  Node* first = first_[slot->place - 1];
  if (first->GetID().creator() == creator) {
    return first;
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
