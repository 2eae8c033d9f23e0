// Ready-made prototypes the user can add to a document (people, events, tasks, export
// templates, code). They all live in the container note "/Prototypes", made when
// missing. A prototype that already exists at its path is reused as it is; a new one
// is given the values of its kind. The same goes for the document's "/Inbox".
//
// Every operation needs an editable document; on a read-only one nothing is made and
// null is returned. Notes are made through the document's plain creation call along
// the path (`HTPath::Create`); the undo layer replaces that with undoable actions.

#ifndef FERNWEAVE_MODEL_BUILT_IN_PROTOTYPES_H_
#define FERNWEAVE_MODEL_BUILT_IN_PROTOTYPES_H_

namespace fernweave {

class Hypertext;
class Node;

class BuiltInPrototypes {
 public:
  // The document is not owned and must outlive this object.
  explicit BuiltInPrototypes(Hypertext* hypertext) : hypertext_(hypertext) {}

  // Each returns the prototype (or container, or inbox), made when missing, or null
  // when the document cannot be edited or nothing can be made at the path. The note
  // belongs to the document.
  Node* ForPerson();
  Node* ForEvent();
  Node* ForTask();
  Node* ForTemplate();
  Node* ForCode();
  Node* Container();
  Node* Inbox();

  // Whether "/Prototypes", and "/Prototypes/Person", exist. Never makes anything.
  bool HasContainer() const;
  bool HasPersonPrototype() const;

  // The text a new "HTML Template" prototype holds.
  static constexpr char kTemplateText[] = "<!--  Fernweave: ^title -->";

 private:
  // The note at path (from the root); when missing, makes it and calls fill on it.
  // Null when the document cannot be edited or nothing can be made.
  Node* FindOrMake(const char* path, void (*fill)(Node*));
  // A prototype named name inside the container.
  Node* Prototype(const char* name, void (*fill)(Node*));

  Hypertext* hypertext_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_BUILT_IN_PROTOTYPES_H_
