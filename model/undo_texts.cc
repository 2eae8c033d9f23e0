#include "model/undo_texts.h"

#include "model/action.h"

namespace fernweave {
namespace {

struct Text {
  int index;
  std::string_view text;
};

// Keep in sync with the indexes in undo_texts.h.
constexpr Text kTexts[] = {
    {undo_index::kRename, "Rename"},
    {undo_index::kColor, "Color"},
    {undo_index::kMove, "Move"},
    {undo_index::kDelete, "Delete"},
    {undo_index::kCreate, "New Note"},
    {undo_index::kDuplicate, "Duplicate"},
    {undo_index::kCreateLink, "Make Link"},
    {undo_index::kMakeNote, "Make Note"},
    {undo_index::kMakeAlias, "Make Alias"},
    {undo_index::kEditLink, "Edit Link"},
    {undo_index::kDeleteLink, "Delete Link"},
    {undo_index::kPaste, "Paste"},
    {undo_index::kPromote, "Promote"},
    {undo_index::kDemote, "Demote"},
    {undo_index::kCleanup, "Clean Up"},
    {undo_index::kCreateAttribute, "New Attribute"},
    {undo_index::kDeleteAttribute, "Delete Attribute"},
    {undo_index::kEditAttribute, "Edit Attribute"},
};

}  // namespace

std::string_view UndoText(int index) {
  for (const Text& t : kTexts) {
    if (t.index == index) {
      return t.text;
    }
  }
  return {};
}

std::string UndoMenuText(const LAction* action) {
  if (action == nullptr) {
    return "Undo";
  }
  const std::string_view verb = action->CanUndo() ? "Undo" : "Redo";
  const std::string_view text = UndoText(action->GetDescription());
  if (text.empty()) {
    return std::string(verb);
  }
  return std::string(verb) + " " + std::string(text);
}

}  // namespace fernweave
