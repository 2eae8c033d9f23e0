// The endpoint of a link. Notes are the endpoints the model knows; a link keeps its
// endpoints as `Linked*` and the notes found from them.

#ifndef FERNWEAVE_MODEL_LINKED_H_
#define FERNWEAVE_MODEL_LINKED_H_

namespace fernweave {

class Node;

class Linked {
 public:
  virtual ~Linked() = default;
  // The note this endpoint is, or null for an endpoint that is not a note.
  virtual Node* LinkedNode() = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_LINKED_H_
