// The subcommands that change a document and save it safely:
//   fernweave add FILE PATH [--text T] [--prototype P] [--set A=V]... [--kind K]
//   fernweave set FILE NOTE A=V...
//   fernweave reset FILE NOTE ATTR...
//   fernweave rm FILE NOTE
//   fernweave mv FILE NOTE PARENT
//   fernweave link FILE FROM TO [--type T] [--anchor TEXT] | link FILE FROM --web URL
//   fernweave alias FILE NOTE [PARENT]
//   fernweave attr FILE NAME --type T [--default V] [--sequential]
// Each checks its whole command line against the document before changing anything,
// so a refused command writes nothing.

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/command.h"
#include "app/document_access.h"
#include "app/document_commands.h"
#include "foundation/user_messages.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/attribute_actions.h"
#include "model/attribute_type.h"
#include "model/content.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_type.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/props.h"

namespace fernweave {
namespace {

// False, with a message, when the user may not write the attribute: the system keeps
// read-only and computed values itself.
bool IsWritable(const Attribute* attribute) {
  if (attribute->IsReadOnly()) {
    Warn("cannot change " + attribute->Name() + ": it is read-only");
    return false;
  }
  return true;
}

// Parsed "A=V" pairs with their attributes; kExitOk, or the status to exit with once
// the message is shown (one is not of that form, names no attribute, or names one the
// user may not write).
int ResolveAssignments(Hypertext* doc, const std::vector<std::string>& texts,
                       std::vector<std::pair<Attribute*, std::string>>* out) {
  for (const std::string& text : texts) {
    std::string name;
    std::string value;
    if (!SplitAssignment(text, &name, &value)) {
      Warn("expected ATTRIBUTE=VALUE: " + text);
      return kExitFalse;
    }
    Attribute* attribute = ResolveAttribute(doc, name);
    if (attribute == nullptr) {
      return kExitFalse;
    }
    if (!IsWritable(attribute)) {
      return kExitUsage;
    }
    out->emplace_back(attribute, std::move(value));
  }
  return kExitOk;
}

// Stores each value as the user's edit. A `Container` write the model refuses (a move
// into the note itself, too deep, into an alias) is reported. Returns kExitOk or the
// status to exit with.
int Assign(Node* note, const std::vector<std::pair<Attribute*, std::string>>& assignments) {
  for (const auto& [attribute, value] : assignments) {
    const Node* father = note->Father();
    // A set attribute takes "+a", "-a" and "~a" as edits of its members.
    note->SetSet(attribute->Name(), value);
    if (attribute->GetKind() == "parent" && note->Father() == father &&
        HTPath(value).Get(note->GetHypertext()->Root()) != father &&
        value.find_first_not_of("/ \t") != std::string::npos) {
      Warn("cannot move " + note->Name() + " into " + value);
      return kExitFalse;
    }
  }
  note->HasBeenModified();
  return kExitOk;
}

// The reason a note cannot go inside parent, for a refused creation or move.
std::string WhyNotInside(const Hypertext* doc, const Node* parent, const Node* note) {
  if (parent != nullptr && !doc->DepthAllows(parent, note)) {
    return ": notes may lie at most " + std::to_string(Hypertext::kMaxNoteDepth) +
           " levels deep";
  }
  return "";
}

Node* LastChild(Node* parent) {
  return parent->YoungestSon();
}

// Commands that make a note print its id once the document is saved.
void PrintIdWhenSaved(int status, uint32_t id) {
  if (status == kExitOk) {
    std::cout << id << "\n";
  }
}

}  // namespace

CommandRunner SetUpAddCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string path;
    std::string text;
    std::string prototype;
    std::vector<std::string> assignments;
    std::string kind = "note";
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("path", args->path, "Where the new note goes and its name: /Container/Name")
      ->required();
  CLI::Option* text = sub.add_option("--text", args->text, "The note's text");
  sub.add_option("--prototype", args->prototype, "The name of the note's prototype");
  sub.add_option("--set", args->assignments, "Set an attribute: A=V (repeatable)");
  sub.add_option("--kind", args->kind, "note, agent or adornment")
      ->check(CLI::IsMember({"note", "agent", "adornment"}));
  return [args, text]() -> int {
    uint32_t id = 0;
    const int status = ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      std::string_view path = args->path;
      while (path.size() > 1 && path.ends_with('/')) {
        path.remove_suffix(1);
      }
      const size_t slash = path.rfind('/');
      const std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
      const std::string container_path(slash == std::string_view::npos ? ""
                                                                       : path.substr(0, slash));
      if (name.empty()) {
        Warn("no name for the new note in " + args->path);
        return kExitUsage;
      }
      std::vector<std::pair<Attribute*, std::string>> assignments;
      if (const int status = ResolveAssignments(ht, args->assignments, &assignments);
          status != kExitOk) {
        return status;
      }
      Node* prototype = nullptr;
      if (!args->prototype.empty()) {
        prototype = ht->FindNodeNamed(args->prototype);
        if (prototype == nullptr) {
          Warn("no prototype " + args->prototype);
          return kExitFalse;
        }
      }
      Node* container = ht->Root();
      if (!container_path.empty()) {
        const std::string absolute =
            container_path.front() == '/' ? container_path : "/" + container_path;
        if (static_cast<size_t>(std::count(absolute.begin(), absolute.end(), '/')) >=
            Hypertext::kMaxNoteDepth) {
          // Refused before any container along the path is made.
          Warn("cannot add a note inside " + container_path + ": notes may lie at most " +
               std::to_string(Hypertext::kMaxNoteDepth) + " levels deep");
          return kExitFalse;
        }
        container = HTPath(absolute).Create(ht->Root());
      }
      if (container == nullptr || !container->CanReceiveChildren()) {
        Warn("cannot add a note inside " + container_path);
        return kExitFalse;
      }
      const Hypertext::NoteKind kind = args->kind == "agent"       ? Hypertext::NoteKind::kAgent
                                       : args->kind == "adornment" ? Hypertext::NoteKind::kAdornment
                                                                   : Hypertext::NoteKind::kNote;
      Node* note = ht->DoCreate(kind, name, container, LastChild(container), std::nullopt);
      if (note == nullptr) {
        Warn("cannot add a note inside " + container_path +
             WhyNotInside(ht, container, nullptr));
        return kExitFalse;
      }
      if (prototype != nullptr) {
        note->SetPrototype(prototype->GetOriginal(), true);
      }
      if (text->count() > 0) {
        note->SetText(args->text);
      }
      if (const int status = Assign(note, assignments); status != kExitOk) {
        return status;
      }
      id = note->GetID().id();
      return kExitOk;
    });
    PrintIdWhenSaved(status, id);
    return status;
  };
}

