// The prototype relation. A note's prototype is a link of type "prototype" from the
// prototype (source) to the note (destination); the document keeps each note's
// prototype cache in step as such links come and go (Hypertext::LinkAdded and
// LinkRemoved). `Node::SetPrototype` and `Node::CanBePrototype` live here, with the
// hand-over of text and children that assigning a prototype brings.
//
// Lookup of inherited values along the chain is in model/node_attributes.cc; it
// stops at the asking note and at any repeat, so a loop is harmless there.

#ifndef FERNWEAVE_MODEL_PROTOTYPE_H_
#define FERNWEAVE_MODEL_PROTOTYPE_H_

#include <cstddef>

namespace fernweave {

class Node;

// At most this many children of a prototype are copied into a note that takes it.
inline constexpr size_t kMaxBequeathedChildren = 251;

// Deletes every prototype link that ends at the note (at most one in a sound
// document; a deleted prototype's link included). Nothing for a null note.
void RemovePrototype(Node* note);

// Gives the note the new prototype's content when the note still has the old
// prototype's text (or, with no old prototype, no text at all). Nothing when
// new_prototype is null.
void InheritTextFromPrototype(Node* note, const Node* new_prototype, const Node* old_prototype);

// Copies up to kMaxBequeathedChildren children of p into the note (see prototype.cc
// for when nothing is copied). Returns how many were copied.
size_t ClonePrototypeChildren(Node* note, const Node* p);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_PROTOTYPE_H_
