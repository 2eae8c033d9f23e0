// The concrete note classes: `CNode` (every ordinary note), and the kinds that derive
// from it, `Agent` (a note that gathers aliases by query; its behaviour lives with the
// agents) and `Adornment` (a background shape on a map). Aliases are in
// model/alias_node.h.

#ifndef FERNWEAVE_MODEL_CNODE_H_
#define FERNWEAVE_MODEL_CNODE_H_

#include <string_view>

#include "model/node.h"

namespace fernweave {

class CNode : public Node {
 public:
  // The prototype cached at this note, or null when there is none or it is deleted.
  Node* GetPrototype() const override;
  // The cache of the prototype relation; the document's link registry keeps it.
  void SetPrototypeCache(Node* prototype) { prototype_cache_ = prototype; }
  void ClearPrototypeCache() { prototype_cache_ = nullptr; }
  Node* PrototypeCache() const { return prototype_cache_; }

  // Hides or shows the whole subtree, then the aliases of every original in it.
  void DoHide(bool hide) override;

 protected:
  friend class Hypertext;
  explicit CNode(Hypertext* hypertext) : Node(hypertext) {}
  Node* MakeSimilar() const override;

 private:
  Node* prototype_cache_ = nullptr;
};

// A note that gathers aliases of the notes matching its query.
class Agent : public CNode {
 public:
  std::string_view XMLKind() const override { return "agent"; }
  bool IsAgent() const override { return true; }

 protected:
  friend class Hypertext;
  explicit Agent(Hypertext* hypertext) : CNode(hypertext) {}
  Node* MakeSimilar() const override;
  // A new agent is a 3 by 3 box that keeps its aliases out of export.
  void InitializeSelf() override;
};

// A background shape on a map; it does not make its container a container.
class Adornment : public CNode {
 public:
  std::string_view XMLKind() const override { return "adornment"; }
  bool IsAdornment() const override { return true; }

 protected:
  friend class Hypertext;
  explicit Adornment(Hypertext* hypertext) : CNode(hypertext) {}
  Node* MakeSimilar() const override;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_CNODE_H_
