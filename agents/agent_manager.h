// The agent manager of one document: owns the scans of the document's agents, walks the
// notes turn by turn in idle time (an agent's turn advances its scan; a container's turn
// sorts its notes onto its smart adornments), and hears of every note leaving the
// document so that nothing it or its scans keep can dangle.
//
// A manager installs itself among the document's hooks when made and takes itself out
// when destroyed, handing every call on to the hooks installed before it.
// REQUIRES: managers of one document are destroyed in the reverse order of their making,
// and before the document.

#ifndef FERNWEAVE_AGENTS_AGENT_MANAGER_H_
#define FERNWEAVE_AGENTS_AGENT_MANAGER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "agents/agent.h"
#include "model/hypertext.h"

namespace fernweave {

class AgentManager {
 public:
  // Clock ticks one Update call may take before it stops starting new turns.
  static constexpr uint64_t kUpdateTicks = 5;

  // `hypertext` is borrowed and must outlive the manager.
  explicit AgentManager(Hypertext* hypertext);
  virtual ~AgentManager();
  AgentManager(const AgentManager&) = delete;
  AgentManager& operator=(const AgentManager&) = delete;

  // Process-wide switch: agents anywhere may run (see StDisableAgents).
  static bool sEnabled;

  // Turns until `kUpdateTicks` have passed, the cursor runs out or comes back to the
  // root; with `all`, UpdateAll. Nothing while either switch is off.
  virtual void Update(bool all);
  // Every note in document order, each agent finishing a whole scan. Nothing while either
  // switch is off.
  virtual void UpdateAll();
  // One turn: the cursor note's update step; moves on when the note has no scan under
  // way.
  virtual void UpdateOne();
  virtual bool IsEnabled() const { return enabled_; }
  virtual void Enable(bool enabled) { enabled_ = enabled; }
  // The note is leaving the document: scans, the cursor and the pending aliases forget
  // it. Called through the document's hooks.
  virtual void Deleting(Node* note);
  // Forgets every scan (they are rebuilt from the agents' attributes on their next turn).
  virtual void Reset();
  // Moves the cursor to the next note in document order, skipping aliases and hidden
  // notes, wrapping past the last note to the root; the root when there is none yet.
  virtual Node* Next();

  // What Hypertext::UpdateAgentsNow does for the manager's document: the handler set
  // with SetUpdateNowHandler (the idle task's UpdateAgents(true)), else Update(true).
  // Nothing when asked while an update is under way.
  void UpdateAgentsNow();
  void SetUpdateNowHandler(std::function<void()> handler) { update_now_ = std::move(handler); }

  // The scan of an agent note, made on first use; null for a note that is not an agent.
  AgentScan* ScanOf(Node* agent);
  Node* cursor() const { return cursor_; }
  Hypertext* hypertext() const { return hypertext_; }
  // Called with each note that leaves the document, after the manager has forgotten it
  // (the rule manager's Remove, for instance).
  void SetDeletingListener(std::function<void(Node*)> listener) {
    deleting_listener_ = std::move(listener);
  }

  // The update step of an ordinary note: a container with smart adornments (adornments
  // carrying an "AgentQuery") puts each of its notes onto the first adornment whose query
  // it satisfies and off the others. Always false.
  static bool DoSmartAdornments(Node* container);

 protected:
  // For NullAgentManager: no hooks, no scans.
  AgentManager(Hypertext* hypertext, bool install_hooks);

 private:
  class Hooks;
  // The step of the cursor note (or any note, forced for UpdateAll); reports a change of
  // the note when its children changed.
  void DoNote(Node* note, bool force);
  void BuryRetired();
  // UpdateAll's walk over every note.
  void WalkAll();

  Hypertext* hypertext_;
  std::unique_ptr<Hooks> hooks_;
  bool enabled_ = true;
  Node* cursor_ = nullptr;
  int depth_ = 0;  // nested update calls under way
  std::unordered_map<const Node*, std::unique_ptr<AgentScan>> scans_;
  // Scans of agents that left the document while something may still run in them;
  // destroyed once no update is under way.
  std::vector<std::unique_ptr<AgentScan>> retired_;
  std::function<void(Node*)> deleting_listener_;
  std::function<void()> update_now_;
};

// A manager that does nothing (documents whose agents must not run).
class NullAgentManager : public AgentManager {
 public:
  explicit NullAgentManager(Hypertext* hypertext) : AgentManager(hypertext, false) {}
  void Update(bool) override {}
  void UpdateAll() override {}
  void UpdateOne() override {}
  bool IsEnabled() const override { return false; }
  void Enable(bool) override {}
  void Deleting(Node*) override {}
  void Reset() override {}
  Node* Next() override { return nullptr; }
};

// Turns AgentManager::sEnabled off for its scope and restores the value it found.
class StDisableAgents {
 public:
  StDisableAgents() : saved_(AgentManager::sEnabled) { AgentManager::sEnabled = false; }
  ~StDisableAgents() { AgentManager::sEnabled = saved_; }
  StDisableAgents(const StDisableAgents&) = delete;
  StDisableAgents& operator=(const StDisableAgents&) = delete;

 private:
  bool saved_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_AGENT_MANAGER_H_
