#include "model/action.h"

#include <algorithm>
#include <utility>

#include "foundation/error.h"
#include "model/alias_node.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

// The actions that come after one being discarded, seen as one successor.
class Successors : public LAction {
 public:
  Successors() : LAction(0) {}
  void Add(LAction* action) {
    if (action != nullptr) {
      list_.push_back(action);
    }
  }
  bool RefersWithin(const Node* top) const override {
    return std::any_of(list_.begin(), list_.end(),
                       [top](const LAction* a) { return a->RefersWithin(top); });
  }
  void Adopt(Node* note) override {
    for (LAction* a : list_) {
      if (a->RefersWithin(note)) {
        a->Adopt(note);
        return;
      }
    }
  }

 protected:
  void RedoSelf() override {}
  void UndoSelf() override {}

 private:
  std::vector<LAction*> list_;
};

}  // namespace

LAction::~LAction() = default;

void LAction::Redo() {
  if (CanRedo()) {
    RedoSelf();
    done_ = true;
  }
}

void LAction::Undo() {
  if (CanUndo()) {
    UndoSelf();
    done_ = false;
  }
}

void LAction::Discard(LAction*) {}

bool LAction::RefersWithin(const Node*) const {
  return false;
}

void LAction::Adopt(Node*) {}

NodeAction::NodeAction(Node* note, int description)
    : LAction(description),
      hypertext_(RequireNotNull(note, "NodeAction: null note")->GetHypertext()),
      note_(note) {
  Answer(note);
}

NodeAction::NodeAction(Hypertext* hypertext, int description)
    : LAction(description),
      hypertext_(RequireNotNull(hypertext, "NodeAction: null document")),
      note_(nullptr) {}

void NodeAction::Answer(Node* note) {
  if (note != nullptr && std::find(answered_.begin(), answered_.end(), note) == answered_.end()) {
    answered_.push_back(note);
  }
}

void NodeAction::Adopt(Node* note) {
  Answer(note);
}

bool NodeAction::RefersWithin(const Node* top) const {
  return std::any_of(answered_.begin(), answered_.end(),
                     [top](const Node* n) { return n->IsDescendedFrom(top); });
}

void NodeAction::Discard(LAction* successor) {
  // Only the outermost hidden notes are destroyed: destroying one takes its subtree
  // along, so a note inside it must not be destroyed a second time.
  std::vector<Node*> hidden;
  for (Node* n : answered_) {
    if (n->IsHidden()) {
      hidden.push_back(n);
    }
  }
  std::vector<Node*> tops;
  for (Node* n : hidden) {
    const bool inside_other = std::any_of(hidden.begin(), hidden.end(), [n](const Node* other) {
      return other != n && n->IsDescendedFrom(other);
    });
    if (!inside_other) {
      tops.push_back(n);
    }
  }
  answered_.clear();
  for (Node* n : tops) {
    if (successor != nullptr && successor->RefersWithin(n)) {
      successor->Adopt(n);
    } else {
      DestroyHiddenNote(hypertext_, n, successor);
    }
  }
}

void DestroyHiddenNote(Hypertext* hypertext, Node* note, LAction* successor) {
  if (hypertext == nullptr || note == nullptr || !note->IsHidden()) {
    return;
  }
  // Aliases elsewhere that were hidden because an original in the subtree was can
  // never come back once their original is gone.
  std::vector<AliasNode*> orphans;
  for (Node* d = note; d != nullptr; d = d->NextWithin(note)) {
    if (d->IsAlias()) {
      continue;
    }
    for (AliasNode* alias : hypertext->AliasesOf(d)) {
      if (alias->IsHidden() && alias->HiddenWithOriginal() && !alias->IsDescendedFrom(note)) {
        orphans.push_back(alias);
      }
    }
  }
  hypertext->DestroyNode(note);
  for (AliasNode* alias : orphans) {
    if (successor != nullptr && successor->RefersWithin(alias)) {
      successor->Adopt(alias);  // it stays hidden; it can no longer come back
    } else {
      hypertext->DestroyNode(alias);
    }
  }
}

UndoKeeper::~UndoKeeper() = default;

bool UndoKeeper::Post(std::unique_ptr<LAction> action) {
  if (action == nullptr || !action->IsPostable()) {
    return false;
  }
  if (performing_ > 0) {
    // Posted from inside the action being performed: it joins that action.
    LAction* joined = action.get();
    group_.push_back(std::move(action));
    ++performing_;
    try {
      joined->Redo();
    } catch (...) {
      --performing_;
      throw;
    }
    --performing_;
    return true;
  }
  DiscardGroup(action.get());
  ++performing_;
  try {
    action->Redo();
  } catch (...) {
    --performing_;
    // Whatever joined the failed action stays done; it can no longer be undone.
    DiscardGroup(nullptr);
    throw;
  }
  --performing_;
  group_.insert(group_.begin(), std::move(action));
  return true;
}

bool UndoKeeper::CanUndo() const {
  return !group_.empty() && group_.front()->CanUndo();
}

bool UndoKeeper::CanRedo() const {
  return !group_.empty() && group_.front()->CanRedo();
}

void UndoKeeper::Undo() {
  if (!CanUndo() || performing_ > 0) {
    return;
  }
  ++performing_;
  for (auto it = group_.rbegin(); it != group_.rend(); ++it) {
    (*it)->Undo();
  }
  --performing_;
}

void UndoKeeper::Redo() {
  if (!CanRedo() || performing_ > 0) {
    return;
  }
  ++performing_;
  for (auto& action : group_) {
    action->Redo();
  }
  --performing_;
}

void UndoKeeper::Clear() {
  DiscardGroup(nullptr);
}

void UndoKeeper::Forget() {
  group_.clear();
}

void UndoKeeper::DiscardGroup(LAction* successor) {
  std::vector<std::unique_ptr<LAction>> old = std::move(group_);
  group_.clear();
  for (auto& action : old) {
    action->Finalize();
  }
  // A member hands the hidden notes a later member (or the successor) refers to over
  // to it, so every hidden note is destroyed once, by the last action that knew it.
  for (size_t i = 0; i < old.size(); ++i) {
    Successors later;
    for (size_t j = i + 1; j < old.size(); ++j) {
      later.Add(old[j].get());
    }
    later.Add(successor);
    old[i]->Discard(&later);
  }
}

UndoKeeper& Hypertext::UndoHistory() {
  if (undo_ == nullptr) {
    undo_ = std::make_unique<UndoKeeper>();
  }
  return *undo_;
}

std::vector<Node*> Hypertext::OwnedNodes() const {
  std::vector<Node*> notes;
  notes.reserve(owned_.size());
  for (const std::unique_ptr<Node>& n : owned_) {
    notes.push_back(n.get());
  }
  return notes;
}

bool Hypertext::PostAction(std::unique_ptr<LAction> action) {
  return UndoHistory().Post(std::move(action));
}

bool Node::PostAction(std::unique_ptr<LAction> action) {
  return GetHypertext()->PostAction(std::move(action));
}

}  // namespace fernweave
