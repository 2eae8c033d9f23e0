// The update cycle of one agent note: its parsed query and action, and a scan of the
// document that proceeds a time slice at a time and ends in reconciliation (aliases of
// new matches made, aliases of lost matches removed, the grid cleanup, the agent action
// run on every match, the children sorted).
//
// The agent reads everything from its own attributes: "AgentQuery",
// "AgentCaseSensitive", "AgentAction", "AgentPriority", "CleanupAction" and the sort
// attributes, so prototypes apply to agents as to any note.
//
// Ownership. An `AgentScan` belongs to the `AgentManager` of the agent's document
// (agents/agent_manager.h), which tells it, through `Forget`, of every note leaving the
// document; so no note pointer it keeps (cursor, members, previous, matches, captures)
// ever outlives its note. Pending aliases are hidden by the scan itself and destroyed by
// it in `Finalize`.

#ifndef FERNWEAVE_AGENTS_AGENT_H_
#define FERNWEAVE_AGENTS_AGENT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lang/aa_value.h"

namespace fernweave {

class Action;
class AgentManager;
class AliasNode;
class Hypertext;
class Node;

class AgentScan {
 public:
  // Clock ticks (1/60 s) one slice of a scan may take.
  static constexpr uint64_t kSliceTicks = 7;

  // What the last completed scan did, for reports.
  struct Outcome {
    size_t added = 0;
    size_t removed = 0;
  };

  // `agent` is the agent note (borrowed; the manager forgets the scan when the note
  // leaves the document). REQUIRES: agent is not null.
  AgentScan(AgentManager* manager, Node* agent);
  ~AgentScan();
  AgentScan(const AgentScan&) = delete;
  AgentScan& operator=(const AgentScan&) = delete;

  // Re-reads the query, the case flag and the action; re-parses the query when the text
  // or the flag changed (or a re-parse was asked for).
  void Prepare();
  // A parsed, valid query exists (prepares first when none was parsed).
  bool IsReady();
  void ForceReparse() { reparse_ = true; }
  // The agent must rescan even when nothing seems to have changed.
  void SetDirty() { dirty_ = true; }

  // Advances the scan by one slice, or to its end when `force`. True when the agent is
  // off (priority below 0), lets the turn pass for its priority, or completed a scan that
  // changed its children; false while a scan is under way, when the agent is not ready
  // and when a completed scan changed nothing.
  bool Do(bool force);
  // No scan is under way.
  bool HasBeenDone() const { return scan_cursor_ == nullptr; }
  // The last Do completed a scan that changed the agent's children.
  bool ChildrenChanged() const { return children_changed_; }
  const Outcome& LastOutcome() const { return outcome_; }

  // The query test for one note (the note itself, else any of its aliases elsewhere).
  bool Match(Node* note, Captures* captures);
  // Whether the agent may gather the note at all.
  bool CanSearch(const Node* note) const;

  // Hides every child and destroys those that are aliases.
  void Clear();
  // The note is leaving the document: drop every pointer to it.
  void Forget(const Node* note);

  Node* agent() const { return agent_; }
  // The agent left the document: whatever is running in the scan stops at once (the
  // agent action under way skips its remaining statements).
  void Retire();
  bool retired() const { return retired_; }

 private:
  bool PrepareToMatch();
  bool Examine(Node* note);
  // Reconciles the children with the matches of a completed scan; true when the
  // children changed.
  bool Reconcile();
  void RemoveOrphanAliases();
  Node* Add(Node* original, Node* after);
  void RemoveAliasOf(Node* original);
  void PerformActions();
  void Finalize();
  // Sorts the children; true when their order changed.
  bool SortChildren();
  void RebuildMembers();

  AgentManager* manager_;
  Node* agent_;
  std::string query_text_;
  bool case_sensitive_ = false;
  bool reparse_ = false;
  bool prepared_ = false;
  std::unique_ptr<AAValue> query_;
  std::string action_text_;
  std::shared_ptr<Action> action_;

  int turn_counter_ = 0;
  Node* scan_cursor_ = nullptr;
  uint64_t slice_start_ = 0;
  bool dirty_ = false;
  bool children_changed_ = false;
  Outcome outcome_;

  std::unordered_set<const Node*> members_;
  std::unordered_set<const Node*> previous_;
  std::vector<Node*> matches_;  // in document order
  std::unordered_map<const Node*, Captures> captures_;
  std::vector<Node*> pending_;
  // The aliases PerformActions walks; entries that leave the document become null.
  std::vector<Node*> walk_;
  // Matches of this scan that were members before it.
  size_t kept_ = 0;
  // A note left the document during the scan, or the scan spanned several calls.
  bool disturbed_ = false;
  // The agent action PerformActions is applying, null otherwise.
  Action* running_action_ = nullptr;
  bool changed_ = false;
  bool retired_ = false;
};

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_AGENT_H_
