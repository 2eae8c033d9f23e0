#include "agents/agent.h"

#include <algorithm>
#include <utility>

#include "agents/agent_manager.h"
#include "agents/fetch_ahead.h"
#include "foundation/clock.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/statements.h"
#include "model/alias_node.h"
#include "model/change.h"
#include "model/cleanup_actions.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/sort.h"

namespace fernweave {

namespace {

// Holds the document's change notifications while alive, so that views hear of a whole
// reconciliation at once; restores whatever holding was in force.
class StHoldChanges {
 public:
  explicit StHoldChanges(Hypertext* hypertext)
      : hypertext_(hypertext), was_holding_(hypertext->HoldingChanges()) {
    hypertext_->HoldChanges(true);
  }
  ~StHoldChanges() { hypertext_->HoldChanges(was_holding_); }
  StHoldChanges(const StHoldChanges&) = delete;
  StHoldChanges& operator=(const StHoldChanges&) = delete;

 private:
  Hypertext* hypertext_;
  bool was_holding_;
};

std::vector<Node*> ChildrenOf(const Node* parent) {
  std::vector<Node*> children;
  for (Node* c = parent->Son(); c != nullptr; c = c->Brother()) {
    children.push_back(c);
  }
  return children;
}

}  // namespace

AgentScan::AgentScan(AgentManager* manager, Node* agent) : manager_(manager), agent_(agent) {}

AgentScan::~AgentScan() {
  // Removed aliases the scan did not get to destroy: it hid them, so it answers for them.
  if (!pending_.empty()) {
    agent_->GetHypertext()->DestroyNodes(pending_);
  }
}

void AgentScan::Prepare() {
  const std::string text = agent_->GetString("AgentQuery");
  const bool case_sensitive = agent_->GetBoolean("AgentCaseSensitive");
  if (!prepared_ || reparse_ || text != query_text_ || case_sensitive != case_sensitive_) {
    query_text_ = text;
    case_sensitive_ = case_sensitive;
    query_.reset();
    if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
      query_ = AgentActionExpressionParser::Parse(query_text_, case_sensitive_);
    }
    reparse_ = false;
    prepared_ = true;
  }
  const std::string action_text = agent_->GetAction("AgentAction");
  if (action_ == nullptr || action_text != action_text_) {
    action_text_ = action_text;
    // Shared: PerformActions keeps its own reference while the action runs, so that an
    // action replacing "AgentAction" cannot free itself under its own feet.
    action_ = Action::Create(agent_->GetHypertext(), action_text_);
  }
}

bool AgentScan::IsReady() {
  if (!prepared_) {
    Prepare();
  }
  return query_ != nullptr && query_->IsValid();
}

bool AgentScan::CanSearch(const Node* note) const {
  return note != nullptr && !note->IsRootNote() && !note->IsHidden() &&
         note->Father() != agent_ && note->CanBeAliased() && !note->IsAdornment() &&
         !note->IsAlias();
}

bool AgentScan::Match(Node* note, Captures* captures) {
  if (note == nullptr || note == agent_ || !IsReady()) {
    return false;
  }
  Captures local;
  Captures& args = captures != nullptr ? *captures : local;
  args.clear();
  // A query that answers without making its text gathers no captures either.
  bool truth = false;
  if (query_->FastTruth(note, &truth) ? truth : LogicalResult(query_->Get(note, args)).IsTrue()) {
    return true;
  }
  // Queries about place (parent, siblings) also see the note where its aliases stand,
  // except inside this agent, where they stand only because they matched.
  for (AliasNode* alias : agent_->GetHypertext()->AliasesOf(note)) {
    if (alias->IsHidden() || alias->Father() == agent_) {
      continue;
    }
    args.clear();
    if (LogicalResult(query_->Get(alias, args)).IsTrue()) {
      return true;
    }
  }
  return false;
}

void AgentScan::RebuildMembers() {
  members_.clear();
  for (Node* c = agent_->Son(); c != nullptr; c = c->Brother()) {
    if (c->IsAlias() && c->GetOriginal() != nullptr) {
      members_.insert(c->GetOriginal());
    }
  }
}

bool AgentScan::PrepareToMatch() {
  turn_counter_ = 1;
  matches_.clear();
  captures_.clear();
  kept_ = 0;
  disturbed_ = false;
  Prepare();
  // Rebuilt before it is copied, so that an alias the user deleted from the agent is
  // made again by this scan rather than the next.
  if (members_.size() != agent_->ChildCount()) {
    RebuildMembers();
  }
  previous_ = members_;
  scan_cursor_ = agent_->GetHypertext()->Root();
  return dirty_;
}

