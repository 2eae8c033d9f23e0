#include "model/prototype.h"

#include <array>

#include <gtest/gtest.h>

#include "model/cnode.h"
#include "model/content.h"
#include "model/link_manager.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// The notes at `paths`, for structured bindings.
template <size_t N>
std::array<Node*, N> Notes(Hypertext* doc, const char* const (&paths)[N]) {
  std::array<Node*, N> notes;
  for (size_t i = 0; i < N; ++i) {
    notes[i] = test::At(doc, paths[i]);
  }
  return notes;
}

TEST(PrototypeTest, AssigningMakesOnePrototypeLink) {
  auto doc = test::MakeDocument("P\nQ\nN");
  auto [p, q, n] = Notes(doc.get(), {"P", "Q", "N"});
  EXPECT_FALSE(doc->UsingPrototypes());
  p->Set("Color", "red");
  n->SetPrototype(p, true);
  EXPECT_EQ(n->GetPrototype(), p);
  EXPECT_TRUE(p->GetBoolean("IsPrototype"));
  EXPECT_EQ(n->GetString("Prototype"), "P");
  EXPECT_TRUE(doc->UsingPrototypes());
  EXPECT_EQ(doc->Links().ListLinksTo(n).size(), 1u);

  n->SetPrototype(q, true);
  EXPECT_EQ(n->GetPrototype(), q);
  EXPECT_EQ(doc->Links().ListLinksTo(n).size(), 1u);
  EXPECT_EQ(doc->Links().ListLinksFrom(p).size(), 0u);

  n->Set("Prototype", "P");
  EXPECT_EQ(n->GetPrototype(), p);
  EXPECT_EQ(n->GetString("Color"), "red");
  n->Set("Prototype", "no such note");
  EXPECT_EQ(n->GetPrototype(), p);
  n->Set("Prototype", "");
  EXPECT_EQ(n->GetPrototype(), nullptr);
  EXPECT_EQ(doc->LinkCount(), 0u);
  EXPECT_EQ(n->GetString("Color"), n->GetDefaultAsString("Color"));
}

TEST(PrototypeTest, ChainLoopsAreRefused) {
  auto doc = test::MakeDocument("A\nB\nC");
  auto [a, b, c] = Notes(doc.get(), {"A", "B", "C"});
  EXPECT_TRUE(a->CanBePrototype(nullptr));
  EXPECT_FALSE(a->CanBePrototype(a));
  b->SetPrototype(c, false);
  EXPECT_TRUE(a->CanBePrototype(b));
  // Force a loop B -> C -> B through the cache, as a damaged file could.
  dynamic_cast<CNode*>(c)->SetPrototypeCache(b);
  EXPECT_FALSE(a->CanBePrototype(b));
  a->SetPrototype(b, false);
  EXPECT_EQ(a->GetPrototype(), nullptr);
  EXPECT_EQ(a->GetString("Color"), a->GetDefaultAsString("Color"));  // lookup stays finite
  // A prototype link made directly passes the same checks.
  LinkRecord record(b, -1, 0);
  record.dest = c;
  record.name = kPrototypeLinkType;
  EXPECT_EQ(doc->CreateLink(record), nullptr);
}

TEST(PrototypeTest, PrototypeInTheTrash) {
  auto doc = test::MakeDocument("P\nN");
  auto [p, n] = Notes(doc.get(), {"P", "N"});
  p->Set("Badge", "star");
  n->SetPrototype(p, false);
  p->Hide(true);
  EXPECT_EQ(n->GetPrototype(), nullptr);
  EXPECT_EQ(n->GetString("Badge"), "");
  p->Hide(false);
  EXPECT_EQ(n->GetPrototype(), p);
  EXPECT_EQ(n->GetString("Badge"), "star");
  // Clearing while the prototype is deleted still drops the link.
  p->Hide(true);
  n->SetPrototype(nullptr, true);
  p->Hide(false);
  EXPECT_EQ(n->GetPrototype(), nullptr);
  EXPECT_EQ(doc->LinkCount(), 0u);
}

TEST(PrototypeTest, TextHandOver) {
  auto doc = test::MakeDocument("Old\nNew\nFollower\nOwn\nEmpty");
  auto [old_p, new_p, follower, own, empty] =
      Notes(doc.get(), {"Old", "New", "Follower", "Own", "Empty"});
  old_p->SetText("old text");
  new_p->SetText("new text");
  follower->SetPrototype(old_p, false);
  EXPECT_EQ(follower->GetText(), "old text");  // had no text: takes the prototype's
  own->SetPrototype(old_p, false);
  own->SetText("mine");
  follower->SetPrototype(new_p, false);
  own->SetPrototype(new_p, false);
  EXPECT_EQ(follower->GetText(), "new text");
  EXPECT_EQ(own->GetText(), "mine");
  InheritTextFromPrototype(empty, nullptr, nullptr);
  EXPECT_EQ(empty->GetText(), "");
}

TEST(PrototypeTest, ChildHandOverStopsAt251) {
  auto doc = test::MakeDocument("P\nN\nM");
  auto [p, n, m] = Notes(doc.get(), {"P", "N", "M"});
  for (int i = 0; i < 300; ++i) {
    ASSERT_NE(doc->MakeNode("c" + std::to_string(i), p, p->YoungestSon(), i, 2 * i), nullptr);
  }
  n->SetPrototype(p, true);
  ASSERT_EQ(n->ChildCount(), kMaxBequeathedChildren);
  EXPECT_EQ(n->Son()->Name(), "c0");
  EXPECT_EQ(n->YoungestSon()->Name(), "c250");
  EXPECT_EQ(n->YoungestSon()->GetDouble("Ypos"), 500);
  EXPECT_EQ(test::CheckInvariants(*doc), "");

  p->SetBoolean("PrototypeBequeathsChildren", false);
  m->SetPrototype(p, true);
  EXPECT_EQ(m->ChildCount(), 0u);
}

TEST(PrototypeTest, HandedOverChildrenKeepTheirPrototypesButNeverEnterThePrototype) {
  auto doc = test::MakeDocument("Base\nP\n  Kid\n  Inner\nN");
  auto [base, p, kid, inner, n] = Notes(doc.get(), {"Base", "P", "P/Kid", "P/Inner", "N"});
  kid->SetPrototype(base, false);
  n->SetPrototype(p, true);
  ASSERT_EQ(test::ChildNames(n), "Kid Inner");
  EXPECT_EQ(n->Son()->GetPrototype(), base);
  // A note inside its own prototype gets none of its children.
  inner->SetPrototype(p, true);
  EXPECT_EQ(inner->GetPrototype(), p);
  EXPECT_EQ(inner->ChildCount(), 0u);
  EXPECT_EQ(ClonePrototypeChildren(inner, p), 0u);
  EXPECT_EQ(test::CheckInvariants(*doc), "");
}

}  // namespace
}  // namespace fernweave
