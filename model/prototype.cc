#include "model/prototype.h"

#include <vector>

#include "model/change.h"
#include "model/cnode.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"

namespace fernweave {

namespace {

// The prototype the note's link names, even while that prototype is deleted.
Node* RawPrototype(const Node* note) {
  const auto* c = dynamic_cast<const CNode*>(note);
  return c == nullptr ? nullptr : c->PrototypeCache();
}

bool DocumentHas(const Node* note, const char* name) {
  return note->GetHypertext() != nullptr && note->GetHypertext()->HasAttribute(name);
}

}  // namespace

bool Node::CanBePrototype() const {
  return DocumentHas(this, "IsPrototype") && GetOriginal() != nullptr &&
         GetOriginal()->GetBoolean("IsPrototype");
}

bool Node::CanBePrototype(const Node* p) const {
  if (p == nullptr) {
    return true;
  }
  const Node* self = GetOriginal();
  if (p == self || p == this) {
    return false;
  }
  // Two walkers along p's chain: the fast one meets the slow one only if the chain
  // already loops. Reaching a note without prototype means the chain ends.
  const Node* slow = p;
  const Node* fast = p;
  while (true) {
    fast = fast->GetPrototype();
    if (fast == nullptr) {
      return true;
    }
    fast = fast->GetPrototype();
    if (fast == nullptr) {
      return true;
    }
    slow = slow->GetPrototype();
    if (slow == fast) {
      return false;
    }
  }
}

void Node::SetPrototype(Node* p, bool clone_children) {
  Node* note = GetOriginal();
  if (note == nullptr || dynamic_cast<CNode*>(note) == nullptr) {
    return;
  }
  if (p != nullptr) {
    p = p->GetOriginal();
  }
  // Compared with the linked prototype, deleted or not: clearing the prototype of a
  // note whose prototype is in the trash must still drop the link.
  Node* old = RawPrototype(note);
  if (p == old || !note->CanBePrototype(p)) {
    return;
  }
  Hypertext* hypertext = note->GetHypertext();
  StChanges changes(hypertext);
  RemovePrototype(note);
  if (p != nullptr) {
    LinkRecord record;
    record.source = p;
    record.dest = note;
    record.name = kPrototypeLinkType;
    record.add_to_document = true;
    hypertext->CreateLink(record);
  }
  if (clone_children) {
    ClonePrototypeChildren(note, p);
  }
  InheritTextFromPrototype(note, p, old);
  if (DocumentHas(note, "Prototype")) {
    note->Changed(note->GetAttribute("Prototype"));
  }
}

void RemovePrototype(Node* note) {
  if (note == nullptr) {
    return;
  }
  LinkManager& links = note->GetHypertext()->Links();
  std::vector<Link*> doomed;
  for (Link* l : links.ListLinksTo(note)) {
    if (l->IsPrototype()) {
      doomed.push_back(l);
    }
  }
  for (Link* l : doomed) {
    links.Remove(l);  // the returned link is destroyed here
  }
}

void InheritTextFromPrototype(Node* note, const Node* new_prototype, const Node* old_prototype) {
  if (note == nullptr || new_prototype == nullptr) {
    return;
  }
  const bool take =
      old_prototype != nullptr ? note->GetText() == old_prototype->GetText() : !note->HasText();
  if (take) {
    *note->GetContent() = *new_prototype->GetContent();
    note->Changed(facet::kRedraw);
  }
}

size_t ClonePrototypeChildren(Node* note, const Node* p) {
  if (note == nullptr || p == nullptr || p->Son() == nullptr ||
      !p->GetBoolean("PrototypeBequeathsChildren") || !note->CanReceiveChildren() || p->IsAgent() ||
      note->IsDescendedFrom(p) ||
      (note->GetOriginal() != nullptr && note->GetOriginal()->IsDescendedFrom(p))) {
    return 0;
  }
  size_t copied = 0;
  for (Node* c = p->Son(); c != nullptr && copied < kMaxBequeathedChildren; c = c->Brother()) {
    Node* clone = c->Clone(false);
    clone->SetPrototype(c->GetPrototype(), false);
    clone->SetName(c->Name());
    clone->DoMoveToInternal(note, note->YoungestSon(), c->Position());
    clone->CloneValue("Xpos", c);
    clone->CloneValue("Ypos", c);
    ++copied;
  }
  return copied;
}

}  // namespace fernweave
