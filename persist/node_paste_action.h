// Pasting a clipping as an undoable action. The first Redo reads the clipping into the
// container (see OrvexReader::PasteClipping); Undo hides the pasted notes, later Redos
// show them again where they were. The action answers for the pasted notes: when it
// is discarded while they are hidden, they are destroyed.

#ifndef FERNWEAVE_PERSIST_NODE_PASTE_ACTION_H_
#define FERNWEAVE_PERSIST_NODE_PASTE_ACTION_H_

#include <string>
#include <vector>

#include "model/action.h"
#include "model/node_vector.h"

namespace fernweave {

class NodePasteAction : public NodeAction {
 public:
  // REQUIRES: container is not null ("nilP"). `after` may be null (first place).
  NodePasteAction(Node* container, Node* after, std::string clipping);

  // The container can take the clipping: it is live, in an editable document and can
  // receive children.
  bool IsPostable() const override;
  // Every note the paste made, in the order made (empty before the first Redo or when
  // the clipping held no notes).
  const NodeVector& Pasted() const { return pasted_; }

  // Posts a paste to the container's document and returns the notes it made.
  static NodeVector Paste(const std::string& clipping, Node* container, Node* after);

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Node* after_;
  std::string clipping_;
  bool pasted_once_ = false;
  NodeVector pasted_;
  // The pasted notes directly inside the container: what Undo hides.
  std::vector<Node*> tops_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_NODE_PASTE_ACTION_H_
