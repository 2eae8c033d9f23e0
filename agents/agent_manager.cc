#include "agents/agent_manager.h"

#include <string>
#include <unordered_set>
#include <utility>

#include "foundation/clock.h"
#include "lang/action.h"
#include "model/change.h"
#include "model/node.h"

namespace fernweave {

bool AgentManager::sEnabled = true;

// Hears of every note leaving the document and hands every call on to the hooks that
// were installed before.
class AgentManager::Hooks : public DocumentHooks {
 public:
  Hooks(AgentManager* manager, DocumentHooks* previous) : manager_(manager), previous_(previous) {}
  bool ConfirmDelete(const Node& note) override { return previous_->ConfirmDelete(note); }
  void PostDelete(Node* note) override { previous_->PostDelete(note); }
  void IsBeingHidden(Node* note) override { previous_->IsBeingHidden(note); }
  void AboutToDelete(Node* note) override {
    manager_->Deleting(note);
    previous_->AboutToDelete(note);
  }
  void UpdateAgentsNow() override { manager_->UpdateAgentsNow(); }
  DocumentHooks* previous() const { return previous_; }

 private:
  AgentManager* manager_;
  DocumentHooks* previous_;
};

AgentManager::AgentManager(Hypertext* hypertext) : AgentManager(hypertext, true) {}

AgentManager::AgentManager(Hypertext* hypertext, bool install_hooks) : hypertext_(hypertext) {
  if (install_hooks && hypertext_ != nullptr) {
    hooks_ = std::make_unique<Hooks>(this, &hypertext_->Hooks());
    hypertext_->SetHooks(hooks_.get());
  }
}

AgentManager::~AgentManager() {
  scans_.clear();
  retired_.clear();
  if (hooks_ != nullptr && &hypertext_->Hooks() == hooks_.get()) {
    hypertext_->SetHooks(hooks_->previous());
  }
}

AgentScan* AgentManager::ScanOf(Node* agent) {
  if (agent == nullptr || !agent->IsAgent() || agent->IsHidden() ||
      agent->GetHypertext() != hypertext_) {
    return nullptr;
  }
  std::unique_ptr<AgentScan>& scan = scans_[agent];
  if (scan == nullptr) {
    scan = std::make_unique<AgentScan>(this, agent);
  }
  return scan.get();
}

void AgentManager::Deleting(Node* note) {
  if (note == nullptr) {
    return;
  }
  if (note == cursor_) {
    // Step back to the nearest note before it that stays, so the walk goes on from there.
    // The notes of a subtree being deleted are hidden before they are reported, so the
    // walk back leaves the subtree.
    Node* before = note->Previous();
    while (before != nullptr && before->IsHidden()) {
      before = before->Previous();
    }
    cursor_ = before;
  }
  for (auto& [agent, scan] : scans_) {
    scan->Forget(note);
  }
  auto own = scans_.find(note);
  if (own != scans_.end()) {
    // Something may be running in the scan (its own action deleted the agent): it stops,
    // and is destroyed once no update is under way.
    own->second->Retire();
    retired_.push_back(std::move(own->second));
    scans_.erase(own);
  }
  if (deleting_listener_) {
    deleting_listener_(note);
  }
  if (depth_ == 0) {
    BuryRetired();
  }
}

void AgentManager::BuryRetired() {
  if (depth_ == 0) {
    retired_.clear();
  }
}

void AgentManager::Reset() {
  for (auto& [agent, scan] : scans_) {
    scan->Retire();
    retired_.push_back(std::move(scan));
  }
  scans_.clear();
  cursor_ = nullptr;
  BuryRetired();
}

Node* AgentManager::Next() {
  Node* root = hypertext_->Root();
  if (cursor_ == nullptr) {
    cursor_ = root;
    return cursor_;
  }
  Node* n = cursor_->Next();
  while (n != nullptr && (n->IsAlias() || n->IsHidden())) {
    n = n->Next();
  }
  cursor_ = n != nullptr ? n : root;
  return cursor_;
}

void AgentManager::DoNote(Node* note, bool force) {
  bool changed = false;
  if (note->IsAgent()) {
    AgentScan* scan = ScanOf(note);
    if (scan == nullptr) {
      return;
    }
    scan->Do(force);
    // A scan retired meanwhile belongs to a note that left the document.
    changed = !scan->retired() && scan->ChildrenChanged();
  } else {
    DoSmartAdornments(note);
  }
  if (changed) {
    hypertext_->AddChange(note, facet::kChildren);
  }
}

void AgentManager::UpdateOne() {
  if (cursor_ == nullptr) {
    Next();
  }
  Node* note = cursor_;
  if (note == nullptr) {
    return;
  }
  ++depth_;
  DoNote(note, false);
  --depth_;
  // When the note left the document meanwhile, Deleting has already moved the cursor.
  if (cursor_ == note) {
    AgentScan* scan = note->IsAgent() ? ScanOf(note) : nullptr;
    if (scan == nullptr || scan->HasBeenDone()) {
      Next();
    }
  }
  BuryRetired();
}

void AgentManager::Update(bool all) {
  if (!sEnabled || !IsEnabled()) {
    return;
  }
  if (all) {
    UpdateAll();
    return;
  }
  const uint64_t start = Ticks();
  do {
    UpdateOne();
  } while (cursor_ != nullptr && cursor_ != hypertext_->Root() &&
           Ticks() - start <= kUpdateTicks);
}

void AgentManager::UpdateAgentsNow() {
  // Asked from inside an update (an action calling for it): the update under way
  // finishes the work; starting another would re-enter the scans it is running.
  if (depth_ > 0) {
    return;
  }
  if (update_now_) {
    update_now_();
  } else {
    Update(true);
  }
}

void AgentManager::UpdateAll() {
  if (!sEnabled || !IsEnabled()) {
    return;
  }
  WalkAll();
  BuryRetired();
}

void AgentManager::WalkAll() {
  std::vector<Node*> order;
  for (Node* n = hypertext_->Root(); n != nullptr; n = n->Next()) {
    if (!n->IsAlias()) {
      order.push_back(n);
    }
  }
  // Notes that leave the document during the walk are skipped, never touched again. The
  // guard puts the listener, the holding and the depth back however the walk ends.
  std::unordered_set<const Node*> departed;
  struct Restore {
    AgentManager* manager;
    std::function<void(Node*)> listener;
    bool was_holding;
    ~Restore() {
      --manager->depth_;
      manager->deleting_listener_ = std::move(listener);
      manager->hypertext_->HoldChanges(was_holding);
    }
  } restore{this, deleting_listener_, hypertext_->HoldingChanges()};
  deleting_listener_ = [&departed, &restore](Node* note) {
    departed.insert(note);
    if (restore.listener) {
      restore.listener(note);
    }
  };
  hypertext_->HoldChanges(true);
  ++depth_;
  for (Node* n : order) {
    if (departed.count(n) == 0) {
      DoNote(n, true);
    }
  }
}


}  // namespace fernweave
