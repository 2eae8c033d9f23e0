#include "persist/node_paste_action.h"

#include <memory>
#include <utility>

#include "model/change.h"
#include "model/hypertext.h"
#include "model/undo_texts.h"
#include "persist/orvex_reader.h"

namespace fernweave {

NodePasteAction::NodePasteAction(Node* container, Node* after, std::string clipping)
    : NodeAction(container, undo_index::kPaste), after_(after), clipping_(std::move(clipping)) {}

bool NodePasteAction::IsPostable() const {
  const Node* container = GetNode();
  const Hypertext* doc = GetHypertext();
  return doc->CanEdit() && !container->IsHidden() && container->CanReceiveChildren() &&
         (container->IsRootNote() || doc->HasNode(container));
}

void NodePasteAction::RedoSelf() {
  Node* container = GetNode();
  if (pasted_once_) {
    StChanges changes(GetHypertext());
    for (Node* n : tops_) {
      n->Hide(false);
    }
    return;
  }
  pasted_once_ = true;
  pasted_ = OrvexReader::PasteClipping(clipping_, container, after_);
  for (Node* n : pasted_) {
    if (n->Father() == container) {
      tops_.push_back(n);
      Answer(n);
    }
  }
}

void NodePasteAction::UndoSelf() {
  StChanges changes(GetHypertext());
  // Last first, so that each note's remembered place is still there when it returns.
  for (auto it = tops_.rbegin(); it != tops_.rend(); ++it) {
    (*it)->Hide(true);
  }
}

NodeVector NodePasteAction::Paste(const std::string& clipping, Node* container, Node* after) {
  if (container == nullptr || container->GetHypertext() == nullptr) {
    return NodeVector();
  }
  auto action = std::make_unique<NodePasteAction>(container, after, clipping);
  NodePasteAction* posted = action.get();
  if (!container->GetHypertext()->PostAction(std::move(action))) {
    return NodeVector();
  }
  return posted->Pasted();
}

}  // namespace fernweave
