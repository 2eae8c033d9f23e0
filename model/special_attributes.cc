#include "model/special_attributes.h"

#include "foundation/error.h"
#include "model/cnode.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/ht_path.h"
#include "model/node.h"
#include "model/values.h"

namespace fernweave {
namespace {

PrototypeAssigner*& InstalledAssigner() {
  static PrototypeAssigner* assigner = nullptr;
  return assigner;
}

// Replaces a computed attribute's cached result with a new text value and returns it.
const Value* CacheText(ValuePtr& cache, std::string_view text) {
  cache = StringValue::CreateFor(text);
  return cache.get();
}

// Whether `node` may be moved to the end of `container`'s children.
bool MayMoveInto(const Node* node, const Node* container) {
  if (container == nullptr || container->IsDescendedFrom(node) ||
      !node->GetHypertext()->DepthAllows(container, node)) {
    return false;
  }
  for (const Node* a = container; a != nullptr; a = a->Father()) {
    if (!a->CanReceiveChildren()) {
      return false;
    }
  }
  return true;
}

// The note that making a plain slash path from the root would make its missing notes
// in: the last note the path reaches (for an alias, its original). Null when the walk
// leaves the tree before.
Node* WhereMissingNotesGo(Node* root, std::string_view path) {
  Node* n = root;
  size_t pos = 0;
  bool first = true;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) {
      slash = path.size();
    }
    const std::string_view component = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty()) {
      if (first) {
        first = false;
        continue;
      }
      break;
    }
    first = false;
    Node* child = HTPath::FindChildNamed(n, component);
    if (child == nullptr) {
      return component == "." || component == ".." ? nullptr : n->GetOriginal();
    }
    n = child;
  }
  return n->GetOriginal();
}

}  // namespace

const Value* NameAttribute::ImmediateValue(const Node* node) const {
  const Node* original = node == nullptr ? nullptr : node->GetOriginal();
  return original == nullptr ? nullptr : original->DoGet(this);
}

void NameAttribute::Set(Node* node, ValuePtr value) const {
  Node* original = node == nullptr ? nullptr : node->GetOriginal();
  if (original != nullptr) {
    original->DoSet(this, std::move(value));
  }
}

void NameAttribute::Remove(Node* node) const {
  Node* original = node == nullptr ? nullptr : node->GetOriginal();
  if (original != nullptr) {
    original->DoRemove(this);
  }
}

const Value* TextAttribute::ImmediateValue(const Node* node) const {
  return node == nullptr ? nullptr : CacheText(cache_, node->GetText());
}

void TextAttribute::Set(Node* node, ValuePtr value) const {
  if (node != nullptr && value != nullptr) {
    node->SetText(value->AsString());
  }
}

void TextAttribute::Remove(Node* node) const {
  if (node != nullptr) {
    node->SetText("");
  }
}

const Value* PathAttribute::ImmediateValue(const Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  std::string path = node->PathName();
  if (path.size() > 1) {
    path.pop_back();  // PathName ends in "/"; the path of a note does not
  }
  return CacheText(cache_, path);
}

const Value* ParentAttribute::ImmediateValue(const Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  const Node* father = node->Father();
  return CacheText(cache_, father == nullptr ? std::string() : father->PathName());
}

void ParentAttribute::Set(Node* node, ValuePtr value) const {
  Require(node != nullptr && value != nullptr, "Container: null note or value");
  Hypertext* hypertext = node->GetHypertext();
  // A text of nothing but slashes names the root; any other path is made from the root
  // when missing.
  const std::string path = value->AsString();
  Node* root = hypertext->Root();
  const HTPath where(path);
  Node* target = path.find_first_not_of("/ \t") == std::string::npos ? root : where.Get(root);
  if (target == nullptr) {
    // Nothing is made along the path unless the move into its end will be allowed;
    // a plain slash path tells where the missing notes would go.
    const bool plain = !HTPath::IsExpression(path) && path.find('(') == std::string::npos;
    if (plain && !MayMoveInto(node, WhereMissingNotesGo(root, path))) {
      return;
    }
    target = where.Create(root);
  }
  if (target == nullptr || target == node->Father() || !MayMoveInto(node, target)) {
    return;
  }
  node->DoMoveTo(target, target->YoungestSon());
}

