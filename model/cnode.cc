#include "model/cnode.h"

#include <string_view>
#include <utility>
#include <vector>

#include "model/alias_node.h"
#include "model/hypertext.h"

namespace fernweave {

Node* CNode::GetPrototype() const {
  // A deleted prototype is not consulted; restoring it restores the inheritance.
  return prototype_cache_ != nullptr && !prototype_cache_->IsHidden() ? prototype_cache_ : nullptr;
}

void CNode::DoHide(bool hide) {
  Hypertext* hypertext = GetHypertext();
  StChanges changes(hypertext);
  std::vector<Node*> subtree;
  for (Node* n = this; n != nullptr; n = n->NextWithin(this)) {
    subtree.push_back(n);
  }
  Node::DoHide(hide);
  if (!hide) {
    // An alias restored with its container while its original stays deleted would be
    // a live alias of nothing: it waits, out of the tree, for its original instead.
    for (Node* n : subtree) {
      const Node* original = n->GetOriginal();
      if (n->IsAlias() && (original == nullptr || original->IsHidden())) {
        auto* alias = static_cast<AliasNode*>(n);
        Node* father = alias->Father();
        hypertext->RememberPlace(alias);
        alias->Node::DoHide(true);
        alias->Unhook();
        alias->MarkHiddenWithOriginal(true);
        if (father != nullptr) {
          hypertext->AddChange(father, facet::kChildren);
        }
      }
    }
  }
  // Aliases follow their originals. Those inside the subtree went with it above;
  // the others are taken out of (or put back into) the tree at their own places.
  for (Node* original : subtree) {
    if (original->IsAlias()) {
      continue;
    }
    for (AliasNode* alias : hypertext->AliasesOf(original)) {
      if (hide && !alias->IsHidden()) {
        Node* father = alias->Father();
        hypertext->RememberPlace(alias);
        alias->Node::DoHide(true);
        alias->Unhook();
        alias->MarkHiddenWithOriginal(true);
        if (father != nullptr) {
          hypertext->AddChange(father, facet::kChildren);
        }
      } else if (!hide && alias->IsHidden() && alias->HiddenWithOriginal()) {
        if (hypertext->RestorePlace(alias)) {
          alias->MarkHiddenWithOriginal(false);
          alias->Node::DoHide(false);
        }
      }
    }
  }
}

Node* CNode::MakeSimilar() const {
  return new CNode(GetHypertext());
}

Node* Agent::MakeSimilar() const {
  return new Agent(GetHypertext());
}

void Agent::InitializeSelf() {
  // The generic document lacks some of these attributes; it keeps its defaults then.
  static constexpr std::pair<std::string_view, std::string_view> kDefaults[] = {
      {"Agent", "true"}, {"Width", "3.0"}, {"Height", "3.0"}, {"HTMLExportChildren", "false"}};
  for (const auto& [name, value] : kDefaults) {
    if (HasAttribute(name)) {
      Set(name, value);
    }
  }
}

Node* Adornment::MakeSimilar() const {
  return new Adornment(GetHypertext());
}

}  // namespace fernweave
