#include "model/tree.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fernweave {
namespace {

struct Elem : TTree<Elem*> {
  explicit Elem(std::string n, int k = 0) : name(std::move(n)), key(k) {}
  std::string name;
  int key;
};

// Owns the elements of one test; elements are named by a single letter.
struct Forest {
  std::vector<std::unique_ptr<Elem>> elems;
  // Makes an element, the youngest son of `father` when there is one.
  Elem* Make(const std::string& name, Elem* father = nullptr, int key = 0) {
    elems.push_back(std::make_unique<Elem>(name, key));
    if (father != nullptr) {
      father->AddSon(elems.back().get());
    }
    return elems.back().get();
  }
};

// Pre-order names below and including e, each child list in parentheses.
std::string Shape(const Elem* e) {
  std::string out = e->name;
  if (e->Son() != nullptr) {
    out += "(";
    for (const Elem* c = e->Son(); c != nullptr; c = c->Brother()) {
      out += Shape(c);
    }
    out += ")";
  }
  return out;
}

std::string Walk(const Elem* from) {
  std::string out;
  for (const Elem* e = from; e != nullptr; e = e->Next()) {
    out += e->name;
  }
  return out;
}

std::string WalkBack(const Elem* from) {
  std::string out;
  for (const Elem* e = from; e != nullptr; e = e->Previous()) {
    out += e->name;
  }
  return out;
}

TEST(TreeTest, InsertionsPlaceElementsAndMendLinks) {
  Forest f;
  Elem* r = f.Make("r");
  Elem* a = f.Make("a", r);
  Elem* b = f.Make("b");
  Elem* c = f.Make("c", r);
  Elem* d = f.Make("d");
  a->AddBrother(b);
  r->AddFirstSon(d);
  EXPECT_EQ(Shape(r), "r(dabc)");
  c->AddElderBrother(d);  // moves d from the front to before c
  EXPECT_EQ(Shape(r), "r(abdc)");
  EXPECT_EQ(r->Son(), a);
  EXPECT_EQ(r->YoungestSon(), c);
  EXPECT_EQ(c->ElderBrother(), d);
  EXPECT_EQ(d->ElderBrother(), b);
  a->AddSon(c);  // moving into another father unhooks from the old one
  EXPECT_EQ(Shape(r), "r(a(c)bd)");
  a->Unhook();
  EXPECT_EQ(Shape(r), "r(bd)");
  EXPECT_EQ(Shape(a), "a(c)");  // children stay with the unhooked element
  EXPECT_EQ(b->ElderBrother(), nullptr);
  EXPECT_TRUE(a->IsRoot());
}

TEST(TreeTest, AddingToItselfOrBelowItselfIsIgnored) {
  Forest f;
  Elem* r = f.Make("r");
  Elem* a = f.Make("a", r);
  Elem* b = f.Make("b", a);
  a->AddSon(a);
  b->AddSon(a);
  b->AddBrother(a);
  b->AddElderBrother(r);
  r->AddSon(nullptr);
  EXPECT_EQ(Shape(r), "r(a(b))");
  EXPECT_EQ(r->Father(), nullptr);
}

TEST(TreeTest, CountsAndAncestry) {
  Forest f;
  Elem* r = f.Make("r");
  Elem* a = f.Make("a", r);
  Elem* b = f.Make("b", r);
  Elem* c = f.Make("c", r);
  Elem* d = f.Make("d", b);
  EXPECT_EQ(r->ChildCount(), 3u);
  EXPECT_EQ(r->Descendants(), 4u);
  EXPECT_EQ(b->Descendants(), 1u);
  EXPECT_EQ(d->Descendants(), 0u);
  EXPECT_EQ(r->Depth(), 3u);
  EXPECT_EQ(d->Depth(), 1u);
  EXPECT_EQ(c->CountElderSiblings(), 2u);
  EXPECT_TRUE(d->IsDescendedFrom(d));
  EXPECT_TRUE(d->IsDescendedFrom(r));
  EXPECT_FALSE(d->IsDescendedFrom(a));
  EXPECT_FALSE(r->IsDescendedFrom(d));
  EXPECT_FALSE(r->IsDescendedFrom(nullptr));
}

TEST(TreeTest, DocumentOrderWalksBothWays) {
  Forest f;
  Elem* r = f.Make("r");
  Elem* a = f.Make("a", r);
  Elem* c = f.Make("c", f.Make("b", a));
  Elem* d = f.Make("d", r);
  Elem* e = f.Make("e", d);
  EXPECT_EQ(Walk(r), "rabcde");
  EXPECT_EQ(WalkBack(e), "edcbar");
  EXPECT_EQ(c->Next(), d);  // climbs two levels to the next sibling of an ancestor
  EXPECT_EQ(e->Next(), nullptr);
  EXPECT_EQ(r->Previous(), nullptr);
  std::string within;
  for (const Elem* x = a; x != nullptr; x = x->NextWithin(a)) {
    within += x->name;
  }
  EXPECT_EQ(within, "abc");
}

TEST(TreeTest, DeepChainsAreWalkedWithoutRecursion) {
  Forest f;
  Elem* top = f.Make("t");
  Elem* last = top;
  const int kDepth = 100000;
  for (int i = 0; i < kDepth; ++i) {
    last = f.Make("x", last);
  }
  EXPECT_EQ(top->Depth(), static_cast<size_t>(kDepth + 1));
  EXPECT_EQ(top->Descendants(), static_cast<size_t>(kDepth));
  EXPECT_EQ(last->Next(), nullptr);
  EXPECT_TRUE(last->IsDescendedFrom(top));
}

class ByKey : public TreeComparator {
 public:
  bool Less(const Tree* a, const Tree* b) const override {
    return static_cast<const Elem*>(a)->key < static_cast<const Elem*>(b)->key;
  }
};

TEST(TreeTest, SortingIsStableAndSortReachesTheWholeSubtree) {
  Forest f;
  Elem* r = f.Make("r");
  Elem* a = f.Make("a", r, 2);
  f.Make("b", r, 1);
  Elem* c = f.Make("c", r, 2);
  f.Make("d", r, 0);
  f.Make("e", a, 5);
  f.Make("g", a, 3);
  r->SortChildren(ByKey());
  EXPECT_EQ(Shape(r), "r(dba(eg)c)");  // a stays before c: equal keys keep their order
  r->Sort(ByKey());
  EXPECT_EQ(Shape(r), "r(dba(ge)c)");
  EXPECT_EQ(r->YoungestSon(), c);
  EXPECT_EQ(c->ElderBrother(), a);
}

}  // namespace
}  // namespace fernweave