const Value* PrototypeAttribute::ImmediateValue(const Node* node) const {
  const Node* original = node == nullptr ? nullptr : node->GetOriginal();
  const Node* prototype = original == nullptr ? nullptr : original->GetPrototype();
  return CacheText(cache_, prototype == nullptr ? std::string() : prototype->Name());
}

void PrototypeAttribute::Set(Node* node, ValuePtr value) const {
  Require(node != nullptr && value != nullptr, "Prototype: null note or value");
  Node* original = node->GetOriginal();
  if (original == nullptr) {
    return;
  }
  const std::string name = value->AsString();
  Node* prototype = nullptr;
  if (!name.empty()) {
    Node* named = node->GetHypertext()->FindNodeNamed(name);
    if (named == nullptr || named->IsHidden()) {
      return;  // an unknown name changes nothing
    }
    prototype = named->GetOriginal();
    if (prototype == original) {
      return;
    }
  }
  if (PrototypeAssigner* assigner = InstalledAssigner()) {
    assigner->SetPrototype(original, prototype);
  } else {
    original->SetPrototype(prototype, true);
  }
  original->Changed(this);
}

void PrototypeAttribute::Remove(Node* node) const {
  if (node != nullptr) {
    Set(node, Value::Create(""));
  }
}

void PrototypeAssigner::Install(PrototypeAssigner* assigner) {
  InstalledAssigner() = assigner;
}

PrototypeAssigner* PrototypeAssigner::Installed() {
  return InstalledAssigner();
}

const Value* AliasAttribute::ImmediateValue(const Node* node) const {
  static const Value* const kTrue = Value::ForBoolean(true).release();
  static const Value* const kFalse = Value::ForBoolean(false).release();
  return node != nullptr && node->IsAlias() ? kTrue : kFalse;
}

const Value* PreferenceAttribute::GetDefaultValue(const Node* node) const {
  if (node != nullptr && node->GetHypertext() != nullptr) {
    if (const Value* v = node->GetHypertext()->Preferences().Get(index_)) {
      return v;
    }
  }
  return GetTheDefaultValue();
}

const Value* DisplayNameAttribute::ImmediateValue(const Node* node) const {
  return node == nullptr ? nullptr : CacheText(cache_, node->DisplayName());
}

int64_t CachedAttribute::DoGetValue(const Node* node) const {
  switch (measure_) {
    case Measure::kWordCount:
      return static_cast<int64_t>(node->WordCount());
    case Measure::kChildCount:
      return static_cast<int64_t>(node->ChildCount());
    case Measure::kDescendantCount:
      return static_cast<int64_t>(node->Descendants());
    case Measure::kTextLength:
      return static_cast<int64_t>(Utf16Length(node->GetText()));
    case Measure::kOutlineOrder:
      return node->GetOutlineOrder();
    case Measure::kSiblingOrder:
      return static_cast<int64_t>(node->SiblingOrder());
    case Measure::kOutlineDepth: {
      // Levels below the root, counted for the original.
      const Node* original = node->GetOriginal();
      int64_t depth = 0;
      for (const Node* a = original; a != nullptr && !a->IsRoot(); a = a->Father()) {
        ++depth;
      }
      return depth;
    }
    case Measure::kInboundLinks:
      return static_cast<int64_t>(node->InboundLinkCount());
    case Measure::kOutboundLinks:
      return static_cast<int64_t>(node->OutboundLinkCount());
    case Measure::kWebLinks:
      return static_cast<int64_t>(node->WebLinkCount());
  }
  return 0;
}

const Value* CachedAttribute::ImmediateValue(const Node* node) const {
  if (node == nullptr) {
    return nullptr;
  }
  const int64_t n = DoGetValue(node);
  cache_ = n > INT32_MAX ? Value::ForDouble(static_cast<double>(n))
                         : Value::ForInt(static_cast<int32_t>(n));
  return cache_.get();
}

}  // namespace fernweave
