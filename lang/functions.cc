#include "lang/functions.h"

#include <utility>

#include "lang/expression_parser.h"
#include "lang/value_dump.h"

namespace fernweave {

namespace {

// Function evaluations in progress, and the work the outermost one has spent.
int active_functions = 0;
size_t work_spent = 0;
size_t work_budget = AAFunction::kWorkBudget;

}  // namespace

AAFunction::AAFunction(FunctionCall call, int type, int priority)
    : AAUnaryOperator(call.name, std::move(call.arguments)),
      name_(std::move(call.name)),
      canonical_(std::move(call.canonical)),
      raw_(std::move(call.raw)),
      convention_(call.convention),
      case_sensitive_(call.case_sensitive),
      nesting_(call.nesting),
      type_(type),
      priority_(priority) {
  for (const AAValue* v = operand_.get(); v != nullptr; v = v->GetNextValue()) {
    NoteChild(v);
  }
}

std::string AAFunction::Get(Node* node, const std::string& name, Captures& args) {
  if (node == nullptr) {
    return std::string();
  }
  if (active_functions == 0) {
    work_spent = 0;
  }
  ++active_functions;
  std::string text = Spend(1) ? Compute(node, name, args) : std::string();
  --active_functions;
  if (text.size() > kMaxTextSize) {
    text.clear();
  }
  return text;
}

bool AAFunction::IsValid() const {
  // List-style functions parse their own arguments; the others need a valid operand.
  return operand_ == nullptr ? convention_ == ArgumentConvention::kList : operand_->IsValid();
}

void AAFunction::Dump(std::string* out) const {
  *out += name_;
  *out += '(';
  if (convention_ == ArgumentConvention::kList || convention_ == ArgumentConvention::kPath) {
    for (size_t i = 0; i < raw_.size(); ++i) {
      if (i > 0) {
        *out += ", ";
      }
      *out += raw_.at(i);
    }
  } else if (operand_ != nullptr) {
    *out += DumpTree(operand_.get());
  }
  *out += ')';
}

bool AAFunction::Spend(size_t units) {
  if (work_spent > work_budget || units > work_budget - work_spent) {
    work_spent = work_budget + 1;
    return false;
  }
  work_spent += units;
  return true;
}

void AAFunction::SetWorkBudgetForTesting(size_t budget) { work_budget = budget; }

AAValue* AAFunction::Argument(size_t i) const {
  AAValue* v = operand_.get();
  for (; v != nullptr && i > 0; --i) {
    v = v->GetNextValue();
  }
  return v;
}

size_t AAFunction::ArgumentCount() const {
  size_t n = 0;
  for (const AAValue* v = operand_.get(); v != nullptr; v = v->GetNextValue()) {
    ++n;
  }
  return n;
}

std::string AAFunction::ArgumentText(size_t i, Node* node, Captures& args) const {
  AAValue* v = Argument(i);
  return v == nullptr ? std::string() : v->Get(node, args);
}

std::unique_ptr<AAValue> ParseArgument(const std::string& text, bool case_sensitive,
                                       int nesting) {
  AgentActionExpressionParser parser(text, case_sensitive, nesting + 1);
  std::unique_ptr<AAValue> value = parser.Parse();
  if (value == nullptr) {
    return std::make_unique<AAInvalid>("syntax error: " + text);
  }
  if (!parser.OK() && value->IsValid()) {
    return std::make_unique<AAInvalid>(parser.GetError());
  }
  return value;
}

}  // namespace fernweave
