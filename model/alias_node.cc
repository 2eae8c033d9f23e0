#include "model/alias_node.h"

#include "foundation/error.h"
#include "model/attribute.h"
#include "model/hypertext.h"

namespace fernweave {
namespace {

bool IsOriginalsOnly(const Attribute* attribute) {
  const std::string& name = attribute->Name();
  return name == "Created" || name == "Modified";
}

}  // namespace

AliasNode::AliasNode(Hypertext* hypertext, Node* original) : CNode(hypertext), original_(original) {
  hypertext->RegisterAlias(this, original);
}

AliasNode::~AliasNode() {
  if (original_ != nullptr) {
    GetHypertext()->UnregisterAlias(this, original_);
  }
}

void AliasNode::Initialize() {
  Node::Initialize();
  Hypertext* hypertext = GetHypertext();
  // The name is the original's: a value stored here would hide later renames.
  properties_.Erase(hypertext->GetNameAttribute());
  for (const char* name : {"Width", "Height", "Created", "Modified"}) {
    const Attribute* a = GetAttribute(name);
    if (a->IsValid()) {
      properties_.Put(a, original_->Get(a)->Clone());
    }
  }
  const Attribute* alias = GetAttribute("Alias");
  if (alias->IsValid()) {
    properties_.Put(alias, Value::ForUnsigned(original_->GetID().id()));
  }
  forwarding_ = true;
}

AliasNode* AliasNode::CreateFor(Node* n) {
  Require(n != nullptr, "CreateFor: null note");
  if (n->IsHidden() || n->IsRootNote() || n->Father() == nullptr) {
    return nullptr;
  }
  const MapPoint p = n->Position();
  return CreateFor(n, n->Father(), n, p.x + n->Width() + 0.5, p.y, false);
}

AliasNode* AliasNode::CreateFor(Node* n, Node* parent, Node* after, double x, double y,
                                bool select) {
  Require(n != nullptr, "CreateFor: null note");
  Node* original = n->IsAlias() ? n->GetOriginal() : n;
  if (original == nullptr || original->IsHidden() || original->IsRootNote() ||
      !original->CanBeAliased()) {
    return nullptr;
  }
  if (parent == nullptr) {
    return CreateFor(n);
  }
  Hypertext* hypertext = original->GetHypertext();
  if (parent->IsHidden() || !parent->CanReceiveChildren() || parent->GetHypertext() != hypertext ||
      !hypertext->DepthAllows(parent, nullptr)) {
    return nullptr;
  }
  auto* alias = static_cast<AliasNode*>(
      hypertext->Adopt(std::unique_ptr<Node>(new AliasNode(hypertext, original))));
  alias->Initialize();
  StChanges changes(hypertext);
  if (!alias->DoMoveToInternal(parent, after, MapPoint{x, y})) {
    // An impossible place (an elder outside parent): put it first instead.
    alias->DoMoveToInternal(parent, nullptr, MapPoint{x, y});
  }
  hypertext->AddNode(alias);
  parent->Changed(facet::kChildren);
  if (select) {
    hypertext->Select(alias);
  }
  return alias;
}

Node* AliasNode::Clone(bool) const {
  if (original_ == nullptr) {
    return nullptr;
  }
  Hypertext* hypertext = GetHypertext();
  auto* copy = static_cast<AliasNode*>(
      hypertext->Adopt(std::unique_ptr<Node>(new AliasNode(hypertext, original_))));
  copy->Initialize();
  const MapPoint p = Position();
  copy->SetPosition(p);
  hypertext->AddNode(copy);
  return copy;
}

Node* AliasNode::MakeSimilar() const {
  return new AliasNode(GetHypertext(), original_);
}

uint32_t AliasNode::GetAliasID() const {
  return original_ == nullptr ? 0 : original_->GetID().id();
}

Content* AliasNode::GetContent() {
  Require(original_ != nullptr, "alias without original");
  return original_->GetContent();
}

const Content* AliasNode::GetContent() const {
  Require(original_ != nullptr, "alias without original");
  return static_cast<const Node*>(original_)->GetContent();
}

const Value* AliasNode::DoGet(const Attribute* attribute) const {
  if (original_ != nullptr && IsOriginalsOnly(attribute)) {
    return original_->DoGet(attribute);
  }
  if (const Value* own = StoredValue(attribute)) {
    return own;
  }
  return original_ == nullptr ? nullptr : original_->DoGet(attribute);
}

void AliasNode::DoSet(const Attribute* attribute, ValuePtr value) {
  if (forwarding_ && original_ != nullptr && attribute->CanInherit()) {
    original_->DoSet(attribute, std::move(value));
  } else {
    Node::DoSet(attribute, std::move(value));
  }
}

void AliasNode::DoRemove(const Attribute* attribute) {
  if (forwarding_ && original_ != nullptr && attribute->CanInherit()) {
    original_->DoRemove(attribute);
  } else {
    Node::DoRemove(attribute);
  }
}

void AliasNode::SetID(const NodeID& id) {
  // The alias keeps an identity of its own: never forward ID and Creator.
  const bool forwarding = forwarding_;
  forwarding_ = false;
  Node::SetID(id);
  forwarding_ = forwarding;
}

void AliasNode::Hide(bool hide) {
  if (!hide && (original_ == nullptr || original_->IsHidden())) {
    return;
  }
  if (!hide) {
    hidden_with_original_ = false;
  }
  Node::Hide(hide);
}

Node* AliasNode::GetPrototype() const {
  return original_ == nullptr ? nullptr : original_->GetPrototype();
}

}  // namespace fernweave
