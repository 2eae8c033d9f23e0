// Undoable changes of user attributes: creating, deleting and editing (name, default,
// sequential flag, type) an attribute under the "User" category.
//
// An attribute object is never destroyed while the document is open: notes key their
// values by it, and a deleted attribute's values stay in the notes while the deletion
// can be undone. Unregistered attributes stay owned by the registry (`Props`) until the
// document closes. When a deletion (or an undone creation) is discarded, the values
// still stored for the attribute are dropped from every note.

#ifndef FERNWEAVE_MODEL_ATTRIBUTE_ACTIONS_H_
#define FERNWEAVE_MODEL_ATTRIBUTE_ACTIONS_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/action.h"
#include "model/attribute_type.h"
#include "model/value.h"

namespace fernweave {

class Attribute;

class CreateAttributeAction : public NodeAction {
 public:
  CreateAttributeAction(Hypertext* hypertext, std::string_view name, std::string_view default_text,
                        bool sequential, AttributeType type);
  // False when the (normalised) name is empty or already registered.
  bool IsPostable() const override;
  void Discard(LAction* successor) override;
  // The attribute made, or null before the first Redo.
  Attribute* Created() const { return created_; }

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  std::string name_;
  std::string default_text_;
  bool sequential_;
  AttributeType type_;
  Attribute* created_ = nullptr;
};

class DeleteAttributeAction : public NodeAction {
 public:
  // REQUIRES: attribute is not null ("nilP").
  DeleteAttributeAction(Hypertext* hypertext, Attribute* attribute);
  // Only registered user attributes can be deleted.
  bool IsPostable() const override;
  void Discard(LAction* successor) override;

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  Attribute* attribute_;
  Attribute* category_;
};

// Changes a user attribute's name, default text, sequential flag and type. Every value
// notes store for it is converted to the new type through its file text; Undo puts back
// the values exactly as they were (a text that a number type turned into 0 returns).
class EditAttributeAction : public NodeAction {
 public:
  struct Settings {
    std::string name;
    std::string default_text;
    bool sequential = false;
    AttributeType type = AttributeType::kString;
  };

  // REQUIRES: attribute is not null ("nilP").
  EditAttributeAction(Hypertext* hypertext, Attribute* attribute, Settings settings);
  // Only registered user attributes; the new name must be free (or the attribute's own)
  // and something must change.
  bool IsPostable() const override;

  // The settings an attribute has now.
  static Settings SettingsOf(const Attribute& attribute);

 protected:
  void RedoSelf() override;
  void UndoSelf() override;

 private:
  void Apply(const Settings& settings, bool restore);

  Attribute* attribute_;
  Attribute* category_;
  Settings new_;
  Settings old_;
  // The values notes stored before the last Redo, for Undo.
  std::vector<std::pair<Node*, ValuePtr>> before_;
};

// Drops every value any note of the document stores for the attribute (aliases their
// own, not their originals').
void DropStoredValues(Hypertext* hypertext, const Attribute* attribute);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ATTRIBUTE_ACTIONS_H_
