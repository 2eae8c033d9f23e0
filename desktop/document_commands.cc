#include "desktop/document_commands.h"

#include <memory>
#include <utility>

#include "agents/agent_query.h"
#include "export/export_template.h"
#include "export/exporter.h"
#include "foundation/progress.h"
#include "foundation/user_messages.h"
#include "model/config.h"
#include "model/alias_actions.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"

namespace fernweave {

namespace {

DocumentExporter* g_exporter = nullptr;

// The export library's folder export: every page the templates make, with its pictures
// and link lists, written only where it changed. A failing export command keeps its
// page; the run still counts as written, and its messages are shown.
class FolderExporter : public DocumentExporter {
 public:
  bool Export(Hypertext* document, const std::filesystem::path& folder,
              const std::atomic<bool>* cancel, std::string* message) override {
    ExportRun::SetStandardTemplateFolder((ConfigFolder() / "templates").string());
    std::unique_ptr<Progress> progress = MakeProgress();
    const ExportResult result =
        ExportDocument(*document, folder.string(), ExportOptions(), progress.get(), cancel);
    if (result.cancelled) {
      *message = "The export was cancelled; the pages written so far are complete.";
      return false;
    }
    std::string text;
    for (const std::string& line : result.messages) {
      text += (text.empty() ? "" : "\n") + line;
    }
    *message = text;
    return result.ok();
  }
};

// Answers the explode question with what the window's dialog collected.
class SettingsExploder : public Exploder {
 public:
  explicit SettingsExploder(ExplodeSettings settings) : settings_(std::move(settings)) {}
  bool AskToExplode(ExplodeSettings* settings) override {
    *settings = settings_;
    settings->delimiter = ProcessSpecialExplodeChars(settings_.delimiter);
    return true;
  }

