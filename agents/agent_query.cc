#include "agents/agent_query.h"

#include <utility>

#include "agents/fetch_ahead.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

AgentQuery::AgentQuery(Hypertext* hypertext, std::string text, bool case_sensitive)
    : hypertext_(hypertext), text_(std::move(text)), case_sensitive_(case_sensitive) {}

AgentQuery::~AgentQuery() = default;

void AgentQuery::SetText(std::string text, bool case_sensitive) {
  if (text != text_ || case_sensitive != case_sensitive_) {
    text_ = std::move(text);
    case_sensitive_ = case_sensitive;
    parsed_ = false;
  }
}

bool AgentQuery::Parse() {
  if (!parsed_) {
    Reparse();
  }
  return IsValid();
}

bool AgentQuery::Reparse() {
  error_.clear();
  value_ = AgentActionExpressionParser::Parse(text_, case_sensitive_, &error_);
  parsed_ = true;
  // An empty text parses as "the default", which is no query at all.
  if (text_.find_first_not_of(" \t\r\n") == std::string::npos) {
    value_.reset();
  }
  return IsValid();
}

std::string AgentQuery::Error() const {
  if (IsValid()) {
    return std::string();
  }
  if (!error_.empty()) {
    return error_;
  }
  return "syntax error: " + text_;
}

bool AgentQuery::Matches(Node* note, Captures* captures) {
  if (note == nullptr || !Parse()) {
    return false;
  }
  StEvaluationDepth level;
  if (level.Exceeded()) {
    return false;
  }
  bool truth = false;
  if (value_->FastTruth(note, &truth)) {
    return truth;  // pure: no captures
  }
  Captures local;
  Captures& args = captures != nullptr ? *captures : local;
  return LogicalResult(value_->Get(note, args)).IsTrue();
}

size_t AgentQuery::Search(std::vector<Node*>* nodes) {
  if (hypertext_ == nullptr || !Parse()) {
    return 0;
  }
  size_t found = 0;
  Node* root = hypertext_->Root();
  // Collected first: a query that changes the tree (through an action function) must
  // not pull the walk out from under itself.
  std::vector<Node*> order;
  for (Node* n = root->Next(); n != nullptr; n = n->Next()) {
    if (!n->IsAlias()) {
      order.push_back(n);
    }
  }
  for (size_t i = 0; i < order.size(); ++i) {
    Node* n = order[i];
    if (i + 1 < order.size()) {
      FetchAhead(order[i + 1]);
    }
    if (!n->IsHidden() && Matches(n, nullptr)) {
      nodes->push_back(n);
      ++found;
    }
  }
  return found;
}

}  // namespace fernweave
