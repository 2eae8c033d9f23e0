// fernweave eval FILE [--note NOTE] [--tree] EXPR
//
// Prints an expression's text for a note (default: the document root), paragraph
// breaks as line feeds; with --tree the parsed tree instead; with --json
// {"value": ..., "error": ...}. A stored parse error (or an incomplete expression) is
// reported on stderr and gives exit status 1, after the value has been printed. The
// document is never changed or saved.

#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "foundation/user_messages.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/value_dump.h"
#include "model/hypertext.h"

namespace fernweave {

std::string WithLineFeeds(std::string text) {
  for (char& c : text) {
    if (c == '\r') {
      c = '\n';
    }
  }
  return text;
}

CommandRunner SetUpEvalCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string note;
    std::string expression;
    bool tree = false;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("expression", args->expression, "The expression")->required();
  sub.add_option("--note", args->note, "The note to evaluate for (default: the root)");
  sub.add_flag("--tree", args->tree, "Print the parsed tree instead of the value");
  return [args, &global]() -> int {
    std::unique_ptr<OrvexDoc> doc;
    Node* note = nullptr;
    if (const int status = OpenAtNote(args->file, args->note, &doc, &note); status != kExitOk) {
      return status;
    }
    std::string error;
    std::unique_ptr<AAValue> value =
        AgentActionExpressionParser::Parse(args->expression, false, &error);
    if (error.empty() && value != nullptr && !value->IsValid()) {
      error = "incomplete expression";
    }
    std::string text;
    if (args->tree) {
      text = DumpTree(value.get());
    } else if (value == nullptr) {
      text = "syntax error: " + args->expression;
    } else {
      StEvaluationDepth level;
      Captures captures;
      text = WithLineFeeds(value->Get(note, captures));
    }
    if (global.json) {
      nlohmann::json out = {{"value", text}, {"error", nullptr}};
      if (!error.empty()) {
        out["error"] = error;
      }
      std::cout << out.dump() << "\n";
    } else {
      std::cout << text << "\n";
    }
    if (!error.empty()) {
      Warn(error);
      return kExitFalse;
    }
    return kExitOk;
  };
}

}  // namespace fernweave
