// The undoable actions on notes: rename, colour, move, delete, create, duplicate,
// note-making from text, promote and demote. Each keeps what it needs to undo itself
// (see model/action.h for how the undo history holds them and when the notes they
// hid are destroyed). The document's creation entry points (model/hypertext.h) build
// and post them.
//
// An action on an alias acts on the alias itself where the note's place is concerned
// (move, delete, duplicate) and on its original where shared values are (name,
// colour), as the note operations already do.

#ifndef FERNWEAVE_MODEL_NODE_ACTIONS_H_
#define FERNWEAVE_MODEL_NODE_ACTIONS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/action.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/value.h"

namespace fernweave {

// What a view does for a note made by the user: show the container and let the user
// name the note. Tests install a recording one.
class NoteCreationView {
 public:
  virtual ~NoteCreationView() = default;
  virtual void RevealContainer(Node* container) = 0;
  virtual void OfferForNaming(Node* note) = 0;
};

// Runs a container's `OnAdd` action on a note just added to it. The expression
// language installs one; without one nothing runs.
class OnAddRunner {
 public:
  virtual ~OnAddRunner() = default;
  virtual void RunOnAdd(Node* container, Node* note) = 0;
  // Installs the runner (not owned); null uninstalls. Returns the one installed before.
  static OnAddRunner* Install(OnAddRunner* runner);
  static OnAddRunner* Installed();
};

class RenameAction : public NodeAction {
 public:
  RenameAction(Node* note, std::string_view new_name);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* Target() const;
  std::string new_name_;
  std::string old_name_;
};

// Sets the `Color` of the note; undo restores the value the note stored before, or
// none (so that it inherits again).
class NodeColorAction : public NodeAction {
 public:
  NodeColorAction(Node* note, std::string_view new_color);

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* Target() const;
  std::string new_color_;
  ValuePtr old_color_;  // null: the note stored no colour
};

// Moves a note under a new parent after a new elder sibling (first when null) at a
// given map position, or at one computed for the new place. A deleted note moved this
// way is restored.
class NodeMoveAction : public NodeAction {
 public:
  NodeMoveAction(Node* note, Node* new_parent, Node* new_elder,
                 std::optional<MapPoint> new_position = std::nullopt);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* new_parent_;
  Node* new_elder_;
  MapPoint new_position_;
  Node* old_parent_;
  Node* old_elder_;
  MapPoint old_position_;
  bool was_hidden_;
};

class NodeDeleteAction : public NodeAction {
 public:
  explicit NodeDeleteAction(Node* note);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* old_parent_;
  Node* old_elder_;
  MapPoint old_position_;
};

// Makes a note of the given kind under parent after `after` (first when null). The
// first Redo makes it, gives it the document's default prototype, runs the parent's
// `OnAdd` and places it; later Redos show it at the same place.
class NodeCreateAction : public NodeAction {
 public:
  // A null parent means the root. Without a position one is computed for the place.
  NodeCreateAction(Hypertext* hypertext, Hypertext::NoteKind kind, std::string_view name,
                   Node* parent, Node* after, std::optional<MapPoint> position,
                   NoteCreationView* view = nullptr);
  bool IsPostable() const override;
  // The note made, or null before the first Redo.
  Node* Created() const { return created_; }

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Hypertext::NoteKind kind_;
  std::string name_;
  Node* parent_;
  Node* after_;
  MapPoint position_;
  bool position_known_;
  NoteCreationView* view_;
  Node* created_ = nullptr;
};

// Copies a note (values, text, outbound links, prototype) into the target parent,
// directly after the source when the target is the source's parent, else last.
class NodeDuplicateAction : public NodeAction {
 public:
  // A null target means the source's parent.
  explicit NodeDuplicateAction(Node* source, Node* target = nullptr);
  bool IsPostable() const override;
  Node* Copy() const { return copy_; }

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* target_;
  Node* after_ = nullptr;
  MapPoint position_;
  Node* copy_ = nullptr;
};

// Makes a note named after a range of a note's text (UTF-16 offsets): as the note's
// next sibling, or inside it as its last child.
class NoteAction : public NodeAction {
 public:
  NoteAction(Node* note, size_t start, size_t length, bool inside);
  bool IsPostable() const override;
  Node* Created() const { return created_; }
  // The name a range gives: its text with runs of white space (line breaks too) made
  // one blank, trimmed at both ends.
  static std::string NameFromText(std::string_view text, size_t start, size_t length);

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  std::string name_;
  bool inside_;
  Node* parent_ = nullptr;
  Node* after_ = nullptr;
  MapPoint position_;
  Node* created_ = nullptr;
};

// A note moved by promote or demote, with the place it came from.
struct MovedNote {
  Node* note;
  Node* old_parent;
  Node* old_elder;
  MapPoint old_position;
};

// Moves the note's children out, after it, to its parent.
class NodePromoteAction : public NodeAction {
 public:
  explicit NodePromoteAction(Node* note);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  std::vector<MovedNote> moved_;
};

// Moves the siblings that follow the note into it, after its last child.
class NodeDemoteAction : public NodeAction {
 public:
  explicit NodeDemoteAction(Node* note);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  std::vector<MovedNote> moved_;
};

// Makes a note named `name` as the last child of parent through an undoable creation;
// null when the parent cannot take it. Paths make their missing notes with it.
Node* CreatePathNote(Node* parent, std::string_view name);

// Gives the note the prototype p through the installed prototype relation (no child
// hand-over). Nothing for a null p.
void GivePrototype(Node* note, Node* p);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_NODE_ACTIONS_H_
