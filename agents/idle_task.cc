#include "agents/idle_task.h"

#include <algorithm>
#include <chrono>

#include "foundation/clock.h"
#include "foundation/error.h"
#include "model/hypertext.h"

namespace fernweave {

IdleTask::IdleTask(Hypertext* hypertext)
    : hypertext_(hypertext),
      agents_(std::make_unique<AgentManager>(hypertext)),
      rules_(std::make_unique<RuleManager>(hypertext, agents_.get())) {
  agents_->SetUpdateNowHandler([this] { UpdateAgents(true); });
}

// The rule manager goes first: it leaves the agent manager's listener.
IdleTask::~IdleTask() {
  rules_.reset();
  agents_.reset();
}

void IdleTask::SpendTime() {
  if (hypertext_ == nullptr || busy_) {
    return;
  }
  DoRules();
  const uint64_t now = Ticks();
  const uint64_t since = std::max(last_agent_update_, last_key_press_);
  const uint64_t elapsed = now > since ? now - since : 0;
  const uint64_t waited = update_mode_ == kFastMode ? elapsed : elapsed / kIntervalUnit;
  if (waited >= agent_interval_ && hypertext_->AgentsEnabled()) {
    UpdateAgents(false);
  }
}

void IdleTask::DoRules() {
  if (rules_ == nullptr || busy_) {
    return;
  }
  const uint64_t now = Ticks();
  if (now < last_key_press_ + rule_delay_) {
    return;
  }
  rules_->Run(update_mode_ == kFastMode ? 50 : 1);
}

void IdleTask::UpdateAgents(bool all) {
  try {
    DoUpdateAgents(all);
  } catch (const Error&) {
    hypertext_->SetCurrentAgent(nullptr);
  }
}

void IdleTask::DoUpdateAgents(bool all) {
  if (!AgentManager::sEnabled) {
    return;
  }
  const bool was_holding = hypertext_->HoldingChanges();
  hypertext_->HoldChanges(true);
  const auto start = std::chrono::steady_clock::now();
  try {
    agents_->Update(all);
  } catch (...) {
    hypertext_->HoldChanges(was_holding);
    throw;
  }
  hypertext_->HoldChanges(was_holding);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  longest_agent_update_ = std::max(longest_agent_update_, took.count());
  last_agent_update_ = Ticks();
}

void IdleTask::KeyPressed() { last_key_press_ = Ticks(); }

void IdleTask::CleanupRules() {
  rules_->Cleanup();
  agents_->Reset();
}

void IdleTask::RestoreRuleManager() {
  rules_.reset();
  rules_ = std::make_unique<RuleManager>(hypertext_, agents_.get());
}

}  // namespace fernweave
