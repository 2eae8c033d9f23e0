// The idle task of an open document: in the application's idle time it runs rules once
// the user has stopped typing and lets agents rescan once the agent interval has passed
// since both the last update and the last key press. It owns the document's agent and
// rule managers. Time is the foundation clock's ticks (1/60 s), so tests drive it with a
// clock they advance by hand (SetTicksForTesting); the desktop window calls SpendTime
// from its idle handler and KeyPressed from its key handler. While the task lives,
// `Hypertext::UpdateAgentsNow()` (and `Node::UpdateAgentsNow()`) run UpdateAgents(true)
// through it.

#ifndef FERNWEAVE_AGENTS_IDLE_TASK_H_
#define FERNWEAVE_AGENTS_IDLE_TASK_H_

#include <cstdint>
#include <memory>

#include "agents/agent_manager.h"
#include "agents/rule_manager.h"

namespace fernweave {

class Hypertext;

class IdleTask {
 public:
  // The update mode in which rules run 50 notes a call and the agent interval counts
  // single ticks instead of units of 30.
  static constexpr int kFastMode = 2;
  static constexpr uint64_t kIntervalUnit = 30;

  // `hypertext` is borrowed and must outlive the task.
  explicit IdleTask(Hypertext* hypertext);
  ~IdleTask();
  IdleTask(const IdleTask&) = delete;
  IdleTask& operator=(const IdleTask&) = delete;

  // One idle event: rules, then agents when their interval has passed and the document
  // lets agents update automatically (Hypertext::AgentsEnabled). Nothing while busy.
  void SpendTime();
  // Runs rules (1 note, 50 in the fast mode) when ruleDelay ticks have passed since the
  // last key press.
  void DoRules();
  // Updates agents (all at once with `all`), measuring the time taken. An internal error
  // escaping an agent is swallowed here and the current agent cleared: idle time must
  // not end the program.
  void UpdateAgents(bool all);
  void KeyPressed();
  // Forgets cached rule state and every agent scan.
  void CleanupRules();
  // Replaces the rule manager by a new one.
  void RestoreRuleManager();

  // True while the document is being saved or reverted: nothing runs.
  void SetBusy(bool busy) { busy_ = busy; }
  bool busy() const { return busy_; }
  void SetUpdateMode(int mode) { update_mode_ = mode; }
  int update_mode() const { return update_mode_; }
  void SetRuleDelay(uint64_t ticks) { rule_delay_ = ticks; }
  void SetAgentInterval(uint64_t interval) { agent_interval_ = interval; }
  uint64_t last_key_press() const { return last_key_press_; }
  uint64_t last_agent_update() const { return last_agent_update_; }
  double longest_agent_update() const { return longest_agent_update_; }

  AgentManager& agents() { return *agents_; }
  RuleManager& rules() { return *rules_; }

 private:
  void DoUpdateAgents(bool all);

  Hypertext* hypertext_;
  std::unique_ptr<AgentManager> agents_;
  std::unique_ptr<RuleManager> rules_;
  bool busy_ = false;
  uint64_t last_key_press_ = 0;
  uint64_t rule_delay_ = 120;
  uint64_t last_agent_update_ = 0;
  uint64_t agent_interval_ = 180;
  double longest_agent_update_ = 0;
  int update_mode_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_IDLE_TASK_H_
