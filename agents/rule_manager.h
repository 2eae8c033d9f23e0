// Rules: each note's "Rule" action, run on the note itself, one note per idle call (50 in
// the fast mode) in passes over the document, or all at once on request.

#ifndef FERNWEAVE_AGENTS_RULE_MANAGER_H_
#define FERNWEAVE_AGENTS_RULE_MANAGER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>

namespace fernweave {

class Action;
class AgentManager;
class Attribute;
class Hypertext;
class Node;

class RuleManager {
 public:
  // Clock ticks that must pass between two refreshes of the views at the end of a pass.
  static constexpr uint64_t kRefreshTicks = 899;

  // `hypertext` is borrowed and must outlive the manager. The rule manager hears of notes
  // leaving the document through `deletions` (the document's agent manager, which must
  // outlive it); without one it keeps no note between calls.
  RuleManager(Hypertext* hypertext, AgentManager* deletions);
  virtual ~RuleManager();
  RuleManager(const RuleManager&) = delete;
  RuleManager& operator=(const RuleManager&) = delete;

  // Runs the rule of every note that has a valid one, in document order. Returns how
  // many rules ran.
  virtual size_t RunAll();
  // Runs the next rule of the pass; ends the pass when there is none.
  virtual void Run();
  // Run() up to `count` times, stopping early when a pass ends.
  virtual void Run(int count);
  // The note left the document; a pass that stood at it starts again.
  virtual void Remove(Node* note);
  // Forgets the cached attribute definition.
  virtual void Cleanup();
  // Applies the note's rule to it (nothing when it has none).
  virtual void RunFor(Node* note);
  // The note's rule, parsed; null when it has none. The caller shares ownership.
  virtual std::shared_ptr<Action> GetRule(Node* note);
  // The next note of the pass whose rule exists and is valid, or null at the pass's end.
  virtual Node* Next();
  // The end of a pass: refreshes the views when more than kRefreshTicks have passed since
  // the last refresh.
  virtual void FinishScan();

  // What refreshing the views does (the window sets it; nothing by default).
  void SetRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }
  Node* cursor() const { return cursor_; }

 private:
  const Attribute* RuleAttribute();

  Hypertext* hypertext_;
  AgentManager* deletions_;
  Node* cursor_ = nullptr;
  const Attribute* rule_attribute_ = nullptr;
  uint64_t last_refresh_ = 0;
  std::function<void()> refresh_;
  // Set while RunAll walks: notes that left the document meanwhile.
  std::unordered_set<const Node*>* departed_ = nullptr;
};

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_RULE_MANAGER_H_
