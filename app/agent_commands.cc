// fernweave act FILE [--note NOTE] ACTION
//   Applies an action (or the stamp of that name) to the note (default: the root), saves.
// fernweave find FILE QUERY [--case-sensitive]
//   Prints the slash path of every note satisfying the query, in document order; with
//   --json objects of id and path. Exit 1 when nothing matches or the query is invalid.
// fernweave update FILE
//   Brings every agent to the end of a full scan and runs every valid rule once, saves,
//   and prints what changed.
// fernweave stamp FILE [NAME ACTION], fernweave macro FILE [NAME TEXT]
//   Defines a stamp or a macro, or lists them.

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "agents/agent_manager.h"
#include "agents/agent_query.h"
#include "agents/rule_manager.h"
#include "app/command.h"
#include "app/document_access.h"
#include "foundation/user_messages.h"
#include "lang/statements.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

// One stamp or macro as the listing commands print it.
struct ListedRecord {
  std::string name;
  std::string text;
  nlohmann::json json;
};

// Lists a document's stamps or macros: "name: text" a line each, or one JSON array.
int ListRecords(const std::string& file, bool json,
                const std::function<std::vector<ListedRecord>(const DocumentRecords&)>& pick) {
  std::unique_ptr<OrvexDoc> doc = OpenForCommand(file, false);
  if (doc == nullptr) {
    return kExitFile;
  }
  nlohmann::json list = nlohmann::json::array();
  for (const ListedRecord& record : pick(doc->GetHypertext()->Records())) {
    if (json) {
      list.push_back(record.json);
    } else {
      std::cout << record.name << ": " << WithLineFeeds(record.text) << "\n";
    }
  }
  if (json) {
    std::cout << list.dump() << "\n";
  }
  return kExitOk;
}

}  // namespace

CommandRunner SetUpActCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::string action;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("action", args->action, "The action, or a stamp's name")->required();
  sub.add_option("--note", args->note, "The note to act on (default: the root)");
  return [args]() -> int {
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = args->note.empty() ? ht->Root() : ResolveNote(ht, args->note);
      if (note == nullptr) {
        return kExitFalse;
      }
      if (const Stamp* stamp = ht->Records().GetStamp(args->action)) {
        const Stamp copy = *stamp;
        ApplyStamp(copy, note);
        return kExitOk;
      }
      std::unique_ptr<Action> action = Action::Create(ht, args->action);
      if (!action->IsValid()) {
        Warn("invalid action: " + args->action);
        return kExitFalse;
      }
      Captures captures;
      action->Apply(note, captures);
      return kExitOk;
    });
  };
}

CommandRunner SetUpFindCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string query;
    bool case_sensitive = false;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("query", args->query, "The query")->required();
  sub.add_flag("--case-sensitive", args->case_sensitive,
               "Regular-expression tests honour case");
  return [args, &global]() -> int {
    std::unique_ptr<OrvexDoc> doc;
    Node* root = nullptr;
    if (const int status = OpenAtNote(args->file, "", &doc, &root); status != kExitOk) {
      return status;
    }
    AgentQuery query(doc->GetHypertext(), args->query, args->case_sensitive);
    if (!query.Parse()) {
      Warn(query.Error());
      return kExitFalse;
    }
    std::vector<Node*> found;
    query.Search(&found);
    if (global.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const Node* n : found) {
        list.push_back({{"id", n->GetID().id()}, {"path", SlashPath(n)}});
      }
      std::cout << list.dump() << "\n";
    } else {
      for (const Node* n : found) {
        std::cout << SlashPath(n) << "\n";
      }
    }
    return found.empty() ? kExitFalse : kExitOk;
  };
}

CommandRunner SetUpUpdateCommand(CLI::App& sub, const GlobalOptions& global) {
  auto file = std::make_shared<std::string>();
  sub.add_option("file", *file, "The document file")->required();
  return [file, &global]() -> int {
    return ChangeDocument(*file, [&](OrvexDoc*, Hypertext* ht) -> int {
      AgentManager agents(ht);
      RuleManager rules(ht, &agents);
      agents.UpdateAll();
      const size_t ran = rules.RunAll();
      nlohmann::json list = nlohmann::json::array();
      for (Node* n = ht->Root(); n != nullptr; n = n->Next()) {
        AgentScan* scan = n->IsAgent() ? agents.ScanOf(n) : nullptr;
        if (scan == nullptr) {
          continue;
        }
        const AgentScan::Outcome& outcome = scan->LastOutcome();
        if (global.json) {
          list.push_back({{"agent", SlashPath(n)},
                          {"added", outcome.added},
                          {"removed", outcome.removed},
                          {"aliases", n->ChildCount()}});
        } else {
          std::cout << SlashPath(n) << ": +" << outcome.added << " -" << outcome.removed << " ("
                    << n->ChildCount() << " aliases)\n";
        }
      }
      if (global.json) {
        std::cout << nlohmann::json{{"agents", list}, {"rules", ran}}.dump() << "\n";
      } else {
        std::cout << "rules run: " << ran << "\n";
      }
      return kExitOk;
    });
  };
}

CommandRunner SetUpStampCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string name;
    std::string action;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("name", args->name, "The stamp's name");
  sub.add_option("action", args->action, "The stamp's action");
  return [args, &global]() -> int {
    if (args->name.empty()) {
      return ListRecords(args->file, global.json, [](const DocumentRecords& records) {
        std::vector<ListedRecord> listed;
        for (const Stamp& stamp : records.Stamps()) {
          listed.push_back({stamp.name, stamp.action,
                            {{"name", stamp.name},
                             {"attribute", stamp.attribute},
                             {"action", stamp.action}}});
        }
        return listed;
      });
    }
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      if (!Action::Create(ht, args->action)->IsValid()) {
        Warn("invalid action: " + args->action);
        return kExitFalse;
      }
      std::vector<Stamp>& stamps = ht->Records().Stamps();
      const Stamp made{args->name, StampAttribute(args->action), args->action};
      for (Stamp& stamp : stamps) {
        if (stamp.name == args->name) {
          stamp = made;
          ht->SetModified(true);
          return kExitOk;
        }
      }
      stamps.push_back(made);
      ht->SetModified(true);
      return kExitOk;
    });
  };
}

CommandRunner SetUpMacroCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string name;
    std::string text;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("name", args->name, "The macro's name");
  sub.add_option("text", args->text, "The macro's text");
  return [args, &global]() -> int {
    if (args->name.empty()) {
      return ListRecords(args->file, global.json, [](const DocumentRecords& records) {
        std::vector<ListedRecord> listed;
        for (const Macro& macro : records.Macros()) {
          listed.push_back({macro.name, macro.text, {{"name", macro.name}, {"text", macro.text}}});
        }
        return listed;
      });
    }
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      ht->Records().SetMacro(args->name, args->text);
      ht->SetModified(true);
      return kExitOk;
    });
  };
}

}  // namespace fernweave
