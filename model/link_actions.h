// Undoable changes of links: making a link from a record, editing a link's fields and
// deleting a link. A link action answers for its endpoint notes as a note action does
// (model/action.h), so a link it refers to is never destroyed under it.

#ifndef FERNWEAVE_MODEL_LINK_ACTIONS_H_
#define FERNWEAVE_MODEL_LINK_ACTIONS_H_

#include <string>

#include "model/action.h"
#include "model/link.h"

namespace fernweave {

// The first Redo makes the link through the document's CreateLink (a record without
// source is "nilP"); Undo deletes it; a later Redo makes it again from the record.
class CreateLinkAction : public NodeAction {
 public:
  CreateLinkAction(Hypertext* hypertext, const LinkRecord& record);
  // The link made, or null while undone.
  Link* Created() const { return link_; }

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  LinkRecord record_;
  Link* link_ = nullptr;
};

// Sets the type name, guard, URL, target, title, CSS class and style of a link;
// Undo sets the old ones. A link that becomes (or stops being) a prototype link sets
// (or clears) its destination's prototype.
class LinkEditAction : public NodeAction {
 public:
  struct Fields {
    std::string name;
    std::string guard;
    std::string url;
    std::string target;
    std::string title;
    std::string css_class;
    LinkStyle style;
  };
  // REQUIRES: link is not null ("nilP").
  LinkEditAction(Link* link, Fields fields);
  static Fields FieldsOf(const Link& link);

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  void Apply(const Fields& fields);
  Link* link_;
  Fields new_;
  Fields old_;
};

// Deletes a link; Undo makes it again from its record at its old priority.
class DeleteLinkAction : public NodeAction {
 public:
  // REQUIRES: link is not null ("nilP").
  explicit DeleteLinkAction(Link* link);
  bool IsPostable() const override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  LinkRecord record_;
  Link* link_;
  int priority_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_LINK_ACTIONS_H_