bool AgentScan::Examine(Node* note) {
  if (CanSearch(note)) {
    Captures captures;
    if (Match(note, &captures)) {
      // Only the agent action reads the captures.
      if (action_ != nullptr && action_->IsValid()) {
        captures_[note] = std::move(captures);
      }
      matches_.push_back(note);
      if (previous_.count(note) > 0) {
        ++kept_;
      }
      return true;
    }
  }
  // A member that no longer matches counts as a change too; rather than looking every
  // note up among the members, the scan's end compares the members kept with them all.
  return false;
}

bool AgentScan::Do(bool force) {
  children_changed_ = false;
  if (retired_) {
    return false;
  }
  const double priority = agent_->GetDouble("AgentPriority");
  if (priority < 0) {
    return true;
  }
  if (!force) {
    if (priority > turn_counter_ && turn_counter_ != 0) {
      ++turn_counter_;
      return true;
    }
    if (!(priority > turn_counter_)) {
      turn_counter_ = 0;
    }
  }
  const bool fresh = scan_cursor_ == nullptr;
  if (fresh) {
    changed_ = PrepareToMatch();
  }
  if (!IsReady()) {
    scan_cursor_ = nullptr;
    return false;
  }
  Hypertext* hypertext = agent_->GetHypertext();
  StEvaluationDepth level;
  slice_start_ = Ticks();
  hypertext->SetCurrentAgent(agent_);
  bool completed = false;
  while (scan_cursor_ != nullptr) {
    Node* note = scan_cursor_;
    changed_ |= Examine(note);
    if (retired_) {
      return false;
    }
    if (scan_cursor_ != note) {
      break;  // the note left the document while it was examined: start again
    }
    scan_cursor_ = note->Next();
    if (scan_cursor_ == nullptr) {
      completed = true;
      break;
    }
    FetchAhead(scan_cursor_);
    if (!force && Ticks() - slice_start_ >= kSliceTicks) {
      break;
    }
  }
  if (completed) {
    // A scan that spanned several calls may have seen notes move past its cursor (one
    // examined twice, another never): its reconciliation compares everything.
    disturbed_ |= !fresh;
    changed_ |= kept_ != previous_.size();
    dirty_ = false;
    StHoldChanges hold(hypertext);
    outcome_ = Outcome();
    const bool structure = changed_ && Reconcile();
    if (structure && agent_->GetString("CleanupAction") == "grid") {
      // Performed, not posted: the agent's tidying must not take the place of the
      // user's last undoable action.
      NodeCleanupAction cleanup(agent_, kAgentGridSpacing);
      if (cleanup.IsPostable()) {
        cleanup.Redo();
      }
    }
    PerformActions();
    if (retired_) {
      return false;
    }
    const bool sorted = SortChildren();
    Finalize();
    children_changed_ = structure || sorted;
    if (children_changed_) {
      hypertext->AddChange(agent_, facet::kChildren);
    }
  }
  if (hypertext->CurrentAgent() == agent_) {
    hypertext->SetCurrentAgent(nullptr);
  }
  return children_changed_;
}

bool AgentScan::Reconcile() {
  // Every member matched again and nothing else did: only aliases whose original was
  // destroyed can go. The steady state of an agent, worth not rebuilding sets for.
  const bool same = !disturbed_ && kept_ == previous_.size() && kept_ == matches_.size();
  if (same) {
    RemoveOrphanAliases();
    return outcome_.removed > 0;
  }
  std::unordered_set<const Node*> matched;
  for (const Node* n : matches_) {
    if (n != nullptr) {
      matched.insert(n);
    }
  }
  // Copied: removing an alias reports the alias leaving, which must not disturb the walk.
  const std::vector<const Node*> before(previous_.begin(), previous_.end());
  for (const Node* n : before) {
    if (matched.count(n) == 0) {
      RemoveAliasOf(const_cast<Node*>(n));
      members_.erase(n);
      ++outcome_.removed;
    }
  }
  RemoveOrphanAliases();
  Node* last = nullptr;
  for (size_t i = 0; i < matches_.size(); ++i) {
    Node* n = matches_[i];
    if (n == nullptr || previous_.count(n) > 0 || n->IsHidden()) {
      continue;
    }
    if (Node* alias = Add(n, last)) {
      last = alias;
      members_.insert(n);
      ++outcome_.added;
    }
  }
  return outcome_.added > 0 || outcome_.removed > 0;
}

void AgentScan::RemoveOrphanAliases() {
  // Aliases whose original was destroyed stand for nothing any more.
  for (Node* c : ChildrenOf(agent_)) {
    if (c->IsAlias() && c->GetOriginal() == nullptr) {
      c->Hide(true);
      pending_.push_back(c);
      ++outcome_.removed;
    }
  }
}

