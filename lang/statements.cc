#include "lang/statements.h"

#include <utility>

#include "lang/expression_parser.h"
#include "lang/list_splitters.h"
#include "lang/statement_parser.h"
#include "lang/value_dump.h"
#include "model/attribute.h"
#include "model/change.h"
#include "model/document_records.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"

namespace fernweave {

namespace {

// Actions nest through the blocks of "if": a text of ten thousand nested blocks must not
// recurse ten thousand times. Blocks deeper than this make no statement.
constexpr int kMaxActionNesting = 64;
int action_nesting = 0;

class StActionNesting {
 public:
  StActionNesting() { ++action_nesting; }
  ~StActionNesting() { --action_nesting; }
  StActionNesting(const StActionNesting&) = delete;
  StActionNesting& operator=(const StActionNesting&) = delete;
  bool Exceeded() const { return action_nesting > kMaxActionNesting; }
};

// An action running as the one stored in an attribute of a note. An assignment to that
// very attribute of that note retires it: its remaining statements are skipped.
struct StoredActionWatch {
  const Node* holder;
  const Attribute* attribute;
  bool retired = false;
};

std::vector<StoredActionWatch*>& RunningWatches() {
  static std::vector<StoredActionWatch*> watches;
  return watches;
}

class StWatch {
 public:
  explicit StWatch(StoredActionWatch* watch) { RunningWatches().push_back(watch); }
  ~StWatch() { RunningWatches().pop_back(); }
  StWatch(const StWatch&) = delete;
  StWatch& operator=(const StWatch&) = delete;
};

void NoteAssigned(const Node* target, const Attribute* attribute) {
  const Node* original = target->GetOriginal();
  for (StoredActionWatch* watch : RunningWatches()) {
    if (watch->holder == original && watch->attribute == attribute) {
      watch->retired = true;
    }
  }
}

class ActionOnAddRunner : public OnAddRunner {
 public:
  void RunOnAdd(Node* container, Node* note) override {
    if (container == nullptr || note == nullptr || container->GetHypertext() == nullptr) {
      return;
    }
    const std::string text = container->GetAction("OnAdd");
    if (text.empty()) {
      return;
    }
    std::unique_ptr<Action> action = Action::Create(container->GetHypertext(), text);
    Captures captures;
    ApplyStoredAction(action.get(), container, "OnAdd", note, captures);
  }
};

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::unique_ptr<Action> Action::Create(Hypertext* hypertext, std::string_view text) {
  if (IsBlank(text)) {
    return std::make_unique<NoAction>();
  }
  return std::make_unique<AgentAction>(hypertext, text);
}

// --- AttributeToken ---------------------------------------------------------------

AttributeToken::AttributeToken(std::string_view text) {
  std::string_view t = text;
  if (!t.empty() && t.front() == '$') {
    t.remove_prefix(1);
  }
  const size_t open = t.find('(');
  const size_t close = t.rfind(')');
  if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
    name_ = Parser::Trim(t.substr(0, open));
    path_ = Parser::Trim(t.substr(open + 1, close - open - 1));
  } else {
    name_ = Parser::Trim(t);
  }
}

Node* AttributeToken::TargetFor(Node* node) const {
  if (node == nullptr || path_.empty()) {
    return node;
  }
  return HTPath(path_).Get(node);
}

// --- Statements ----------------------------------------------------------------------

std::unique_ptr<AAToken> AAToken::Create(Hypertext* hypertext, std::string_view statement) {
  AgentActionParser parser(statement);
  const std::string first = parser.Token();
  if (first.empty()) {
    return nullptr;
  }
  if (first == "if") {
    const std::string condition = parser.Token();
    const std::string then_text = parser.Token();
    const std::string next = parser.Token();
    std::string else_text;
    if (next == "else") {
      else_text = parser.Token();
    } else if (!next.empty()) {
      return nullptr;  // something other than "else" after the block
    }
    if (!parser.OK() || condition.empty() || condition.front() != '(') {
      return nullptr;
    }
    return std::make_unique<AAIf>(hypertext, Parser::TrimParens(condition), then_text,
                                  else_text);
  }
  const std::string op = parser.Token();
  if (!parser.OK()) {
    return nullptr;
  }
  if (!op.empty()) {
    const std::string right = Parser::Trim(parser.Rest());
    switch (op.front()) {
      case '=':
        return std::make_unique<AAAssign>(first, right);
      case '|':
        return std::make_unique<AAOrAssign>(first, right);
      case '&':
        return std::make_unique<AAAndAssign>(first, right);
      default:
        return nullptr;
    }
  }
  const std::string whole = Parser::Trim(statement);
  if (whole.find('(') != std::string::npos) {
    std::string error;
    std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(whole, false, &error);
    if (value != nullptr && error.empty() && value->IsValid()) {
      return std::make_unique<AAExpressionToken>(std::move(value));
    }
  }
  return std::make_unique<AAStamp>(hypertext, whole);
}

AAAssign::AAAssign(std::string_view target, std::string_view right)
    : target_(target), written_(right) {
  value_ = AgentActionExpressionParser::Parse(written_, false, &error_);
}

void AAAssign::Apply(Node* node, Captures& captures) {
  Node* target = target_.TargetFor(node);
  if (target == nullptr || target->GetHypertext() == nullptr ||
      !target->HasAttribute(target_.name())) {
    return;
  }
  const Attribute* attribute = target->GetAttribute(target_.name());
  if (!attribute->IsEditable() || !Allowed(target)) {
    return;
  }
  target->Changed(attribute);
  if (value_ != nullptr) {
    value_->Do(target, node, attribute->Name(), captures);
  } else {
    target->Set(attribute, written_);
  }
  NoteAssigned(target, attribute);
}

std::string AAAssign::Dump() const {
  std::string out = "$" + target_.name();
  if (!target_.path().empty()) {
    out += "(" + target_.path() + ")";
  }
  out += std::string(" ") + Operator() + " ";
  out += value_ != nullptr ? DumpTree(value_.get()) : written_;
  return out;
}

// Both conditional assignments read the attribute of the note the assignment goes to, so
// that "$Color(parent) |= red" asks the parent, which it would colour.
bool AAOrAssign::Allowed(const Node* target) const {
  return !target->GetBoolean(this->target().name());
}

bool AAAndAssign::Allowed(const Node* target) const {
  return target->HasImmediate(this->target().name());
}

AAIf::AAIf(Hypertext* hypertext, std::string_view condition, std::string_view then_text,
           std::string_view else_text)
    : condition_text_(condition) {
  condition_ = AgentActionExpressionParser::Parse(condition_text_, false, &error_);
  then_ = Action::Create(hypertext, then_text);
  else_ = Action::Create(hypertext, else_text);
}

bool AAIf::IsValid() const {
  return condition_ != nullptr && condition_->IsValid() && error_.empty() && then_->IsValid() &&
         else_->IsValid();
}

void AAIf::Apply(Node* node, Captures& captures) {
  if (condition_ == nullptr) {
    return;
  }
  const bool truth = LogicalResult(condition_->Get(node, captures)).IsTrue();
  (truth ? then_ : else_)->Apply(node, captures);
}

std::string AAIf::Dump() const {
  auto branch = [](const Action& a) {
    std::string out;
    if (const auto* agent_action = dynamic_cast<const AgentAction*>(&a)) {
      for (const auto& statement : agent_action->statements()) {
        out += (out.empty() ? "" : "; ") + statement->Dump();
      }
    }
    return out;
  };
  return "if " + DumpTree(condition_.get()) + " {" + branch(*then_) + "} else {" +
         branch(*else_) + "}";
}

void AAExpressionToken::Apply(Node* node, Captures& captures) {
  value_->Get(node, captures);
}

std::string AAExpressionToken::Dump() const {
  return "call " + DumpTree(value_.get());
}

void AAStamp::Apply(Node* node, Captures& /*captures*/) {
  if (node == nullptr || hypertext_ == nullptr) {
    return;
  }
  // Copied: the stamp's own action may redefine the stamps.
  const Stamp* stamp = hypertext_->Records().GetStamp(name_);
  if (stamp != nullptr) {
    const Stamp copy = *stamp;
    ApplyStamp(copy, node);
  }
}

// --- AgentAction ------------------------------------------------------------------

AgentAction::AgentAction(Hypertext* hypertext, std::string_view text) : text_(text) {
  StActionNesting nesting;
  if (nesting.Exceeded()) {
    return;
  }
  const ActionList list(text_);
  for (const std::string& statement : list.items()) {
    if (std::unique_ptr<AAToken> token = AAToken::Create(hypertext, statement)) {
      statements_.push_back(std::move(token));
    }
  }
}

bool AgentAction::IsValid() const {
  if (statements_.empty()) {
    return false;
  }
  for (const auto& statement : statements_) {
    if (!statement->IsValid()) {
      return false;
    }
  }
  return true;
}

void AgentAction::Apply(Node* node, Captures& captures) {
  ApplyFrom(nullptr, std::string_view(), node, captures);
}

void AgentAction::ApplyFrom(const Node* holder, std::string_view attribute, Node* node,
                            Captures& captures) {
  if (node == nullptr) {
    return;
  }
  StEvaluationDepth level;
  if (level.Exceeded()) {
    return;
  }
  StoredActionWatch watch{nullptr, nullptr};
  if (holder != nullptr && holder->GetHypertext() != nullptr && holder->HasAttribute(attribute)) {
    watch.holder = holder->GetOriginal();
    watch.attribute = holder->GetAttribute(attribute);
  }
  StWatch running(&watch);
  // A statement may apply this same action again (a stamp that applies itself): the stop
  // flag belongs to this application alone.
  const bool was_stopped = stop_;
  stop_ = false;
  for (const auto& statement : statements_) {
    statement->Apply(node, captures);
    if (stop_ || watch.retired) {
      break;
    }
  }
  stop_ = was_stopped;
}

void ApplyStoredAction(Action* action, const Node* holder, std::string_view attribute,
                       Node* node, Captures& captures) {
  if (action == nullptr) {
    return;
  }
  if (auto* agent_action = dynamic_cast<AgentAction*>(action)) {
    agent_action->ApplyFrom(holder, attribute, node, captures);
  } else {
    action->Apply(node, captures);
  }
}

// --- Stamps and OnAdd ---------------------------------------------------------------

void ApplyStamp(const Stamp& stamp, Node* note) {
  if (note == nullptr || note->GetHypertext() == nullptr) {
    return;
  }
  std::unique_ptr<Action> action = Action::Create(note->GetHypertext(), stamp.action);
  Captures captures;
  action->Apply(note, captures);
  if (!note->IsHidden()) {
    note->Changed(facet::kRedraw);
  }
}

std::string StampAttribute(std::string_view action) {
  const ActionList list(action);
  for (const std::string& statement : list.items()) {
    AgentActionParser parser(statement);
    const std::string first = parser.Token();
    if (first.empty() || first == "if") {
      continue;
    }
    const std::string op = parser.Token();
    if (parser.OK() && !op.empty() && (op == "=" || op == "|=" || op == "&=")) {
      return AttributeToken(first).name();
    }
  }
  return std::string();
}

void InstallActions() {
  static ActionOnAddRunner runner;
  if (OnAddRunner::Installed() == nullptr) {
    OnAddRunner::Install(&runner);
  }
}

}  // namespace fernweave
