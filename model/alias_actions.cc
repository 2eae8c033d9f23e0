#include "model/alias_actions.h"

#include "foundation/error.h"
#include "model/alias_node.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/undo_texts.h"

namespace fernweave {

AliasCreateAction::AliasCreateAction(Node* original, Node* parent, MapPoint position)
    : NodeAction(RequireNotNull(original, "alias: no note"), undo_index::kMakeAlias),
      parent_(RequireNotNull(parent, "alias: no container")),
      after_(parent->YoungestSon()),
      position_(position) {}

bool AliasCreateAction::IsPostable() const {
  const Node* original = GetNode()->GetOriginal();
  return GetHypertext()->CanEdit() && original != nullptr && !original->IsHidden() &&
         !original->IsRootNote() && original->CanBeAliased() &&
         parent_->GetHypertext() == GetHypertext() && !parent_->IsHidden() &&
         parent_->CanReceiveChildren() && (after_ == nullptr || after_->Father() == parent_);
}

void AliasCreateAction::RedoSelf() {
  StChanges changes(GetHypertext());
  if (alias_ != nullptr) {
    // Again after an undo: the same alias at the same place (first when its elder
    // has gone meanwhile).
    if (!alias_->DoMoveToInternal(parent_, after_, position_)) {
      alias_->DoMoveToInternal(parent_, nullptr, position_);
    }
    if (alias_->IsHidden()) {
      alias_->Hide(false);
    }
    return;
  }
  alias_ = AliasNode::CreateFor(GetNode(), parent_, after_, position_.x, position_.y, false);
  if (alias_ != nullptr) {
    Answer(alias_);
  }
}

void AliasCreateAction::UndoSelf() {
  if (alias_ != nullptr) {
    alias_->Hide(true);
  }
}

}  // namespace fernweave
