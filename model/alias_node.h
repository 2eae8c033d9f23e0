// Aliases: notes that stand for another note, their original, elsewhere in the tree.
// An alias shares its original's name, text, colour and user attributes, and keeps
// its own map position, size, identity and place in the tree. Aliases never point at
// aliases, and the root is never aliased.

#ifndef FERNWEAVE_MODEL_ALIAS_NODE_H_
#define FERNWEAVE_MODEL_ALIAS_NODE_H_

#include <cstdint>
#include <string_view>

#include "model/cnode.h"

namespace fernweave {

class AliasNode : public CNode {
 public:
  ~AliasNode() override;

  // Makes an alias of n as n's next sibling, at (n's x + n's width + 0.5, n's y).
  // Returns null when n is hidden, cannot be aliased or is the root; an alias of an
  // alias aliases its original. The document owns the result. REQUIRES: n is not null
  // ("asrt").
  static AliasNode* CreateFor(Node* n);
  // The same, placed under parent directly after `after` (first when null) at (x, y);
  // `select` adds the alias to the document's selection. A null parent places it as
  // CreateFor(n) does.
  static AliasNode* CreateFor(Node* n, Node* parent, Node* after, double x, double y, bool select);

  std::string_view XMLKind() const override { return "alias"; }
  bool IsAlias() const override { return true; }
  bool IsAliasFor(const Node* n) const override { return n != nullptr && original_ == n; }
  Node* GetOriginal() override { return original_; }
  const Node* GetOriginal() const override { return original_; }
  bool CanBeAliased() const override { return false; }
  uint32_t GetAliasID() const override;
  bool CanReceiveChildren() const override { return false; }

  // The original's text. REQUIRES: the alias has an original ("asrt").
  Content* GetContent() override;
  const Content* GetContent() const override;

  // Own value first, then the original's own or inherited value; `Created` and
  // `Modified` from the original only.
  const Value* DoGet(const Attribute* attribute) const override;
  // While forwarding, values of inheritable attributes go to the original.
  void DoSet(const Attribute* attribute, ValuePtr value) override;
  void DoRemove(const Attribute* attribute) override;
  void SetID(const NodeID& id) override;
  // An alias of a deleted (or destroyed) original cannot be restored on its own: it
  // comes back with its original.
  void Hide(bool hide) override;
  Node* GetPrototype() const override;

  bool Forwarding() const { return forwarding_; }
  void SetForwarding(bool forwarding) { forwarding_ = forwarding; }

  // An alias hidden because its original was (not deleted on its own): showing the
  // original shows it again. The document remembers its place.
  bool HiddenWithOriginal() const { return hidden_with_original_; }
  void MarkHiddenWithOriginal(bool hidden) { hidden_with_original_ = hidden; }
  // The document destroys the original: the alias no longer stands for anything.
  void OriginalDestroyed() { original_ = nullptr; }
  // A new alias of the same original, not yet placed in the tree (null when the
  // original was destroyed). The document owns it.
  Node* Clone(bool copy_links) const override;

 protected:
  friend class Hypertext;
  AliasNode(Hypertext* hypertext, Node* original);
  void Initialize() override;
  Node* MakeSimilar() const override;

 private:
  Node* original_;
  bool forwarding_ = false;
  bool hidden_with_original_ = false;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_ALIAS_NODE_H_
