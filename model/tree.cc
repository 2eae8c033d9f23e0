#include "model/tree.h"

#include <algorithm>
#include <vector>

namespace fernweave {

Tree* Tree::YoungestSon() const {
  Tree* t = son_;
  if (t == nullptr) {
    return nullptr;
  }
  while (t->brother_ != nullptr) {
    t = t->brother_;
  }
  return t;
}

bool Tree::CanTake(const Tree* x) const {
  // Inserting an ancestor (or the element itself) below or beside this element would
  // detach a loop from the tree. A leaf can only be an ancestor of itself, which keeps
  // the common case (adding a new element) from climbing the tree.
  if (x == nullptr || x == this) {
    return false;
  }
  return x->son_ == nullptr || !IsDescendedFrom(x);
}

void Tree::LinkIn(Tree* x, Tree* father, Tree* elder, Tree* younger) {
  x->father_ = father;
  x->elder_brother_ = elder;
  x->brother_ = younger;
  if (elder != nullptr) {
    elder->brother_ = x;
  } else if (father != nullptr) {
    father->son_ = x;
  }
  if (younger != nullptr) {
    younger->elder_brother_ = x;
  }
  x->StructureChanged();
}

void Tree::AddSon(Tree* x) {
  if (!CanTake(x)) {
    return;
  }
  x->Unhook();
  LinkIn(x, this, YoungestSon(), nullptr);
}

void Tree::AddFirstSon(Tree* x) {
  if (!CanTake(x)) {
    return;
  }
  x->Unhook();
  LinkIn(x, this, nullptr, son_);
}

void Tree::AddBrother(Tree* x) {
  if (!CanTake(x) || x == brother_) {
    // x already sits directly after this element.
    return;
  }
  x->Unhook();
  LinkIn(x, father_, this, brother_);
}

void Tree::AddElderBrother(Tree* x) {
  if (!CanTake(x) || x == elder_brother_) {
    return;
  }
  x->Unhook();
  LinkIn(x, father_, elder_brother_, this);
}

void Tree::Unhook() {
  if (elder_brother_ != nullptr) {
    elder_brother_->brother_ = brother_;
  } else if (father_ != nullptr && father_ != this && father_->son_ == this) {
    father_->son_ = brother_;
  }
  if (brother_ != nullptr) {
    brother_->elder_brother_ = elder_brother_;
  }
  father_ = nullptr;
  brother_ = nullptr;
  elder_brother_ = nullptr;
  StructureChanged();
}

size_t Tree::ChildCount() const {
  size_t n = 0;
  for (const Tree* t = son_; t != nullptr; t = t->brother_) {
    ++n;
  }
  return n;
}

size_t Tree::Descendants() const {
  size_t n = 0;
  for (const Tree* t = son_; t != nullptr; t = t->NextWithin(this)) {
    ++n;
  }
  return n;
}

size_t Tree::Depth() const {
  // The depth of the subtree is one more than the deepest level reached below.
  size_t deepest = 1;
  size_t level = 1;
  const Tree* t = this;
  for (;;) {
    if (t->son_ != nullptr) {
      t = t->son_;
      ++level;
      deepest = std::max(deepest, level);
      continue;
    }
    while (t != this && t->brother_ == nullptr) {
      t = t->father_;
      --level;
    }
    if (t == this) {
      return deepest;
    }
    t = t->brother_;
  }
}

size_t Tree::CountElderSiblings() const {
  size_t n = 0;
  for (const Tree* t = elder_brother_; t != nullptr; t = t->elder_brother_) {
    ++n;
  }
  return n;
}

bool Tree::IsDescendedFrom(const Tree* t) const {
  if (t == nullptr) {
    return false;
  }
  for (const Tree* a = this; a != nullptr; a = a->father_) {
    if (a == t) {
      return true;
    }
    if (a->IsRoot()) {
      break;
    }
  }
  return false;
}

Tree* Tree::Next() const {
  if (son_ != nullptr) {
    return son_;
  }
  const Tree* t = this;
  while (!t->IsRoot()) {
    if (t->brother_ != nullptr) {
      return t->brother_;
    }
    t = t->father_;
  }
  return nullptr;
}

Tree* Tree::NextWithin(const Tree* top) const {
  if (son_ != nullptr) {
    return son_;
  }
  const Tree* t = this;
  while (t != top && !t->IsRoot()) {
    if (t->brother_ != nullptr) {
      return t->brother_;
    }
    t = t->father_;
  }
  return nullptr;
}

Tree* Tree::Previous() const {
  if (IsRoot()) {
    return nullptr;
  }
  if (elder_brother_ == nullptr) {
    return father_;
  }
  Tree* t = elder_brother_;
  while (t->son_ != nullptr) {
    t = t->YoungestSon();
  }
  return t;
}

void Tree::SortChildren(const TreeComparator& comparator) {
  if (son_ == nullptr || son_->brother_ == nullptr) {
    return;
  }
  std::vector<Tree*> children;
  for (Tree* t = son_; t != nullptr; t = t->brother_) {
    children.push_back(t);
  }
  std::stable_sort(children.begin(), children.end(),
                   [&comparator](const Tree* a, const Tree* b) { return comparator.Less(a, b); });
  SetChildOrder(children);
}

void Tree::SetChildOrder(const std::vector<Tree*>& children) {
  Tree* elder = nullptr;
  for (Tree* t : children) {
    t->elder_brother_ = elder;
    t->brother_ = nullptr;
    if (elder == nullptr) {
      son_ = t;
    } else {
      elder->brother_ = t;
    }
    elder = t;
  }
  StructureChanged();
}

void Tree::Sort(const TreeComparator& comparator) {
  // Sorting a father before visiting its children keeps the walk valid: the walk
  // follows the links as they are after each sort.
  for (Tree* t = this; t != nullptr; t = t->NextWithin(this)) {
    t->SortChildren(comparator);
  }
}

}  // namespace fernweave
