// Undoable changes of the model.
//
// What it holds. Every structural change the user makes to a document (notes created,
// moved, deleted, renamed; links and user attributes made, edited, deleted) is an
// action object. `LAction` is the undoable action of the application framework;
// `NodeAction` is the base of the model's actions. The document keeps one action in its
// `UndoKeeper`: posting an action finalizes and discards the one held before, then
// performs the new one, which Undo and Redo then toggle (one level of undo).
//
// Ownership. Deleted notes stay in the document, hidden, so that undo can bring them
// back. The action that hid a note (a deletion done, a creation undone) answers for it:
// when that action is discarded and the note is still hidden, the note is destroyed
// with its links and the aliases that were hidden with it. A note the next action
// refers to is never destroyed under it: the next action takes it over instead.
//
// Re-entry. An action performed while another is being performed (an `OnAdd` action
// that moves the new note along a path, for example) joins the running one: they are
// undone, redone and discarded together.

#ifndef FERNWEAVE_MODEL_ACTION_H_
#define FERNWEAVE_MODEL_ACTION_H_

#include <memory>
#include <vector>

namespace fernweave {

class Hypertext;
class Node;

class LAction {
 public:
  // `description` indexes the undo menu texts (model/undo_texts.h).
  explicit LAction(int description) : description_(description) {}
  LAction(const LAction&) = delete;
  LAction& operator=(const LAction&) = delete;
  virtual ~LAction();

  // Called once before the keeper lets the action go.
  virtual void Finalize() {}
  // RedoSelf when CanRedo; the action is then done.
  virtual void Redo();
  // UndoSelf when CanUndo; the action is then undone.
  virtual void Undo();
  // False when the action would change nothing or cannot be performed; the keeper then
  // drops it and keeps the action it held.
  virtual bool IsPostable() const { return true; }
  virtual bool CanRedo() const { return !done_; }
  virtual bool CanUndo() const { return done_; }
  virtual int GetDescription() const { return description_; }
  bool IsDone() const { return done_; }

  // The keeper lets the action go. `successor` is the action about to be performed
  // (null when the document closes or the history is cleared); notes it refers to
  // must survive. The default releases nothing.
  virtual void Discard(LAction* successor);
  // True when the action refers to `top` or to a note inside its subtree.
  virtual bool RefersWithin(const Node* top) const;
  // Takes over a hidden note its predecessor answered for.
  virtual void Adopt(Node* note);

 protected:
  virtual void RedoSelf() = 0;
  virtual void UndoSelf() = 0;

 private:
  int description_;
  bool done_ = false;
};

// The base of the model's actions: the document, the note acted on and the notes the
// action answers for while they are hidden.
class NodeAction : public LAction {
 public:
  // REQUIRES: note is not null ("nilP").
  NodeAction(Node* note, int description);
  // For actions that act on no single note. REQUIRES: hypertext is not null ("nilP").
  NodeAction(Hypertext* hypertext, int description);

  Node* GetNode() const { return note_; }
  Hypertext* GetHypertext() const { return hypertext_; }

  void Discard(LAction* successor) override;
  bool RefersWithin(const Node* top) const override;
  void Adopt(Node* note) override;

 protected:
  // A note the action refers to: kept alive for it when its predecessor lets go, and
  // destroyed with it when still hidden at the end.
  void Answer(Node* note);

 private:
  Hypertext* hypertext_;
  Node* note_;
  std::vector<Node*> answered_;
};

// The document's undo history: the single action last posted, together with any
// actions performed while it was being performed.
class UndoKeeper {
 public:
  UndoKeeper() = default;
  UndoKeeper(const UndoKeeper&) = delete;
  UndoKeeper& operator=(const UndoKeeper&) = delete;
  ~UndoKeeper();

  // Asks IsPostable (a null or unpostable action is dropped and false returned);
  // finalizes and discards the action held; performs the new one and keeps it.
  bool Post(std::unique_ptr<LAction> action);
  bool CanUndo() const;
  bool CanRedo() const;
  void Undo();
  void Redo();
  // The action held, or null.
  LAction* Current() const { return group_.empty() ? nullptr : group_.front().get(); }
  // Finalizes and discards the action held (its hidden notes are destroyed).
  void Clear();
  // Forgets the action held without touching the notes: the document is going away
  // and destroys every note itself.
  void Forget();

 private:
  void DiscardGroup(LAction* successor);

  std::vector<std::unique_ptr<LAction>> group_;
  int performing_ = 0;
};

// Destroys a hidden note with its subtree and with the aliases hidden along with it;
// nothing for a live note. Links to and from the destroyed notes go with them. Such an
// alias that `successor` (may be null) refers to is handed to it instead.
void DestroyHiddenNote(Hypertext* hypertext, Node* note, LAction* successor = nullptr);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ACTION_H_
