// The notes the reader has read in a document, for link guards that ask whether a
// note has been read. Notes are remembered by id, so a destroyed note is forgotten
// harmlessly and a restored one is still read.

#ifndef FERNWEAVE_MODEL_READING_HISTORY_H_
#define FERNWEAVE_MODEL_READING_HISTORY_H_

#include <set>

#include "model/node_id.h"

namespace fernweave {

class ReadingHistory {
 public:
  // Nothing for a null note.
  void MarkRead(const Node* note);
  bool HasRead(const Node* note) const;
  void Clear() { read_.clear(); }

 private:
  std::set<NodeID> read_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_READING_HISTORY_H_
