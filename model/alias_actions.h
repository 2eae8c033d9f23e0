// The undoable making of an alias: dropping a note on a map with the alias modifier
// makes an alias of it at the drop point instead of moving it. See model/action.h for
// how the undo history holds actions and when the notes they hid are destroyed.

#ifndef FERNWEAVE_MODEL_ALIAS_ACTIONS_H_
#define FERNWEAVE_MODEL_ALIAS_ACTIONS_H_

#include "model/action.h"
#include "model/node.h"

namespace fernweave {

// Makes an alias of a note as the last child of `parent` at `position`. The first Redo
// makes it (an alias of an alias aliases its original); Undo hides it; later Redos
// show the same alias at the same place.
class AliasCreateAction : public NodeAction {
 public:
  // REQUIRES: original and parent are not null.
  AliasCreateAction(Node* original, Node* parent, MapPoint position);
  // The document can be edited, the note can be aliased and is live, and the parent
  // is a live note of the same document that takes children.
  bool IsPostable() const override;
  // The alias made, or null before the first Redo.
  Node* Alias() const { return alias_; }

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* parent_;
  Node* after_;
  MapPoint position_;
  Node* alias_ = nullptr;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ALIAS_ACTIONS_H_