CommandRunner SetUpSetCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::vector<std::string> assignments;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note")->required();
  sub.add_option("assignments", args->assignments, "A=V pairs")->required();
  return [args]() -> int {
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->note);
      if (note == nullptr) {
        return kExitFalse;
      }
      std::vector<std::pair<Attribute*, std::string>> assignments;
      if (const int status = ResolveAssignments(ht, args->assignments, &assignments);
          status != kExitOk) {
        return status;
      }
      return Assign(note, assignments);
    });
  };
}

CommandRunner SetUpResetCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::vector<std::string> attributes;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note")->required();
  sub.add_option("attributes", args->attributes, "The attributes to reset")->required();
  return [args]() -> int {
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->note);
      if (note == nullptr) {
        return kExitFalse;
      }
      std::vector<Attribute*> attributes;
      if (!ResolveAttributes(ht, args->attributes, &attributes)) {
        return kExitFalse;
      }
      for (const Attribute* attribute : attributes) {
        if (!IsWritable(attribute)) {
          return kExitUsage;
        }
      }
      for (Attribute* attribute : attributes) {
        note->Remove(attribute);
      }
      note->HasBeenModified();
      return kExitOk;
    });
  };
}

CommandRunner SetUpRmCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  auto args = std::make_shared<std::pair<std::string, std::string>>();
  sub.add_option("file", args->first, "The document file")->required();
  sub.add_option("note", args->second, "The note to delete")->required();
  return [args]() -> int {
    return ChangeDocument(args->first, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->second);
      if (note == nullptr) {
        return kExitFalse;
      }
      if (!note->CanBeDeleted() || !ht->AttemptToDelete(note)) {
        Warn("cannot delete " + args->second);
        return kExitFalse;
      }
      return kExitOk;
    });
  };
}

CommandRunner SetUpMvCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::string parent;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note to move")->required();
  sub.add_option("parent", args->parent, "Its new parent (it becomes the last child)")->required();
  return [args]() -> int {
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->note);
      Node* parent = note != nullptr ? ResolveNote(ht, args->parent) : nullptr;
      if (note == nullptr || parent == nullptr) {
        return kExitFalse;
      }
      Node* elder = LastChild(parent);
      if (elder == note) {
        elder = note->ElderBrother();
      }
      if (note->IsRootNote() ||
          !ht->PostAction(std::make_unique<NodeMoveAction>(note, parent, elder)) ||
          note->Father() != parent) {
        Warn("cannot move " + args->note + " into " + args->parent +
             WhyNotInside(ht, parent, note));
        return kExitFalse;
      }
      note->HasBeenModified();
      return kExitOk;
    });
  };
}

