#include "desktop/selection.h"

#include <algorithm>

#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

void WindowSelection::Reset(Hypertext* hypertext) {
  if (hypertext_ != nullptr && hypertext_ == hypertext) {
    Clear();
  }
  hypertext_ = hypertext;
  order_.clear();
  map_id_ = 0;
  map_is_root_ = true;
}

Node* WindowSelection::Live(uint32_t id) const {
  if (hypertext_ == nullptr) {
    return nullptr;
  }
  Node* n = hypertext_->FindNode(id);
  return n != nullptr && !n->IsHidden() ? n : nullptr;
}

Node* WindowSelection::MapContainer() const {
  if (hypertext_ == nullptr) {
    return nullptr;
  }
  if (!map_is_root_) {
    if (Node* n = Live(map_id_)) {
      return n;
    }
  }
  return hypertext_->Root();
}

void WindowSelection::ShowMap(Node* container) {
  if (hypertext_ == nullptr || container == nullptr || !hypertext_->HasNode(container) ||
      container->IsHidden()) {
    return;
  }
  Clear();
  map_is_root_ = container == hypertext_->Root();
  map_id_ = container->GetID().id();
}

bool WindowSelection::GoUp() {
  Node* container = MapContainer();
  if (container == nullptr || container->Father() == nullptr) {
    return false;
  }
  Select(container);
  return true;
}

void WindowSelection::Select(Node* note) {
  if (hypertext_ == nullptr || note == nullptr || !hypertext_->HasNode(note) ||
      note->IsHidden()) {
    return;
  }
  Node* father = note->Father();
  if (father == nullptr) {
    ShowMap(note);
    return;
  }
  if (father != MapContainer()) {
    ShowMap(father);
  }
  Clear();
  hypertext_->Select(note);
  order_.push_back(note->GetID().id());
}

void WindowSelection::Toggle(Node* note) {
  if (hypertext_ == nullptr || note == nullptr || !hypertext_->HasNode(note) ||
      note->IsHidden() || note->Father() != MapContainer()) {
    return;
  }
  const uint32_t id = note->GetID().id();
  if (hypertext_->IsSelected(note)) {
    hypertext_->Deselect(note);
    order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
    return;
  }
  hypertext_->Select(note);
  order_.push_back(id);
}

void WindowSelection::Clear() {
  if (hypertext_ != nullptr) {
    // Copied first: deselecting edits the document's list.
    for (Node* n : std::vector<Node*>(hypertext_->Selection().begin(),
                                      hypertext_->Selection().end())) {
      hypertext_->Deselect(n);
    }
  }
  order_.clear();
}

void WindowSelection::FollowPrimary() {
  Node* primary = Primary();
  if (primary != nullptr && primary->Father() != nullptr &&
      primary->Father() != MapContainer()) {
    Select(primary);
  }
}

Node* WindowSelection::Primary() const {
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    Node* n = Live(*it);
    if (n != nullptr && hypertext_->IsSelected(n)) {
      return n;
    }
  }
  return nullptr;
}

std::vector<Node*> WindowSelection::Selected() const {
  std::vector<Node*> out;
  for (uint32_t id : order_) {
    Node* n = Live(id);
    if (n != nullptr && hypertext_->IsSelected(n) &&
        std::find(out.begin(), out.end(), n) == out.end()) {
      out.push_back(n);
    }
  }
  return out;
}

bool WindowSelection::IsSelected(const Node* note) const {
  return hypertext_ != nullptr && note != nullptr && hypertext_->IsSelected(note);
}

}  // namespace fernweave
