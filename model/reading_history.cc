#include "model/reading_history.h"

#include "model/node.h"

namespace fernweave {

void ReadingHistory::MarkRead(const Node* note) {
  if (note != nullptr) {
    read_.insert(note->GetID());
  }
}

bool ReadingHistory::HasRead(const Node* note) const {
  return note != nullptr && read_.count(note->GetID()) > 0;
}

}  // namespace fernweave
