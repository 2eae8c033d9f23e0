// The subcommands that create a document or read one without changing it:
//   fernweave new FILE
//   fernweave info FILE
//   fernweave tree FILE [NOTE] [--attr A]... [--ids]
//   fernweave get FILE NOTE ATTR...
//   fernweave attr FILE            (the listing form; declaring is in edit_commands.cc)

#include "app/document_commands.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "foundation/user_messages.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/props.h"

namespace fernweave {

CommandRunner SetUpNewCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  auto file = std::make_shared<std::string>();
  sub.add_option("file", *file, "The document file to create")->required();
  return [file]() -> int {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(*file, ec))) {
      Warn(*file + " already exists.");
      return kExitFile;
    }
    std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create();
    return doc->SaveAs(*file) ? kExitOk : kExitFile;
  };
}

DocumentCounts CountDocument(const Hypertext& doc) {
  DocumentCounts counts;
  for (Node* n : doc.AllNodes()) {
    if (n == doc.Root()) {
      continue;
    }
    if (n->IsAlias()) {
      ++counts.aliases;
    } else {
      ++counts.notes;
    }
    if (n->IsAgent()) {
      ++counts.agents;
    }
  }
  const LinkManager& links = doc.Links();
  for (size_t i = 0; i < links.size(); ++i) {
    const Link* link = links.Get(i);
    if (!link->IsHidden() && !link->IsPrototype()) {
      ++counts.links;
    }
  }
  for (Attribute* attribute : doc.Properties().All()) {
    if (attribute->IsUserAttribute() && !attribute->IsAttributeCategory()) {
      ++counts.user_attributes;
    }
  }
  return counts;
}

CommandRunner SetUpInfoCommand(CLI::App& sub, const GlobalOptions& global) {
  auto file = std::make_shared<std::string>();
  sub.add_option("file", *file, "The document file")->required();
  return [file, &global]() -> int {
    OpenOutcome outcome;
    std::unique_ptr<OrvexDoc> doc = OpenForCommand(*file, false, &outcome);
    if (doc == nullptr) {
      return kExitFile;
    }
    const DocumentCounts counts = CountDocument(*doc->GetHypertext());
    const std::vector<std::pair<const char*, long>> rows = {
        {"notes", counts.notes},
        {"aliases", counts.aliases},
        {"agents", counts.agents},
        {"links", counts.links},
        {"user attributes", counts.user_attributes},
        {"version", outcome.version},
        {"revision", outcome.revision},
    };
    if (global.json) {
      nlohmann::json out = nlohmann::json::object();
      for (const auto& [name, value] : rows) {
        out[name] = value;
      }
      std::cout << out.dump() << "\n";
    } else {
      for (const auto& [name, value] : rows) {
        std::cout << name << ": " << value << "\n";
      }
    }
    return kExitOk;
  };
}

std::vector<TreeLine> TreeLines(Node* top) {
  std::vector<TreeLine> lines;
  // Iterative pre-order walk: any depth of nesting is safe.
  std::vector<std::pair<Node*, int>> stack;
  auto push_children = [&stack](Node* n, int depth) {
    const size_t first = stack.size();
    for (Node* child = n->Son(); child != nullptr; child = child->Brother()) {
      stack.emplace_back(child, depth);
    }
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
  };
  push_children(top, 0);
  while (!stack.empty()) {
    auto [n, depth] = stack.back();
    stack.pop_back();
    lines.push_back({n, depth});
    push_children(n, depth + 1);
  }
  return lines;
}

CommandRunner SetUpTreeCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string note;
    std::vector<std::string> attributes;
    bool ids = false;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note whose descendants are listed (default: all)");
  sub.add_option("--attr", args->attributes, "Show this attribute's value (repeatable)");
  sub.add_flag("--ids", args->ids, "Show each note's ID");
  return [args, &global]() -> int {
    std::unique_ptr<OrvexDoc> doc;
    Node* top = nullptr;
    if (const int status = OpenAtNote(args->file, args->note, &doc, &top); status != kExitOk) {
      return status;
    }
    Hypertext* ht = doc->GetHypertext();
    std::vector<Attribute*> attributes;
    if (!ResolveAttributes(ht, args->attributes, &attributes)) {
      return kExitFalse;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const TreeLine& line : TreeLines(top)) {
      if (global.json) {
        nlohmann::json item = {
            {"name", line.note->Name()}, {"id", line.note->GetID().id()}, {"depth", line.depth}};
        if (!attributes.empty()) {
          nlohmann::json values = nlohmann::json::object();
          for (const Attribute* attribute : attributes) {
            values[attribute->Name()] = line.note->Get(attribute)->AsString();
          }
          item["attributes"] = std::move(values);
        }
        list.push_back(std::move(item));
        continue;
      }
      std::string text(2 * static_cast<size_t>(line.depth), ' ');
      text += line.note->Name();
      if (args->ids) {
        text += " #" + std::to_string(line.note->GetID().id());
      }
      for (const Attribute* attribute : attributes) {
        text += " " + attribute->Name() + "=" + line.note->Get(attribute)->AsString();
      }
      std::cout << text << "\n";
    }
    if (global.json) {
      std::cout << list.dump() << "\n";
    }
    return kExitOk;
  };
}

CommandRunner SetUpGetCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string note;
    std::vector<std::string> attributes;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note")->required();
  sub.add_option("attributes", args->attributes, "The attributes to print")->required();
  return [args, &global]() -> int {
    std::unique_ptr<OrvexDoc> doc = OpenForCommand(args->file, false);
    if (doc == nullptr) {
      return kExitFile;
    }
    Hypertext* ht = doc->GetHypertext();
    Node* note = ResolveNote(ht, args->note);
    if (note == nullptr) {
      return kExitFalse;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& name : args->attributes) {
      Attribute* attribute = ResolveAttribute(ht, name);
      if (attribute == nullptr) {
        return kExitFalse;
      }
      values.emplace_back(attribute->Name(), WithLineFeeds(note->Get(attribute)->AsString()));
    }
    if (global.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const auto& [name, value] : values) {
        list.push_back({{"attribute", name}, {"value", value}});
      }
      std::cout << list.dump() << "\n";
    } else {
      for (const auto& [name, value] : values) {
        std::cout << value << "\n";
      }
    }
    return kExitOk;
  };
}

int ListUserAttributes(const std::string& file, bool json) {
  std::unique_ptr<OrvexDoc> doc = OpenForCommand(file, false);
  if (doc == nullptr) {
    return kExitFile;
  }
  nlohmann::json list = nlohmann::json::array();
  for (Attribute* attribute : doc->GetHypertext()->Properties().All()) {
    if (!attribute->IsUserAttribute() || attribute->IsAttributeCategory()) {
      continue;
    }
    const std::string type(AttributeTypeName(attribute->GetType()));
    const std::string default_text = attribute->GetTheDefaultValue()->AsString();
    if (json) {
      list.push_back({{"name", attribute->Name()},
                      {"type", type},
                      {"default", default_text},
                      {"sequential", attribute->IsSequential()}});
    } else {
      std::cout << attribute->Name() << "\t" << type << "\t" << default_text << "\n";
    }
  }
  if (json) {
    std::cout << list.dump() << "\n";
  }
  return kExitOk;
}

}  // namespace fernweave
