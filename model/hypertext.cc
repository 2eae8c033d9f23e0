#include "model/hypertext.h"

#include <algorithm>

#include "foundation/clock.h"
#include "foundation/error.h"
#include "model/action.h"
#include "model/alias_node.h"
#include "model/cnode.h"
#include "model/node_actions.h"
#include "model/link_manager.h"
#include "model/reading_history.h"
#include "model/special_attributes.h"

namespace fernweave {
namespace {

DocumentHooks& DefaultHooks() {
  static DocumentHooks hooks;
  return hooks;
}

// What closed documents left behind for the process's exit (see LeaveNotesToExit):
// made on the first call, never freed, and reachable from here so that leak checkers
// do not count it.
struct Remains {
  std::vector<std::unique_ptr<Node>> notes;
  std::unique_ptr<LinkManager> links;
  std::unique_ptr<ReadingHistory> history;
  NodeIndex index;
  std::vector<Node*> live;
};
std::vector<std::unique_ptr<Remains>>* left_to_exit = nullptr;

}  // namespace

void Hypertext::LeaveNotesToExit() {
  if (left_to_exit == nullptr) {
    left_to_exit = new std::vector<std::unique_ptr<Remains>>();
  }
}

bool DocumentHooks::ConfirmDelete(const Node&) {
  return true;
}

void DocumentHooks::PostDelete(Node* note) {
  note->PostAction(std::make_unique<NodeDeleteAction>(note));
}

void DocumentHooks::IsBeingHidden(Node*) {}

void DocumentHooks::AboutToDelete(Node*) {}

void DocumentHooks::UpdateAgentsNow() {}

Hypertext::Hypertext() : hooks_(&DefaultHooks()) {}

Hypertext::~Hypertext() {
  // Notes point at each other (tree, aliases, prototypes); none may act on another
  // while the document tears down.
  destroying_ = true;
  // The last action goes without touching notes: they all go below.
  if (undo_ != nullptr) {
    undo_->Forget();
  }
  if (left_to_exit != nullptr) {
    // The notes and links stay as they are, pointing at each other and at this
    // document, and are never touched again.
    auto remains = std::make_unique<Remains>();
    remains->notes = std::move(owned_);
    remains->links = std::move(links_);
    remains->history = std::move(history_);
    remains->index = std::move(index_);
    remains->live = std::move(live_);
    left_to_exit->push_back(std::move(remains));
    return;
  }
  aliases_.clear();
  owned_.clear();
}

std::unique_ptr<Hypertext> Hypertext::Create(std::string_view file_name) {
  std::unique_ptr<Hypertext> hypertext(new Hypertext());
  hypertext->Initialize(file_name);
  return hypertext;
}

void Hypertext::Initialize(std::string_view file_name) {
  InitializeProperties();
  {
    StIgnoreChanges ignore(this);
    root_ = NewNote(NoteKind::kNote);
    AddNode(root_);
  }
  UpdateRootName(file_name);
}

Node* Hypertext::NewNote(NoteKind kind) {
  Node* n = MakeEmptyNode(kind);
  n->Initialize();
  return n;
}

Node* Hypertext::MakeEmptyNode(NoteKind kind) {
  std::unique_ptr<Node> note;
  switch (kind) {
    case NoteKind::kAgent:
      note.reset(new Agent(this));
      break;
    case NoteKind::kAdornment:
      note.reset(new Adornment(this));
      break;
    case NoteKind::kNote:
    default:
      note.reset(new CNode(this));
      break;
  }
  return Adopt(std::move(note));
}

Node* Hypertext::Adopt(std::unique_ptr<Node> note) {
  Require(note != nullptr && note->GetHypertext() == this, "Adopt: foreign note");
  note->owner_slot_ = static_cast<uint32_t>(owned_.size());
  owned_.push_back(std::move(note));
  return owned_.back().get();
}

Node* Hypertext::FirstNode() const {
  return root_ == nullptr ? nullptr : root_->Son();
}

Node* Hypertext::FindNodeNamed(std::string_view name) const {
  for (Node* n = FirstNode(); n != nullptr; n = n->Next()) {
    if (!n->IsHidden() && n->Name() == name) {
      return n;
    }
  }
  return nullptr;
}

Node* Hypertext::MakeNode(std::string_view name, Node* parent, Node* after, double x, double y) {
  return MakeNode(NoteKind::kNote, name, parent, after, x, y);
}

Node* Hypertext::MakeNode(NoteKind kind, std::string_view name, Node* parent, Node* after, double x,
                          double y) {
  if (parent == nullptr) {
    parent = root_;
  }
  if (parent->GetHypertext() != this || parent->IsHidden() || !parent->CanReceiveChildren() ||
      !DepthAllows(parent, nullptr)) {
    return nullptr;
  }
  Node* n = NewNote(kind);
  n->SetName(name);
  if (!n->DoMoveToInternal(parent, after, MapPoint{x, y})) {
    // `after` is not a child of parent: the note goes first.
    n->DoMoveToInternal(parent, nullptr, MapPoint{x, y});
  }
  props_.NewlyCreated(n);
  n->InitializeSelf();
  AddNode(n);
  return n;
}

void Hypertext::RefreshOutlineOrder() {
  if (outline_order_current_ || root_ == nullptr) {
    return;
  }
  // Deleted notes (and what they hold) lie outside the tree; they read 0.
  for (const std::unique_ptr<Node>& n : owned_) {
    if (n != nullptr) {
      n->SetOutlineOrder(0);
    }
  }
  uint32_t order = 0;
  for (Node* n = root_; n != nullptr; n = n->Next()) {
    n->SetOutlineOrder(order++);
  }
  outline_order_current_ = true;
}

bool Hypertext::DepthAllows(const Node* parent, const Node* note) const {
  size_t depth = 1;  // the note's own depth below the root, once placed in parent
  for (const Node* a = parent; a != nullptr && a != root_; a = a->Father()) {
    if (++depth > kMaxNoteDepth) {
      return false;
    }
  }
  if (note == nullptr) {
    return true;
  }
  // The deepest note of the subtree, walked iteratively, given up once too deep.
  const size_t limit = kMaxNoteDepth - depth;
  size_t below = 0;
  const Node* t = note;
  while (true) {
    if (Node* son = t->Son()) {
      t = son;
      if (++below > limit) {
        return false;
      }
      continue;
    }
    while (t != note && t->Brother() == nullptr) {
      t = t->Father();
      --below;
    }
    if (t == note) {
      return true;
    }
    t = t->Brother();
  }
}

uint32_t Hypertext::NewIdNumber() const {
  // Each number in use is skipped at most once, so this ends.
  uint32_t number = NodeID::MakeUniqueNumber();
  while (index_.Find(number) != nullptr) {
    number = NodeID::MakeUniqueNumber();
  }
  return number;
}

Node* Hypertext::MakeBareNode(NoteKind kind) {
  return NewNote(kind);
}

void Hypertext::AddNode(Node* n) {
  if (n == nullptr || index_.Has(n)) {
    return;
  }
  index_.Add(n);
  n->live_slot_ = static_cast<uint32_t>(live_.size());
  live_.push_back(n);
}

void Hypertext::RemoveNode(Node* n) {
  if (n == nullptr || !index_.Has(n)) {
    return;
  }
  hooks_->AboutToDelete(n);
  Deselect(n);
  DropPendingChange(n);
  index_.Remove(n);
  if (n->live_slot_ < live_.size() && live_[n->live_slot_] == n) {
    live_[n->live_slot_] = nullptr;
    ++live_holes_;
  }
  n->live_slot_ = UINT32_MAX;
  if (live_holes_ > 64 && live_holes_ * 2 > live_.size()) {
    Compact();
  }
}

void Hypertext::Compact() {
  size_t out = 0;
  for (Node* n : live_) {
    if (n != nullptr) {
      n->live_slot_ = static_cast<uint32_t>(out);
      live_[out++] = n;
    }
  }
  live_.resize(out);
  live_holes_ = 0;
}

NodeVector Hypertext::AllNodes() const {
  std::vector<Node*> notes;
  notes.reserve(live_.size() - live_holes_);
  for (Node* n : live_) {
    if (n != nullptr) {
      notes.push_back(n);
    }
  }
  return NodeVector(std::move(notes));
}

bool Hypertext::AttemptToDelete(Node* n) {
  if (n == nullptr || !CanEdit() || !n->CanBeDeleted() || n->IsHidden()) {
    return false;
  }
  if (n->Son() != nullptr && !hooks_->ConfirmDelete(*n)) {
    return false;
  }
  hooks_->PostDelete(n);
  return n->IsHidden();
}

void Hypertext::DestroyNode(Node* n) {
  DestroyNodes(std::vector<Node*>{n});
}

void Hypertext::DestroyNodes(const std::vector<Node*>& notes) {
  std::vector<Node*> doomed;  // in the order they are destroyed
  std::unordered_set<const Node*> doomed_set;
  for (Node* n : notes) {
    if (n == nullptr || !n->IsHidden() || n == root_ || doomed_set.count(n) > 0) {
      continue;
    }
    for (Node* d = n; d != nullptr; d = d->NextWithin(n)) {
      if (doomed_set.insert(d).second) {
        doomed.push_back(d);
      }
    }
    n->Unhook();
  }
  if (doomed.empty()) {
    return;
  }
  for (Node* d : doomed) {
    // Aliases elsewhere lose their original; places and selection forget the note.
    if (d->may_have_aliases_) {
      for (AliasNode* alias : AliasesOf(d)) {
        UnregisterAlias(alias, d);
        alias->OriginalDestroyed();
      }
    }
    places_.erase(d);
    Deselect(d);
    DropPendingChange(d);
    if (current_agent_ == d) {
      current_agent_ = nullptr;
    }
    if (current_adornment_ == d) {
      current_adornment_ = nullptr;
    }
  }
  // Links to or from a destroyed note go with it.
  DestroyLinksOf(doomed_set);
  // Prototype caches must not point at destroyed notes.
  for (const std::unique_ptr<Node>& owned : owned_) {
    if (auto* c = dynamic_cast<CNode*>(owned.get())) {
      if (c->PrototypeCache() != nullptr && doomed_set.count(c->PrototypeCache()) > 0) {
        c->ClearPrototypeCache();
      }
    }
  }
  for (auto& [note, place] : places_) {
    if (doomed_set.count(place.father) > 0) {
      place.father = nullptr;
    }
    if (doomed_set.count(place.elder) > 0) {
      place.elder = nullptr;
    }
  }
  for (Node* d : doomed) {
    const uint32_t slot = d->owner_slot_;
    std::unique_ptr<Node> gone = std::move(owned_[slot]);
    if (slot + 1 != owned_.size()) {
      owned_[slot] = std::move(owned_.back());
      owned_[slot]->owner_slot_ = slot;
    }
    owned_.pop_back();
    gone.reset();
  }
}

void Hypertext::RememberPlace(Node* n) {
  if (n != nullptr && n->Father() != nullptr) {
    places_[n] = Place{n->Father(), n->ElderBrother()};
  }
}

bool Hypertext::RestorePlace(Node* n) {
  auto live = [this](const Node* f) { return f == root_ || HasNode(f); };
  if (n == root_) {
    return true;
  }
  if (n->Father() != nullptr) {
    places_.erase(n);
    return live(n->Father());
  }
  auto it = places_.find(n);
  if (it == places_.end() || it->second.father == nullptr || !live(it->second.father)) {
    return false;
  }
  Node* father = it->second.father;
  Node* elder = it->second.elder;
  places_.erase(it);
  if (elder != nullptr && elder->Father() == father) {
    elder->AddBrother(n);
  } else {
    father->AddFirstSon(n);
  }
  return true;
}

void Hypertext::RegisterAlias(AliasNode* alias, const Node* original) {
  if (original != nullptr) {
    original->may_have_aliases_ = true;
    aliases_.emplace(original, alias);
  }
}

void Hypertext::UnregisterAlias(AliasNode* alias, const Node* original) {
  if (destroying_) {
    return;
  }
  auto [first, last] = aliases_.equal_range(original);
  for (auto it = first; it != last; ++it) {
    if (it->second == alias) {
      aliases_.erase(it);
      return;
    }
  }
}

std::vector<AliasNode*> Hypertext::AliasesOf(const Node* original) const {
  std::vector<AliasNode*> result;
  auto [first, last] = aliases_.equal_range(original);
  for (auto it = first; it != last; ++it) {
    result.push_back(it->second);
  }
  // The multimap keeps no order; creation order is what callers expect to see.
  std::sort(result.begin(), result.end(), [](const AliasNode* a, const AliasNode* b) {
    return a->GetID().id() < b->GetID().id();
  });
  return result;
}

bool Hypertext::HasAttribute(std::string_view name) const {
  const Attribute* a = props_.GetAttribute(name);
  return a->IsValid() && !a->IsAttributeCategory();
}

std::string Hypertext::CreatorForNewNotes() const {
  std::string creator = preferences_.CreatorName();
  return creator.empty() ? std::string(kSystemCreator) : creator;
}

void Hypertext::SetHooks(DocumentHooks* hooks) {
  hooks_ = hooks != nullptr ? hooks : &DefaultHooks();
}

void Hypertext::UpdateRootName(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  const std::string_view base =
      dot == std::string_view::npos ? file_name : file_name.substr(0, dot);
  if (base.empty() || root_ == nullptr) {
    return;
  }
  StIgnoreChanges ignore(this);
  root_->SetName(base);
}

}  // namespace fernweave
