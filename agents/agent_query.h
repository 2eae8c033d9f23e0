// Agents and rules: the notes that keep themselves up to date.
//
// What it holds. An agent note (the model's `Agent`) gathers aliases of the notes that
// satisfy its query; its scan state and update cycle are an `AgentScan`
// (agents/agent.h). `AgentQuery` (here) is a query without an agent, for searches.
// `AgentManager` (agents/agent_manager.h) owns the scans of one document and walks its
// notes turn by turn; containers with smart adornments sort their notes onto them on
// their turn. `RuleManager` (agents/rule_manager.h) runs notes' "Rule" actions one note
// at a time, and `IdleTask` (agents/idle_task.h) schedules both in the document's idle
// time on the foundation clock.
//
// Invariants. Nothing here keeps a pointer to a note past its leaving the document: the
// manager hears of every note that is hidden (the document's hooks) and every scan,
// cursor and pending list forgets it at once. Aliases an agent removes stay hidden until
// the scan's end and are then destroyed by the agent itself. Agents, rules, OnAdd actions
// and stamps change the model directly; none of them posts an undoable action, so the
// user's last undoable action survives them.
//
// Who calls it. The command line (`find`, `update`) and, later, the desktop window's
// idle handler. The model never includes these headers.

#ifndef FERNWEAVE_AGENTS_AGENT_QUERY_H_
#define FERNWEAVE_AGENTS_AGENT_QUERY_H_

#include <memory>
#include <string>
#include <vector>

#include "lang/aa_value.h"

namespace fernweave {

class Hypertext;
class Node;

class AgentQuery {
 public:
  // `hypertext` is borrowed and must outlive the query.
  AgentQuery(Hypertext* hypertext, std::string text, bool case_sensitive);
  ~AgentQuery();
  AgentQuery(const AgentQuery&) = delete;
  AgentQuery& operator=(const AgentQuery&) = delete;

  // Parses the text unless it is parsed already; returns IsValid().
  bool Parse();
  // Parses the text again, with the case flag as it is now.
  bool Reparse();
  void SetText(std::string text, bool case_sensitive);
  // True when the text parsed into a valid query.
  bool IsValid() const { return value_ != nullptr && value_->IsValid(); }
  // The parser's message for an invalid query ("" when valid or when nothing parsed
  // without a message: then "syntax error: " and the text).
  std::string Error() const;

  // Whether `note` satisfies the query; the captures of its regular-expression tests
  // go into *captures (may be null). False for an invalid query or a null note.
  bool Matches(Node* note, Captures* captures);
  // Appends every live note of the document, in document order, that is neither the
  // root nor an alias and satisfies the query. Returns how many it appended.
  size_t Search(std::vector<Node*>* nodes);

  const std::string& text() const { return text_; }
  bool case_sensitive() const { return case_sensitive_; }

 private:
  Hypertext* hypertext_;
  std::string text_;
  bool case_sensitive_;
  bool parsed_ = false;
  std::string error_;
  std::unique_ptr<AAValue> value_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_AGENT_QUERY_H_