 private:
  ExplodeSettings settings_;
};

bool Editable(const DocumentSession& session) {
  return session.hypertext()->CanEdit();
}

// Where Tab puts the note: the end of its elder sibling's children.
Node* IndentTarget(const Node* note) {
  Node* elder = note->ElderBrother();
  return elder != nullptr && elder->CanReceiveChildren() ? elder : nullptr;
}

// Where Shift+Tab puts the note: its grandparent, directly after its parent.
Node* OutdentTarget(const Node* note) {
  Node* father = note->Father();
  Node* grandfather = father != nullptr ? father->Father() : nullptr;
  return grandfather != nullptr && grandfather->CanReceiveChildren() ? grandfather : nullptr;
}

// Moves the primary note under `parent` after `elder` as one undoable step and keeps it
// selected, the map showing its new container.
bool MoveSelected(DocumentSession& session, Node* note, Node* parent, Node* elder) {
  if (!session.hypertext()->PostAction(std::make_unique<NodeMoveAction>(note, parent, elder))) {
    return false;
  }
  session.selection().Select(note);
  return true;
}

}  // namespace

CommandState CommandStateOf(const DocumentSession& session) {
  CommandState state;
  state.undo = session.CanUndo();
  state.redo = session.CanRedo();
  state.revert = session.CanRevert();
  const bool editable = Editable(session);
  const Node* primary = session.selection().Primary();
  const Node* container = session.selection().MapContainer();
  state.new_note = editable && container != nullptr && container->CanReceiveChildren();
  state.delete_note = primary != nullptr && primary->CanBeDeleted();
  state.make_alias = editable && primary != nullptr && primary->CanBeAliased() &&
                     primary->Father() != nullptr && primary->Father()->CanReceiveChildren();
  const bool movable = editable && primary != nullptr && primary->CanBeDeleted();
  state.duplicate = movable && primary->Father() != nullptr &&
                    primary->Father()->CanReceiveChildren();
  state.indent = movable && IndentTarget(primary) != nullptr;
  state.outdent = movable && OutdentTarget(primary) != nullptr;
  state.explode = editable && primary != nullptr && primary->GetOriginal()->HasText();
  state.go_up = container != nullptr && container->Father() != nullptr;
  return state;
}

Node* NewNote(DocumentSession& session) {
  Hypertext* ht = session.hypertext();
  Node* primary = session.selection().Primary();
  Node* made = primary != nullptr ? ht->CreateSiblingFor(primary)
                                  : ht->CreateChildFor(session.selection().MapContainer());
  session.selection().Select(made);
  return made;
}

bool DeleteSelected(DocumentSession& session) {
  Node* note = session.selection().Primary();
  if (note == nullptr || !note->CanBeDeleted()) {
    return false;
  }
  Node* next = note->Brother() != nullptr ? note->Brother() : note->ElderBrother();
  Node* father = note->Father();
  if (!session.hypertext()->PostAction(std::make_unique<NodeDeleteAction>(note))) {
    return false;
  }
  if (next != nullptr) {
    session.selection().Select(next);
  } else {
    session.selection().ShowMap(father);
  }
  return true;
}

Node* MakeAliasOfSelected(DocumentSession& session) {
  Node* note = session.selection().Primary();
  if (note == nullptr || note->Father() == nullptr) {
    return nullptr;
  }
  Node* parent = note->Father();
  const MapPoint place = note->CalculateMapPosition(parent, parent->YoungestSon(), nullptr);
  auto action = std::make_unique<AliasCreateAction>(note, parent, place);
  AliasCreateAction* posted = action.get();
  if (!session.hypertext()->PostAction(std::move(action))) {
    return nullptr;
  }
  Node* alias = posted->Alias();
  session.selection().Select(alias);
  return alias;
}

Node* DuplicateSelected(DocumentSession& session) {
  Node* note = session.selection().Primary();
  if (note == nullptr) {
    return nullptr;
  }
  Node* copy = session.hypertext()->Duplicate(note);
  if (copy != nullptr) {
    session.selection().Select(copy);
  }
  return copy;
}

bool IndentSelected(DocumentSession& session) {
  Node* note = session.selection().Primary();
  Node* target = note != nullptr ? IndentTarget(note) : nullptr;
  return target != nullptr && MoveSelected(session, note, target, target->YoungestSon());
}

bool OutdentSelected(DocumentSession& session) {
  Node* note = session.selection().Primary();
  Node* target = note != nullptr ? OutdentTarget(note) : nullptr;
  return target != nullptr && MoveSelected(session, note, target, note->Father());
}

FindOutcome Find(DocumentSession& session, const std::string& query) {
  FindOutcome outcome;
  AgentQuery parsed(session.hypertext(), query, false);
  session.WithShell([&] {
    if (!parsed.Parse()) {
      outcome.error = parsed.Error();
      return;
    }
    outcome.valid = true;
    parsed.Search(&outcome.matches);
  });
  return outcome;
}

void UpdateAgentsNow(DocumentSession& session) {
  session.WithShell([&] { session.idle().UpdateAgents(true); });
}

Node* ExplodeSelected(DocumentSession& session, ExplodeSettings settings) {
  Node* note = session.selection().Primary();
  if (note == nullptr) {
    return nullptr;
  }
  SettingsExploder exploder(std::move(settings));
  Node* exploded = nullptr;
  session.WithShell([&] { exploded = exploder.DoExplode(note); });
  if (exploded != nullptr) {
    session.selection().Select(exploded);
  }
  return exploded;
}

DocumentExporter* SetDocumentExporter(DocumentExporter* exporter) {
  DocumentExporter* previous = g_exporter;
  g_exporter = exporter;
  return previous;
}

bool ExportDocument(DocumentSession& session, const std::filesystem::path& folder) {
  static FolderExporter folder_exporter;
  DocumentExporter* exporter = g_exporter != nullptr ? g_exporter : &folder_exporter;
  bool written = false;
  std::string message;
  session.ClearCancel();
  session.WithShell([&] {
    written = exporter->Export(session.hypertext(), folder, session.cancel_flag(), &message);
  });
  session.ClearCancel();
  if (!written) {
    Warn(message.empty() ? "The document could not be exported." : message);
  } else if (!message.empty()) {
    Warn(message);
  }
  return written;
}

}  // namespace fernweave
