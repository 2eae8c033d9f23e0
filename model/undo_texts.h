// The undo menu texts: one text per description index of an action (model/action.h),
// for the command line and the window's Undo and Redo commands.

#ifndef FERNWEAVE_MODEL_UNDO_TEXTS_H_
#define FERNWEAVE_MODEL_UNDO_TEXTS_H_

#include <string>
#include <string_view>

namespace fernweave {

class LAction;

// The description indexes of the model's actions. Keep in sync with the texts in
// undo_texts.cc.
namespace undo_index {
inline constexpr int kRename = 1;
inline constexpr int kColor = 2;
inline constexpr int kMove = 3;
inline constexpr int kDelete = 4;
inline constexpr int kCreate = 5;
inline constexpr int kDuplicate = 6;
inline constexpr int kCreateLink = 7;
inline constexpr int kMakeNote = 8;
inline constexpr int kMakeAlias = 9;
inline constexpr int kEditLink = 10;
inline constexpr int kDeleteLink = 11;
inline constexpr int kPaste = 12;
inline constexpr int kPromote = 13;
inline constexpr int kDemote = 14;
inline constexpr int kCleanup = 15;
inline constexpr int kCreateAttribute = 17;
inline constexpr int kDeleteAttribute = 18;
inline constexpr int kEditAttribute = 21;
}  // namespace undo_index

// The text of a description index ("Rename", "Delete", ...); empty for an index no
// action uses.
std::string_view UndoText(int index);

// The menu item for the action: "Undo " or "Redo " and its text, as the next command
// would do ("Undo Delete" while it is done, "Redo Delete" while it is undone). Plain
// "Undo" for a null action or one without text.
std::string UndoMenuText(const LAction* action);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_UNDO_TEXTS_H_
