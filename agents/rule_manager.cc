#include "agents/rule_manager.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "agents/agent_manager.h"
#include "foundation/clock.h"
#include "lang/statements.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

RuleManager::RuleManager(Hypertext* hypertext, AgentManager* deletions)
    : hypertext_(hypertext), deletions_(deletions) {
  if (deletions_ != nullptr) {
    deletions_->SetDeletingListener([this](Node* note) { Remove(note); });
  }
}

RuleManager::~RuleManager() {
  if (deletions_ != nullptr) {
    deletions_->SetDeletingListener(nullptr);
  }
}

const Attribute* RuleManager::RuleAttribute() {
  if (rule_attribute_ == nullptr) {
    rule_attribute_ = hypertext_->GetAttribute("Rule");
  }
  return rule_attribute_;
}

std::shared_ptr<Action> RuleManager::GetRule(Node* note) {
  if (note == nullptr || !hypertext_->HasAttribute("Rule")) {
    return nullptr;
  }
  const std::string text = note->Get(RuleAttribute())->AsAgentAction(hypertext_);
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    return nullptr;
  }
  // Parsed afresh for each run and held by the runner, so that a rule assigning its own
  // "Rule" cannot free the statements it is running.
  return Action::Create(hypertext_, text);
}

void RuleManager::RunFor(Node* note) {
  std::shared_ptr<Action> rule = GetRule(note);
  if (rule == nullptr) {
    return;
  }
  Captures captures;
  ApplyStoredAction(rule.get(), note, "Rule", note, captures);
}

Node* RuleManager::Next() {
  Node* n = cursor_ == nullptr ? hypertext_->Root() : cursor_->Next();
  for (; n != nullptr; n = n->Next()) {
    if (n->IsAlias() || n->IsHidden()) {
      continue;
    }
    std::shared_ptr<Action> rule = GetRule(n);
    if (rule != nullptr && rule->IsValid()) {
      break;
    }
  }
  cursor_ = n;
  return cursor_;
}

void RuleManager::Run() {
  const bool under_way = cursor_ != nullptr;
  Node* note = Next();
  if (under_way && note == nullptr) {
    FinishScan();
  }
  if (note != nullptr) {
    RunFor(note);
  }
}

void RuleManager::Run(int count) {
  StChanges batch(hypertext_);
  for (int i = 0; i < count; ++i) {
    const bool under_way = cursor_ != nullptr;
    Run();
    if (under_way && cursor_ == nullptr) {
      break;
    }
  }
}

size_t RuleManager::RunAll() {
  StChanges batch(hypertext_);
  cursor_ = nullptr;
  std::vector<Node*> order;
  for (Node* n = hypertext_->Root(); n != nullptr; n = n->Next()) {
    if (!n->IsAlias()) {
      order.push_back(n);
    }
  }
  std::unordered_set<const Node*> departed;
  struct Restore {
    RuleManager* manager;
    ~Restore() {
      manager->departed_ = nullptr;
      manager->cursor_ = nullptr;
    }
  } restore{this};
  departed_ = &departed;
  size_t ran = 0;
  for (Node* n : order) {
    // Deleted by an earlier rule (a note destroyed is always reported hidden first).
    if (departed.count(n) > 0 || n->IsHidden()) {
      continue;
    }
    std::shared_ptr<Action> rule = GetRule(n);
    if (rule == nullptr || !rule->IsValid()) {
      continue;
    }
    Captures captures;
    ApplyStoredAction(rule.get(), n, "Rule", n, captures);
    ++ran;
  }
  return ran;
}

void RuleManager::Remove(Node* note) {
  if (note == cursor_) {
    cursor_ = nullptr;
  }
  if (departed_ != nullptr) {
    departed_->insert(note);
  }
}

void RuleManager::Cleanup() { rule_attribute_ = nullptr; }

void RuleManager::FinishScan() {
  const uint64_t now = Ticks();
  if (now - last_refresh_ > kRefreshTicks) {
    if (refresh_) {
      refresh_();
    }
    last_refresh_ = now;
  }
}

}  // namespace fernweave
