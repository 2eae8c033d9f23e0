// The application's documents. An `Orvex` document is a `Hypertext` whose registry
// holds the built-in attributes of the application, grouped in the categories under
// "System", and which keeps a default prototype for new notes.

#ifndef FERNWEAVE_MODEL_ORVEX_H_
#define FERNWEAVE_MODEL_ORVEX_H_

#include <memory>
#include <string_view>

#include "model/color_table.h"
#include "model/hypertext.h"
#include "model/link_type.h"

namespace fernweave {

class Orvex : public Hypertext {
 public:
  static std::unique_ptr<Orvex> Create(std::string_view file_name = "");

  // The default prototype for new notes, or null. It is forgotten (and null returned)
  // once it is no longer a live note of this document or its `IsPrototype` is false.
  Node* GetDefaultPrototype();
  void SetDefaultPrototype(Node* prototype) { default_prototype_ = prototype; }

  // Flags the named attribute as not inheritable; nothing for an unknown name.
  void CantInherit(std::string_view name);

  // Make a note, an agent or an adornment under parent (the root when null) after
  // `after` (first when null), with the default prototype and the parent's `OnAdd`,
  // through an undoable action. The new note, or null when none was made.
  Node* CreateNote(Node* parent, Node* after, NoteCreationView* view = nullptr);
  Node* CreateAgent(Node* parent, Node* after, NoteCreationView* view = nullptr);
  Node* CreateAdornment(Node* parent, Node* after, NoteCreationView* view = nullptr);

  // The document's named colours, first read from the configuration folder's
  // "colors.xml" (model/config.h), then from the document's own `colors` element.
  ColorTable& Colors() { return colors_; }
  const ColorTable& Colors() const { return colors_; }

  // The document's link types (model/link_type.h).
  LinkTypes* GetLinkTypes() const override { return &link_types_; }

 protected:
  Orvex() = default;
  void InitializeProperties() override;

 private:
  Node* default_prototype_ = nullptr;
  ColorTable colors_;
  mutable LinkTypes link_types_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ORVEX_H_