Node* AgentScan::Add(Node* original, Node* after) {
  const std::string cleanup = agent_->GetString("CleanupAction");
  if (after != nullptr && after->Father() != agent_) {
    after = nullptr;
  }
  // Not selected: aliases appearing in idle time must not change what the user's next
  // command acts on.
  AliasNode* alias = AliasNode::CreateFor(original, agent_, after, 0, 0, false);
  if (alias == nullptr) {
    return nullptr;
  }
  if (cleanup.empty() || cleanup == "none") {
    alias->SetPosition(alias->AvoidCollision(agent_, alias->Position()));
  }
  return alias;
}

void AgentScan::RemoveAliasOf(Node* original) {
  for (Node* c = agent_->Son(); c != nullptr; c = c->Brother()) {
    if (c->IsAlias() && c->GetOriginal() == original) {
      c->Hide(true);
      pending_.push_back(c);
      return;
    }
  }
}

void AgentScan::PerformActions() {
  if (action_ == nullptr || !action_->IsValid()) {
    return;
  }
  std::shared_ptr<Action> action = action_;
  const std::string action_text = action_text_;
  running_action_ = action.get();
  walk_ = ChildrenOf(agent_);
  for (size_t i = 0; i < walk_.size(); ++i) {
    Node* alias = walk_[i];
    // An earlier application may have deleted this alias or moved it out of the agent.
    if (alias == nullptr || alias->Father() != agent_) {
      continue;
    }
    auto found = captures_.find(alias->GetOriginal());
    if (found == captures_.end()) {
      continue;
    }
    Captures captures = found->second;  // copied: the entry may go while the action runs
    ApplyStoredAction(action.get(), agent_, "AgentAction", alias, captures);
    // The agent left the document, or the action replaced the agent's action.
    if (retired_ || agent_->GetAction("AgentAction") != action_text) {
      break;
    }
  }
  running_action_ = nullptr;
  walk_.clear();
}

void AgentScan::Retire() {
  retired_ = true;
  if (auto* running = dynamic_cast<AgentAction*>(running_action_)) {
    running->Stop();
  }
}

bool AgentScan::SortChildren() {
  const std::vector<Node*> before = ChildrenOf(agent_);
  if (before.size() < 2) {
    return false;
  }
  if (SortSettings::For(*agent_).primary.attribute != nullptr) {
    agent_->SortNow();
  } else {
    // Without a sort attribute an agent lists its notes in document order.
    agent_->GetHypertext()->RefreshOutlineOrder();
    std::vector<Tree*> order(before.begin(), before.end());
    std::stable_sort(order.begin(), order.end(), [](const Tree* a, const Tree* b) {
      const Node* oa = static_cast<const Node*>(a)->GetOriginal();
      const Node* ob = static_cast<const Node*>(b)->GetOriginal();
      const uint32_t ka = oa == nullptr ? UINT32_MAX : oa->GetOutlineOrder();
      const uint32_t kb = ob == nullptr ? UINT32_MAX : ob->GetOutlineOrder();
      return ka < kb;
    });
    // Set only when it differs: setting an order marks the whole document's outline
    // order stale, which the next scan would pay for with a walk of every note.
    if (!std::equal(order.begin(), order.end(), before.begin())) {
      agent_->SetChildOrder(order);
    }
  }
  return ChildrenOf(agent_) != before;
}

void AgentScan::Finalize() {
  Hypertext* hypertext = agent_->GetHypertext();
  std::vector<Node*> pending;
  pending.swap(pending_);
  for (Node* alias : pending) {
    if (alias->Father() == agent_ && !alias->IsHidden()) {
      alias->Hide(true);
    }
  }
  // At once: one by one, each destruction walks every note the document owns.
  hypertext->DestroyNodes(pending);
}

void AgentScan::Clear() {
  Hypertext* hypertext = agent_->GetHypertext();
  std::vector<Node*> aliases;
  for (Node* c : ChildrenOf(agent_)) {
    c->Hide(true);
    if (c->IsAlias()) {
      aliases.push_back(c);
    }
  }
  hypertext->DestroyNodes(aliases);
  members_.clear();
}

void AgentScan::Forget(const Node* note) {
  if (scan_cursor_ == note) {
    scan_cursor_ = nullptr;
  }
  disturbed_ = true;
  members_.erase(note);
  previous_.erase(note);
  captures_.erase(note);
  for (Node*& n : matches_) {
    if (n == note) {
      n = nullptr;
    }
  }
  for (Node*& n : walk_) {
    if (n == note) {
      n = nullptr;
    }
  }
}

}  // namespace fernweave
