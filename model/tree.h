// An intrusive ordered tree. Notes (`TTree<Node*>`) and attribute definitions
// (`TTree<Attribute*>`) are elements of such trees. Every element holds four links, all
// non-owning: its father, its next (younger) brother, its first son and its elder
// brother. Whoever owns the elements (the document for notes, the registry for
// attributes) keeps them alive; the tree only orders them.
//
// An element is a root when its father is null or is the element itself. Every walk
// here is iterative, so no depth of nesting can overflow the stack.

#ifndef FERNWEAVE_MODEL_TREE_H_
#define FERNWEAVE_MODEL_TREE_H_

#include <cstddef>
#include <vector>

namespace fernweave {

class Tree;

// Orders the children of an element for `SortChildren` and `Sort`.
class TreeComparator {
 public:
  virtual ~TreeComparator() = default;
  // True when a must come before b. The sort is stable: elements for which neither
  // comes before the other keep their relative order.
  virtual bool Less(const Tree* a, const Tree* b) const = 0;
};

class Tree {
 public:
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  Tree* Father() const { return father_; }
  Tree* Son() const { return son_; }
  Tree* Brother() const { return brother_; }
  Tree* ElderBrother() const { return elder_brother_; }
  // The last child, or null for a leaf.
  Tree* YoungestSon() const;
  bool IsRoot() const { return father_ == nullptr || father_ == this; }

  // The four insertions first unhook x from wherever it is. Adding an element to
  // itself, or to one of its own descendants, is ignored (it would cut a loop off the
  // tree). A null x is ignored.
  void AddSon(Tree* x);           // as the last child
  void AddFirstSon(Tree* x);      // as the first child
  void AddBrother(Tree* x);       // directly after this element, same father
  void AddElderBrother(Tree* x);  // directly before this element, same father

  // Detaches this element from its father and siblings, mending the sibling chain and
  // the father's first-child link. The element keeps its own children.
  void Unhook();

  size_t ChildCount() const;
  // All elements below this one (not counting this one).
  size_t Descendants() const;
  // Height of the subtree: 1 for a leaf, else 1 + the largest Depth of the children.
  size_t Depth() const;
  size_t CountElderSiblings() const;
  // True when t is this element or one of its ancestors.
  bool IsDescendedFrom(const Tree* t) const;

  // Document (pre-)order successor: the first child, else the next sibling, else the
  // next sibling of the nearest ancestor that has one. Null when the climb reaches a
  // root.
  Tree* Next() const;
  // Like Next, but null once the walk would leave the subtree of `top`.
  // REQUIRES: this element lies in top's subtree.
  Tree* NextWithin(const Tree* top) const;
  // Document-order predecessor: null at a root; else the deepest last descendant of
  // the previous sibling, else the father.
  Tree* Previous() const;

  // Reorders the children by the comparator (stable).
  void SortChildren(const TreeComparator& comparator);
  // SortChildren on this element and on every element below it.
  void Sort(const TreeComparator& comparator);
  // Relinks the children in the given order.
  // REQUIRES: `children` holds exactly the present children, each once.
  void SetChildOrder(const std::vector<Tree*>& children);

 protected:
  Tree() = default;
  ~Tree() = default;
  // Called on an element after it was linked in, unhooked or had its children
  // reordered, so that caches of tree order (a note's outline order) can be dropped.
  virtual void StructureChanged() {}

 private:
  // Links x in with the given neighbours; x must be unhooked.
  void LinkIn(Tree* x, Tree* father, Tree* elder, Tree* younger);
  // True when x may be inserted next to or under this element.
  bool CanTake(const Tree* x) const;

  Tree* father_ = nullptr;
  Tree* brother_ = nullptr;
  Tree* son_ = nullptr;
  Tree* elder_brother_ = nullptr;
};

// Retypes the navigation of `Tree` for elements of type T (a pointer type such as
// Node*). T's pointee must derive from TTree<T>.
template <typename T>
class TTree : public Tree {
 public:
  T Father() const { return Cast(Tree::Father()); }
  T Son() const { return Cast(Tree::Son()); }
  T Brother() const { return Cast(Tree::Brother()); }
  T ElderBrother() const { return Cast(Tree::ElderBrother()); }
  T YoungestSon() const { return Cast(Tree::YoungestSon()); }
  T Next() const { return Cast(Tree::Next()); }
  T NextWithin(const Tree* top) const { return Cast(Tree::NextWithin(top)); }
  T Previous() const { return Cast(Tree::Previous()); }

 protected:
  TTree() = default;
  ~TTree() = default;

 private:
  static T Cast(Tree* t) { return static_cast<T>(t); }
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_TREE_H_
