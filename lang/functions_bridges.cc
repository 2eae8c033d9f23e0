// Bridges out of one expression: do (the document's macros), eval (text evaluated as
// an expression), runCommand and the backquote form (the shell service).

#include <optional>
#include <string>
#include <vector>

#include "foundation/shell.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/functions.h"
#include "lang/macro_substitution.h"
#include "lang/parser.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

// What one do or eval takes from the work budget beyond its own step.
constexpr size_t kTextEvaluationCost = 16;

// The standard output of a command run through the shell service; the empty text when
// it did not run (refused, or it could not start).
std::string RunCommand(const std::string& command, const std::optional<std::string>& input) {
  if (command.empty()) {
    return std::string();
  }
  ShellResult result = Shell().Run(command, input);
  if (result.status != ShellResult::Status::kDone &&
      result.status != ShellResult::Status::kFailed) {
    return std::string();
  }
  return std::move(result.output);
}

// do(name, arguments...): the macro with the arguments substituted, not evaluated again.
class AAMacro : public AAFunction {
 public:
  explicit AAMacro(FunctionCall call) : AAFunction(std::move(call), kTypeString) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    StEvaluationDepth level;
    if (level.Exceeded() || Argument(0) == nullptr || !Spend(kTextEvaluationCost)) {
      return std::string();
    }
    std::vector<std::string> arguments;
    for (AAValue* v = Argument(0); v != nullptr; v = v->GetNextValue()) {
      arguments.push_back(v->Get(node, args));
    }
    return ExpandMacro(*node->GetHypertext(), arguments).value_or(std::string());
  }
};

// eval([designator,] expression): the expression's value, read again as an expression
// and evaluated for the designated note. Any failure gives the empty text.
class AAEval : public AAFunction {
 public:
  explicit AAEval(FunctionCall call) : AAFunction(std::move(call), kTypeUnknown) {
    const bool has_designator = raw().size() > 1;
    if (has_designator) {
      designator_ = Parser::TrimQuotes(raw().at(0));
    }
    expression_ = ParseArgument(raw().at(has_designator ? 1 : 0), false, nesting());
  }

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    Node* target = designator_.empty() ? node : HTPath(designator_).Get(node);
    if (target == nullptr || !expression_->IsValid()) {
      return std::string();
    }
    StEvaluationDepth level;
    if (level.Exceeded() || !Spend(kTextEvaluationCost)) {
      return std::string();
    }
    const std::string text = expression_->Get(target, args);
    std::string error;
    std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(text, false, &error);
    if (value == nullptr || !value->IsValid() || !error.empty()) {
      return std::string();
    }
    Captures captures;
    return value->Get(target, captures);
  }

 private:
  std::string designator_;
  std::unique_ptr<AAValue> expression_;
};

// runCommand(command[, input]).
class AARunCommand : public AAFunction {
 public:
  explicit AARunCommand(FunctionCall call) : AAFunction(std::move(call), kTypeString) {
    if (!raw().empty()) {
      command_ = ParseArgument(raw().at(0), false, nesting());
    }
    if (raw().size() > 1) {
      input_ = ParseArgument(raw().at(1), false, nesting());
    }
  }

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    if (command_ == nullptr || !command_->IsValid()) {
      return std::string();
    }
    std::optional<std::string> input;
    if (input_ != nullptr) {
      input = PrepareCommandInput(input_->Get(node, args));
    }
    return RunCommand(command_->Get(node, args), input);
  }

 private:
  std::unique_ptr<AAValue> command_;
  std::unique_ptr<AAValue> input_;
};

// The backquote form: the rest of the expression, run as a command.
class AAShellValue : public AAUnaryOperator {
 public:
  explicit AAShellValue(std::unique_ptr<AAValue> operand)
      : AAUnaryOperator("`", std::move(operand)) {}

  std::string Get(Node* node, const std::string&, Captures& args) override {
    if (node == nullptr || operand_ == nullptr) {
      return std::string();
    }
    return RunCommand(operand_->Get(node, args), std::nullopt);
  }
  void Dump(std::string* out) const override {
    *out += '`';
    if (operand_ != nullptr) {
      operand_->Dump(out);
    }
  }
};

}  // namespace

std::unique_ptr<AAValue> MakeBridgeFunction(FunctionCall call) {
  const std::string& f = call.canonical;
  if (f == "do") {
    return std::make_unique<AAMacro>(std::move(call));
  }
  if (f == "eval") {
    if (call.raw.empty()) {
      return std::make_unique<AAInvalid>("eval: syntax error");
    }
    return std::make_unique<AAEval>(std::move(call));
  }
  return std::make_unique<AARunCommand>(std::move(call));
}

std::unique_ptr<AAValue> MakeShellValue(std::unique_ptr<AAValue> operand) {
  if (operand == nullptr) {
    return std::make_unique<AAInvalid>("shell: syntax error");
  }
  return std::make_unique<AAShellValue>(std::move(operand));
}

}  // namespace fernweave
