// The document's entry points for making notes the way the user does: each builds an
// undoable action (model/node_actions.h) and posts it.

#include <memory>

#include "model/hypertext.h"
#include "model/node_actions.h"
#include "model/orvex.h"

namespace fernweave {
namespace {

constexpr std::string_view kNewNoteName = "untitled";

// Posts the action and returns what it made, or null when it was not posted.
template <typename A>
Node* PostAndGet(Hypertext* doc, std::unique_ptr<A> action) {
  A* a = action.get();
  if (!doc->PostAction(std::move(action))) {
    return nullptr;
  }
  return a->Created();
}

}  // namespace

Node* Hypertext::DoCreate(NoteKind kind, std::string_view name, Node* parent, Node* after,
                          std::optional<MapPoint> position, NoteCreationView* view) {
  if (parent != nullptr && parent->GetHypertext() != this) {
    return nullptr;
  }
  return PostAndGet(
      this, std::make_unique<NodeCreateAction>(this, kind, name, parent, after, position, view));
}

Node* Hypertext::CreateAt(Node* parent, MapPoint position, NoteCreationView* view) {
  Node* p = parent != nullptr ? parent : Root();
  return DoCreate(NoteKind::kNote, kNewNoteName, p, p->YoungestSon(), position, view);
}

Node* Hypertext::CreateChildFor(Node* n, NoteCreationView* view) {
  if (n == nullptr) {
    return nullptr;
  }
  return DoCreate(NoteKind::kNote, kNewNoteName, n, n->YoungestSon(), std::nullopt, view);
}

Node* Hypertext::CreateSiblingFor(Node* n, NoteCreationView* view) {
  if (n == nullptr || n->Father() == nullptr) {
    return nullptr;
  }
  return DoCreate(NoteKind::kNote, kNewNoteName, n->Father(), n, std::nullopt, view);
}

Node* Hypertext::MakeNote(Node* n, size_t start, size_t length) {
  if (n == nullptr || n->GetHypertext() != this) {
    return nullptr;
  }
  return PostAndGet(this, std::make_unique<NoteAction>(n, start, length, false));
}

Node* Hypertext::MakeNoteInside(Node* n, size_t start, size_t length) {
  if (n == nullptr || n->GetHypertext() != this) {
    return nullptr;
  }
  return PostAndGet(this, std::make_unique<NoteAction>(n, start, length, true));
}

Node* Hypertext::Duplicate(Node* n) {
  if (n == nullptr || n->GetHypertext() != this) {
    return nullptr;
  }
  auto action = std::make_unique<NodeDuplicateAction>(n);
  NodeDuplicateAction* a = action.get();
  return PostAction(std::move(action)) ? a->Copy() : nullptr;
}

Node* Orvex::CreateNote(Node* parent, Node* after, NoteCreationView* view) {
  return DoCreate(NoteKind::kNote, kNewNoteName, parent, after, std::nullopt, view);
}

Node* Orvex::CreateAgent(Node* parent, Node* after, NoteCreationView* view) {
  return DoCreate(NoteKind::kAgent, kNewNoteName, parent, after, std::nullopt, view);
}

Node* Orvex::CreateAdornment(Node* parent, Node* after, NoteCreationView* view) {
  return DoCreate(NoteKind::kAdornment, kNewNoteName, parent, after, std::nullopt, view);
}

// The one place paths make notes: an undoable creation as the parent's last child.
Node* CreatePathNote(Node* parent, std::string_view name) {
  if (parent == nullptr || parent->GetHypertext() == nullptr) {
    return nullptr;
  }
  return parent->GetHypertext()->DoCreate(Hypertext::NoteKind::kNote, name, parent,
                                          parent->YoungestSon(), std::nullopt);
}

}  // namespace fernweave
