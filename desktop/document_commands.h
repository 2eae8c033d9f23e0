// The window's commands on the open document, below the widgets: what New Note,
// Delete, Make Alias, Find, Update Agents, Explode and Export do, and when each is
// enabled. Every change of the tree goes through the document's undoable actions, so
// Undo names it ("Undo Delete"); exploding is one change batch and not undoable, as
// everywhere else. Each function works on the session's selection and leaves the
// selection on what the user would look at next.

#ifndef FERNWEAVE_DESKTOP_DOCUMENT_COMMANDS_H_
#define FERNWEAVE_DESKTOP_DOCUMENT_COMMANDS_H_

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "desktop/document_session.h"
#include "model/exploder.h"

namespace fernweave {

// Which commands can run now.
struct CommandState {
  bool undo = false;
  bool redo = false;
  bool revert = false;
  bool new_note = false;
  bool delete_note = false;
  bool make_alias = false;
  bool duplicate = false;
  bool indent = false;
  bool outdent = false;
  bool explode = false;
  bool go_up = false;
};
CommandState CommandStateOf(const DocumentSession& session);

// Makes a note as the next sibling of the primary selected note, or as the last child
// of the map's container when nothing is selected, and selects it. Null when the
// document refuses (it cannot be edited).
Node* NewNote(DocumentSession& session);

// Deletes the primary selected note (one undoable step) and selects its younger
// sibling, else its elder, else nothing. False when there is no such note or it may not
// be deleted (the root, a document that cannot be edited).
bool DeleteSelected(DocumentSession& session);

// Makes an alias of the primary selected note beside it (after its parent's last
// child) and selects the alias. Null when the note cannot be aliased.
Node* MakeAliasOfSelected(DocumentSession& session);

// Copies the primary selected note (its values, text, outbound links and prototype;
// one undoable step) directly after it, and selects the copy. Null when it cannot be
// copied.
Node* DuplicateSelected(DocumentSession& session);

// Tab in the outline: moves the primary selected note into its elder sibling, as that
// note's last child. Shift+Tab: moves it out of its parent, directly after the parent.
// Each is one undoable move; the note stays selected and the map follows it. False when
// the note has no elder sibling (indent), sits at the top level (outdent), or the
// receiving note cannot take children.
bool IndentSelected(DocumentSession& session);
bool OutdentSelected(DocumentSession& session);

// The outcome of Find: the parser's message when the query does not parse, else the
// matching notes in document order (neither the root nor aliases).
struct FindOutcome {
  bool valid = false;
  std::string error;
  std::vector<Node*> matches;
};
FindOutcome Find(DocumentSession& session, const std::string& query);

// Runs every agent through a whole scan at once, with the document's shell permission.
void UpdateAgentsNow(DocumentSession& session);

// Explodes the primary selected note with the settings the user chose in the dialog
// (the delimiter as typed, escapes still in it) and selects the new "Exploded Text"
// container. Null when there is no note or the document refuses.
Node* ExplodeSelected(DocumentSession& session, ExplodeSettings settings);

// Writes a document to a folder the user chose. The window uses the folder export of
// the export library (HTML pages through the document's templates) unless another
// exporter is installed.
class DocumentExporter {
 public:
  virtual ~DocumentExporter() = default;
  // Exports the whole document into `folder`, stopping between pages once `*cancel`
  // is true. False with the reason in *message.
  virtual bool Export(Hypertext* document, const std::filesystem::path& folder,
                      const std::atomic<bool>* cancel, std::string* message) = 0;
};
// Installs `exporter` (borrowed; null restores the folder export) and returns the
// previous one (null when it was the folder export).
DocumentExporter* SetDocumentExporter(DocumentExporter* exporter);

// Exports through the installed exporter with the document's shell permission; shows
// the message of a failure through `warn`. The session's cancel request (Escape or the
// progress bar's Cancel) stops the run between pages, every page written so far whole.
// Returns whether the whole export was written.
bool ExportDocument(DocumentSession& session, const std::filesystem::path& folder);

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_DOCUMENT_COMMANDS_H_