CommandRunner SetUpLinkCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string from;
    std::string to;
    std::string type;
    std::string web;
    std::string anchor;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("from", args->from, "The source note")->required();
  CLI::Option* to = sub.add_option("to", args->to, "The destination note");
  sub.add_option("--type", args->type, "The link type");
  CLI::Option* web = sub.add_option("--web", args->web, "Link to this URL instead of a note");
  sub.add_option("--anchor", args->anchor,
                 "Anchor the link on the first occurrence of this text in the source's text");
  to->excludes(web);
  return [args, to, web]() -> int {
    if (to->count() == 0 && web->count() == 0) {
      Warn("link needs a destination note or --web URL");
      return kExitUsage;
    }
    return ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* from = ResolveNote(ht, args->from);
      Node* dest = nullptr;
      if (from == nullptr) {
        return kExitFalse;
      }
      LinkRecord record;
      record.add_to_document = true;
      record.source = from;
      if (web->count() > 0) {
        record.url = args->web;
      } else {
        dest = ResolveNote(ht, args->to);
        if (dest == nullptr) {
          return kExitFalse;
        }
        record.dest = dest;
      }
      record.name = args->type;
      if (!args->anchor.empty()) {
        const std::string text = from->GetText();
        const size_t at = text.find(args->anchor);
        if (at == std::string::npos) {
          Warn("no text " + args->anchor + " in " + args->from);
          return kExitFalse;
        }
        record.source_span.start = static_cast<int32_t>(Utf16OffsetForUtf8(text, at));
        record.source_span.length = static_cast<int32_t>(Utf16Length(args->anchor));
      }
      if (record.name == kPrototypeLinkType) {
        // A prototype link is the prototype relation: made as assigning `Prototype`
        // makes it, with the same checks (FROM becomes the prototype of TO).
        Node* note = dest != nullptr ? dest->GetOriginal() : nullptr;
        Node* prototype = from->GetOriginal();
        if (note == nullptr || prototype == nullptr || note->IsRootNote() ||
            !note->CanBePrototype(prototype)) {
          Warn("cannot make " + args->from + " the prototype of " + args->to);
          return kExitFalse;
        }
        note->SetPrototype(prototype, false);
        if (note->GetPrototype() != prototype) {
          Warn("cannot make " + args->from + " the prototype of " + args->to);
          return kExitFalse;
        }
        dest->HasBeenModified();
        return kExitOk;
      }
      if (ht->CreateLink(record) == nullptr) {
        Warn("cannot link " + args->from);
        return kExitFalse;
      }
      from->HasBeenModified();
      return kExitOk;
    });
  };
}

CommandRunner SetUpAliasCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::string parent;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note to alias")->required();
  sub.add_option("parent", args->parent, "Where the alias goes (default: beside the note)");
  return [args]() -> int {
    uint32_t id = 0;
    const int status = ChangeDocument(args->file, [&](OrvexDoc*, Hypertext* ht) -> int {
      Node* note = ResolveNote(ht, args->note);
      if (note == nullptr) {
        return kExitFalse;
      }
      AliasNode* alias = nullptr;
      if (args->parent.empty()) {
        alias = AliasNode::CreateFor(note);
      } else {
        Node* parent = ResolveNote(ht, args->parent);
        if (parent == nullptr) {
          return kExitFalse;
        }
        Node* after = LastChild(parent);
        const MapPoint place = note->CalculateMapPosition(parent, after, nullptr);
        if (parent->CanReceiveChildren()) {
          alias = AliasNode::CreateFor(note, parent, after, place.x, place.y, false);
        }
      }
      if (alias == nullptr) {
        Warn("cannot make an alias of " + args->note);
        return kExitFalse;
      }
      id = alias->GetID().id();
      return kExitOk;
    });
    PrintIdWhenSaved(status, id);
    return status;
  };
}

CommandRunner SetUpAttrCommand(CLI::App& sub, const GlobalOptions& global) {
  struct Args {
    std::string file;
    std::string name;
    std::string type;
    std::string default_text;
    bool sequential = false;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("name", args->name, "The attribute to declare (none: list them)");
  CLI::Option* type = sub.add_option("--type", args->type,
                                     "string, number, boolean, date, color, set, url, "
                                     "file or action")
                          ->check(CLI::IsMember({"string", "number", "boolean", "date", "color",
                                                 "set", "url", "file", "action"}));
  CLI::Option* default_option = sub.add_option("--default", args->default_text, "Its default");
  sub.add_flag("--sequential", args->sequential, "Number new notes in sequence");
  return [args, type, default_option, &global]() -> int {
    if (args->name.empty()) {
      return ListUserAttributes(args->file, global.json);
    }
    if (type->count() == 0) {
      Warn("attr needs --type to declare " + args->name);
      return kExitUsage;
    }
    AttributeType attribute_type = AttributeType::kString;
    AttributeTypeFromName(args->type, &attribute_type);
    if (args->sequential && attribute_type != AttributeType::kNumber) {
      Warn("--sequential numbers notes: it needs --type number");
      return kExitUsage;
    }
    return ChangeDocument(args->file, [&](OrvexDoc* doc, Hypertext* ht) -> int {
      // Declared as the attribute dialog declares one, through the undoable action; it
      // refuses a name that is empty once normalised or already taken.
      if (!ht->PostAction(std::make_unique<CreateAttributeAction>(
              ht, args->name, default_option->count() > 0 ? args->default_text : "",
              args->sequential, attribute_type))) {
        Warn("cannot declare " + args->name + ": the name is taken or not valid");
        return kExitFalse;
      }
      doc->SetModified(true);
      return kExitOk;
    });
  };
}

}  // namespace fernweave
